// LZW decoding speed of the TIFF loader against libtiff on the same files:
// a photograph-sized RGB image, plain LZW and LZW with the horizontal
// predictor. Both sides open the file and decode every strip each time.

#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <memory>
#include <string>
#include <vector>

#include "imaging/tiff_reader.h"

namespace lumetra {
namespace {

constexpr uint32_t kWidth = 1600;
constexpr uint32_t kHeight = 1200;
constexpr uint32_t kRowsPerStrip = 16;

// Smooth gradients with some noise: compresses about as well as a photograph.
std::string MakeFile(uint16_t predictor) {
  std::string path = std::string(LUMETRA_BINARY_DIR) + "/tiff_benchmark_" +
                     std::to_string(predictor) + ".tif";
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
  TIFFSetField(tiff, TIFFTAG_PREDICTOR, predictor);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, kRowsPerStrip);
  std::vector<uint8_t> row(kWidth * 3);
  uint32_t noise = 1;
  for (uint32_t y = 0; y < kHeight; ++y) {
    for (uint32_t x = 0; x < kWidth; ++x) {
      noise = noise * 1103515245u + 12345u;
      int jitter = static_cast<int>((noise >> 16) % 4);
      row[3 * x] = static_cast<uint8_t>((x / 7 + y / 5) + jitter);
      row[3 * x + 1] = static_cast<uint8_t>((x / 11) ^ (y / 9));
      row[3 * x + 2] = static_cast<uint8_t>(((x + y) / 13) + (jitter >> 1));
    }
    TIFFWriteScanline(tiff, row.data(), y, 0);
  }
  TIFFClose(tiff);
  return path;
}

const std::string& File(uint16_t predictor) {
  static const std::string plain = MakeFile(1);
  static const std::string differenced = MakeFile(2);
  return predictor == 2 ? differenced : plain;
}

void Ours(benchmark::State& state) {
  const std::string& path = File(static_cast<uint16_t>(state.range(0)));
  for (auto _ : state) {
    PixelImage* image = nullptr;
    Status status = LoadTiffImage(&image, path.c_str(), nullptr, nullptr);
    FreePixelImage(image);
    if (status != kOk) state.SkipWithError("the TIFF loader failed");
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 3);
}

void Libtiff(benchmark::State& state) {
  const std::string& path = File(static_cast<uint16_t>(state.range(0)));
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

// Argument: the predictor, 1 none, 2 horizontal differencing.
BENCHMARK(Ours)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(Libtiff)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumetra
