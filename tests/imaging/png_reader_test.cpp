// TPngReader: libpng's PngSuite and test images against libpng's own reading
// with the same transforms, broken files made here from suite files (each must
// fail with 20203 and its text), and PNGs written here with libpng.
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <png.h>
#include <zlib.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "framework/support/buffered_file.h"
#include "framework/support/file_types.h"
#include "framework/support/status.h"
#include "imaging/image_reader.h"
#include "tests/testing/paths.h"
#include "tests/testing/pixel_images.h"

namespace lumetra {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::SystemPath;

const std::string kLibpng = testing::DependencySource("libpng1.6-1.6.39/contrib/");

Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string WriteScratch(const std::string& name, const Bytes& bytes) {
  std::string path = SystemPath(testing::ScratchDir("png") + "/" + name);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<std::streamsize>(bytes.size()));
  return path;
}

// The PNG files of a folder of libpng's sources; a missing folder fails the
// test that wanted it, by name.
std::vector<std::string> PngFiles(const std::string& folder) {
  std::vector<std::string> paths;
  std::string dir = testing::ReferenceFile(kLibpng + folder);
  std::error_code missing;
  if (!std::filesystem::is_directory(dir, missing)) return paths;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() == ".png") paths.push_back(entry.path().string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

// ---- libpng's own reading, as the reference ----

struct RawReference {
  uint32_t width, height, channels;
  int color_type;
  uint8_t* samples;  // malloc'd, width x height x channels
};

// The transforms the reader asks for, decided from the IHDR bytes themselves,
// applied by png_read_png. Plain data only: libpng leaves by longjmp.
bool ReadReference(const char* path, RawReference* out) {
  *out = RawReference{};
  FILE* file = std::fopen(path, "rb");
  if (!file) return false;
  unsigned char head[26] = {};
  bool read = std::fread(head, 1, sizeof head, file) == sizeof head;
  std::rewind(file);
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr,
                                           [](png_structp, png_const_charp) {});
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!read || !info || setjmp(png_jmpbuf(png))) {
    std::free(out->samples);
    out->samples = nullptr;
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return false;
  }
  int depth = head[24], type = head[25];
  int transforms = PNG_TRANSFORM_IDENTITY;
  if ((depth <= 8 && type == PNG_COLOR_TYPE_PALETTE) || (depth < 8 && type == PNG_COLOR_TYPE_GRAY)) {
    transforms = PNG_TRANSFORM_EXPAND;
  } else if (depth == 16) {
    transforms = PNG_TRANSFORM_STRIP_16;
  }
  png_init_io(png, file);
  png_read_png(png, info, transforms, nullptr);
  out->width = png_get_image_width(png, info);
  out->height = png_get_image_height(png, info);
  out->channels = png_get_channels(png, info);
  out->color_type = png_get_color_type(png, info);
  size_t row = size_t{out->width} * out->channels;
  out->samples = static_cast<uint8_t*>(std::malloc(row * out->height + 1));
  png_bytepp rows = png_get_rows(png, info);
  for (uint32_t y = 0; y < out->height; ++y) std::memcpy(out->samples + y * row, rows[y], row);
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(file);
  return true;
}

struct Reference {
  bool ok = false;
  uint32_t width = 0, height = 0, channels = 0;
  bool gray = false;
  Bytes samples;  // after the reader's convention: gray as ink, alpha kept
};

Reference DecodeWithLibpng(const std::string& path) {
  RawReference raw;
  Reference r;
  if (!ReadReference(path.c_str(), &raw)) return r;
  r.ok = true;
  r.width = raw.width;
  r.height = raw.height;
  r.channels = raw.channels;
  r.gray = (raw.color_type & PNG_COLOR_MASK_COLOR) == 0;
  r.samples.assign(raw.samples, raw.samples + size_t{raw.width} * raw.height * raw.channels);
  std::free(raw.samples);
  if (r.gray) {
    for (size_t i = 0; i < r.samples.size(); i += r.channels) r.samples[i] = 255 - r.samples[i];
  }
  return r;
}

// ---- the reader ----

struct ReaderResult {
  Status header = -1, rows = -1, finish = -1;
  ImageInfo info = {};
  Bytes icc;
  Bytes samples;
  std::vector<std::string> messages;
};

// Reads like LoadImageWithReader, `rows_per_call` rows at a time.
ReaderResult ReadWithReader(const std::string& path, uint32_t rows_per_call = 1) {
  ReaderResult r;
  testing::ReaderOnFile on(kFileTypePng, path);
  EXPECT_TRUE(on.ok());
  TImageReader* reader = on.reader.get();
  SpecialPloFile& file = on.file;
  reader->SetMessageSink(
      [](void* context, const char* text) {
        static_cast<std::vector<std::string>*>(context)->push_back(text);
      },
      &r.messages);
  ImageFormat format;
  EXPECT_EQ(reader->Open(&file, &format), kOk);
  EXPECT_EQ(format.kind, kImageFormatNone);
  r.header = reader->ReadHeader(&r.info);
  if (r.header == kOk) {
    r.icc.assign(r.info.icc_profile, r.info.icc_profile + r.info.icc_size);
    size_t row = size_t{r.info.width} * r.info.channels;
    r.samples.resize(row * r.info.height);
    r.rows = kOk;
    for (uint32_t y = 0; y < r.info.height && r.rows == kOk; y += rows_per_call) {
      r.rows = reader->ReadRows(r.samples.data() + y * row, std::min(rows_per_call, r.info.height - y));
    }
    if (r.rows == kOk) r.finish = reader->FinishReading();
  }
  file.Close();
  reader->Close();
  return r;
}

void ExpectSameAsLibpng(const std::string& path) {
  SCOPED_TRACE(path);
  Reference ref = DecodeWithLibpng(path);
  ASSERT_TRUE(ref.ok) << "libpng itself refuses the file";
  PixelImage* image = nullptr;
  ASSERT_EQ(LoadImageFile(path.c_str(), &image, nullptr, nullptr), kOk);
  EXPECT_EQ(image->columns, ref.width);
  EXPECT_EQ(image->rows, ref.height);
  EXPECT_EQ(image->bits_per_sample, 8u);
  EXPECT_EQ(image->color_space, ref.gray ? kColorSpaceGray : kColorSpaceRgb);
  EXPECT_EQ(ChannelsPerPixel(*image), ref.channels) << "channel count differs from the bytes";
  uint8_t* pixels = LockPixels(image);
  Bytes loaded(pixels, pixels + BytesPerRow(*image) * image->rows);
  UnlockPixels(image);
  FreePixelImage(image);
  EXPECT_TRUE(loaded == ref.samples) << "samples differ from libpng's";
}

TEST(PngReaderTest, PngSuiteMatchesLibpng) {
  auto files = PngFiles("pngsuite");
  auto interlaced = PngFiles("pngsuite/interlaced");
  files.insert(files.end(), interlaced.begin(), interlaced.end());
  ASSERT_GE(files.size(), 60u);
  for (const std::string& path : files) ExpectSameAsLibpng(path);
}

TEST(PngReaderTest, LibpngTestImagesMatchLibpng) {
  auto files = PngFiles("testpngs");
  ASSERT_GE(files.size(), 100u);
  for (const std::string& path : files) ExpectSameAsLibpng(path);
}

TEST(PngReaderTest, CrasherFilesDecodeAsLibpngOrFailCleanly) {
  for (const std::string& path : PngFiles("testpngs/crashers")) {
    SCOPED_TRACE(path);
    PixelImage* image = nullptr;
    Status status = LoadImageFile(path.c_str(), &image, nullptr, nullptr);
    EXPECT_THAT(status, ::testing::AnyOf(kOk, kUnsupportedImageData));
    FreePixelImage(image);
    if (status == kOk && DecodeWithLibpng(path).ok) ExpectSameAsLibpng(path);
  }
}

