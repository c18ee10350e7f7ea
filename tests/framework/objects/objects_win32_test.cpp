#include <windows.h>

#include <gtest/gtest.h>

#include "framework/objects/objects.h"
#include "framework/objects/ole_win32.h"

namespace lumetra {
namespace {

TEST(OleTest, SecondInitialisationIsAlsoSuccess) {
  EXPECT_EQ(InitOle(), kOk);
  EXPECT_EQ(InitOle(), kOk) << "S_FALSE: already initialised on this thread";
  EXPECT_EQ(DoneOle(), kOk);
  EXPECT_EQ(DoneOle(), kOk);
}

RECT WindowRectIn(HWND window, HWND parent) {
  RECT rect;
  GetWindowRect(window, &rect);
  if (parent) MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

TEST(GrowWindowTest, KeepsTheTopLeftCornerOfTopLevelAndChildWindows) {
  HWND top = CreateWindowExA(0, "STATIC", "grow", WS_POPUP | WS_VISIBLE, 100, 120, 200, 150,
                             nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(top, nullptr);
  HWND child = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 10, 20, 30, 40, top, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(child, nullptr);

  ASSERT_EQ(GrowWindow(top, 15, -25), kOk);
  RECT rect = WindowRectIn(top, nullptr);
  EXPECT_EQ(rect.left, 100);
  EXPECT_EQ(rect.top, 120);
  EXPECT_EQ(rect.right - rect.left, 215);
  EXPECT_EQ(rect.bottom - rect.top, 125);

  ASSERT_EQ(GrowWindow(child, 5, 6), kOk);
  rect = WindowRectIn(child, top);
  EXPECT_EQ(rect.left, 10) << "a child keeps its place in the parent's client area";
  EXPECT_EQ(rect.top, 20);
  EXPECT_EQ(rect.right - rect.left, 35);
  EXPECT_EQ(rect.bottom - rect.top, 46);

  DestroyWindow(top);
  EXPECT_LT(GrowWindow(top, 1, 1), 0) << "a destroyed window gives the system's status";
}

TEST(EventTimeTest, PreparingTakesTheTickCount) {
  DWORD before = GetTickCount();
  TPloEvent event;
  event.type = kEventKeyDown;
  event.Prepare();
  EXPECT_EQ(event.type, kEventIdle);
  EXPECT_LE(event.time - before, 1000u) << "the tick count when prepared";
}

}  // namespace
}  // namespace lumetra
