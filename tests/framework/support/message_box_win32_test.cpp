// The real message box: a second thread finds the box that the reporting
// thread shows, reads it, and answers it.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "framework/support/catalogue.h"
#include "framework/support/messages.h"
#include "tests/testing/paths.h"

namespace lumetra {
namespace {

struct SeenBox {
  std::string text;
  std::string caption;
  HICON icon;
};

struct BoxSearch {
  DWORD process;
  HWND found;
};

BOOL CALLBACK MatchOwnBox(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<BoxSearch*>(context);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  char class_name[16] = "";
  GetClassNameA(window, class_name, sizeof(class_name));
  if (process != search->process || std::string(class_name) != "#32770" ||
      !IsWindowVisible(window)) {
    return TRUE;
  }
  search->found = window;
  return FALSE;
}

HWND FindOwnBox() {
  BoxSearch search{GetCurrentProcessId(), nullptr};
  EnumWindows(MatchOwnBox, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

BOOL CALLBACK MatchIcon(HWND child, LPARAM context) {
  if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) return TRUE;
  LRESULT icon = SendMessageA(child, STM_GETICON, 0, 0);
  *reinterpret_cast<HICON*>(context) = reinterpret_cast<HICON>(icon);
  return FALSE;
}

HICON IconOf(HWND box) {
  HICON icon = nullptr;
  EnumChildWindows(box, MatchIcon, reinterpret_cast<LPARAM>(&icon));
  return icon;
}

// Answers every box of this process with `answer` while it lives.
class BoxAnswerer {
 public:
  explicit BoxAnswerer(int answer) : answer_(answer), thread_([this] { Run(); }) {}
  ~BoxAnswerer() {
    stop_ = true;
    thread_.join();
  }

  std::vector<SeenBox> Seen() {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
  }

 private:
  void Run() {
    while (!stop_) {
      HWND box = FindOwnBox();
      if (!box) {
        Sleep(10);
        continue;
      }
      SeenBox seen;
      char text[512] = "";
      GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
      seen.text = text;
      GetWindowTextA(box, text, sizeof(text));
      seen.caption = text;
      seen.icon = IconOf(box);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        seen_.push_back(seen);
      }
      PostMessageA(box, WM_COMMAND, answer_, 0);
      for (int i = 0; i < 500 && IsWindow(box); ++i) Sleep(10);
    }
  }

  int answer_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<SeenBox> seen_;
  std::thread thread_;
};

class MessageBoxOnScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(testing::SourcePath("data"));
    FreeCatalogue();
  }
  void TearDown() override {
    FreeCatalogue();
    std::filesystem::current_path(previous_);
  }
  std::filesystem::path previous_;
};

TEST_F(MessageBoxOnScreen, ReportsShowTheirTextInAStopBox) {
  std::vector<SeenBox> seen;
  {
    BoxAnswerer answerer(IDOK);
    EXPECT_EQ(ReportError(-5, nullptr), kOk);
    EXPECT_EQ(ReportError(kFileNotFound, nullptr), kOk);
    EXPECT_EQ(ReportError(12345, nullptr), kOk);
    seen = answerer.Seen();
  }
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].text, "System error: -5");
  EXPECT_EQ(seen[1].text, "A file was not found (Error 20206)");
  EXPECT_EQ(seen[2].text, "Unknown error: 12345");
  HICON stop = LoadIconA(nullptr, IDI_HAND);
  for (const SeenBox& box : seen) {
    EXPECT_EQ(box.icon, stop) << box.text;
    EXPECT_EQ(box.caption, "support_tests") << "the program's name stands in for a caption";
  }
}

TEST_F(MessageBoxOnScreen, NothingAppearsForSuccessOrCancel) {
  BoxAnswerer answerer(IDOK);
  EXPECT_EQ(ReportError(kOk, nullptr), kOk);
  EXPECT_EQ(ReportError(kCancelled, nullptr), kOk);
  Sleep(200);
  EXPECT_TRUE(answerer.Seen().empty());
}

TEST_F(MessageBoxOnScreen, KindsAndAnswers) {
  {
    BoxAnswerer answerer(IDOK);
    EXPECT_EQ(ShowMessageBox("information", 7, "Kind 7", nullptr), kOk);
    std::vector<SeenBox> seen = answerer.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, "Kind 7");
    EXPECT_EQ(seen[0].icon, LoadIconA(nullptr, IDI_ASTERISK));
  }
  {
    BoxAnswerer answerer(IDCANCEL);
    EXPECT_EQ(ShowMessageBox("cancel?", kOkCancelMessage, nullptr, nullptr), kCancelled);
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].icon, LoadIconA(nullptr, IDI_QUESTION));
  }
  {
    BoxAnswerer answerer(IDNO);
    EXPECT_EQ(ShowMessageBox("no?", kYesNoMessage, nullptr, nullptr), kRefused);
  }
}

}  // namespace
}  // namespace lumetra
