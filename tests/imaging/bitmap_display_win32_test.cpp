#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "framework/support/files.h"
#include "imaging/bitmap_display.h"
#include "tests/testing/icc_builder.h"
#include "tests/testing/image_fixtures.h"
#include "tests/testing/paths.h"
#include "tests/testing/pixel_images.h"

namespace lumetra {
namespace {

using testing::ImagePtr;

ImagePtr Image(uint32_t color_space, const std::vector<uint8_t>& samples, uint32_t width, uint32_t height) {
  return testing::MakeImage(height, width, color_space, 0, 8, samples);
}

class BitmapDisplay : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 80, 80,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
    UpdateWindow(window_);
  }
  void TearDown() override {
    if (window_) DestroyWindow(window_);
    SetNamedDataDirectory(nullptr);
  }
  int ScreenBits() {
    HDC dc = GetDC(window_);
    int bits = GetDeviceCaps(dc, BITSPIXEL);
    ReleaseDC(window_, dc);
    return bits;
  }
  COLORREF WindowPixel(int x, int y) {
    HDC dc = GetDC(window_);
    COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(window_, dc);
    return colour;
  }

  HWND window_ = nullptr;
};

// The pixel of a bitmap, read through a memory context.
COLORREF BitmapPixel(HBITMAP bitmap, int x, int y) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(dc, bitmap);
  COLORREF colour = GetPixel(dc, x, y);
  SelectObject(dc, previous);
  DeleteDC(dc);
  return colour;
}

TEST_F(BitmapDisplay, ImageToBitmapKeepsEveryPixel) {
  std::vector<uint8_t> rgb = testing::PatternRgb(3, 2);
  ImagePtr image = Image(kColorSpaceRgb, rgb, 3, 2);
  HBITMAP bitmap = static_cast<HBITMAP>(ImageToBitmap(image.get(), window_));
  ASSERT_NE(bitmap, nullptr);
  BITMAP info = {};
  ASSERT_NE(GetObjectA(bitmap, sizeof info, &info), 0);
  int bits = ScreenBits();
  EXPECT_EQ(info.bmBitsPixel, bits);
  if (bits == 24) {
    EXPECT_EQ(info.bmWidthBytes, 10);
  } else if (bits == 32) {
    EXPECT_EQ(info.bmWidthBytes, 12);
  }
  int32_t width = 0, height = 0;
  GetBitmapSize(bitmap, &width, &height);
  EXPECT_EQ(width, 3);
  EXPECT_EQ(height, 2);
  for (int r = 0; r < 2; ++r) {
    for (int c = 0; c < 3; ++c) {
      const uint8_t* p = &rgb[(r * 3 + c) * 3];
      EXPECT_EQ(BitmapPixel(bitmap, c, r), RGB(p[0], p[1], p[2])) << "row " << r << " column " << c;
    }
  }
  DeleteObject(bitmap);

  ImagePtr gray = Image(kColorSpaceGray, {1, 2, 3}, 3, 1);
  EXPECT_EQ(ImageToBitmap(gray.get(), window_), nullptr) << "only RGB is converted";
}

// The 24-bit layout, whatever the test screen's depth: a bitmap made from the
// rows has 10 bytes a row and gives the same bytes back.
TEST_F(BitmapDisplay, TwentyFourBitRowsAreWhatCreateBitmapExpects) {
  ImagePtr image = Image(kColorSpaceRgb, testing::PatternRgb(3, 2), 3, 2);
  MemPtr<uint8_t> bits;
  size_t row_bytes = 0;
  ASSERT_EQ(ScreenBitmapBits(image.get(), 24, &bits, &row_bytes), kOk);
  HBITMAP bitmap = CreateBitmap(3, 2, 1, 24, bits.get());
  ASSERT_NE(bitmap, nullptr);
  BITMAP info = {};
  ASSERT_NE(GetObjectA(bitmap, sizeof info, &info), 0);
  EXPECT_EQ(info.bmWidthBytes, 10);
  uint8_t back[20] = {};
  EXPECT_EQ(GetBitmapBits(bitmap, sizeof back, back), 20);
  EXPECT_EQ(std::memcmp(back, bits.get(), 20), 0);
  DeleteObject(bitmap);
}

TEST_F(BitmapDisplay, DrawsStretchedClippedAndFromInsideTheBitmap) {
  // red green / blue white
  ImagePtr image = Image(kColorSpaceRgb, {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255}, 2, 2);
  HBITMAP bitmap = static_cast<HBITMAP>(ImageToBitmap(image.get(), window_));
  ASSERT_NE(bitmap, nullptr);
  ASSERT_EQ(DrawWholeBitmap(bitmap, window_, MakeShortRect(0, 0, 40, 40)), kOk);
  EXPECT_EQ(WindowPixel(5, 5), RGB(255, 0, 0));
  EXPECT_EQ(WindowPixel(35, 5), RGB(0, 255, 0));
  EXPECT_EQ(WindowPixel(5, 35), RGB(0, 0, 255));
  EXPECT_EQ(WindowPixel(35, 35), RGB(255, 255, 255));

  // A source starting left of the bitmap is moved to start at its left edge:
  // the 1 x 1 source from column -1 is the red pixel.
  ShortRect whole = MakeShortRect(0, 0, 80, 80);
  ASSERT_EQ(DrawBitmap(bitmap, window_, MakeShortRect(40, 40, 80, 80), whole, MakeShortRect(-1, 0, 0, 1), false), kOk);
  EXPECT_EQ(WindowPixel(60, 60), RGB(255, 0, 0));
  // One beyond the bottom is moved up to the last row: the white pixel.
  ASSERT_EQ(DrawBitmap(bitmap, window_, MakeShortRect(40, 40, 80, 80), whole, MakeShortRect(1, 2, 2, 3), false), kOk);
  EXPECT_EQ(WindowPixel(60, 60), RGB(255, 255, 255));

  // Clipped to the left half: the right half keeps what was drawn before.
  ASSERT_EQ(DrawBitmap(bitmap, window_, MakeShortRect(0, 0, 40, 40), MakeShortRect(0, 0, 20, 40),
                       MakeShortRect(0, 1, 1, 2), false), kOk);
  EXPECT_EQ(WindowPixel(5, 5), RGB(0, 0, 255));
  EXPECT_EQ(WindowPixel(35, 5), RGB(0, 255, 0)) << "outside the clip";
  DeleteObject(bitmap);
}

TEST_F(BitmapDisplay, BackgroundFromAFileElseFromTheResources) {
  std::string dir = testing::ScratchDir("background_bitmap");
  std::string program_dir = testing::SystemPath(dir);
  testing::BmpFields fields;
  ASSERT_TRUE(testing::WriteFileBytes(program_dir + "\\4711.bmp", testing::MakeBmp(fields, testing::PatternRgb(3, 2))));
  testing::ScitexFields gray;
  gray.separations = 1;
  ASSERT_TRUE(testing::WriteFileBytes(program_dir + "\\gray.ct", testing::MakeScitexCt(gray, 3, 2, {})));
  SetNamedDataDirectory(program_dir.c_str());

  BitmapHandle bitmap = nullptr;
  ASSERT_EQ(LoadBackgroundBitmap(ResourceNumber(4711), window_, &bitmap, nullptr), kOk);
  ASSERT_NE(bitmap, nullptr) << "a number is looked up as its decimal name";
  int32_t width = 0, height = 0;
  GetBitmapSize(bitmap, &width, &height);
  EXPECT_EQ(width, 3);
  EXPECT_EQ(height, 2);
  DeleteObject(static_cast<HBITMAP>(bitmap));

  bitmap = reinterpret_cast<BitmapHandle>(uintptr_t{1});
  EXPECT_EQ(LoadBackgroundBitmap("gray", window_, &bitmap, nullptr), kOk) << "found and loaded";
  EXPECT_EQ(bitmap, nullptr) << "a gray image makes no bitmap";

  EXPECT_EQ(LoadBackgroundBitmap("absent", window_, &bitmap, nullptr), kRefused);
  EXPECT_EQ(bitmap, nullptr);

  // Not a file: the bitmap resource of that number from the given module.
  HMODULE user32 = GetModuleHandleA("user32.dll");
  const uint16_t kCloseBox = 32754;  // OBM_CLOSE
  ASSERT_EQ(LoadBackgroundBitmap(ResourceNumber(kCloseBox), window_, &bitmap, user32), kOk);
  EXPECT_NE(bitmap, nullptr);
  DeleteObject(static_cast<HBITMAP>(bitmap));
}

}  // namespace
}  // namespace lumetra
