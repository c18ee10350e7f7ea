// The loaders' fuzz targets (LoadJpegImage, LoadTiffImage) share this driver:
// the input is written to a file and loaded whole. The input's last byte
// picks a progress callback that lets the loading run, cancels it or stops it
// with another status at a row of its choosing, so the early exits are
// fuzzed too. A header promising more than kMaxLoadedSamples samples is
// not loaded: the fuzzer spends its time decoding, not filling huge images.
#pragma once

#include <cstdint>
#include <string>

#include "imaging/image_reader.h"
#include "tests/fuzz/fuzz_support.h"

namespace lumetra::fuzz {

constexpr uint64_t kMaxLoadedSamples = uint64_t{1} << 22;

// What the header of a file promises, learnt the loader's own way.
struct PromisedImage {
  bool readable;  // false: the loader should fail
  uint64_t width, height, samples_per_pixel;
};

// Stops after `stop_after` calls with `stop_status`, and tells whether it did.
struct Progress {
  uint32_t calls = 0;
  uint32_t stop_after = 0;  // 0: never
  Status stop_status = kOk;
  uint32_t last_fraction = 0;
  bool stopped = false;

  static Status Call(void* context, uint32_t fraction) {
    auto* p = static_cast<Progress*>(context);
    Require(p->calls == 0 || fraction >= p->last_fraction, "progress never goes back");
    Require(fraction <= kProgressScale, "progress stays within its scale");
    p->last_fraction = fraction;
    if (p->stop_after && ++p->calls >= p->stop_after) {
      p->stopped = true;
      return p->stop_status;
    }
    return kOk;
  }
};

using Loader = Status (*)(PixelImage** image, const char* path, ImageProgress progress, void* context);

inline void LoadImage(Loader load, PromisedImage (*promise)(const std::string& path),
                      const uint8_t* data, size_t size, const char* file_name) {
  const std::string path = ScratchDir() + "/" + file_name;
  WriteFile(path, data, size);
  PromisedImage promised = promise(path);
  if (promised.readable &&
      promised.width * promised.height * promised.samples_per_pixel > kMaxLoadedSamples) {
    return;
  }

  Progress progress;
  uint8_t choice = size ? data[size - 1] : 0;
  if (choice & 0x80) {
    progress.stop_after = 1 + (choice & 0x1F);
    progress.stop_status = (choice & 0x40) ? Status{kCancelled} : Status{kNoFileName};
  }
  PixelImage* image = nullptr;
  Status status = load(&image, path.c_str(), Progress::Call, &progress);
  if (progress.stopped) Require(status == progress.stop_status, "a progress status stops the loading");
  if (status == kOk) {
    Require(image != nullptr, "a loaded image is handed out");
    Require(promised.readable, "a header the loader cannot read does not load");
    Require(image->columns == promised.width && image->rows == promised.height,
            "the image has the header's size");
    Require(ChannelsPerPixel(*image) == promised.samples_per_pixel, "a pixel has the header's samples");
    Require(image->bits_per_sample == 8 || image->bits_per_sample == 16, "8 or 16 bits a sample");
    // Every byte of the pixel block can be read.
    volatile uint8_t sum = 0;
    const uint8_t* pixels = LockPixels(image);
    Require(pixels != nullptr || BytesPerRow(*image) * image->rows == 0, "the pixels can be locked");
    for (size_t i = 0, n = BytesPerRow(*image) * image->rows; i < n; ++i) sum = sum + pixels[i];
    UnlockPixels(image);
  }
  FreePixelImage(image);
}

}  // namespace lumetra::fuzz
