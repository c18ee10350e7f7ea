// JPEG loader and TJFIFReader: libjpeg-turbo's own test images against a
// decoding with libjpeg directly, and JPEGs made here with libjpeg, with ICC
// profiles split over APP2 markers, APP13 payloads, densities, gray and CMYK;
// and the JPEG source under both: files cut short, markers longer than what
// it has buffered, and files that arrive a few bytes at a time.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <jpeglib.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "framework/support/buffered_file.h"
#include "framework/support/file_types.h"
#include "framework/support/status.h"
#include "imaging/image_reader.h"
#include "imaging/jpeg_reader.h"
#include "imaging/jpeg_source.h"
#include "tests/testing/paths.h"
#include "tests/testing/pixel_images.h"

namespace lumetra {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::SystemPath;

// A file of libjpeg-turbo's test suite; a missing one fails the test that
// wanted it, by name.
std::string TestImage(const std::string& name) {
  return testing::ReferenceFile(testing::DependencySource("libjpeg-turbo-2.1.5/testimages/" + name));
}

Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string WriteScratch(const std::string& name, const Bytes& bytes) {
  std::string path = SystemPath(testing::ScratchDir("jpeg") + "/" + name);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<std::streamsize>(bytes.size()));
  return path;
}

struct Marker {
  int code;
  Bytes data;
};

struct JpegShape {
  int width = 16;
  int height = 8;
  int components = 3;
  J_COLOR_SPACE color_space = JCS_RGB;
  uint8_t density_unit = 0;
  uint16_t x_density = 1;
  uint16_t y_density = 1;
  bool progressive = false;
  std::vector<Marker> markers;
};

