#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "imaging/bitmap_display.h"
#include "tests/testing/image_fixtures.h"
#include "tests/testing/pixel_images.h"

namespace lumetra {
namespace {

using testing::ImagePtr;

ImagePtr Image(uint32_t color_space, uint32_t extra, const std::vector<uint8_t>& samples, uint32_t width,
               uint32_t height) {
  return testing::MakeImage(height, width, color_space, extra, 8, samples);
}

TEST(ScreenBitmapBits, RowsInTheScreenLayout) {
  std::vector<uint8_t> rgb = testing::PatternRgb(3, 2);
  ImagePtr image = Image(kColorSpaceRgb, 0, rgb, 3, 2);

  MemPtr<uint8_t> bits;
  size_t row_bytes = 0;
  ASSERT_EQ(ScreenBitmapBits(image.get(), 24, &bits, &row_bytes), kOk);
  EXPECT_EQ(row_bytes, 10u) << "9 bytes and one 0 for an odd width";
  for (size_t r = 0; r < 2; ++r) {
    const uint8_t* row = bits.get() + r * row_bytes;
    for (size_t c = 0; c < 3; ++c) {
      const uint8_t* in = &rgb[(r * 3 + c) * 3];
      EXPECT_EQ(row[3 * c], in[2]) << "blue first, row " << r << " pixel " << c;
      EXPECT_EQ(row[3 * c + 1], in[1]);
      EXPECT_EQ(row[3 * c + 2], in[0]);
    }
    EXPECT_EQ(row[9], 0) << "row " << r;
  }

  ASSERT_EQ(ScreenBitmapBits(image.get(), 32, &bits, &row_bytes), kOk);
  EXPECT_EQ(row_bytes, 12u);
  EXPECT_EQ(bits.get()[12 + 4 + 0], rgb[9 + 3 + 2]);
  EXPECT_EQ(bits.get()[3], 0) << "fourth byte";

  ImagePtr even = Image(kColorSpaceRgb, 1, std::vector<uint8_t>(16, 7), 2, 2);  // with alpha
  ASSERT_EQ(ScreenBitmapBits(even.get(), 24, &bits, &row_bytes), kOk);
  EXPECT_EQ(row_bytes, 6u) << "an even width needs no padding";
}

TEST(ScreenBitmapBits, OnlyEightBitRgbForScreensOf24Or32Bits) {
  MemPtr<uint8_t> bits;
  size_t row_bytes = 0;
  ImagePtr gray = Image(kColorSpaceGray, 0, {1, 2}, 2, 1);
  EXPECT_EQ(ScreenBitmapBits(gray.get(), 24, &bits, &row_bytes), kBadArgument);
  ImagePtr rgb = Image(kColorSpaceRgb, 0, testing::PatternRgb(2, 1), 2, 1);
  EXPECT_EQ(ScreenBitmapBits(rgb.get(), 16, &bits, &row_bytes), kBadArgument);
  EXPECT_EQ(bits, nullptr);
}

}  // namespace
}  // namespace lumetra
