// The TIFF reader against libtiff (host only): the images of libtiff's own
// test suite, and files libtiff writes in every kind the reader supports,
// must decode to libtiff's samples after the pixel image's conventions, or
// be refused with the expected status.

#include <gtest/gtest.h>
#include <tiffio.h>

#include <fstream>
#include <string>
#include <vector>

#include "imaging/tiff_reader.h"
#include "tests/testing/paths.h"

namespace lumetra {
namespace {

using Bytes = std::vector<uint8_t>;

const std::string kTestImages =
    testing::DependencySource("tiff-4.5.0/test/images/");

class QuietLibtiff : public ::testing::Test {
 protected:
  void SetUp() override {
    TIFFSetWarningHandler(nullptr);
    TIFFSetErrorHandler(nullptr);
  }
};

// libtiff's samples of the first directory, strip after strip, in host order,
// turned into the pixel image's conventions (gray as ink, Lab offset).
bool ReferencePixels(const std::string& path, Bytes* pixels) {
  TIFF* tiff = TIFFOpen(path.c_str(), "r");
  if (!tiff) return false;
  uint32_t width = 0, height = 0;
  uint16_t bits = 0, samples = 1, photometric = 0;
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
  TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
  size_t total = size_t{width} * height * samples * (bits / 8);
  pixels->assign(total, 0);
  size_t at = 0;
  for (uint32_t strip = 0; strip < TIFFNumberOfStrips(tiff) && at < total; ++strip) {
    tmsize_t got = TIFFReadEncodedStrip(tiff, strip, pixels->data() + at, static_cast<tmsize_t>(total - at));
    if (got < 0) {
      TIFFClose(tiff);
      return false;
    }
    at += static_cast<size_t>(got);
  }
  TIFFClose(tiff);
  size_t stride = samples;
  if (bits == 8) {
    uint8_t* p = pixels->data();
    for (size_t i = 0; i < total; i += stride) {
      if (photometric == PHOTOMETRIC_MINISBLACK) p[i] = static_cast<uint8_t>(255 - p[i]);
      if (photometric == PHOTOMETRIC_CIELAB) {
        p[i + 1] = static_cast<uint8_t>(p[i + 1] + 128);
        p[i + 2] = static_cast<uint8_t>(p[i + 2] + 128);
      }
    }
  } else {
    auto* p = reinterpret_cast<uint16_t*>(pixels->data());
    for (size_t i = 0; i < total / 2; i += stride) {
      if (photometric == PHOTOMETRIC_MINISBLACK) p[i] = static_cast<uint16_t>(65535 - p[i]);
      if (photometric == PHOTOMETRIC_CIELAB) {
        p[i] = static_cast<uint16_t>(p[i] - (p[i] * 255u + 256) / 65536);
        p[i + 1] = static_cast<uint16_t>(p[i + 1] + 32768);
        p[i + 2] = static_cast<uint16_t>(p[i + 2] + 32768);
      }
    }
  }
  return true;
}

Status LoadPixels(const std::string& path, Bytes* pixels, uint32_t* bits) {
  PixelImage* image = nullptr;
  Status status = LoadTiffImage(&image, path.c_str(), nullptr, nullptr);
  if (status == kOk) {
    const uint8_t* p = LockPixels(image);
    pixels->assign(p, p + BytesPerRow(*image) * image->rows);
    *bits = image->bits_per_sample;
    UnlockPixels(image);
  }
  FreePixelImage(image);
  return status;
}

TEST_F(QuietLibtiff, LibtiffTestImagesDecodeAlikeOrAreRefused) {
  if (!testing::UnixFileExists(kTestImages + "rgb-3c-8b.tiff")) {
    FAIL() << "missing reference files in " << kTestImages
           << " (tools/build-win32-deps.sh unpacks libtiff's test images)";
  }
  struct Golden {
    const char* file;
    Status status;
  };
  const Golden golden[] = {
      {"custom_dir_EXIF_GPS.tiff", kOk},
      {"deflate-last-strip-extra-data.tiff", kTiffUnsupportedCompression},
      {"logluv-3c-16b.tiff", kTiffUnsupportedPhotometric},
      {"lzw-single-strip.tiff", kUnsupportedBitDepth},
      {"minisblack-1c-16b.tiff", kOk},
      {"minisblack-1c-8b.tiff", kOk},
      {"minisblack-2c-8b-alpha.tiff", kUnsupportedImageData},  // separate planes
      {"miniswhite-1c-1b.tiff", kUnsupportedBitDepth},
      {"ojpeg_chewey_subsamp21_multi_strip.tiff", kTiffUnsupportedPhotometric},
      {"ojpeg_single_strip_no_rowsperstrip.tiff", kTiffUnsupportedPhotometric},
      {"ojpeg_zackthecat_subsamp22_single_strip.tiff", kTiffUnsupportedPhotometric},
      {"palette-1c-1b.tiff", kTiffUnsupportedPhotometric},
      {"palette-1c-4b.tiff", kTiffUnsupportedPhotometric},
      {"palette-1c-8b.tiff", kTiffUnsupportedPhotometric},
      {"quad-lzw-compat.tiff", kTiffUnsupportedCompression},  // LZW from before TIFF 6.0
      {"quad-tile.jpg.tiff", kTiffUnsupportedPhotometric},
      {"rgb-3c-16b.tiff", kOk},
      {"rgb-3c-8b.tiff", kOk},
      {"test_float64_predictor2_be_lzw.tif", kUnsupportedBitDepth},
      {"test_float64_predictor2_le_lzw.tif", kUnsupportedBitDepth},
      {"test_ifd_loop_to_first.tif", kOk},
      {"test_ifd_loop_to_self.tif", kOk},
      {"test_two_ifds.tif", kOk},
      {"testfax4.tiff", kTiffUnsupportedCompression},
      {"tiff_with_subifd_chain.tif", kTiffBadHeader},  // tiled: no strips
  };
  for (const Golden& g : golden) {
    SCOPED_TRACE(g.file);
    std::string path = kTestImages + g.file;
    Bytes ours, reference;
    uint32_t bits = 0;
    ASSERT_EQ(LoadPixels(path, &ours, &bits), g.status);
    if (g.status != kOk) continue;
    ASSERT_TRUE(ReferencePixels(path, &reference));
    EXPECT_TRUE(ours == reference) << "pixels differ from libtiff's";
  }
}

struct Kind {
  uint16_t photometric;
  uint16_t samples;
  uint16_t extra;  // of the samples, unassociated alpha
};

// A picture with smooth runs and noise, so that every decoder path is taken.
Bytes Picture(uint32_t width, uint32_t height, size_t samples, uint16_t bits, uint32_t seed) {
  size_t bytes = size_t{width} * height * samples * (bits / 8);
  Bytes picture(bytes);
  uint32_t noise = seed;
  for (size_t i = 0; i < bytes; ++i) {
    noise = noise * 1103515245u + 12345u;
    size_t x = (i / samples) % width;
    picture[i] = static_cast<uint8_t>(x / 3 + i % samples * 40 + ((noise >> 16) % 5 == 0 ? noise >> 24 : 0));
  }
  return picture;
}

bool WriteWithLibtiff(const std::string& path, const char* mode, const Kind& kind, uint16_t bits,
                      uint16_t compression, uint16_t predictor, uint32_t width, uint32_t height,
                      uint32_t rows_per_strip, const Bytes& picture) {
  TIFF* tiff = TIFFOpen(path.c_str(), mode);
  if (!tiff) return false;
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, bits);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, kind.samples);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, kind.photometric);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, compression);
  if (compression == COMPRESSION_LZW) TIFFSetField(tiff, TIFFTAG_PREDICTOR, predictor);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, rows_per_strip);
  if (kind.extra) {
    uint16_t extra = EXTRASAMPLE_UNASSALPHA;
    TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &extra);
  }
  size_t row = size_t{width} * kind.samples * (bits / 8);
  bool ok = true;
  for (uint32_t y = 0; y < height && ok; ++y) {
    ok = TIFFWriteScanline(tiff, const_cast<uint8_t*>(picture.data() + y * row), y, 0) == 1;
  }
  TIFFClose(tiff);
  return ok;
}