TEST(PngReaderTest, TransformsGiveEightBitsAndConsistentChannels) {
  struct Case {
    const char* file;
    uint32_t color_space, channels;
  } cases[] = {
      {"pngsuite/basn2c16.png", kColorSpaceRgb, 3},   // 16-bit RGB stripped
      {"pngsuite/basn0g02.png", kColorSpaceGray, 1},  // 2-bit gray expanded
      {"pngsuite/ftbwn3p08.png", kColorSpaceRgb, 4},  // palette with tRNS: alpha
      {"pngsuite/basn4a16.png", kColorSpaceGray, 2},
      {"testpngs/gray-1-tRNS.png", kColorSpaceGray, 2},  // low-depth gray gains alpha
      {"testpngs/gray-8-tRNS.png", kColorSpaceGray, 1},  // 8-bit gray is not expanded
      {"testpngs/rgb-8-tRNS.png", kColorSpaceRgb, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    ReaderResult r = ReadWithReader(testing::ReferenceFile(kLibpng + c.file));
    ASSERT_EQ(r.header, kOk);
    EXPECT_EQ(r.info.bits_per_sample, 8u);
    EXPECT_EQ(r.info.color_space, c.color_space);
    EXPECT_EQ(r.info.channels, c.channels);
    EXPECT_EQ(r.rows, kOk);
    EXPECT_EQ(r.finish, kOk);
    EXPECT_EQ(r.info.icc_size, 0u);
  }
}

TEST(PngReaderTest, InterlacedImageIsHandedOutInAnyRowSteps) {
  std::string path = testing::ReferenceFile(kLibpng + "pngsuite/ibasn6a08.png");
  Bytes expected = DecodeWithLibpng(path).samples;
  for (uint32_t step : {1u, 5u, 32u}) {
    ReaderResult r = ReadWithReader(path, step);
    EXPECT_EQ(r.rows, kOk);
    EXPECT_TRUE(r.samples == expected) << "rows of " << step;
  }
}

// ---- PNGs written here ----

struct PngShape {
  uint32_t width = 4, height = 3;
  int bit_depth = 8;
  int color_type = PNG_COLOR_TYPE_GRAY;
  Bytes samples;  // packed rows as libpng expects them
  Bytes icc;
  uint32_t pixels_per_metre = 0;
};

Bytes WritePng(const PngShape& shape) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, size_t length) {
        auto* bytes = static_cast<Bytes*>(png_get_io_ptr(p));
        bytes->insert(bytes->end(), data, data + length);
      },
      nullptr);
  png_set_IHDR(png, info, shape.width, shape.height, shape.bit_depth, shape.color_type,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!shape.icc.empty()) {
    png_set_iCCP(png, info, "test", PNG_COMPRESSION_TYPE_BASE, shape.icc.data(),
                 static_cast<png_uint_32>(shape.icc.size()));
  }
  if (shape.pixels_per_metre) {
    png_set_pHYs(png, info, shape.pixels_per_metre, shape.pixels_per_metre, PNG_RESOLUTION_METER);
  }
  png_write_info(png, info);
  size_t row = shape.samples.size() / shape.height;
  for (uint32_t y = 0; y < shape.height; ++y) {
    png_write_row(png, shape.samples.data() + y * row);
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

TEST(PngReaderTest, WhiteTwoBitGrayBecomesNoInk) {
  PngShape shape;
  shape.bit_depth = 2;
  shape.samples.assign(3, 0xFF);  // 4 pixels of value 3 per row
  ReaderResult r = ReadWithReader(WriteScratch("white2.png", WritePng(shape)));
  ASSERT_EQ(r.rows, kOk);
  EXPECT_EQ(r.info.channels, 1u);
  EXPECT_EQ(r.samples, Bytes(12, 0));
}

TEST(PngReaderTest, EmbeddedProfileIsHandedOutUntilFinishReading) {
  PngShape shape;
  shape.color_type = PNG_COLOR_TYPE_RGB;
  shape.samples.assign(4 * 3 * 3, 0x80);
  shape.icc = ReadBytes(testing::ReferenceFile("/usr/share/color/icc/sRGB.icc"));
  shape.pixels_per_metre = 3780;
  ASSERT_FALSE(shape.icc.empty());
  ReaderResult r = ReadWithReader(WriteScratch("icc.png", WritePng(shape)));
  ASSERT_EQ(r.header, kOk);
  EXPECT_TRUE(r.icc == shape.icc);
  EXPECT_EQ(r.info.icc_size, 0u) << "FinishReading frees the profile and clears the info";
  EXPECT_EQ(r.info.icc_profile, nullptr);
  EXPECT_EQ(r.info.resolution_unit, kResolutionMetric);
  EXPECT_EQ(r.info.x_resolution, 3780.0) << "pixels per metre, as the pHYs chunk holds them";
  EXPECT_EQ(r.info.y_resolution, 3780.0);

  shape.pixels_per_metre = 0;
  r = ReadWithReader(WriteScratch("no-phys.png", WritePng(shape)));
  EXPECT_EQ(r.info.x_resolution, 0.0) << "no pHYs chunk, no resolution";
  EXPECT_EQ(r.info.resolution_unit, 666) << "and no unit";
}

// sRGB.icc grown to `size` bytes: its header's size field says so and zeros
// follow its tags, so that libpng still takes it for a valid profile.
Bytes ProfileOfSize(size_t size) {
  Bytes profile = ReadBytes(testing::ReferenceFile("/usr/share/color/icc/sRGB.icc"));
  profile.resize(size, 0);
  for (int i = 0; i < 4; ++i) profile[i] = static_cast<uint8_t>(size >> (24 - 8 * i));
  std::fill(profile.begin() + 84, profile.begin() + 100, 0);  // no profile ID to match
  return profile;
}

TEST(PngReaderTest, ProfilesAboveLibpngsChunkLimitAreDropped) {
  PngShape shape;
  shape.color_type = PNG_COLOR_TYPE_RGB;
  shape.samples.assign(4 * 3 * 3, 0x80);
  shape.icc = ProfileOfSize(7999000);
  ReaderResult under = ReadWithReader(WriteScratch("icc-under.png", WritePng(shape)));
  EXPECT_EQ(under.header, kOk);
  EXPECT_EQ(under.icc.size(), shape.icc.size()) << "a profile within 8,000,000 bytes is handed out";

  shape.icc = ProfileOfSize(9000000);
  ReaderResult over = ReadWithReader(WriteScratch("icc-over.png", WritePng(shape)));
  EXPECT_EQ(over.header, kOk) << "the image still loads";
  EXPECT_TRUE(over.icc.empty()) << "a profile above libpng's default chunk limit is not inflated";
  EXPECT_THAT(over.messages, ::testing::Contains(::testing::HasSubstr("exceeds application limits")));
}

// ---- broken files, made from suite files ----

struct Chunk {
  std::string type;
  Bytes data;
  bool bad_crc = false;
};

std::vector<Chunk> SplitChunks(const Bytes& file) {
  std::vector<Chunk> chunks;
  for (size_t p = 8; p + 12 <= file.size();) {
    uint32_t length = (uint32_t{file[p]} << 24) | (file[p + 1] << 16) | (file[p + 2] << 8) | file[p + 3];
    chunks.push_back({std::string(file.begin() + p + 4, file.begin() + p + 8),
                      Bytes(file.begin() + p + 8, file.begin() + p + 8 + length)});
    p += 12 + length;
  }
  return chunks;
}

Bytes JoinChunks(const std::vector<Chunk>& chunks) {
  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  for (const Chunk& c : chunks) {
    uint32_t length = static_cast<uint32_t>(c.data.size());
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(length >> shift));
    size_t start = out.size();
    out.insert(out.end(), c.type.begin(), c.type.end());
    out.insert(out.end(), c.data.begin(), c.data.end());
    uint32_t crc = static_cast<uint32_t>(crc32(0, out.data() + start, static_cast<uInt>(out.size() - start)));
    if (c.bad_crc) crc ^= 1;
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(crc >> shift));
  }
  return out;
}

