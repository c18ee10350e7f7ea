// The JPEG and PNG readers against the bare libraries decoding the same file:
// what the JPEG source, the row protocol and the sample conventions cost.
// Files of 2048 x 1536 pixels (RGB, and gray for PNG) are written once to /tmp.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>

#include <benchmark/benchmark.h>

#include "imaging/image_reader.h"

namespace {

using lumetra::PixelImage;

constexpr int kWidth = 2048;
constexpr int kHeight = 1536;

// A picture with smooth areas and some texture, so both codecs do real work.
std::vector<uint8_t> Picture() {
  std::vector<uint8_t> rgb(size_t{kWidth} * kHeight * 3);
  uint32_t noise = 12345;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      noise = noise * 1103515245 + 12345;
      uint8_t* p = &rgb[(static_cast<size_t>(y) * kWidth + x) * 3];
      p[0] = static_cast<uint8_t>(x * 255 / kWidth);
      p[1] = static_cast<uint8_t>(y * 255 / kHeight);
      p[2] = static_cast<uint8_t>(((x / 64 + y / 64) & 1) * 128 + ((noise >> 16) & 31));
    }
  }
  return rgb;
}

const std::string& JpegFile() {
  static const std::string path = [] {
    std::string name = "/tmp/lumetra_benchmark.jpg";
    std::vector<uint8_t> rgb = Picture();
    FILE* out = std::fopen(name.c_str(), "wb");
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, out);
    cinfo.image_width = kWidth;
    cinfo.image_height = kHeight;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
      JSAMPROW row = &rgb[size_t{cinfo.next_scanline} * kWidth * 3];
      jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(out);
    return name;
  }();
  return path;
}

// The picture as RGB, or its green channel alone as 8-bit gray.
std::string WritePng(const std::string& name, bool gray) {
  std::vector<uint8_t> rgb = Picture();
  if (gray) {
    for (size_t i = 0; i < size_t{kWidth} * kHeight; ++i) rgb[i] = rgb[3 * i + 1];
  }
  const size_t channels = gray ? 1 : 3;
  FILE* out = std::fopen(name.c_str(), "wb");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, out);
  png_set_IHDR(png, info, kWidth, kHeight, 8, gray ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < kHeight; ++y) png_write_row(png, &rgb[static_cast<size_t>(y) * channels * kWidth]);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  std::fclose(out);
  return name;
}

const std::string& PngFile() {
  static const std::string path = WritePng("/tmp/lumetra_benchmark.png", false);
  return path;
}

const std::string& PngGrayFile() {
  static const std::string path = WritePng("/tmp/lumetra_benchmark_gray.png", true);
  return path;
}

void LoadThroughReaders(benchmark::State& state, const std::string& path) {
  for (auto _ : state) {
    PixelImage* image = nullptr;
    if (lumetra::LoadImageFile(path.c_str(), &image, nullptr, nullptr) != lumetra::kOk) {
      state.SkipWithError("loading failed");
      break;
    }
    benchmark::DoNotOptimize(image);
    lumetra::FreePixelImage(image);
  }
}

void BM_JpegLoadImageFile(benchmark::State& state) { LoadThroughReaders(state, JpegFile()); }

void BM_JpegTJFIFReader(benchmark::State& state) {
  for (auto _ : state) {
    PixelImage* image = nullptr;
    if (lumetra::LoadImageWithReader(&image, JpegFile().c_str(), 2, nullptr, nullptr) != lumetra::kOk) {
      state.SkipWithError("loading failed");
      break;
    }
    lumetra::FreePixelImage(image);
  }
}

void BM_JpegBareLibjpeg(benchmark::State& state) {
  std::vector<uint8_t> pixels(size_t{kWidth} * kHeight * 3);
  for (auto _ : state) {
    FILE* in = std::fopen(JpegFile().c_str(), "rb");
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, in);
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    while (cinfo.output_scanline < cinfo.output_height) {
      JSAMPROW row = &pixels[static_cast<size_t>(cinfo.output_scanline) * kWidth * 3];
      jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(in);
    benchmark::DoNotOptimize(pixels.data());
  }
}

void BM_PngTPngReader(benchmark::State& state) { LoadThroughReaders(state, PngFile()); }
void BM_PngGrayTPngReader(benchmark::State& state) { LoadThroughReaders(state, PngGrayFile()); }

// libpng reading every row of a file into one block, as a program would.
void BareLibpng(benchmark::State& state, const std::string& path, size_t channels) {
  std::vector<uint8_t> pixels(size_t{kWidth} * kHeight * channels);
  for (auto _ : state) {
    FILE* in = std::fopen(path.c_str(), "rb");
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, in);
    png_read_info(png, info);
    png_read_update_info(png, info);
    for (int y = 0; y < kHeight; ++y) {
      png_read_row(png, &pixels[static_cast<size_t>(y) * kWidth * channels], nullptr);
    }
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(in);
    benchmark::DoNotOptimize(pixels.data());
  }
}

void BM_PngBareLibpng(benchmark::State& state) { BareLibpng(state, PngFile(), 3); }
void BM_PngGrayBareLibpng(benchmark::State& state) { BareLibpng(state, PngGrayFile(), 1); }

BENCHMARK(BM_JpegLoadImageFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegTJFIFReader)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegBareLibjpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngTPngReader)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngBareLibpng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngGrayTPngReader)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngGrayBareLibpng)->Unit(benchmark::kMillisecond);

}  // namespace
