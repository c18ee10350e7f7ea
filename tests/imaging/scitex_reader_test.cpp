#include "imaging/scitex_reader.h"

#include <gtest/gtest.h>

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
using testing::MakeScitexCt;
using testing::ScitexFields;


// Separation k of line r, pixel j: 10 * k + 50 * r + j, so each sample tells
// where it came from.
std::vector<uint8_t> SeparationLines(uint32_t separations, uint32_t width, uint32_t height) {
  std::vector<uint8_t> lines;
  for (uint32_t r = 0; r < height; ++r) {
    for (uint32_t k = 0; k < separations; ++k) {
      for (uint32_t j = 0; j < width; ++j) lines.push_back(static_cast<uint8_t>(10 * k + 50 * r + j));
    }
  }
  return lines;
}

// What the pixel image should hold: pixels interleaved, complemented unless RGB.
std::vector<uint8_t> Interleaved(uint32_t separations, uint32_t width, uint32_t height, bool ink) {
  std::vector<uint8_t> pixels;
  for (uint32_t r = 0; r < height; ++r) {
    for (uint32_t j = 0; j < width; ++j) {
      for (uint32_t k = 0; k < separations; ++k) {
        uint8_t v = static_cast<uint8_t>(10 * k + 50 * r + j);
        pixels.push_back(ink ? static_cast<uint8_t>(255 - v) : v);
      }
    }
  }
  return pixels;
}

TEST(ScitexCTReader, InterleavesSeparationsAndSkipsPadBytes) {
  struct Case {
    uint8_t separations;
    uint32_t width;
    uint32_t color_space;
    bool ink;  // stored light values become amounts of ink
  } cases[] = {
      {4, 5, kColorSpaceCmyk, true},  // 6 bytes a separation line, 20 bytes a pixel row
      {1, 3, kColorSpaceGray, true},
      {3, 4, kColorSpaceRgb, false},  // even: no pad bytes
      {3, 1, kColorSpaceRgb, false},
  };
  for (const Case& c : cases) {
    ScitexFields fields;
    fields.separations = c.separations;
    const uint32_t height = 3;
    std::vector<uint8_t> file =
        MakeScitexCt(fields, c.width, height, SeparationLines(c.separations, c.width, height));
    size_t stored_line = (c.width + (c.width & 1)) * c.separations;
    ASSERT_EQ(file.size(), 2048 + height * stored_line);
    std::string name = "sep" + std::to_string(c.separations) + "-w" + std::to_string(c.width) + ".ct";
    ImagePtr image;
    ASSERT_EQ(LoadImage(WriteFixture("scitex_reader", name, file), &image), kOk) << name;
    EXPECT_EQ(image->color_space, c.color_space) << name;
    EXPECT_EQ(image->columns, c.width) << name;
    EXPECT_EQ(image->rows, height) << name;
    EXPECT_EQ(image->extra_channels, 0u) << name;
    EXPECT_EQ(Samples(image.get()), Interleaved(c.separations, c.width, height, c.ink)) << name;
  }
}

TEST(ScitexCTReader, FullCmykInkIsStoredAsZero) {
  ScitexFields fields;
  fields.separations = 4;
  ImagePtr image;
  std::vector<uint8_t> stored = {255, 0, 128, 1};
  ASSERT_EQ(LoadImage(WriteFixture("scitex_reader", "one-pixel.ct", MakeScitexCt(fields, 1, 1, stored)), &image), kOk);
  EXPECT_EQ(Samples(image.get()), (std::vector<uint8_t>{0, 255, 127, 254}));
}