// A gradient image compressed by libjpeg at quality 100, markers after the header.
Bytes EncodeJpeg(const JpegShape& shape, int fill = -1) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long out_size = 0;
  jpeg_mem_dest(&cinfo, &out, &out_size);
  cinfo.image_width = shape.width;
  cinfo.image_height = shape.height;
  cinfo.input_components = shape.components;
  cinfo.in_color_space = shape.color_space;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 100, TRUE);
  if (shape.progressive) jpeg_simple_progression(&cinfo);
  cinfo.density_unit = shape.density_unit;
  cinfo.X_density = shape.x_density;
  cinfo.Y_density = shape.y_density;
  jpeg_start_compress(&cinfo, TRUE);
  for (const Marker& m : shape.markers) {
    jpeg_write_marker(&cinfo, m.code, m.data.data(), static_cast<unsigned>(m.data.size()));
  }
  Bytes row(static_cast<size_t>(shape.width) * shape.components);
  while (cinfo.next_scanline < cinfo.image_height) {
    for (size_t i = 0; i < row.size(); ++i) {
      row[i] = static_cast<uint8_t>(fill >= 0 ? fill : (i * 7 + cinfo.next_scanline * 13) & 0xFF);
    }
    JSAMPROW p = row.data();
    jpeg_write_scanlines(&cinfo, &p, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes bytes(out, out + out_size);
  free(out);
  return bytes;
}

// The same file decoded by libjpeg with its default settings, as djpeg does.
struct Reference {
  uint32_t width = 0, height = 0, components = 0;
  J_COLOR_SPACE color_space = JCS_UNKNOWN;
  Bytes samples;
};

Reference DecodeWithLibjpeg(const Bytes& file) {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
  jpeg_read_header(&cinfo, TRUE);
  jpeg_start_decompress(&cinfo);
  Reference r;
  r.width = cinfo.output_width;
  r.height = cinfo.output_height;
  r.components = cinfo.output_components;
  r.color_space = cinfo.out_color_space;
  r.samples.resize(size_t{r.width} * r.height * r.components);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW p = r.samples.data() + size_t{cinfo.output_scanline} * r.width * r.components;
    jpeg_read_scanlines(&cinfo, &p, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return r;
}

Bytes Pixels(PixelImage* image) {
  uint8_t* p = LockPixels(image);
  Bytes bytes(p, p + BytesPerRow(*image) * image->rows);
  UnlockPixels(image);
  return bytes;
}

// The reference after the pixel image's convention: gray and CMYK as ink.
Bytes AsInk(const Reference& r) {
  Bytes out = r.samples;
  if (r.color_space != JCS_RGB) {
    for (uint8_t& v : out) v = static_cast<uint8_t>(255 - v);
  }
  return out;
}

// Everything TJFIFReader hands out for one file.
struct ReaderResult {
  Status open = -1, header = -1, rows = -1, finish = -1;
  ImageFormat format = {};
  ImageInfo info = {};
  Bytes icc;
  Bytes app13;
  Bytes samples;
  std::vector<std::string> messages;
};

ReaderResult ReadWithReader(const std::string& path) {
  ReaderResult r;
  testing::ReaderOnFile on(kFileTypeJpeg, path);
  EXPECT_TRUE(on.ok());
  TImageReader* reader = on.reader.get();
  SpecialPloFile& file = on.file;
  reader->SetMessageSink(
      [](void* context, const char* text) {
        static_cast<std::vector<std::string>*>(context)->push_back(text);
      },
      &r.messages);
  r.open = reader->Open(&file, &r.format);
  if (r.open == kOk) r.header = reader->ReadHeader(&r.info);
  if (r.header == kOk) {
    r.icc.assign(r.info.icc_profile, r.info.icc_profile + r.info.icc_size);
    r.samples.resize(size_t{r.info.width} * r.info.height * r.info.channels);
    r.rows = kOk;
    for (uint32_t y = 0; y < r.info.height && r.rows == kOk; ++y) {
      r.rows = reader->ReadRows(r.samples.data() + size_t{y} * r.info.width * r.info.channels, 1);
    }
    auto* app13 = static_cast<JpegApp13*>(r.format.extra);
    if (app13 && app13->block) r.app13.assign(app13->block, app13->block + app13->length);
    r.finish = reader->FinishReading();
  }
  file.Close();
  reader->Close();
  return r;
}

Status LoadFile(const std::string& path, Bytes* pixels, PixelImage** out = nullptr) {
  PixelImage* image = nullptr;
  Status status = LoadImageFile(path.c_str(), &image, nullptr, nullptr);
  if (status == kOk && pixels) *pixels = Pixels(image);
  if (out) {
    *out = image;
  } else {
    FreePixelImage(image);
  }
  return status;
}

// ---------------------------------------------------------------------------

TEST(JpegReaderTest, LibjpegTurboTestImagesMatchLibjpeg) {
  for (const char* name : {"testorig.jpg", "testimgint.jpg", "testimgari.jpg"}) {
    SCOPED_TRACE(name);
    Bytes file = ReadBytes(TestImage(name));
    ASSERT_FALSE(file.empty());
    Reference ref = DecodeWithLibjpeg(file);

    PixelImage* image = nullptr;
    Bytes loaded;
    ASSERT_EQ(LoadFile(TestImage(name), &loaded, &image), kOk);
    EXPECT_EQ(image->columns, ref.width);
    EXPECT_EQ(image->rows, ref.height);
    EXPECT_EQ(image->color_space, kColorSpaceRgb);
    EXPECT_EQ(image->extra_channels, 0u);
    FreePixelImage(image);
    EXPECT_TRUE(loaded == ref.samples) << "loader samples differ from libjpeg's";

    ReaderResult r = ReadWithReader(TestImage(name));
    ASSERT_EQ(r.header, kOk);
    EXPECT_EQ(r.format.kind, kImageFormatJpeg);
    EXPECT_EQ(r.info.channels, 3u);
    EXPECT_EQ(r.info.bits_per_sample, 8u);
    EXPECT_EQ(r.rows, kOk);
    EXPECT_EQ(r.finish, kOk);
    EXPECT_TRUE(r.samples == ref.samples) << "reader samples differ from libjpeg's";
  }
}

TEST(JpegReaderTest, TwelveBitImageFailsWithTheDecodersText) {
  EXPECT_EQ(LoadFile(TestImage("testorig12.jpg"), nullptr), kDecoderFailed);
  ReaderResult r = ReadWithReader(TestImage("testorig12.jpg"));
  EXPECT_EQ(r.header, kDecoderFailed);
  ASSERT_FALSE(r.messages.empty());
  EXPECT_THAT(r.messages.back(), ::testing::HasSubstr("precision 12"));
  EXPECT_EQ(r.messages.back().back(), '\n');
}

TEST(JpegReaderTest, GrayAndCmykBecomeInk) {
  JpegShape gray;
  gray.components = 1;
  gray.color_space = JCS_GRAYSCALE;
  Bytes black = EncodeJpeg(gray, 0);
  Bytes loaded;
  ASSERT_EQ(LoadFile(WriteScratch("black.jpg", black), &loaded), kOk);
  ASSERT_EQ(loaded.size(), 16u * 8u);
  for (uint8_t v : loaded) ASSERT_EQ(v, 255) << "black gray must be full ink";

  Bytes gradient = EncodeJpeg(gray);
  std::string path = WriteScratch("gray.jpg", gradient);
  ASSERT_EQ(LoadFile(path, &loaded), kOk);
  EXPECT_TRUE(loaded == AsInk(DecodeWithLibjpeg(gradient)));
  ReaderResult r = ReadWithReader(path);
  EXPECT_EQ(r.info.color_space, kColorSpaceGray);
  EXPECT_TRUE(r.samples == loaded);

  JpegShape cmyk;
  cmyk.components = 4;
  cmyk.color_space = JCS_CMYK;
  Bytes ink = EncodeJpeg(cmyk);
  PixelImage* image = nullptr;
  ASSERT_EQ(LoadFile(WriteScratch("cmyk.jpg", ink), &loaded, &image), kOk);
  EXPECT_EQ(image->color_space, kColorSpaceCmyk);
  FreePixelImage(image);
  EXPECT_TRUE(loaded == AsInk(DecodeWithLibjpeg(ink)));
}

TEST(JpegReaderTest, OutputWithoutAColourSpaceIsRefused) {
  JpegShape two;
  two.components = 2;
  two.color_space = JCS_UNKNOWN;
  std::string path = WriteScratch("two.jpg", EncodeJpeg(two));
  EXPECT_EQ(LoadFile(path, nullptr), kImageNotDisplayable);
  EXPECT_EQ(ReadWithReader(path).header, kImageNotDisplayable);
}

TEST(JpegReaderTest, TruncatedFileEndsTheImageWithoutError) {
  Bytes file = ReadBytes(TestImage("testorig.jpg"));
  Reference whole = DecodeWithLibjpeg(file);
  file.resize(file.size() / 2);
  PixelImage* image = nullptr;
  Bytes loaded;
  ASSERT_EQ(LoadFile(WriteScratch("half.jpg", file), &loaded, &image), kOk);
  EXPECT_EQ(image->columns, whole.width);
  EXPECT_EQ(image->rows, whole.height);
  FreePixelImage(image);
  // The rows that were in the file decode as before.
  size_t row = size_t{whole.width} * 3;
  EXPECT_TRUE(std::equal(loaded.begin(), loaded.begin() + 16 * row, whole.samples.begin()));

  ReaderResult r = ReadWithReader(WriteScratch("half.jpg", file));
  EXPECT_EQ(r.rows, kOk);
  EXPECT_EQ(r.finish, kOk);
  EXPECT_TRUE(r.samples == loaded);
}

TEST(JpegReaderTest, DensitiesBecomeResolutions) {
  JpegShape shape;
  shape.density_unit = 2;  // dots per centimetre
  shape.x_density = 118;
  shape.y_density = 59;
  ReaderResult r = ReadWithReader(WriteScratch("cm.jpg", EncodeJpeg(shape)));
  EXPECT_EQ(r.info.resolution_unit, kResolutionMetric);
  EXPECT_EQ(r.info.x_resolution, 11.0);  // per millimetre, integer division
  EXPECT_EQ(r.info.y_resolution, 5.0);

  shape.density_unit = 1;
  shape.x_density = 300;
  shape.y_density = 150;
  r = ReadWithReader(WriteScratch("inch.jpg", EncodeJpeg(shape)));
  EXPECT_EQ(r.info.resolution_unit, kResolutionInch);
  EXPECT_EQ(r.info.x_resolution, 300.0);
  EXPECT_EQ(r.info.y_resolution, 150.0);

  shape.density_unit = 0;
  r = ReadWithReader(WriteScratch("aspect.jpg", EncodeJpeg(shape)));
  EXPECT_EQ(r.info.resolution_unit, 666);
}

TEST(JpegReaderTest, ProgressCountsPixelsDoneAndAnyStatusStopsIt) {
  JpegShape shape;  // 16 x 8
  std::string path = WriteScratch("progress.jpg", EncodeJpeg(shape));
  struct Seen {
    std::vector<uint32_t> fractions;
    Status stop = kOk;
  };
  auto progress = [](void* context, uint32_t fraction) -> Status {
    auto* seen = static_cast<Seen*>(context);
    seen->fractions.push_back(fraction);
    return seen->fractions.size() == 3 ? seen->stop : Status{kOk};
  };
  // Rows done x 16 / 128 pixels x 65535, rounded down, by the loader and,
  // through LoadImageWithReader, by rows for the reader.
  const std::vector<uint32_t> eighths = {8191, 16383, 24575, 32767, 40959, 49151, 57343, 65535};
  Seen loader;
  PixelImage* image = nullptr;
  ASSERT_EQ(LoadImageFile(path.c_str(), &image, progress, &loader), kOk);
  FreePixelImage(image);
  EXPECT_EQ(loader.fractions, eighths) << "the loader's fractions";
  Seen reader;
  image = nullptr;
  ASSERT_EQ(LoadImageWithReader(&image, path.c_str(), kFileTypeJpeg, progress, &reader), kOk);
  FreePixelImage(image);
  EXPECT_EQ(reader.fractions, eighths) << "the reader's fractions";

  for (Status stop : {Status{kNoFileName}, Status{12345}}) {
    Seen seen;
    seen.stop = stop;
    image = nullptr;
    EXPECT_EQ(LoadImageFile(path.c_str(), &image, progress, &seen), stop) << "not only cancelling stops";
    EXPECT_EQ(image, nullptr);
    EXPECT_EQ(seen.fractions.size(), 3u);
    seen.fractions.clear();
    EXPECT_EQ(LoadImageWithReader(&image, path.c_str(), kFileTypeJpeg, progress, &seen), stop);
    EXPECT_EQ(image, nullptr);
  }
}

TEST(JpegReaderTest, DecoderWarningsReachTheMessageSink) {
  // Three bytes between two header markers: libjpeg skips them and warns
  // (JWRN_EXTRANEOUS_DATA), and decodes the image as it would without them.
  JpegShape shape;
  Bytes clean = EncodeJpeg(shape);
  size_t dqt = 2;
  while (dqt + 1 < clean.size() && !(clean[dqt] == 0xFF && clean[dqt + 1] == 0xDB)) ++dqt;
  ASSERT_LT(dqt + 1, clean.size()) << "no quantisation table marker";
  Bytes noisy = clean;
  noisy.insert(noisy.begin() + static_cast<ptrdiff_t>(dqt), {0x11, 0x22, 0x33});
  ReaderResult r = ReadWithReader(WriteScratch("extraneous.jpg", noisy));
  ASSERT_EQ(r.header, kOk);
  EXPECT_EQ(r.rows, kOk);
  EXPECT_THAT(r.messages, ::testing::Contains(::testing::AllOf(
                              ::testing::HasSubstr("3 extraneous bytes before marker 0xdb"),
                              ::testing::EndsWith("\n"))))
      << "the warning's text, then a line end";
  EXPECT_TRUE(r.samples == DecodeWithLibjpeg(clean).samples) << "a warning changes nothing else";
}

TEST(JpegReaderTest, CancelledLoadingStopsWithTheCallbacksStatus) {
  std::vector<uint32_t> seen;
  PixelImage* image = nullptr;
  Status status = LoadImageFile(
      TestImage("testorig.jpg").c_str(), &image,
      [](void* context, uint32_t fraction) -> Status {
        auto* seen = static_cast<std::vector<uint32_t>*>(context);
        seen->push_back(fraction);
        return seen->size() == 3 ? kCancelled : kOk;
      },
      &seen);
  EXPECT_EQ(status, kCancelled);
  EXPECT_EQ(image, nullptr);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_LT(seen[0], seen[2]);
}

// A file whose frame header (SOF0 or SOF2, ITU T.81 B.2.2) claims another
// size than its scans hold.
Bytes WithFrameSize(Bytes file, uint16_t width, uint16_t height) {
  for (size_t i = 2; i + 9 < file.size(); ++i) {
    if (file[i] == 0xFF && (file[i + 1] == 0xC0 || file[i + 1] == 0xC2)) {
      file[i + 5] = static_cast<uint8_t>(height >> 8);
      file[i + 6] = static_cast<uint8_t>(height);
      file[i + 7] = static_cast<uint8_t>(width >> 8);
      file[i + 8] = static_cast<uint8_t>(width);
      return file;
    }
  }
  ADD_FAILURE() << "no frame header";
  return file;
}

TEST(JpegReaderTest, HeadersClaimingHugeImagesAreRefusedBeforeDecoding) {
  JpegShape shape;
  shape.progressive = true;
  Bytes small = EncodeJpeg(shape);
  ASSERT_LT(small.size(), 2000u);
  // 65500 x 65500 x 3 bytes: far above the 1 GiB of a pixel image, and a
  // progressive decoder would first want twice that for its coefficients.
  std::string huge = WriteScratch("huge.jpg", WithFrameSize(small, 65500, 65500));
  EXPECT_EQ(LoadFile(huge, nullptr), kOutOfMemory) << "the pixel image cap applies to the header";
  EXPECT_EQ(ReadWithReader(huge).header, kOutOfMemory) << "the reader refuses it as the loader does";

  // 30000 x 30000 gray fits the pixel image cap, but its progressive
  // coefficients (2 bytes a sample) pass the decoder's memory bound.
  JpegShape gray = shape;
  gray.components = 1;
  gray.color_space = JCS_GRAYSCALE;
  std::string wide = WriteScratch("wide.jpg", WithFrameSize(EncodeJpeg(gray), 30000, 30000));
  ReaderResult r = ReadWithReader(wide);
  EXPECT_EQ(r.header, kDecoderFailed) << "the decoder's own memory is bounded";
  EXPECT_FALSE(r.messages.empty()) << "with the decoder's text";

  // The same file at its true size decodes.
  EXPECT_EQ(LoadFile(WriteScratch("small.jpg", small), nullptr), kOk);
}

// ---- ICC profiles in APP2 markers and APP13 payloads ----

Marker IccChunk(int number, int count, const Bytes& data, const char* id = "ICC_PROFILE") {
  Marker m{JPEG_APP0 + 2, Bytes(id, id + std::strlen(id) + 1)};
  m.data.push_back(static_cast<uint8_t>(number));
  m.data.push_back(static_cast<uint8_t>(count));
  m.data.insert(m.data.end(), data.begin(), data.end());
  return m;
}

Bytes Slice(const Bytes& b, size_t from, size_t to) { return Bytes(b.begin() + from, b.begin() + to); }

// Profile-like bytes: the declared size first, then a pattern.
Bytes FakeProfile(size_t size) {
  Bytes p(size);
  for (size_t i = 0; i < size; ++i) p[i] = static_cast<uint8_t>(i * 31 + 5);
  p[0] = static_cast<uint8_t>(size >> 24);
  p[1] = static_cast<uint8_t>(size >> 16);
  p[2] = static_cast<uint8_t>(size >> 8);
  p[3] = static_cast<uint8_t>(size);
  return p;
}

ReaderResult ReadWithMarkers(const std::string& name, std::vector<Marker> markers) {
  JpegShape shape;
  shape.markers = std::move(markers);
  Bytes file = EncodeJpeg(shape);
  ReaderResult r = ReadWithReader(WriteScratch(name, file));
  EXPECT_EQ(r.rows, kOk);
  EXPECT_TRUE(r.samples == DecodeWithLibjpeg(file).samples) << "markers disturbed the image";
  return r;
}

TEST(JpegReaderTest, IccProfileInOneOrThreeMarkersIsHandedOutWhole) {
  Bytes profile = ReadBytes(testing::ReferenceFile("/usr/share/color/icc/sRGB.icc"));
  ASSERT_GT(profile.size(), 300u);
  ReaderResult one = ReadWithMarkers("icc1.jpg", {IccChunk(1, 1, profile)});
  EXPECT_TRUE(one.icc == profile);

  size_t a = 100, b = 250;
  ReaderResult three = ReadWithMarkers(
      "icc3.jpg", {IccChunk(1, 3, Slice(profile, 0, a)), IccChunk(2, 3, Slice(profile, a, b)),
                   IccChunk(3, 3, Slice(profile, b, profile.size()))});
  EXPECT_TRUE(three.icc == profile);

  ReaderResult none = ReadWithMarkers("icc0.jpg", {});
  EXPECT_EQ(none.info.icc_size, 0u);
  EXPECT_EQ(none.info.icc_profile, nullptr);
}

TEST(JpegReaderTest, ChunksOutOfOrderTakeTheFirstMetAsTheStart) {
  // Chunk 2 comes first: its first four bytes are taken as the declared size
  // and kept, the rest skipped; chunk 1 then follows them whole.
  Bytes profile = FakeProfile(600);
  const size_t split = 200;
  profile[split] = 0;
  profile[split + 1] = 1;  // 65536: room for what follows
  profile[split + 2] = 0;
  profile[split + 3] = 0;
  ReaderResult r = ReadWithMarkers(
      "swapped.jpg",
      {IccChunk(2, 2, Slice(profile, split, profile.size())), IccChunk(1, 2, Slice(profile, 0, split))});
  Bytes expected = Slice(profile, split, split + 4);
  expected.insert(expected.end(), profile.begin(), profile.begin() + split);
  EXPECT_TRUE(r.icc == expected);
}

TEST(JpegReaderTest, ProfilesThatContradictTheirSizeAreDiscarded) {
  // More bytes than declared: nothing beyond the declared size is written,
  // and the profile is not handed out.
  Bytes profile = FakeProfile(400);
  profile[2] = 0;
  profile[3] = 100;
  EXPECT_EQ(ReadWithMarkers("long.jpg", {IccChunk(1, 1, profile)}).info.icc_size, 0u);

  // Out of order with a small "size" from chunk 2's data.
  Bytes other = FakeProfile(600);
  std::memset(other.data() + 300, 0, 4);
  other[303] = 40;
  EXPECT_EQ(ReadWithMarkers("small.jpg", {IccChunk(2, 2, Slice(other, 300, 600)),
                                          IccChunk(1, 2, Slice(other, 0, 300))})
                .info.icc_size,
            0u);

  // A declared size below its own field, and one no chunks could fill.
  Bytes tiny = FakeProfile(40);
  tiny[3] = 3;
  EXPECT_EQ(ReadWithMarkers("tiny.jpg", {IccChunk(1, 1, tiny)}).info.icc_size, 0u);
  Bytes huge = FakeProfile(40);
  huge[0] = 0xFF;
  EXPECT_EQ(ReadWithMarkers("huge.jpg", {IccChunk(1, 1, huge)}).info.icc_size, 0u);
}

TEST(JpegReaderTest, ForeignAndShortApp2MarkersAreSkipped) {
  Bytes profile = FakeProfile(300);
  ReaderResult r = ReadWithMarkers(
      "foreign.jpg", {IccChunk(1, 1, Slice(profile, 0, 100), "ICC_PROFILF"),  // last letter differs
                      Marker{JPEG_APP0 + 2, Bytes{'I', 'C', 'C'}},
                      Marker{JPEG_APP0 + 2, Bytes{'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0}},
                      IccChunk(1, 1, profile)});
  EXPECT_TRUE(r.icc == profile);
}

TEST(JpegReaderTest, FirstChunkTooShortForTheSizeIsSkipped) {
  // A chunk 1 of 1 with two data bytes cannot hold the profile's 4-byte size:
  // it is skipped as if absent, and the next chunk 1 starts the profile.
  Bytes profile = FakeProfile(300);
  ReaderResult r = ReadWithMarkers("short-first.jpg", {IccChunk(1, 1, Bytes{0x00, 0x01}), IccChunk(1, 1, profile)});
  EXPECT_TRUE(r.icc == profile);
}

TEST(JpegReaderTest, LastApp13PayloadIsKept) {
  Bytes first = {'P', 'h', 'o', 't', 'o', 1, 2, 3};
  Bytes second = {'8', 'B', 'I', 'M', 0, 4, 9};
  ReaderResult r = ReadWithMarkers("app13.jpg", {Marker{JPEG_APP0 + 13, first},
                                                 Marker{JPEG_APP0 + 13, second}});
  EXPECT_TRUE(r.app13 == second);
  EXPECT_TRUE(ReadWithMarkers("noapp13.jpg", {}).app13.empty());
}


// ---- the JPEG source ----

// A file's bytes for the source's byte callback, ending after `cut` of them.
struct ByteFeed {
  const Bytes* file;
  size_t cut;
  size_t position = 0;

  static int Next(void* context) {
    auto* feed = static_cast<ByteFeed*>(context);
    if (feed->position >= feed->cut || feed->position >= feed->file->size()) return -1;
    return (*feed->file)[feed->position++];
  }
};

// Every scanline the source gives for the first `cut` bytes of a file.
struct SourceResult {
  Status header = -1;    // of the first ReadJpegScanline
  Status rows = -1;      // of the first call that did not give a scanline
  uint32_t scanlines = 0;
  Bytes samples;
  std::vector<std::string> messages;
};

SourceResult DecodeWithSource(const Bytes& file, size_t cut) {
  SourceResult r;
  ByteFeed feed{&file, cut};
  JpegSource* source = nullptr;
  EXPECT_EQ(CreateJpegSource(&source, ByteFeed::Next, &feed, nullptr, nullptr, nullptr,
                             [](void* context, const char* text) {
                               static_cast<std::vector<std::string>*>(context)->push_back(text);
                             },
                             &r.messages),
            kOk);
  r.header = ReadJpegScanline(source);
  if (r.header == kOk) {
    JpegHeader header;
    GetJpegHeader(source, &header);
    const size_t row = size_t{header.width} * header.components;
    r.samples.resize(row * header.height);
    // The first scanline was decoded with the header.
    r.scanlines = 1;
    EXPECT_EQ(TakeJpegBytes(source, r.samples.data(), row), row);
    for (r.rows = kOk; r.rows == kOk;) {
      r.rows = ReadJpegScanline(source);
      if (r.rows == kOk) {
        if (r.scanlines >= header.height) {
          ADD_FAILURE() << "more scanlines than the header promised";
          break;
        }
        EXPECT_EQ(TakeJpegBytes(source, r.samples.data() + r.scanlines * row, row), row);
        ++r.scanlines;
      }
    }
    EXPECT_EQ(JpegSourceStatus(source), kOk) << "a file cut short is not a failure";
  }
  FreeJpegSource(source);
  return r;
}

TEST(JpegSourceTest, AFileCutShortEndsAsIfAnEndOfImageMarkerFollowed) {
  Bytes file = ReadBytes(TestImage("testorig.jpg"));
  ASSERT_GT(file.size(), 4000u);
  // Inside the first scan's data, and at its last bytes.
  for (size_t cut : {file.size() / 3, file.size() / 2, file.size() - 40}) {
    SCOPED_TRACE(cut);
    SourceResult r = DecodeWithSource(file, cut);
    ASSERT_EQ(r.header, kOk);
    EXPECT_EQ(r.rows, kEndOfData) << "every scanline comes out, then the end";
    Bytes ended(file.begin(), file.begin() + static_cast<ptrdiff_t>(cut));
    ended.insert(ended.end(), {0xFF, 0xD9});
    Reference reference = DecodeWithLibjpeg(ended);
    EXPECT_EQ(r.scanlines, reference.height);
    EXPECT_TRUE(r.samples == reference.samples) << "not what the decoder makes of the bytes and 0xFF 0xD9";
  }

  // Nothing at all: the decoder meets 0xFF 0xD9 where the image should start.
  SourceResult empty = DecodeWithSource(file, 0);
  EXPECT_EQ(empty.header, kDecoderFailed);
  ASSERT_FALSE(empty.messages.empty());
  EXPECT_THAT(empty.messages.back(), ::testing::HasSubstr("0xff 0xd9"));
}

TEST(JpegSourceTest, MarkersLongerThanWhatIsBufferedAreSkippedOrReadWhole) {
  // Larger than the source's buffer together, each near the most a marker
  // holds, so that every kind of marker straddles a refill: APP1 markers
  // the decoder skips, a foreign APP2 the profile assembly skips, a profile
  // in chunks read byte by byte, and an APP13 payload kept whole. The
  // skipped payloads are end-of-image markers: a skip that stops short
  // ends the file before its image.
  Bytes profile = FakeProfile(150000);
  const size_t chunk = 65000;
  Bytes skipped(65532);
  for (size_t i = 0; i < skipped.size(); i += 2) {
    skipped[i] = 0xFF;
    skipped[i + 1] = 0xD9;
  }
  Bytes app13(65000);
  for (size_t i = 0; i < app13.size(); ++i) app13[i] = static_cast<uint8_t>(i * 13 + 1);
  JpegShape shape;
  shape.width = 64;
  shape.height = 48;
  shape.markers = {Marker{JPEG_APP0 + 1, skipped},
                   IccChunk(1, 1, Slice(skipped, 0, chunk), "ICC_PROFILF"),
                   IccChunk(1, 3, Slice(profile, 0, chunk)),
                   Marker{JPEG_APP0 + 1, skipped},
                   IccChunk(2, 3, Slice(profile, chunk, 2 * chunk)),
                   Marker{JPEG_APP0 + 13, app13},
                   Marker{JPEG_APP0 + 1, skipped},
                   IccChunk(3, 3, Slice(profile, 2 * chunk, profile.size()))};
  Bytes file = EncodeJpeg(shape);
  ASSERT_GT(file.size(), 6u * 65536u);
  Bytes expected = DecodeWithLibjpeg(file).samples;

  SourceResult direct = DecodeWithSource(file, file.size());
  EXPECT_EQ(direct.header, kOk) << "a marker was not skipped whole";
  EXPECT_EQ(direct.rows, kEndOfData);
  EXPECT_TRUE(direct.samples == expected);
  EXPECT_THAT(direct.messages, ::testing::IsEmpty()) << "the decoder met something unexpected";

  ReaderResult r = ReadWithReader(WriteScratch("long-markers.jpg", file));
  EXPECT_EQ(r.rows, kOk);
  EXPECT_TRUE(r.samples == expected);
  EXPECT_TRUE(r.icc == profile) << "the profile's chunks straddle refills";
  EXPECT_TRUE(r.app13 == app13);
}

// A file whose reads bring at most three bytes each, as a slow device may.
class TrickleFile : public SpecialPloFile {
 public:
  Status Read(size_t length, size_t* count, void* buffer) override {
    return SpecialPloFile::Read(length < 3 ? length : 3, count, buffer);
  }
};

TEST(JpegSourceTest, AFileThatArrivesAFewBytesAtATimeReadsAsAWholeOne) {
  for (const char* name : {"testorig.jpg", "testimgint.jpg"}) {
    SCOPED_TRACE(name);
    const std::string path = TestImage(name);
    ReaderResult whole = ReadWithReader(path);
    ASSERT_EQ(whole.rows, kOk);

    TImageReader* made = nullptr;
    ASSERT_EQ(CreateReader(kFileTypeJpeg, &made), kOk);
    testing::ReaderPtr reader(made);
    TrickleFile file;
    file.SetName(path.c_str());
    ASSERT_EQ(file.SetBuffer(nullptr, kReaderBufferSize), kOk);
    ASSERT_EQ(file.Open(kFileModeRead), kOk);
    ImageFormat format = {};
    ImageInfo info = {};
    ASSERT_EQ(reader->Open(&file, &format), kOk);
    ASSERT_EQ(reader->ReadHeader(&info), kOk);
    EXPECT_EQ(info.width, whole.info.width);
    EXPECT_EQ(info.height, whole.info.height);
    Bytes samples(size_t{info.width} * info.height * info.channels);
    EXPECT_EQ(reader->ReadRows(samples.data(), info.height), kOk);
    EXPECT_EQ(reader->FinishReading(), kOk);
    file.Close();
    reader->Close();
    EXPECT_TRUE(samples == whole.samples);
  }
}

}  // namespace
}  // namespace lumetra