TEST_F(QuietLibtiff, FilesLibtiffWritesDecodeAlike) {
  const Kind kinds[] = {
      {PHOTOMETRIC_MINISWHITE, 1, 0}, {PHOTOMETRIC_MINISBLACK, 1, 0}, {PHOTOMETRIC_RGB, 3, 0},
      {PHOTOMETRIC_RGB, 4, 1},        {PHOTOMETRIC_SEPARATED, 4, 0},  {PHOTOMETRIC_CIELAB, 3, 0},
      {PHOTOMETRIC_ICCLAB, 3, 0},
  };
  struct Coding {
    uint16_t compression, predictor;
  };
  const Coding codings[] = {{COMPRESSION_NONE, 1}, {COMPRESSION_LZW, 1}, {COMPRESSION_LZW, 2},
                            {COMPRESSION_PACKBITS, 1}};
  std::string dir = testing::ScratchDir("libtiff");
  int files = 0;
  uint32_t seed = 1;
  for (const Kind& kind : kinds) {
    for (uint16_t bits : {8, 16}) {
      for (const Coding& coding : codings) {
        for (const char* mode : {"wl", "wb"}) {
          // Odd sizes, strips that do not divide the height, and at 16 bits
          // enough data for several LZW table resets and loader chunks.
          uint32_t width = 67 + seed % 13, height = 150, rows_per_strip = 7 + seed % 61;
          std::string path = dir + "/kind" + std::to_string(seed++) + ".tif";
          SCOPED_TRACE(path + " photometric " + std::to_string(kind.photometric) + " bits " +
                       std::to_string(bits) + " compression " + std::to_string(coding.compression) +
                       " predictor " + std::to_string(coding.predictor) + " " + mode);
          Bytes picture = Picture(width, height, kind.samples, bits, seed);
          ASSERT_TRUE(WriteWithLibtiff(path, mode, kind, bits, coding.compression, coding.predictor,
                                       width, height, rows_per_strip, picture));
          Bytes ours, reference;
          uint32_t loaded_bits = 0;
          ASSERT_EQ(LoadPixels(path, &ours, &loaded_bits), kOk);
          EXPECT_EQ(loaded_bits, bits);
          ASSERT_TRUE(ReferencePixels(path, &reference));
          EXPECT_TRUE(ours == reference) << "pixels differ from libtiff's";
          ++files;
        }
      }
    }
  }
  EXPECT_EQ(files, 7 * 2 * 4 * 2);
}

