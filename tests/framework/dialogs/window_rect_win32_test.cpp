#include <windows.h>

#include <gtest/gtest.h>

#include "framework/dialogs/window_rect.h"

namespace lumetra {
namespace {

class WindowRect : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = CreateWindowExA(0, "STATIC", "window rect", WS_POPUP | WS_VISIBLE, 100, 120, 400, 300,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    DestroyWindow(window_);
    DestroyTree(settings_, true);
  }

  RECT Rect() const {
    RECT r{};
    GetWindowRect(window_, &r);
    return r;
  }
  void Restore(const char* text, bool keep_size) {
    SetText(settings_, "Position", text);
    EXPECT_EQ(RestoreWindowRect(window_, settings_, "Position", keep_size), kOk) << text;
  }

  HWND window_ = nullptr;
  SettingsTree* settings_ = CreateTree();
};

TEST_F(WindowRect, SavesTheWindowRectangleAsText) {
  EXPECT_EQ(SaveWindowRect(window_, settings_, "Position"), kOk);
  EXPECT_STREQ(GetText(settings_, "Position", nullptr), "100 120 500 420");
  EXPECT_EQ(SaveWindowRect(nullptr, settings_, "Position"), kBadArgument);
  EXPECT_EQ(SaveWindowRect(window_, nullptr, "Position"), kBadArgument);
  EXPECT_EQ(RestoreWindowRect(window_, nullptr, "Position", false), kBadArgument);
}

TEST_F(WindowRect, RestoresOnThePrimaryScreenOnly) {
  Restore("10 20 310 220", false);
  RECT r = Rect();
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.top, 20);
  EXPECT_EQ(r.right - r.left, 300);
  EXPECT_EQ(r.bottom - r.top, 200);

  int width = GetSystemMetrics(SM_CXSCREEN);
  std::string at_edge = std::to_string(width - 300) + " 0 " + std::to_string(width) + " 100";
  Restore(at_edge.c_str(), false);
  EXPECT_EQ(Rect().left, 10) << "the right edge may not reach the screen's width";
  std::string beyond = std::to_string(width + 80) + " 0 " + std::to_string(width + 380) + " 100";
  Restore(beyond.c_str(), false);
  EXPECT_EQ(Rect().left, 10) << "not on a second screen";
  Restore("40 50 60", false);
  EXPECT_EQ(Rect().left, 10) << "three numbers are no rectangle";
  SetText(settings_, "Position", "");
  EXPECT_EQ(RestoreWindowRect(window_, settings_, "Absent", false), kOk);
}

TEST_F(WindowRect, KeepSizeMovesOnlyTheCorner) {
  Restore("50 60 70 80", true);
  RECT r = Rect();
  EXPECT_EQ(r.left, 50);
  EXPECT_EQ(r.top, 60);
  EXPECT_EQ(r.right - r.left, 400);
  EXPECT_EQ(r.bottom - r.top, 300);
}

}  // namespace
}  // namespace lumetra
