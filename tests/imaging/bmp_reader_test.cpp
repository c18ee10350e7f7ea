#include "imaging/bmp_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "framework/support/file_types.h"
#include "imaging/image_reader.h"
#include "tests/testing/icc_builder.h"
#include "tests/testing/image_fixtures.h"
#include "tests/testing/paths.h"
#include "tests/testing/pixel_images.h"

namespace lumetra {
namespace {

using testing::ImagePtr;
using testing::Samples;
using testing::LoadImage;
using testing::WriteFixture;
using testing::BmpFields;
using testing::MakeBmp;
using testing::PatternRgb;


// Bitmaps of the libjpeg-turbo test suite. The hashes are 64-bit FNV-1a of
// the RGB samples, top row first, that ImageMagick 6.9.11 decodes:
//   convert <file> -depth 8 ppm:-   (the bytes after the P6 header)
struct Golden {
  const char* file;
  uint32_t width;
  uint32_t height;
  uint64_t rgb_hash;
};
constexpr Golden kGolden[] = {
    {"nightshot_iso_100.bmp", 192, 144, 0x474a0b61f1f1c8e2u},
    {"vgl_5674_0098.bmp", 120, 96, 0xf327967da7d0ab41u},
    {"vgl_6434_0018a.bmp", 119, 96, 0x058781e9cdf8ea3du},  // odd width: 3 padding bytes a row
    {"vgl_6548_0026a.bmp", 128, 95, 0x02b1ccd33e096cfdu},
};

TEST(BitmapReader, RealFilesDecodeAsTheReferenceDecoderDoes) {
  const std::string dir = testing::DependencySource("libjpeg-turbo-2.1.5/testimages/");
  for (const Golden& g : kGolden) {
    ImagePtr image;
    ASSERT_EQ(LoadImage(testing::ReferenceFile(dir + g.file), &image), kOk) << g.file;
    EXPECT_EQ(image->color_space, kColorSpaceRgb) << g.file;
    EXPECT_EQ(image->columns, g.width) << g.file;
    EXPECT_EQ(image->rows, g.height) << g.file;
    EXPECT_EQ(image->extra_channels, 0u) << g.file;
    std::vector<uint8_t> rgb = Samples(image.get());
    EXPECT_EQ(testing::Fnv1a64(rgb.data(), rgb.size()), g.rgb_hash) << g.file;
  }
}

TEST(BitmapReader, SkipsRowPaddingAndDeliversTheTopRowFirst) {
  BmpFields fields;  // 3 x 2: 9 bytes a row and 3 padding bytes
  fields.padding_byte = 0xEE;
  std::vector<uint8_t> file = MakeBmp(fields, PatternRgb(3, 2));
  ASSERT_EQ(file.size(), 54u + 2 * 12) << "3 padding bytes a row";
  ImagePtr image;
  ASSERT_EQ(LoadImage(WriteFixture("bmp_reader", "three-wide.bmp", file), &image), kOk);
  EXPECT_EQ(Samples(image.get()), PatternRgb(3, 2));

  // Stored top row first: read as it stands, not flipped.
  fields.height = -2;
  ASSERT_EQ(LoadImage(WriteFixture("bmp_reader", "top-down.bmp", MakeBmp(fields, PatternRgb(3, 2))), &image), kOk);
  EXPECT_EQ(Samples(image.get()), PatternRgb(3, 2));
}

TEST(BitmapReader, RefusesWhatItDoesNotRead) {
  struct Case {
    const char* name;
    BmpFields fields;
    Status status;
  };
  std::vector<Case> cases(5);
  cases[0] = {"palette-8bit.bmp", {}, kUnsupportedBitDepth};
  cases[0].fields.bits_per_pixel = 8;
  cases[0].fields.palette_entries = 256;
  cases[1] = {"rle8.bmp", {}, kUnknownFormat};
  cases[1].fields.bits_per_pixel = 8;
  cases[1].fields.compression = 1;
  cases[1].fields.palette_entries = 256;
  cases[2] = {"two-planes.bmp", {}, kUnsupportedImageData};
  cases[2].fields.planes = 2;
  cases[3] = {"zero-width.bmp", {}, kUnsupportedImageData};
  cases[3].fields.width = 0;
  cases[4] = {"zero-height.bmp", {}, kUnsupportedImageData};
  cases[4].fields.height = 0;
  for (const Case& c : cases) {
    ImagePtr image;
    EXPECT_EQ(LoadImage(WriteFixture("bmp_reader", c.name, MakeBmp(c.fields, PatternRgb(3, 2))), &image), c.status)
        << c.name;
    EXPECT_EQ(image, nullptr) << c.name;
  }
}

TEST(BitmapReader, RefusesRowsTheFileDoesNotHold) {
  std::vector<uint8_t> file = MakeBmp(BmpFields{}, PatternRgb(3, 2));
  ImagePtr image;
  std::vector<uint8_t> cut(file.begin(), file.end() - 1);
  EXPECT_EQ(LoadImage(WriteFixture("bmp_reader", "cut.bmp", cut), &image), kShortRead) << "last padding byte missing";

  // Claims far more rows and columns than there are; nothing is allocated for them.
  std::vector<uint8_t> huge = file;
  const uint8_t width[] = {0xFF, 0xFF, 0xFF, 0x3F};
  const uint8_t height[] = {0xFF, 0xFF, 0xFF, 0x7F};
  std::copy(width, width + 4, huge.begin() + 18);
  std::copy(height, height + 4, huge.begin() + 22);
  EXPECT_EQ(LoadImage(WriteFixture("bmp_reader", "huge.bmp", huge), &image), kShortRead);
  huge[25] = 0x80;  // height -2^31 + ...: top row first
  EXPECT_EQ(LoadImage(WriteFixture("bmp_reader", "huge-top-down.bmp", huge), &image), kShortRead);
  EXPECT_EQ(image, nullptr);

  std::vector<uint8_t> headless(file.begin(), file.begin() + 40);
  EXPECT_EQ(LoadImage(WriteFixture("bmp_reader", "headless.bmp", headless), &image), kShortRead);
}

TEST(BitmapReader, FollowsTheReaderProtocol) {
  BmpFields fields;
  fields.x_pixels_per_metre = 3780;
  fields.y_pixels_per_metre = 2835;
  std::string path = WriteFixture("bmp_reader", "protocol.bmp", MakeBmp(fields, PatternRgb(3, 2)));

  testing::ReaderOnFile on(kFileTypeBmp, path);
  ASSERT_TRUE(on.ok());
  TImageReader* reader = on.reader.get();
  SpecialPloFile& file = on.file;

  ImageFormat format = {};
  ASSERT_EQ(reader->Open(&file, &format), kOk);
  EXPECT_EQ(format.kind, kImageFormatBitmap);
  EXPECT_NE(format.extra, nullptr);
  ImageInfo info = {};
  info.icc_size = 99;
  ASSERT_EQ(reader->ReadHeader(&info), kOk);
  EXPECT_EQ(info.color_space, kColorSpaceRgb);
  EXPECT_EQ(info.width, 3u);
  EXPECT_EQ(info.height, 2u);
  EXPECT_EQ(info.channels, 3u);
  EXPECT_EQ(info.bits_per_sample, 8u);
  EXPECT_EQ(info.resolution_unit, kResolutionMetric);
  EXPECT_NEAR(info.x_resolution, 37.8, 1e-9) << "per centimetre";
  EXPECT_NEAR(info.y_resolution, 28.35, 1e-9);
  EXPECT_EQ(info.orientation, uint32_t{kOrientFlipVertical}) << "rows come bottom first";
  EXPECT_EQ(info.icc_size, 0u);

  uint8_t rows[18];
  EXPECT_EQ(reader->ReadRows(nullptr, 1), kBadArgument);
  ASSERT_EQ(reader->ReadRows(rows, 2), kOk);
  std::vector<uint8_t> expected = PatternRgb(3, 2);
  EXPECT_EQ(std::vector<uint8_t>(rows, rows + 9), std::vector<uint8_t>(expected.begin() + 9, expected.end()))
      << "the bottom row comes first";
  EXPECT_EQ(reader->ReadRows(rows, 1), kEndOfData) << "no row beyond the file's rows";
  EXPECT_EQ(reader->FinishReading(), kOk);
  EXPECT_EQ(reader->Close(), kOk);
}

}  // namespace
}  // namespace lumetra