TEST_F(QuietLibtiff, NoiseLibtiffCodesLargerThanItselfDecodesAlike) {
  // Bytes with no pattern leave LZW single bytes and pairs: its output is
  // larger than the pixels, and nearly every code is a single byte.
  const uint32_t width = 301, height = 97;
  const Kind rgb = {PHOTOMETRIC_RGB, 3, 0};
  Bytes picture(size_t{width} * height * 3);
  uint32_t noise = 11;
  for (uint8_t& b : picture) {
    noise = noise * 1103515245u + 12345u;
    b = static_cast<uint8_t>(noise >> 24);
  }
  for (uint32_t rows_per_strip : {5u, height}) {
    SCOPED_TRACE(rows_per_strip);
    std::string path = testing::ScratchDir("libtiff") + "/noise" + std::to_string(rows_per_strip) + ".tif";
    ASSERT_TRUE(WriteWithLibtiff(path, "wl", rgb, 8, COMPRESSION_LZW, 1, width, height, rows_per_strip, picture));
    ASSERT_GT(static_cast<size_t>(std::ifstream(path, std::ios::binary | std::ios::ate).tellg()), picture.size())
        << "the noise compressed";
    Bytes ours, reference;
    uint32_t bits = 0;
    ASSERT_EQ(LoadPixels(path, &ours, &bits), kOk);
    ASSERT_TRUE(ReferencePixels(path, &reference));
    EXPECT_TRUE(ours == reference) << "pixels differ from libtiff's";
    EXPECT_TRUE(ours == picture);
  }
}

}  // namespace
}  // namespace lumetra