TEST(PngReaderTest, BrokenFilesFailWithTheLibrarysText) {
  const auto suite = SplitChunks(ReadBytes(testing::ReferenceFile(kLibpng + "pngsuite/basn0g08.png")));
  auto with = [&](auto change) {
    auto chunks = suite;
    change(chunks);
    return JoinChunks(chunks);
  };
  auto find = [](std::vector<Chunk>& chunks, const char* type) -> Chunk& {
    return *std::find_if(chunks.begin(), chunks.end(), [&](const Chunk& c) { return c.type == type; });
  };
  struct Case {
    const char* name;
    Bytes file;
  } cases[] = {
      {"header-crc", with([&](auto& c) { find(c, "IHDR").bad_crc = true; })},
      {"color-type-1", with([&](auto& c) { find(c, "IHDR").data[9] = 1; })},
      {"bit-depth-0", with([&](auto& c) { find(c, "IHDR").data[8] = 0; })},
      {"zero-width", with([&](auto& c) { std::fill_n(find(c, "IHDR").data.begin(), 4, 0); })},
      {"data-crc", with([&](auto& c) { find(c, "IDAT").bad_crc = true; })},
      {"no-data", with([&](auto& c) {
         c.erase(std::remove_if(c.begin(), c.end(), [](const Chunk& k) { return k.type == "IDAT"; }),
                 c.end());
       })},
      {"bad-zlib", with([&](auto& c) { find(c, "IDAT").data[0] = 0x7F; })},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = WriteScratch(std::string(c.name) + ".png", c.file);
    ReaderResult r = ReadWithReader(path);
    EXPECT_EQ(r.header == kOk ? r.rows : r.header, kUnsupportedImageData);
    ASSERT_FALSE(r.messages.empty());
    EXPECT_THAT(r.messages.back(), ::testing::StartsWith("PNG-Library ERROR: "));
    EXPECT_EQ(r.messages.back().back(), '\r');
    PixelImage* image = nullptr;
    EXPECT_EQ(LoadImageFile(path.c_str(), &image, nullptr, nullptr), kUnsupportedImageData);
    EXPECT_EQ(image, nullptr);
  }

  // Cut inside the image data: the read runs short.
  Bytes whole = ReadBytes(testing::ReferenceFile(kLibpng + "pngsuite/basn2c08.png"));
  whole.resize(whole.size() / 2);
  ReaderResult cut = ReadWithReader(WriteScratch("cut.png", whole));
  EXPECT_EQ(cut.rows, kUnsupportedImageData);
  ASSERT_FALSE(cut.messages.empty());
  EXPECT_EQ(cut.messages.back(), "PNG-Library ERROR: Read Error\r");
}

