// The top-to-bottom flip that Windows bitmaps ask for (stored bottom row
// first), on a 2048 x 1536 RGB pixel image, against one copy of its pixels.
#include <cstring>
#include <vector>

#include <benchmark/benchmark.h>

#include "imaging/image_reader.h"

namespace {

constexpr uint32_t kWidth = 2048;
constexpr uint32_t kHeight = 1536;

lumetra::PixelImage* MakeImage() {
  lumetra::PixelImage* image = nullptr;
  lumetra::CreatePixelImage(&image, kHeight, kWidth, 0, lumetra::kColorSpaceRgb, 8);
  uint8_t* p = lumetra::LockPixels(image);
  for (size_t i = 0; i < size_t{kWidth} * kHeight * 3; ++i) p[i] = static_cast<uint8_t>(i * 7);
  lumetra::UnlockPixels(image);
  return image;
}

void BM_BitmapFlip(benchmark::State& state) {
  lumetra::PixelImage* image = MakeImage();
  for (auto _ : state) {
    if (lumetra::ApplyOrientation(image, lumetra::kOrientFlipVertical) != lumetra::kOk) {
      state.SkipWithError("the flip failed");
      break;
    }
    benchmark::ClobberMemory();
  }
  lumetra::FreePixelImage(image);
}

void BM_PixelCopy(benchmark::State& state) {
  std::vector<uint8_t> from(size_t{kWidth} * kHeight * 3, 1), to(from.size());
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::ClobberMemory();
  }
}

BENCHMARK(BM_BitmapFlip)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PixelCopy)->Unit(benchmark::kMillisecond);

}  // namespace
