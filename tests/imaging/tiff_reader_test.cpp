// The TIFF reader over files built in code: header and directory checks, the
// sample conventions, the three decoders and damaged input.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "framework/support/file_types.h"
#include "imaging/tiff_reader.h"
#include "tests/imaging/tiff_fixture.h"
#include "tests/testing/pixel_images.h"

namespace lumetra {
namespace {

using testing::LzwEncode;
using testing::TiffFixture;
using Bytes = std::vector<uint8_t>;

struct Loaded {
  Status status = kOk;
  uint32_t rows = 0, columns = 0, color_space = 0, extra = 0, bits = 0;
  Bytes pixels;
};

Loaded Copy(Status status, PixelImage* image) {
  Loaded loaded;
  loaded.status = status;
  if (image) {
    if (status == kOk) {
      loaded.rows = image->rows;
      loaded.columns = image->columns;
      loaded.color_space = image->color_space;
      loaded.extra = image->extra_channels;
      loaded.bits = image->bits_per_sample;
      const uint8_t* p = LockPixels(image);
      loaded.pixels.assign(p, p + BytesPerRow(*image) * image->rows);
      UnlockPixels(image);
    }
    FreePixelImage(image);
  }
  return loaded;
}

Loaded LoadTiff(const std::string& path) {
  PixelImage* image = nullptr;
  Status status = LoadTiffImage(&image, path.c_str(), nullptr, nullptr);
  return Copy(status, image);
}
Loaded LoadTiff(const TiffFixture& fixture) { return LoadTiff(fixture.Write("image.tif")); }

Bytes Ramp(size_t count, int step = 1) {
  Bytes bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i * step + i / 7);
  return bytes;
}

// A white-is-zero gray image whose one strip claims `claimed` bytes and is the
// file's last `present` bytes of `data`.
Bytes FileEndingInsideTheStrip(uint32_t width, uint32_t height, uint16_t compression,
                               uint32_t claimed, const Bytes& data, size_t present) {
  TiffFixture fixture(false, width, height, 1, 0);
  fixture.Short(259, {compression}).Long(279, {claimed}).Long(273, {0});
  fixture.Long(273, {static_cast<uint32_t>(fixture.Build().size())});
  Bytes file = fixture.Build();
  file.insert(file.end(), data.begin(), data.begin() + present);
  return file;
}

// Both ways of reading a TIFF: the loader, a chunk at a time, and the reader
// protocol, a row at a time.
std::vector<Loaded> LoadBothWays(const std::string& name, const Bytes& file) {
  std::string path = TiffFixture::WriteFile(name, file);
  PixelImage* image = nullptr;
  Status status = LoadImageWithReader(&image, path.c_str(), kFileTypeTiff, nullptr, nullptr);
  return {LoadTiff(path), Copy(status, image)};
}

TEST(TiffHeader, RefusesWrongMarksAndUnreadableDirectories) {
  Bytes good = TiffFixture(false, 1, 1, 1, 0).Strips({{7}}).Build();
  Bytes bad_mark = good;
  bad_mark[1] = 'M';
  EXPECT_EQ(LoadTiff(TiffFixture::WriteFile("mark.tif", bad_mark)).status, kTiffBadHeader);
  Bytes bad_identifier = good;
  bad_identifier[2] = 43;
  EXPECT_EQ(LoadTiff(TiffFixture::WriteFile("id.tif", bad_identifier)).status, kTiffBadHeader);
  EXPECT_EQ(LoadTiff(TiffFixture::WriteFile("short.tif", Bytes(good.begin(), good.begin() + 6))).status,
            kTiffBadHeader);
  Bytes far_directory = good;
  far_directory[7] = 0x7F;  // the directory offset beyond the file
  EXPECT_EQ(LoadTiff(TiffFixture::WriteFile("far.tif", far_directory)).status, kTiffBadHeader);
  Bytes cut_directory(good.begin(), good.end() - 10);
  EXPECT_EQ(LoadTiff(TiffFixture::WriteFile("cut.tif", cut_directory)).status, kTiffBadHeader);
}

TEST(TiffTags, ValuesInEitherByteOrderAndArraysCheckedAgainstTheFile) {
  for (bool big : {false, true}) {
    SCOPED_TRACE(big ? "MM" : "II");
    TiffFixture fixture(big, 3, 2, 1, 0);
    fixture.Short(300, {0x1234, 0x5678}).Bytes(301, 1, {0xAB}).Long(302, {1, 2, 0x89ABCDEF})
        .Field(303, 4, 0x40000000, {0, 0, 0, 8});  // a count far beyond the file
    SpecialPloFile file;
    std::string path = fixture.Write("tags.tif");
    file.SetName(path.c_str());
    ASSERT_EQ(file.Open(kFileModeRead), kOk);
    TiffFile* tiff = nullptr;
    ASSERT_EQ(OpenTiffFile(&file, &tiff), kOk);
    EXPECT_EQ(tiff->little_endian, !big);
    TiffDirectory* directory = nullptr;
    ASSERT_EQ(ReadTiffDirectory(tiff, 1, &directory), kOk);
    TiffDirectory* second = nullptr;
    EXPECT_EQ(ReadTiffDirectory(tiff, 2, &second), kBadArgument) << "only the first directory";

    uint32_t value = 0;
    EXPECT_EQ(GetTiffScalar(directory, 300, &value), kOk);
    EXPECT_EQ(value, 0x1234u);
    EXPECT_EQ(GetTiffScalar(directory, 301, &value), kOk);
    EXPECT_EQ(value, 0xABu) << "a BYTE stands in the entry's first byte";
    EXPECT_EQ(GetTiffScalar(directory, 999, &value), kTiffTagMissing);
    EXPECT_EQ(GetTiffScalar(directory, 999, &value, true, 5), kOk);
    EXPECT_EQ(value, 5u);
    uint16_t type;
    uint32_t count;
    EXPECT_EQ(FindTiffTag(directory, 999, &type, &count, &value), kTiffTagMissing);
    EXPECT_EQ(type + count + value, 0u);

    MemPtr<uint8_t> block;
    size_t element_size;
    ASSERT_EQ(GetTiffArray(tiff, directory, 300, &block, &element_size, &count), kOk);
    uint16_t shorts[2];
    std::memcpy(shorts, block.get(), 4);
    EXPECT_EQ(shorts[1], 0x5678) << "two SHORTs standing in the entry";
    ASSERT_EQ(GetTiffArray(tiff, directory, 302, &block, &element_size, &count), kOk);
    uint32_t longs[3];
    std::memcpy(longs, block.get(), 12);
    EXPECT_EQ(longs[2], 0x89ABCDEFu);
    EXPECT_EQ(GetTiffArray(tiff, directory, 303, &block, &element_size, &count), kShortRead);
    EXPECT_FALSE(block);
    FreeTiffDirectory(directory);
    CloseTiffFile(tiff);
    file.Close();
  }
}

TEST(TiffSamples, ByteOrderGrayInversionAndLabOffsets) {
  // 16-bit samples 0x1234 and 0xABCD, stored big-endian.
  TiffFixture mm16(true, 2, 1, 1, 0);
  mm16.Short(258, {16}).Strips({{0x12, 0x34, 0xAB, 0xCD}});
  Loaded wide = LoadTiff(mm16);
  ASSERT_EQ(wide.status, kOk);
  EXPECT_EQ(wide.bits, 16u);
  uint16_t samples[2];
  std::memcpy(samples, wide.pixels.data(), 4);
  EXPECT_EQ(samples[0], 0x1234);
  EXPECT_EQ(samples[1], 0xABCD);
  PixelImage* reduced = nullptr;
  Status status = LoadImageFile(mm16.Write("mm16.tif").c_str(), &reduced, nullptr, nullptr);
  Loaded narrow = Copy(status, reduced);
  ASSERT_EQ(narrow.status, kOk);
  EXPECT_EQ(narrow.pixels, (Bytes{0x12, 0xAB})) << "LoadImageFile keeps the more significant bytes";

  Loaded white_is_zero = LoadTiff(TiffFixture(false, 3, 1, 1, 0).Strips({{0, 100, 255}}));
  EXPECT_EQ(white_is_zero.color_space, kColorSpaceGray);
  EXPECT_EQ(white_is_zero.pixels, (Bytes{0, 100, 255}));
  Loaded black_is_zero = LoadTiff(TiffFixture(false, 3, 1, 1, 1).Strips({{0, 100, 255}}));
  EXPECT_EQ(black_is_zero.color_space, kColorSpaceGray);
  EXPECT_EQ(black_is_zero.pixels, (Bytes{255, 155, 0}));

  Loaded cielab = LoadTiff(TiffFixture(false, 1, 1, 3, 8).Strips({{50, 246, 10}}));
  EXPECT_EQ(cielab.color_space, kColorSpaceLab);
  EXPECT_EQ(cielab.pixels, (Bytes{50, 118, 138})) << "a = -10 is stored as 246";
  Loaded icclab = LoadTiff(TiffFixture(false, 1, 1, 3, 9).Strips({{50, 246, 10}}));
  EXPECT_EQ(icclab.pixels, (Bytes{50, 246, 10}));

  Loaded cmyk_alpha = LoadTiff(TiffFixture(false, 1, 1, 5, 5).Strips({{1, 2, 3, 4, 5}}));
  EXPECT_EQ(cmyk_alpha.color_space, kColorSpaceCmyk);
  EXPECT_EQ(cmyk_alpha.extra, 1u);
}

TEST(TiffSupport, RequiredTagsAndRefusedKinds) {
  auto image = [] { return TiffFixture(false, 2, 1, 1, 0).Strips({{1, 2}}); };
  EXPECT_EQ(LoadTiff(image().Remove(258)).status, kTiffBadHeader) << "no BitsPerSample";
  EXPECT_EQ(LoadTiff(image().Remove(256)).status, kTiffBadHeader) << "no ImageWidth";
  EXPECT_EQ(LoadTiff(image().NoStripTags()).status, kTiffBadHeader) << "no strips (a tiled image)";
  Loaded one_sample = LoadTiff(image().Remove(277));
  EXPECT_EQ(one_sample.status, kOk) << "SamplesPerPixel defaults to 1";
  EXPECT_EQ(one_sample.pixels, (Bytes{1, 2}));

  EXPECT_EQ(LoadTiff(image().Short(262, {3})).status, kTiffUnsupportedPhotometric) << "palette";
  EXPECT_EQ(LoadTiff(image().Remove(262)).status, kTiffUnsupportedPhotometric);
  EXPECT_EQ(LoadTiff(image().Short(259, {4})).status, kTiffUnsupportedCompression) << "Group 4";
  EXPECT_EQ(LoadTiff(image().Short(259, {8})).status, kTiffUnsupportedCompression) << "Deflate";
  EXPECT_EQ(LoadTiff(image().Short(259, {5}).Short(317, {3})).status, kTiffUnsupportedCompression);
  EXPECT_EQ(LoadTiff(image().Short(258, {1})).status, kUnsupportedBitDepth);
  EXPECT_EQ(LoadTiff(image().Short(258, {32})).status, kUnsupportedBitDepth);
  EXPECT_EQ(LoadTiff(image().Long(258, {8})).status, kTiffBadHeader)
      << "BitsPerSample is a SHORT; a LONG one is a damaged header";
  EXPECT_EQ(LoadTiff(TiffFixture(false, 1, 1, 3, 2).Short(258, {8, 16, 8}).Strips({{1, 2, 3, 4}})).status,
            kUnsupportedBitDepth)
      << "samples of different sizes";
  EXPECT_EQ(LoadTiff(image().Short(262, {2})).status, kUnsupportedImageData) << "RGB of one sample";
  EXPECT_EQ(LoadTiff(image().Long(277, {0x838253F0})).status, kUnsupportedImageData)
      << "a sample count no pixel can have";
  EXPECT_EQ(LoadTiff(TiffFixture(false, 1, 1, 3, 2).Short(284, {2}).Strips({{1}, {2}, {3}})).status,
            kUnsupportedImageData)
      << "separate planes";
}

TEST(TiffLzw, WidthGrowsWhenTheNextCodeReaches511) {
  // 300 distinct pairs fill the table past 511 with no repeated strings.
  Bytes pixels;
  for (int i = 0; pixels.size() < 600; ++i) {
    pixels.push_back(static_cast<uint8_t>(i));
    pixels.push_back(static_cast<uint8_t>(i * 7 + 3));
  }
  auto load = [&](bool late) {
    return LoadTiff(TiffFixture(false, 600, 1, 1, 0).Short(259, {5}).Strips({LzwEncode(pixels, late)}));
  };
  Loaded early = load(false);
  ASSERT_EQ(early.status, kOk);
  EXPECT_TRUE(early.pixels == pixels);
  Loaded late = load(true);
  EXPECT_FALSE(late.pixels == pixels) << "a width growing at 512 must not decode alike";
}

TEST(TiffLzw, AFullTableWithoutAClearCodeGoesOnWithTheCodesItHas) {
  // Noise fills the table within a few thousand bytes; the rest is coded
  // from the full table, up to its last entry, 4095.
  Bytes noise;
  uint32_t state = 5;
  for (size_t i = 0; i < 60000; ++i) {
    state = state * 1103515245u + 12345u;
    noise.push_back(static_cast<uint8_t>(state >> 24));
  }
  noise.insert(noise.end(), noise.begin(), noise.begin() + 20000);  // strings the full table holds
  int clears = 0;
  Bytes strip = LzwEncode(noise, false, &clears, true);
  ASSERT_EQ(clears, 1) << "the encoder was to keep its full table";
  TiffFixture fixture(false, 400, static_cast<uint32_t>(noise.size() / 400), 1, 0);
  fixture.Short(259, {5}).Strips({strip});
  for (const Loaded& loaded : LoadBothWays("full-table.tif", fixture.Build())) {
    ASSERT_EQ(loaded.status, kOk);
    EXPECT_TRUE(loaded.pixels == noise) << "codes after the table filled up";
  }
}

TEST(TiffLzw, DamagedStreamsEndTheStripOrAreRefused) {
  Bytes pixels = Ramp(64);
  Bytes good = LzwEncode(pixels);
  // The clear code, then 511, a code the table does not hold yet, then more data.
  Bytes unknown_code = {0x80, 0x7F, 0xC0, 0x00, 0xFF};
  Loaded bad = LoadTiff(TiffFixture(false, 8, 8, 1, 0).Short(259, {5}).Strips({unknown_code}));
  ASSERT_EQ(bad.status, kOk) << "a bad code ends the strip";
  EXPECT_EQ(bad.pixels, Bytes(64, 255));

  Bytes no_end(good.begin(), good.end() - 2);
  Loaded cut = LoadTiff(TiffFixture(false, 8, 8, 1, 0).Short(259, {5}).Strips({no_end}));
  ASSERT_EQ(cut.status, kOk) << "data ending without an end code end the strip";
  EXPECT_TRUE(std::equal(cut.pixels.begin(), cut.pixels.begin() + 40, pixels.begin()));

  // Old-style LZW starts with a zero byte and an odd one instead of a clear code.
  Loaded old_style = LoadTiff(TiffFixture(false, 8, 8, 1, 0).Short(259, {5}).Strips({{0x00, 0x01, 0x02}}));
  EXPECT_EQ(old_style.status, kTiffUnsupportedCompression);
}

// Samples as stored, in the file's byte order, `bits` wide.
Bytes Stored(const std::vector<uint16_t>& samples, uint32_t bits, bool big_endian) {
  Bytes out;
  for (uint16_t v : samples) {
    if (bits == 8) {
      out.push_back(static_cast<uint8_t>(v));
    } else if (big_endian) {
      out.insert(out.end(), {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
    } else {
      out.insert(out.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
    }
  }
  return out;
}

// Samples in host order, as the pixel image holds them.
Bytes Host(const std::vector<uint16_t>& samples, uint32_t bits) {
  Bytes out(samples.size() * (bits / 8));
  for (size_t i = 0; i < samples.size(); ++i) {
    if (bits == 8) {
      out[i] = static_cast<uint8_t>(samples[i]);
    } else {
      std::memcpy(out.data() + 2 * i, &samples[i], 2);
    }
  }
  return out;
}

std::vector<uint16_t> NoisySamples(size_t count, uint32_t bits) {
  std::vector<uint16_t> samples(count);
  uint32_t noise = 7;
  for (size_t i = 0; i < count; ++i) {
    noise = noise * 1103515245u + 12345u;
    samples[i] = static_cast<uint16_t>((i * 37 + (noise >> 16)) & (bits == 8 ? 0xFF : 0xFFFF));
  }
  return samples;
}

TEST(TiffLzw, PredictorUndoesHorizontalDifferencingAtBothDepthsAndByteOrders) {
  // RGB rows of 1000 pixels in strips of 16 rows: the loader's chunks (21845
  // pixels at 8 bits, 10922 at 16) end inside rows, so the predictor's row
  // position and last pixel must carry over from one chunk to the next.
  const uint32_t width = 1000, height = 30, rows_per_strip = 16;
  for (uint32_t bits : {8u, 16u}) {
    for (bool big : {false, true}) {
      SCOPED_TRACE(std::to_string(bits) + (big ? " bits MM" : " bits II"));
      std::vector<uint16_t> samples = NoisySamples(size_t{width} * height * 3, bits);
      // TIFF 6.0 section 14: each sample after a row's first pixel is stored
      // as its difference to the same sample of the pixel before.
      std::vector<uint16_t> differences = samples;
      const uint32_t mask = bits == 8 ? 0xFF : 0xFFFF;
      for (size_t i = 0; i < samples.size(); ++i) {
        if (i % (size_t{width} * 3) >= 3) differences[i] = static_cast<uint16_t>((samples[i] - samples[i - 3]) & mask);
      }
      std::vector<Bytes> strips;
      for (uint32_t row = 0; row < height; row += rows_per_strip) {
        size_t from = size_t{row} * width * 3;
        size_t to = size_t{std::min(row + rows_per_strip, height)} * width * 3;
        strips.push_back(LzwEncode(Stored({differences.begin() + from, differences.begin() + to}, bits, big)));
      }
      TiffFixture fixture(big, width, height, 3, 2);
      fixture.Short(258, {static_cast<uint16_t>(bits), static_cast<uint16_t>(bits), static_cast<uint16_t>(bits)})
          .Short(259, {5}).Short(317, {2}).Long(278, {rows_per_strip}).Strips(strips);
      for (const Loaded& loaded : LoadBothWays("predictor.tif", fixture.Build())) {
        ASSERT_EQ(loaded.status, kOk);
        EXPECT_EQ(loaded.bits, bits);
        EXPECT_TRUE(loaded.pixels == Host(samples, bits)) << "the differences must be summed back";
      }
    }
  }
}

TEST(TiffLzw, StringsDecodeAlikeWhateverRoomTheOutputHasLeft) {
  // Runs (long strings, and codes defined by their own use) between noise
  // (short strings). The reader protocol hands the decoder one row of room at
  // a time, so rows of 1 to 13 bytes end strings anywhere; the loader gives it
  // whole chunks. Both must give the bytes that were encoded.
  Bytes data;
  uint32_t noise = 3;
  while (data.size() < 20000) {
    noise = noise * 1103515245u + 12345u;
    size_t run = (noise >> 16) % 40;
    uint8_t value = static_cast<uint8_t>(noise >> 8);
    data.insert(data.end(), run, value);
    for (int i = 0; i < 9; ++i) data.push_back(static_cast<uint8_t>((noise >> (i + 3)) * 7));
  }
  Bytes strip = LzwEncode(data);
  for (uint32_t width : {1u, 2u, 7u, 8u, 9u, 13u}) {
    SCOPED_TRACE(width);
    uint32_t height = static_cast<uint32_t>(data.size() / width);
    Bytes expected(data.begin(), data.begin() + size_t{width} * height);
    TiffFixture fixture(false, width, height, 1, 0);
    fixture.Short(259, {5}).Strips({strip});
    for (const Loaded& loaded : LoadBothWays("room.tif", fixture.Build())) {
      ASSERT_EQ(loaded.status, kOk);
      EXPECT_TRUE(loaded.pixels == expected) << "decoded strings depend on the room left";
    }
  }
}

TEST(TiffLzw, BatchesOfCodesDecodeAsCodesOneByOne) {
  // The loader gives the decoder room for many codes at once, so that it
  // decodes most of them in batches; rows of 7 bytes leave it too little
  // room for a batch, so the reader protocol decodes code by code. Noise with
  // runs (long strings and codes defined by their own use) passes every
  // width change; clear codes come where the table is full, or early, inside
  // batches; strips cut short end inside batches, at every bit position;
  // damaged bytes bring codes the table does not hold.
  Bytes data;
  uint32_t noise = 11;
  while (data.size() < 30000) {
    noise = noise * 1103515245u + 12345u;
    if ((noise >> 8) % 16 == 0) data.insert(data.end(), (noise >> 12) % 30, static_cast<uint8_t>(noise >> 20));
    data.push_back(static_cast<uint8_t>(noise >> 24));
  }
  const uint32_t width = 7, height = static_cast<uint32_t>(data.size() / width);
  data.resize(size_t{width} * height);
  auto both_ways = [&](const Bytes& strip) {
    TiffFixture fixture(false, width, height, 1, 0);
    fixture.Short(259, {5}).Strips({strip});
    std::vector<Loaded> loaded = LoadBothWays("batches.tif", fixture.Build());
    EXPECT_EQ(loaded[0].status, loaded[1].status);
    EXPECT_TRUE(loaded[0].pixels == loaded[1].pixels) << "batches and single codes differ";
    return loaded[0];
  };
  for (uint32_t clear_at : {4094u, 300u, 700u, 1500u, 3000u}) {
    SCOPED_TRACE(clear_at);
    int clears = 0;
    Bytes strip = LzwEncode(data, false, &clears, false, clear_at);
    ASSERT_GT(clears, 2);
    Loaded whole = both_ways(strip);
    ASSERT_EQ(whole.status, kOk);
    EXPECT_TRUE(whole.pixels == data);
    for (size_t cut : {size_t{3000}, size_t{3001}, size_t{3002}, size_t{3003}, size_t{3004}, size_t{3005},
                       size_t{3006}, size_t{3007}, size_t{9999}, strip.size() - 3}) {
      SCOPED_TRACE(cut);
      Loaded cut_short = both_ways(Bytes(strip.begin(), strip.begin() + cut));
      ASSERT_EQ(cut_short.status, kOk) << "data ending without an end code end the strip";
      ASSERT_EQ(cut_short.pixels.size(), data.size());
      // Every code in the bytes present is decoded, each at least a byte from
      // at most 12 bits; the rest is filled.
      size_t decoded = std::mismatch(data.begin(), data.end(), cut_short.pixels.begin()).first - data.begin();
      EXPECT_GE(decoded, (cut - 2) * 8 / 12);
      EXPECT_EQ(std::count(cut_short.pixels.begin() + decoded, cut_short.pixels.end(), 255),
                static_cast<ptrdiff_t>(data.size() - decoded));
    }
    for (size_t at : {size_t{2000}, size_t{5555}, size_t{7001}}) {
      Bytes damaged = strip;
      damaged[at] ^= 0xA5;
      damaged[at + 1] ^= 0x5A;
      both_ways(damaged);
    }
  }
}

TEST(TiffPackBits, RunsLiteralsAndTheNoOpHeader) {
  Bytes packed = {0xFE, 7, 0x80, 0x01, 1, 2, 0x80, 0x81, 9};  // 3 x 7, no-op, 1 2, no-op, 128 x 9
  Bytes expected = {7, 7, 7, 1, 2};
  expected.resize(133, 9);
  Loaded loaded = LoadTiff(TiffFixture(false, 133, 1, 1, 0).Short(259, {32773}).Strips({packed}));
  ASSERT_EQ(loaded.status, kOk);
  EXPECT_EQ(loaded.pixels, expected);
}

TEST(TiffStrips, StripsStayInsideTheirRowsAndTheFile) {
  // The first strip brings three rows where RowsPerStrip says one.
  Loaded extra = LoadTiff(TiffFixture(false, 2, 2, 1, 0).Long(278, {1}).Strips({{1, 2, 3, 4, 5, 6}, {7, 8}}));
  ASSERT_EQ(extra.status, kOk);
  EXPECT_EQ(extra.pixels, (Bytes{1, 2, 7, 8}));
  Loaded too_much = LoadTiff(TiffFixture(false, 2, 1, 1, 0).Short(259, {32773}).Strips({{0x81, 5}}));
  EXPECT_EQ(too_much.pixels, (Bytes{5, 5})) << "a run longer than the image is cut";
  Loaded short_strip = LoadTiff(TiffFixture(false, 2, 2, 1, 0).Long(278, {1}).Strips({{1}, {7, 8}}));
  EXPECT_EQ(short_strip.pixels, (Bytes{1, 255, 7, 8}));
  Loaded missing_strip = LoadTiff(TiffFixture(false, 2, 2, 1, 0).Long(278, {1}).Strips({{1, 2}}));
  EXPECT_EQ(missing_strip.pixels, (Bytes{1, 2, 255, 255}));

  TiffFixture beyond(false, 2, 1, 1, 0);
  beyond.Strips({{1, 2}}).Long(273, {0x100000});
  EXPECT_EQ(LoadTiff(beyond).status, kShortRead);
  // The strip is the file's last bytes: two 5s, then a literal of three bytes of which one is there.
  TiffFixture past_end(false, 4, 1, 1, 0);
  past_end.Short(259, {32773}).Long(279, {0x100000}).Long(273, {0});
  past_end.Long(273, {static_cast<uint32_t>(past_end.Build().size())});
  Bytes file = past_end.Build();
  file.insert(file.end(), {0xFF, 5, 0x02, 9});
  Loaded cut_at_end = LoadTiff(TiffFixture::WriteFile("end.tif", file));
  ASSERT_EQ(cut_at_end.status, kOk) << "a strip running past the file's end ends there";
  EXPECT_EQ(cut_at_end.pixels, (Bytes{5, 5, 9, 255}));
}

TEST(TiffStrips, BytesTheStripsDoNotDeliverShowWhite) {
  // Black-is-zero gray: a missing byte 255 is white, so no ink once inverted.
  Bytes short_gray = TiffFixture(false, 2, 2, 1, 1).Long(278, {1}).Strips({{0}}).Build();
  for (const Loaded& loaded : LoadBothWays("black-is-zero.tif", short_gray)) {
    ASSERT_EQ(loaded.status, kOk);
    EXPECT_EQ(loaded.pixels, (Bytes{255, 0, 0, 0})) << "missing samples must be white, not full ink";
  }
  Bytes short_rgb = TiffFixture(false, 2, 1, 3, 2).Strips({{10, 20, 30}}).Build();
  for (const Loaded& loaded : LoadBothWays("rgb.tif", short_rgb)) {
    ASSERT_EQ(loaded.status, kOk);
    EXPECT_EQ(loaded.pixels, (Bytes{10, 20, 30, 255, 255, 255})) << "missing RGB must be white";
  }
  // 16 bits: whole samples of 65535, complemented for black-is-zero.
  TiffFixture wide(true, 2, 1, 1, 1);
  wide.Short(258, {16}).Strips({{0x12, 0x34}});
  for (const Loaded& loaded : LoadBothWays("wide.tif", wide.Build())) {
    ASSERT_EQ(loaded.status, kOk);
    uint16_t samples[2];
    std::memcpy(samples, loaded.pixels.data(), 4);
    EXPECT_EQ(samples[0], 65535 - 0x1234);
    EXPECT_EQ(samples[1], 0) << "a missing 16-bit sample is white too";
  }
}

TEST(TiffStrips, AStripEndsWhereTheFileEndsWhateverTheAlignment) {
  // 256 x 512 samples claimed by one uncompressed strip; the file ends just
  // before, at and just after the loader's 65536-byte chunk and 256 reader rows.
  Bytes data = Ramp(131072);
  for (size_t present : {65535u, 65536u, 65537u}) {
    SCOPED_TRACE(present);
    Bytes file = FileEndingInsideTheStrip(256, 512, 1, 131072, data, present);
    for (const Loaded& loaded : LoadBothWays("raw-cut.tif", file)) {
      EXPECT_EQ(loaded.status, kOk) << "a strip cut by the file's end ends there";
      if (loaded.pixels.size() != data.size()) continue;
      EXPECT_TRUE(std::equal(data.begin(), data.begin() + present, loaded.pixels.begin()))
          << "the bytes the file holds";
      EXPECT_EQ(std::count(loaded.pixels.begin() + present, loaded.pixels.end(), 255),
                static_cast<ptrdiff_t>(data.size() - present))
          << "the rest of the strip is filled";
    }
  }

  // PackBits literals of 128 bytes (a header byte, then the bytes), cut
  // around the 4096-byte pieces the strip is read in.
  Bytes packed;
  for (size_t i = 0; i < data.size(); i += 128) {
    packed.push_back(127);
    packed.insert(packed.end(), data.begin() + i, data.begin() + i + 128);
  }
  for (size_t present : {4095u, 4096u, 4097u}) {
    SCOPED_TRACE(present);
    Bytes file = FileEndingInsideTheStrip(256, 512, 32773, static_cast<uint32_t>(packed.size()),
                                          packed, present);
    size_t decoded = present - (present + 128) / 129;  // less the header bytes
    for (const Loaded& loaded : LoadBothWays("packbits-cut.tif", file)) {
      EXPECT_EQ(loaded.status, kOk) << "a strip cut by the file's end ends there";
      if (loaded.pixels.size() != data.size()) continue;
      EXPECT_TRUE(std::equal(data.begin(), data.begin() + decoded, loaded.pixels.begin()));
      EXPECT_EQ(std::count(loaded.pixels.begin() + decoded, loaded.pixels.end(), 255),
                static_cast<ptrdiff_t>(data.size() - decoded));
    }
  }

  // LZW reads its input in the same pieces.
  Bytes noise(40000);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
  Bytes lzw = LzwEncode(noise);
  ASSERT_GT(lzw.size(), 4097u);
  for (size_t present : {4095u, 4096u, 4097u}) {
    SCOPED_TRACE(present);
    Bytes file = FileEndingInsideTheStrip(200, 200, 5, static_cast<uint32_t>(lzw.size()), lzw, present);
    for (const Loaded& loaded : LoadBothWays("lzw-cut.tif", file)) {
      EXPECT_EQ(loaded.status, kOk) << "a strip cut by the file's end ends there";
      if (loaded.pixels.size() != noise.size()) continue;
      EXPECT_TRUE(std::equal(noise.begin(), noise.begin() + 2000, loaded.pixels.begin()));
    }
  }
}

TEST(TiffReader, SixteenBitRowsInBothByteOrders) {
  // Black-is-zero gray and RGB with an alpha sample, 16 bits, 5 x 3.
  for (bool big : {false, true}) {
    for (uint16_t photometric : {uint16_t{1}, uint16_t{2}}) {
      SCOPED_TRACE(std::string(big ? "MM" : "II") + " photometric " + std::to_string(photometric));
      const uint16_t samples_per_pixel = photometric == 1 ? 1 : 4;
      const uint32_t width = 5, height = 3;
      std::vector<uint16_t> samples = NoisySamples(size_t{width} * height * samples_per_pixel, 16);
      TiffFixture fixture(big, width, height, samples_per_pixel, photometric);
      fixture.Short(258, std::vector<uint16_t>(samples_per_pixel, 16)).Strips({Stored(samples, 16, big)});
      std::vector<uint16_t> expected = samples;
      if (photometric == 1) {
        for (uint16_t& v : expected) v = static_cast<uint16_t>(65535 - v);  // gray as ink
      }
      std::string path = fixture.Write("sixteen.tif");

      // The reader protocol: twice the bytes of an 8-bit row per row.
      testing::ReaderOnFile on(kFileTypeTiff, path);
      ASSERT_TRUE(on.ok());
      ImageInfo info = {};
      ASSERT_EQ(on.reader->Open(&on.file, nullptr), kOk);
      ASSERT_EQ(on.reader->ReadHeader(&info), kOk);
      EXPECT_EQ(info.bits_per_sample, 16u);
      EXPECT_EQ(info.channels, samples_per_pixel);
      const size_t row_bytes = size_t{width} * samples_per_pixel * 2;
      Bytes rows(row_bytes * height + 2, 0xAA);  // two guard bytes
      ASSERT_EQ(on.reader->ReadRows(rows.data(), 1), kOk);
      ASSERT_EQ(on.reader->ReadRows(rows.data() + row_bytes, 2), kOk);
      EXPECT_EQ(rows[row_bytes * height], 0xAA) << "no byte beyond the rows asked for";
      rows.resize(row_bytes * height);
      EXPECT_TRUE(rows == Host(expected, 16)) << "host-order 16-bit samples, converted";
      EXPECT_EQ(on.reader->FinishReading(), kOk);
      on.reader->Close();

      // LoadImageWithReader advances by 16-bit rows, as the loader fills them.
      for (const Loaded& loaded : LoadBothWays("sixteen.tif", fixture.Build())) {
        ASSERT_EQ(loaded.status, kOk);
        EXPECT_EQ(loaded.bits, 16u);
        EXPECT_TRUE(loaded.pixels == Host(expected, 16));
      }
    }
  }
}

TEST(TiffLoading, ProgressRunsFromZeroToTheWholeAndAnyStatusStopsIt) {
  // 300 x 300 RGB: the loader's chunks of 21845 pixels give 5 steps after 0.
  TiffFixture fixture(false, 300, 300, 3, 2);
  fixture.Strips({Ramp(300 * 300 * 3)});
  std::string path = fixture.Write("progress.tif");
  struct Seen {
    std::vector<uint32_t> fractions;
    Status stop = kOk;
  };
  auto progress = [](void* context, uint32_t fraction) -> Status {
    auto* seen = static_cast<Seen*>(context);
    seen->fractions.push_back(fraction);
    return seen->fractions.size() == 3 ? seen->stop : Status{kOk};
  };
  Seen all;
  PixelImage* image = nullptr;
  ASSERT_EQ(LoadImageFile(path.c_str(), &image, progress, &all), kOk);
  FreePixelImage(image);
  EXPECT_EQ(all.fractions, (std::vector<uint32_t>{0, 15906, 31813, 47720, 63627, 65535}))
      << "0 first, then pixels done / pixels x 65535";

  for (Status stop : {Status{kCancelled}, Status{kNoFileName}, Status{12345}}) {
    Seen seen;
    seen.stop = stop;
    image = nullptr;
    EXPECT_EQ(LoadImageFile(path.c_str(), &image, progress, &seen), stop) << "the callback's status is returned";
    EXPECT_EQ(image, nullptr);
    EXPECT_EQ(seen.fractions.size(), 3u) << "no progress after a stop";
  }

  // The loader itself hands back the image it stopped in: rows not reached
  // are 0, even when the stop comes before any row.
  for (size_t stop_at : {size_t{1}, size_t{3}}) {
    SCOPED_TRACE(stop_at);
    struct Stop {
      size_t calls = 0, at;
    } stop = {0, stop_at};
    auto stopping = [](void* context, uint32_t) -> Status {
      auto* s = static_cast<Stop*>(context);
      return ++s->calls == s->at ? Status{kCancelled} : Status{kOk};
    };
    image = nullptr;
    ASSERT_EQ(LoadTiffImage(&image, path.c_str(), stopping, &stop), kCancelled);
    ASSERT_NE(image, nullptr);
    const uint8_t* p = LockPixels(image);
    const size_t decoded = stop_at == 1 ? 0 : 2 * 21845 * 3;
    const size_t size = BytesPerRow(*image) * image->rows;
    EXPECT_TRUE(std::equal(p, p + decoded, Ramp(300 * 300 * 3).begin()));
    EXPECT_EQ(std::count(p + decoded, p + size, 0), static_cast<ptrdiff_t>(size - decoded));
    UnlockPixels(image);
    FreePixelImage(image);
  }
}

TEST(TiffReader, ResolutionsAreTheRationalsInWholeNumbers) {
  auto header = [](TiffFixture fixture) {
    ImageInfo info = {};
    testing::ReaderOnFile on(kFileTypeTiff, fixture.Strips({{1}}).Write("resolution.tif"));
    EXPECT_TRUE(on.ok());
    EXPECT_EQ(on.reader->Open(&on.file, nullptr), kOk);
    EXPECT_EQ(on.reader->ReadHeader(&info), kOk);
    on.reader->Close();
    return info;
  };
  ImageInfo inch = header(TiffFixture(false, 1, 1, 1, 0).Rational(282, 7201, 24).Rational(283, 5, 2));
  EXPECT_EQ(inch.resolution_unit, kResolutionInch) << "ResolutionUnit defaults to inches";
  EXPECT_EQ(inch.x_resolution, 300.0) << "7201 / 24 in whole numbers";
  EXPECT_EQ(inch.y_resolution, 2.0);
  ImageInfo none = header(TiffFixture(false, 1, 1, 1, 0).Rational(282, 72, 0).Short(296, {1}));
  EXPECT_EQ(none.x_resolution, 0.0) << "a zero denominator gives 0";
  EXPECT_EQ(none.y_resolution, 0.0) << "a missing resolution gives 0";
  EXPECT_EQ(none.resolution_unit, 2) << "no unit";
}

TEST(TiffReader, DeliversRowsTheIccProfileAndTheListedTags) {
  Bytes icc = Ramp(200);
  TiffFixture fixture(false, 4, 3, 1, 1);
  fixture.Short(259, {5}).Long(278, {2}).Strips({LzwEncode(Ramp(8)), LzwEncode({100, 101, 102, 103})})
      .Bytes(34675, 7, icc).Bytes(270, 2, {'h', 'i', 0}).Bytes(33723, 7, {1, 2, 3, 4, 5})
      .Rational(282, 300, 1).Rational(283, 1181, 10).Short(296, {3});
  std::string path = fixture.Write("reader.tif");
  testing::ReaderOnFile on(kFileTypeTiff, path);
  ASSERT_TRUE(on.ok());
  TImageReader* reader = on.reader.get();
  ImageFormat format = {};
  ASSERT_EQ(reader->Open(&on.file, &format), kOk);
  EXPECT_EQ(format.kind, kImageFormatTiff);
  ImageInfo info = {};
  ASSERT_EQ(reader->ReadHeader(&info), kOk);
  EXPECT_EQ(info.color_space, kColorSpaceGray);
  EXPECT_EQ(info.channels, 1u);
  EXPECT_EQ(info.resolution_unit, kResolutionMetric);
  EXPECT_DOUBLE_EQ(info.x_resolution, 30.0) << "per centimetre in the file, per millimetre here";
  EXPECT_DOUBLE_EQ(info.y_resolution, 11.8) << "1181 / 10 in whole numbers, then per millimetre";
  ASSERT_EQ(info.icc_size, icc.size());
  EXPECT_TRUE(std::equal(icc.begin(), icc.end(), info.icc_profile));
  auto* tags = static_cast<TiffTagList*>(format.extra);
  ASSERT_TRUE(tags->first);
  EXPECT_EQ(tags->first->tag, kTiffTagImageDescription) << "sorted by tag number";
  ASSERT_TRUE(FindListedTiffTag(tags, kTiffTagIptc));
  EXPECT_EQ(FindListedTiffTag(tags, kTiffTagIptc)->size, 5u);
  EXPECT_FALSE(FindListedTiffTag(tags, kTiffTagPhotoshop));

  Bytes rows(12);
  ASSERT_EQ(reader->ReadRows(rows.data(), 1), kOk);
  ASSERT_EQ(reader->ReadRows(rows.data() + 4, 2), kOk);
  Bytes expected = Ramp(8);
  expected.insert(expected.end(), {100, 101, 102, 103});
  for (uint8_t& v : expected) v = static_cast<uint8_t>(255 - v);
  EXPECT_EQ(rows, expected);
  EXPECT_EQ(reader->FinishReading(), kOk);
  EXPECT_EQ(info.icc_profile, nullptr);
  EXPECT_EQ(reader->Close(), kOk);

  PixelImage* image = nullptr;
  Status status = LoadImageWithReader(&image, path.c_str(), kFileTypeTiff, nullptr, nullptr);
  Loaded through_reader = Copy(status, image);
  EXPECT_EQ(through_reader.pixels, expected);
}

}  // namespace
}  // namespace lumetra
