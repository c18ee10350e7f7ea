#include <gtest/gtest.h>

#include <cstring>
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
using testing::MakeImage;
using testing::Samples;

// The gray image
//   a b c
//   d e f
// whose samples are letters, so that every result can be read as text.
ImagePtr Letters() {
  std::string text = "abcdef";
  return MakeImage(2, 3, kColorSpaceGray, 0, 8, std::vector<uint8_t>(text.begin(), text.end()));
}

// Rows of the image separated by '/'.
std::string Picture(PixelImage* image) {
  std::vector<uint8_t> s = Samples(image);
  std::string out;
  for (uint32_t r = 0; r < image->rows; ++r) {
    if (r) out += '/';
    out.append(reinterpret_cast<const char*>(s.data()) + r * image->columns, image->columns);
  }
  return out;
}

TEST(ChannelCountOf, CountsTheSamplesOfEveryListedSignature) {
  EXPECT_EQ(ChannelCountOf(Signature("RGB ")), 3);
  EXPECT_EQ(ChannelCountOf(Signature("Lab ")), 3);
  EXPECT_EQ(ChannelCountOf(Signature("XYZ ")), 3);
  EXPECT_EQ(ChannelCountOf(Signature("CMY ")), 3);
  EXPECT_EQ(ChannelCountOf(Signature("CMYK")), 4);
  EXPECT_EQ(ChannelCountOf(Signature("LabK")), 4);
  EXPECT_EQ(ChannelCountOf(Signature("GRAY")), 1);
  EXPECT_EQ(ChannelCountOf(0x47524160), 1) << "gray still to be inverted";
  EXPECT_EQ(ChannelCountOf(Signature("nrm1")), 1);
  EXPECT_EQ(ChannelCountOf(Signature("nrm4")), 4);
  EXPECT_EQ(ChannelCountOf(Signature("stat")), 4);
  EXPECT_EQ(ChannelCountOf(Signature("dens")), 4);
  EXPECT_EQ(ChannelCountOf(Signature("spkt")), 36);
  EXPECT_EQ(ChannelCountOf(0), 3);
  for (uint32_t n = 1; n <= 8; ++n) EXPECT_EQ(ChannelCountOf(n), n) << n;
  EXPECT_EQ(ChannelCountOf(9), 3);
  auto sig = [](const std::string& s) {
    return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) |
           (uint32_t(uint8_t(s[2])) << 8) | uint32_t(uint8_t(s[3]));
  };
  const std::string digits = "23456789ABCDEF";
  for (size_t i = 0; i < digits.size(); ++i) {
    std::string name = digits.substr(i, 1) + "CLR";
    EXPECT_EQ(ChannelCountOf(sig(name)), i + 2) << name;
  }
  for (char n = '2'; n <= '8'; ++n) {
    std::string name = std::string("MCH") + n;
    EXPECT_EQ(ChannelCountOf(sig(name)), n - '0') << name;
  }
  EXPECT_EQ(ChannelCountOf(Signature("1CLR")), 3);
  EXPECT_EQ(ChannelCountOf(Signature("GCLR")), 3);
  EXPECT_EQ(ChannelCountOf(Signature("MCH9")), 3);
}

TEST(PixelImage, CreatesWithDefaultsAndResizesItsBlock) {
  PixelImage* raw = nullptr;
  ASSERT_EQ(CreatePixelImage(&raw, 2, 3, 1, kColorSpaceRgb, 16), kOk);
  ImagePtr image(raw);
  EXPECT_EQ(image->resolution, 72);
  EXPECT_EQ(image->resolution_unit, 1);
  EXPECT_EQ(BytesPerPixel(*image), 8u) << "3 colours + 1 extra, 2 bytes each";
  EXPECT_EQ(MemSize(image->pixels), 48u);
  EXPECT_EQ(image->locked, nullptr);

  ASSERT_EQ(SizePixelImage(&raw, 5, 7, 0, kColorSpaceCmyk, 8), kOk);
  EXPECT_EQ(raw, image.get()) << "the record is kept";
  EXPECT_EQ(MemSize(image->pixels), 5u * 7 * 4);
  EXPECT_EQ(image->color_space, kColorSpaceCmyk);

  // For loaders that write every byte: the same image, its block left unfilled.
  ASSERT_EQ(SizePixelImageUnfilled(&raw, 4, 6, 1, kColorSpaceGray, 16), kOk);
  EXPECT_EQ(raw, image.get()) << "the record is kept";
  EXPECT_EQ(MemSize(image->pixels), 4u * 6 * 2 * 2);
  EXPECT_EQ(image->bits_per_sample, 16u);
  EXPECT_EQ(image->extra_channels, 1u);
  PixelImage* fresh = nullptr;
  ASSERT_EQ(SizePixelImageUnfilled(&fresh, 1, 1, 0, kColorSpaceRgb, 8), kOk) << "a record is made when none is given";
  EXPECT_EQ(fresh->resolution, 72);
  FreePixelImage(fresh);
  fresh = nullptr;
  EXPECT_EQ(SizePixelImageUnfilled(&fresh, 40000, 40000, 0, kColorSpaceRgb, 8), kOutOfMemory) << "the same cap";
  EXPECT_EQ(fresh, nullptr);
}

TEST(PixelImage, RefusesSizesThatCannotBeHeld) {
  PixelImage* image = nullptr;
  EXPECT_EQ(CreatePixelImage(&image, 1, 1, 0, kColorSpaceRgb, 0), kBadArgument);
  EXPECT_EQ(CreatePixelImage(&image, 1, 1, 0, kColorSpaceRgb, 17), kBadArgument);
  EXPECT_EQ(CreatePixelImage(&image, 1, 1, 256, kColorSpaceRgb, 8), kBadArgument);
  EXPECT_EQ(CreatePixelImage(&image, 0xFFFFFFFFu, 0xFFFFFFFFu, 0, kColorSpaceRgb, 8), kOutOfMemory);
  EXPECT_EQ(CreatePixelImage(&image, 40000, 40000, 0, kColorSpaceRgb, 8), kOutOfMemory)
      << "beyond the 1 GiB cap";
  EXPECT_EQ(image, nullptr) << "a record made by a failing call is freed again";
}

TEST(PixelImage, GetPixelClampsToTheImage) {
  ImagePtr image = Letters();
  uint8_t p = 0;
  EXPECT_EQ(GetPixel(image.get(), -1, 1, &p), kOk);
  EXPECT_EQ(p, 'b') << "row -1 is row 0";
  EXPECT_EQ(GetPixel(image.get(), 1, -5, &p), kOk);
  EXPECT_EQ(p, 'd');
  EXPECT_EQ(GetPixel(image.get(), 9, 9, &p), kOk);
  EXPECT_EQ(p, 'f') << "beyond the image is the last";
  EXPECT_EQ(GetPixel(image.get(), 0, 0, nullptr), kBadArgument);
  EXPECT_EQ(GetPixel(nullptr, 0, 0, &p), kBadArgument);
}

// Expected pictures follow from the flags' definitions on the letters image.
TEST(Orientation, EachFlagAlone) {
  struct Case {
    uint32_t flags;
    const char* picture;
  } cases[] = {
      {0, "abc/def"},
      {kOrientTurnLeft, "cf/be/ad"},  // the first row becomes the first column, bottom up
      {kOrientTurn180, "fed/cba"},
      {kOrientTranspose, "ad/be/cf"},
      {kOrientFlipVertical, "def/abc"},
      {kOrientFlipHorizontal, "cba/fed"},
  };
  for (const Case& c : cases) {
    ImagePtr image = Letters();
    ASSERT_EQ(ApplyOrientation(image.get(), c.flags), kOk);
    EXPECT_EQ(Picture(image.get()), c.picture) << "flags " << c.flags;
  }
}

TEST(Orientation, CombinedFlagsFollowTheRulesAndTheOrder) {
  struct Case {
    uint32_t flags;
    const char* picture;
  } cases[] = {
      {kOrientTurn180 | kOrientFlipVertical, "cba/fed"},    // a left-right flip
      {kOrientTurn180 | kOrientFlipHorizontal, "def/abc"},  // a top-bottom flip
      {kOrientTurn180 | kOrientFlipVertical | kOrientFlipHorizontal, "abc/def"},
      {kOrientTurnLeft | kOrientTurn180, "da/eb/fc"},       // a quarter turn clockwise
      {kOrientTurnLeft | kOrientTranspose, "cba/fed"},
      {kOrientTurnLeft | kOrientFlipVertical, "ad/be/cf"},
      // 2 + 8 flips left to right before the transposition.
      {kOrientTurn180 | kOrientFlipVertical | kOrientTranspose, "cf/be/ad"},
      // 2 + 16 flips top to bottom before the turn.
      {kOrientTurnLeft | kOrientTurn180 | kOrientFlipHorizontal, "fc/eb/da"},
      {kOrientTranspose | kOrientFlipVertical | kOrientFlipHorizontal, "fc/eb/da"},
  };
  for (const Case& c : cases) {
    ImagePtr image = Letters();
    ASSERT_EQ(ApplyOrientation(image.get(), c.flags), kOk);
    EXPECT_EQ(Picture(image.get()), c.picture) << "flags " << c.flags;
  }
  EXPECT_EQ(ApplyOrientation(nullptr, kOrientTurnLeft), kBadArgument);
}

TEST(Orientation, MovesWholePixelsOfSeveralBytes) {
  // 16-bit RGB plus alpha: 8 bytes a pixel; pixel i holds i in every byte.
  std::vector<uint8_t> samples;
  for (uint8_t i = 0; i < 6; ++i) samples.insert(samples.end(), 8, i);
  ImagePtr image = MakeImage(2, 3, kColorSpaceRgb, 1, 16, samples);
  ASSERT_EQ(ApplyOrientation(image.get(), kOrientTurnLeft), kOk);
  ASSERT_EQ(image->rows, 3u);
  ASSERT_EQ(image->columns, 2u);
  std::vector<uint8_t> turned = Samples(image.get());
  const uint8_t expected[] = {2, 5, 1, 4, 0, 3};
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(std::vector<uint8_t>(turned.begin() + 8 * i, turned.begin() + 8 * i + 8),
              std::vector<uint8_t>(8, expected[i]))
        << "pixel " << i;
  }
}

TEST(SampleConversions, SixteenBitsKeepTheirMoreSignificantBytes) {
  const uint16_t words[] = {0x1234, 0xFF00, 0x00FF, 0xABCD, 0x8000, 0x7FFF};
  std::vector<uint8_t> samples(sizeof words);
  std::memcpy(samples.data(), words, sizeof words);
  ImagePtr image = MakeImage(1, 2, kColorSpaceRgb, 0, 16, samples);
  ASSERT_EQ(ReduceToEightBits(image.get()), kOk);
  EXPECT_EQ(image->bits_per_sample, 8u);
  EXPECT_EQ(Samples(image.get()), (std::vector<uint8_t>{0x12, 0xFF, 0x00, 0xAB, 0x80, 0x7F}));
  EXPECT_EQ(ReduceToEightBits(nullptr), kBadArgument);
}

TEST(SampleConversions, InversionSparesRgbAndExtraChannels) {
  std::vector<uint8_t> cmyka = {0, 10, 200, 255, 77, 1, 2, 3, 4, 88};
  InvertUnlessRgb(cmyka.data(), 2, kColorSpaceCmyk, 1);
  EXPECT_EQ(cmyka, (std::vector<uint8_t>{255, 245, 55, 0, 77, 254, 253, 252, 251, 88}));
  std::vector<uint8_t> rgb = {1, 2, 3};
  InvertUnlessRgb(rgb.data(), 1, kColorSpaceRgb, 0);
  EXPECT_EQ(rgb, (std::vector<uint8_t>{1, 2, 3}));
}

TEST(SampleConversions, TiffSamplesOfSixteenBits) {
  const uint16_t gray[] = {0, 7, 65535, 9};
  uint16_t out[4];
  ConvertTiffSamples16(reinterpret_cast<const uint8_t*>(gray), reinterpret_cast<uint8_t*>(out), 2,
                       kColorSpaceInvertedGray, 1);
  EXPECT_EQ(out[0], 65535);
  EXPECT_EQ(out[1], 7);
  EXPECT_EQ(out[2], 0);
  EXPECT_EQ(out[3], 9);

  uint16_t lab[] = {65535, 0xFFF6, 10, 0, 0x8000, 0x7FFF};
  ConvertTiffSamples16(reinterpret_cast<const uint8_t*>(lab), reinterpret_cast<uint8_t*>(lab), 2,
                       kColorSpaceSignedLab, 0);
  EXPECT_EQ(lab[0], 65280) << "65535 - (65535 x 255 + 256) / 65536";
  EXPECT_EQ(lab[1], 32758) << "a = -10";
  EXPECT_EQ(lab[2], 32778);
  EXPECT_EQ(lab[3], 0);
  EXPECT_EQ(lab[4], 0);
  EXPECT_EQ(lab[5], 65535);
}

Status CancelAfterFirstRow(void* context, uint32_t fraction) {
  static_cast<std::vector<uint32_t>*>(context)->push_back(fraction);
  return kCancelled;
}

Status Record(void* context, uint32_t fraction) {
  static_cast<std::vector<uint32_t>*>(context)->push_back(fraction);
  return kOk;
}

TEST(LoadImageFile, ChoosesByTypeAndHandsOutNothingOnFailure) {
  PixelImage* image = reinterpret_cast<PixelImage*>(uintptr_t{1});
  EXPECT_EQ(LoadImageFile(nullptr, &image, nullptr, nullptr), kNoFileName);
  EXPECT_EQ(image, nullptr);

  std::string dir = testing::ScratchDir("load_image_file");
  std::string gif = testing::SystemPath(dir + "/picture.gif");
  ASSERT_TRUE(testing::WriteFileBytes(gif, {'G', 'I', 'F', '8', '9', 'a', 0, 0}));
  EXPECT_EQ(LoadImageFile(gif.c_str(), &image, nullptr, nullptr), kUnsupportedImageData);

  TImageReader* reader = reinterpret_cast<TImageReader*>(uintptr_t{1});
  EXPECT_EQ(CreateReader(kFileTypeGif, &reader), kUnknownFormat);
  EXPECT_EQ(reader, nullptr);
}

TEST(LoadImageFile, ReportsProgressAndStopsWhenTheCallbackSaysSo) {
  std::string path =
      testing::SystemPath(testing::ScratchDir("load_image_file") + "/progress.bmp");
  testing::BmpFields fields;
  fields.height = 4;
  ASSERT_TRUE(testing::WriteFileBytes(path, testing::MakeBmp(fields, testing::PatternRgb(3, 4))));

  std::vector<uint32_t> fractions;
  PixelImage* image = nullptr;
  ASSERT_EQ(LoadImageFile(path.c_str(), &image, Record, &fractions), kOk);
  FreePixelImage(image);
  EXPECT_EQ(fractions, (std::vector<uint32_t>{16383, 32767, 49151, 65535}));

  fractions.clear();
  EXPECT_EQ(LoadImageFile(path.c_str(), &image, CancelAfterFirstRow, &fractions), kCancelled);
  EXPECT_EQ(image, nullptr);
  EXPECT_EQ(fractions.size(), 1u);
}

}  // namespace
}  // namespace lumetra