TEST(PngReaderTest, ProfilesLibpngJudgesInvalidAreDropped) {
  // libpng 1.6 checks an iCCP profile's header before handing it out; one
  // without the "acsp" signature is dropped with a warning, the image kept.
  Bytes profile = ReadBytes(testing::ReferenceFile("/usr/share/color/icc/sRGB.icc"));
  ASSERT_GT(profile.size(), 132u);
  std::memcpy(profile.data() + 36, "xxxx", 4);
  Bytes compressed(compressBound(static_cast<uLong>(profile.size())));
  uLongf compressed_size = static_cast<uLongf>(compressed.size());
  ASSERT_EQ(compress(compressed.data(), &compressed_size, profile.data(), static_cast<uLong>(profile.size())), Z_OK);
  Bytes iccp = {'b', 'a', 'd', 0, 0};  // keyword, its NUL, compression method 0
  iccp.insert(iccp.end(), compressed.begin(), compressed.begin() + static_cast<ptrdiff_t>(compressed_size));
  auto chunks = SplitChunks(ReadBytes(testing::ReferenceFile(kLibpng + "pngsuite/basn2c08.png")));
  chunks.insert(chunks.begin() + 1, Chunk{"iCCP", iccp});
  ReaderResult r = ReadWithReader(WriteScratch("iccp-invalid.png", JoinChunks(chunks)));
  ASSERT_EQ(r.header, kOk);
  EXPECT_EQ(r.rows, kOk);
  EXPECT_TRUE(r.icc.empty()) << "an invalid profile is not handed out";
  EXPECT_THAT(r.messages, ::testing::Contains("PNG-Library WARNING: iCCP: profile 'bad': 'xxxx': invalid signature\r"));
}

TEST(PngReaderTest, DamagedAncillaryChunkIsOnlyAWarning) {
  auto chunks = SplitChunks(ReadBytes(testing::ReferenceFile(kLibpng + "pngsuite/basn0g08.png")));
  chunks.insert(chunks.begin() + 1, Chunk{"tEXt", Bytes{'K', 'e', 'y', 0, 'v'}, true});
  std::string path = WriteScratch("text-crc.png", JoinChunks(chunks));
  ReaderResult r = ReadWithReader(path);
  EXPECT_EQ(r.rows, kOk);
  EXPECT_EQ(r.finish, kOk);
  EXPECT_THAT(r.messages, ::testing::Contains(::testing::StartsWith("PNG-Library WARNING: ")));
  EXPECT_TRUE(r.samples == DecodeWithLibpng(testing::ReferenceFile(kLibpng + "pngsuite/basn0g08.png")).samples);
}

}  // namespace
}  // namespace lumetra
