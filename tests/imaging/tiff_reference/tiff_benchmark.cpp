// LZW decoding speed of the TIFF loader against libtiff on the same files:
// a photograph-sized RGB image, plain LZW and LZW with the horizontal
// predictor, and noise that LZW cannot compress. Both sides open the file
// and decode every strip each time.

#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "imaging/tiff_reader.h"

namespace lumetra {
namespace {

constexpr uint32_t kWidth = 1600;
constexpr uint32_t kHeight = 1200;
constexpr uint32_t kRowsPerStrip = 16;

// The files, by the benchmarks' argument.
enum Content : int64_t {
  kSmooth = 1,           // plain LZW
  kSmoothPredictor = 2,  // LZW with horizontal differencing
  kNoise = 3,            // plain LZW of bytes with no pattern
};

// Smooth gradients with some noise compress about as well as a photograph;
// pure noise leaves LZW nothing but strings of one or two bytes, so its
// output is larger than the pixels. An empty path when the file could not
// be written as meant.
std::string MakeFile(Content content) {
  std::string path = std::string(LUMETRA_BINARY_DIR) + "/tiff_benchmark_" +
                     std::to_string(content) + ".tif";
  TIFFSetWarningHandler(nullptr);
  TIFF* tiff = TIFFOpen(path.c_str(), "w");
  if (!tiff) return {};
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, kWidth);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, kHeight);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  TIFFSetField(tiff, TIFFTAG_PREDICTOR, content == kSmoothPredictor ? 2 : 1);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, kRowsPerStrip);
  std::vector<uint8_t> row(kWidth * 3);
  uint32_t noise = 1;
  for (uint32_t y = 0; y < kHeight; ++y) {
    for (uint32_t x = 0; x < kWidth; ++x) {
      noise = noise * 1103515245u + 12345u;
      if (content == kNoise) {
        // The generator's high bits; its low bits repeat too soon.
        row[3 * x] = static_cast<uint8_t>(noise >> 24);
        noise = noise * 1103515245u + 12345u;
        row[3 * x + 1] = static_cast<uint8_t>(noise >> 24);
        noise = noise * 1103515245u + 12345u;
        row[3 * x + 2] = static_cast<uint8_t>(noise >> 24);
        continue;
      }
      int jitter = static_cast<int>((noise >> 16) % 4);
      row[3 * x] = static_cast<uint8_t>((x / 7 + y / 5) + jitter);
      row[3 * x + 1] = static_cast<uint8_t>((x / 11) ^ (y / 9));
      row[3 * x + 2] = static_cast<uint8_t>(((x + y) / 13) + (jitter >> 1));
    }
    TIFFWriteScanline(tiff, row.data(), y, 0);
  }
  TIFFClose(tiff);
  struct stat written;
  if (content == kNoise && (stat(path.c_str(), &written) != 0 ||
                            uint64_t(written.st_size) <= uint64_t{kWidth} * kHeight * 3)) {
    return {};  // the noise row measures data that do not compress
  }
  return path;
}

const std::string& File(int64_t content) {
  static const std::string smooth = MakeFile(kSmooth);
  static const std::string differenced = MakeFile(kSmoothPredictor);
  static const std::string noise = MakeFile(kNoise);
  return content == kNoise ? noise : content == kSmoothPredictor ? differenced : smooth;
}

void Ours(benchmark::State& state) {
  const std::string& path = File(state.range(0));
  if (path.empty()) {
    state.SkipWithError("the benchmark's file could not be made");
    return;
  }
  for (auto _ : state) {
    PixelImage* image = nullptr;
    Status status = LoadTiffImage(&image, path.c_str(), nullptr, nullptr);
    FreePixelImage(image);
    if (status != kOk) state.SkipWithError("the TIFF loader failed");
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 3);
}

void Libtiff(benchmark::State& state) {
  const std::string& path = File(state.range(0));
  if (path.empty()) {
    state.SkipWithError("the benchmark's file could not be made");
    return;
  }
  for (auto _ : state) {
    // A fresh block each time, as the loader allocates its pixel image.
    std::unique_ptr<uint8_t[]> pixels(new uint8_t[size_t{kWidth} * kHeight * 3]);
    size_t size = size_t{kWidth} * kHeight * 3;
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    if (!tiff) {
      state.SkipWithError("libtiff cannot open the file");
      break;
    }
    size_t at = 0;
    for (uint32_t strip = 0; strip < TIFFNumberOfStrips(tiff); ++strip) {
      tmsize_t got = TIFFReadEncodedStrip(tiff, strip, pixels.get() + at, tmsize_t(size - at));
      if (got > 0) at += size_t(got);
    }
    TIFFClose(tiff);
    benchmark::DoNotOptimize(pixels.get());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 3);
}

// Argument: the file's Content.
BENCHMARK(Ours)->Arg(kSmooth)->Arg(kSmoothPredictor)->Arg(kNoise)->Unit(benchmark::kMillisecond);
BENCHMARK(Libtiff)->Arg(kSmooth)->Arg(kSmoothPredictor)->Arg(kNoise)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumetra
