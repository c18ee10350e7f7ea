#include "monitor/screens.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/testing/failing_allocation.h"

namespace lumetra {
namespace {

// The test bed's X server has two outputs side by side: 1920x1080 (primary)
// and 1024x768 to its right.
constexpr int kSecondMonitorX = 2544;

class ScopedWindow {
 public:
  ScopedWindow(int x, int y)
      : window_(CreateWindowExA(0, "STATIC", "screens", WS_POPUP, x, y, 200, 100, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr)) {}
  ~ScopedWindow() {
    if (window_) DestroyWindow(window_);
  }
  HWND get() const { return window_; }

 private:
  HWND window_;
};

TEST(Tu4MultiScreenHandler, ListsBothMonitorsByDeviceName) {
  Tu4MultiScreenHandler screens;
  ASSERT_EQ(screens.ScreenCount(), 2);
  EXPECT_STREQ(screens.DeviceNameOfScreen(0).CStr(), "\\\\.\\DISPLAY1");
  EXPECT_STREQ(screens.DeviceNameOfScreen(1).CStr(), "\\\\.\\DISPLAY2");
  EXPECT_EQ(screens.EntryIndexOfScreen(1), 1);
  EXPECT_EQ(screens.ScreenIndexOfDevice("\\\\.\\DISPLAY2"), 1);
  EXPECT_EQ(screens.ScreenIndexOfDevice("\\\\.\\display2"), 0) << "case counts";
  EXPECT_EQ(screens.ScreenIndexOfDevice(nullptr), 0);
}

TEST(Tu4MultiScreenHandler, AWindowMapsToTheMonitorItStandsOn) {
  Tu4MultiScreenHandler screens;
  ScopedWindow window(100, 100);
  ASSERT_NE(window.get(), nullptr);
  EXPECT_EQ(screens.ScreenOfWindow(window.get()), 0);
  ASSERT_TRUE(MoveWindow(window.get(), kSecondMonitorX, 100, 200, 100, FALSE));
  EXPECT_EQ(screens.ScreenOfWindow(window.get()), 1);
  EXPECT_EQ(screens.ScreenOfWindow(nullptr), 0);
}

TEST(Tu4MultiScreenHandler, IndexesOutOfRangeGiveNothing) {
  Tu4MultiScreenHandler screens;
  int32_t count = screens.ScreenCount();
  for (int32_t screen : {-1, count}) {
    EXPECT_TRUE(screens.DeviceNameOfScreen(screen).IsEmpty()) << screen;
    EXPECT_EQ(screens.CreateScreenDC(screen), nullptr) << screen;
    EXPECT_EQ(screens.EntryIndexOfScreen(screen), 0) << screen;
  }
  for (int32_t screen = 0; screen < count; ++screen) {
    HDC dc = static_cast<HDC>(screens.CreateScreenDC(screen));
    EXPECT_NE(dc, nullptr) << screen;
    if (dc) DeleteDC(dc);
  }
}

TEST(Tu4MultiScreenHandler, MonitorsAreEnumeratedOncePerProcess) {
  for (int i = 0; i < 50; ++i) {
    Tu4MultiScreenHandler handler;
    ASSERT_EQ(handler.ScreenCount(), 2) << "a second enumeration would append again";
  }
}

// The list is made by the first handler of a process: a child process of its
// own, where no handler was made before, runs out of memory there.
TEST(Tu4MultiScreenHandlerDeathTest, TheFirstEnumerationSurvivesMemoryExhaustion) {
  EXPECT_EXIT(
      {
        bool threw = false;
        int32_t count = -1;
        {
          testing::FailingAllocations no_memory;
          try {
            Tu4MultiScreenHandler screens;
            count = screens.ScreenCount();
          } catch (...) {
            threw = true;
          }
        }
        std::exit(threw ? 2 : count == 0 ? 0 : 3);
      },
      ::testing::ExitedWithCode(0), "")
      << "exit 2: an exception left the handler; 3: monitors were listed without memory";
}

}  // namespace
}  // namespace lumetra
