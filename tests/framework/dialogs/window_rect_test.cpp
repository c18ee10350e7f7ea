#include "framework/dialogs/window_rect.h"

#include <gtest/gtest.h>

namespace lumetra {
namespace {

TEST(WindowRectText, FourNumbersLeftTopRightBottom) {
  char text[kWindowRectTextSize];
  FormatWindowRect(MakeShortRect(10, 20, 310, 220), text);
  EXPECT_STREQ(text, "10 20 310 220");
  FormatWindowRect(MakeShortRect(-32768, -1, 32767, 0), text);
  EXPECT_STREQ(text, "-32768 -1 32767 0");

  ShortRect r;
  ASSERT_TRUE(ParseWindowRect("  10 20\t310 220 trailing", &r));
  EXPECT_EQ(r, MakeShortRect(10, 20, 310, 220));
  EXPECT_FALSE(ParseWindowRect("10 20 310", &r)) << "three numbers";
  EXPECT_FALSE(ParseWindowRect("10 20 x 220", &r));
  EXPECT_FALSE(ParseWindowRect("10 20 70000 220", &r)) << "beyond 16 bits";
  EXPECT_FALSE(ParseWindowRect("", &r));
  EXPECT_FALSE(ParseWindowRect(nullptr, &r));
}

TEST(WindowRectPlacement, OnlyWhollyOnThePrimaryScreen) {
  const ShortRect current = MakeShortRect(500, 400, 900, 700);  // 400 x 300
  ShortRect placed;
  auto place = [&](ShortRect stored, bool keep_size) {
    return PlaceRestoredRect(stored, current, keep_size, 1920, 1080, &placed);
  };
  ASSERT_TRUE(place(MakeShortRect(10, 20, 310, 220), false));
  EXPECT_EQ(placed, MakeShortRect(10, 20, 310, 220));

  ASSERT_TRUE(place(MakeShortRect(50, 60, 70, 80), true));
  EXPECT_EQ(placed, MakeShortRect(50, 60, 450, 360)) << "keep size: moved to the stored corner";

  EXPECT_FALSE(place(MakeShortRect(1620, 0, 1920, 100), false))
      << "the right edge on the screen's width is refused";
  EXPECT_FALSE(place(MakeShortRect(0, 980, 100, 1080), false));
  EXPECT_FALSE(place(MakeShortRect(2000, 0, 2300, 100), false))
      << "a second screen to the right";
  EXPECT_FALSE(place(MakeShortRect(-1, 0, 100, 100), false));
  EXPECT_FALSE(place(MakeShortRect(10, 10, 10, 100), false))
      << "empty";
  EXPECT_FALSE(place(MakeShortRect(1600, 0, 0, 0), true))
      << "keep size pushes the right edge off the screen";
}

}  // namespace
}  // namespace lumetra