TEST(ScitexCTReader, RefusesParameterBlocksItCannotRead) {
  struct Case {
    const char* name;
    ScitexFields fields;
    Status status;
  };
  std::vector<Case> cases(6);
  cases[0] = {"two-separations.ct", {}, kRefused};
  cases[0].fields.separations = 2;
  cases[1] = {"zero-width.ct", {}, kUnsupportedImageData};
  cases[1].fields.width_pixels = "0";
  cases[2] = {"negative-width.ct", {}, kUnsupportedImageData};
  cases[2].fields.width_pixels = "-4";
  cases[3] = {"no-height.ct", {}, kUnsupportedImageData};
  cases[3].fields.height_pixels = "lines";
  // More lines than the file holds: refused before anything is allocated.
  cases[4] = {"lines-missing.ct", {}, kShortRead};
  cases[4].fields.height_pixels = "99999999";
  // No lines: no picture, though the format's own rule refuses only a zero width.
  cases[5] = {"zero-height.ct", {}, kUnsupportedImageData};
  cases[5].fields.height_pixels = "0";
  for (const Case& c : cases) {
    ImagePtr image;
    EXPECT_EQ(LoadImage(WriteFixture("scitex_reader", c.name, MakeScitexCt(c.fields, 3, 2, {})), &image), c.status) << c.name;
    EXPECT_EQ(image, nullptr) << c.name;
  }
  std::vector<uint8_t> cut = MakeScitexCt(ScitexFields{}, 3, 2, {});
  cut.pop_back();
  ImagePtr image;
  EXPECT_EQ(LoadImage(WriteFixture("scitex_reader", "pad-missing.ct", cut), &image), kShortRead);
}

TEST(ScitexCTReader, ResolutionIsPixelsOverTheSizeInUnits) {
  ScitexFields fields;
  fields.separations = 1;
  fields.width_units = "84.666";
  fields.height_units = "0";
  std::string path = WriteFixture("scitex_reader", "resolution.ct", MakeScitexCt(fields, 1000, 1, {}));

  testing::ReaderOnFile on(kFileTypeScitexCt, path);
  ASSERT_TRUE(on.ok());
  TImageReader* reader = on.reader.get();
  SpecialPloFile& file = on.file;
  ImageFormat format = {};
  ASSERT_EQ(reader->Open(&file, &format), kOk);
  EXPECT_EQ(format.kind, kImageFormatScitexCt);
  ASSERT_NE(format.extra, nullptr);
  EXPECT_EQ(static_cast<const uint8_t*>(format.extra)[1], 1) << "the parameter block";

  ImageInfo info = {};
  ASSERT_EQ(reader->ReadHeader(&info), kOk);
  EXPECT_EQ(info.resolution_unit, kResolutionMetric);
  EXPECT_NEAR(info.x_resolution, 11.811, 0.001) << "1000 pixels over 84.666 mm";
  EXPECT_EQ(info.y_resolution, 0) << "no resolution from a size of 0 units";
  EXPECT_EQ(info.channels, 1u);
  EXPECT_EQ(info.orientation, 0u);

  std::vector<uint8_t> row(1000);
  ASSERT_EQ(reader->ReadRows(row.data(), 1), kOk);
  EXPECT_EQ(reader->ReadRows(row.data(), 1), kEndOfData) << "no line beyond the file's lines";
  EXPECT_EQ(reader->ReadRows(nullptr, 1), kBadArgument);
  EXPECT_EQ(reader->FinishReading(), kOk);
  EXPECT_EQ(reader->Close(), kOk);

  // A negative size in units gives no resolution either, not a negative one.
  fields.width_units = "-84.666";
  testing::ReaderOnFile negative(kFileTypeScitexCt,
                                 WriteFixture("scitex_reader", "negative.ct", MakeScitexCt(fields, 1000, 1, {})));
  ASSERT_TRUE(negative.ok());
  ASSERT_EQ(negative.reader->Open(&negative.file, nullptr), kOk);
  ASSERT_EQ(negative.reader->ReadHeader(&info), kOk);
  EXPECT_EQ(info.x_resolution, 0) << "no resolution from a negative size";
  negative.reader->Close();
}

}  // namespace
}  // namespace lumetra
