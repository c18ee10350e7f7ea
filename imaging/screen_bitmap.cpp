#include <utility>

#include "framework/support/byte_reader.h"
#include "imaging/bitmap_display.h"

namespace lumetra {

Status ScreenBitmapBits(const PixelImage* image, int32_t screen_bits, MemPtr<uint8_t>* bits,
                        size_t* row_bytes) {
  if (!image || !bits || !row_bytes || image->color_space != kColorSpaceRgb ||
      image->bits_per_sample != 8 || !image->pixels || (screen_bits != 24 && screen_bits != 32)) {
    return kBadArgument;
  }
  size_t out_pixel = screen_bits == 32 ? 4 : 3;
  size_t stride = 0;
  size_t total = 0;
  if (!CheckedMul(image->columns, out_pixel, &stride)) return kOutOfMemory;
  stride += stride & 1;  // CreateBitmap rows are WORD-aligned (Win32 docs, BITMAP)
  if (!CheckedMul(stride, image->rows, &total)) return kOutOfMemory;
  // Zero-filled, so the padding and the fourth bytes stay 0.
  MemPtr<uint8_t> buffer(static_cast<uint8_t*>(MemAlloc(total ? total : 1)));
  if (!buffer) return kOutOfMemory;
  const uint8_t* pixels = static_cast<const uint8_t*>(MemLock(image->pixels));
  if (!pixels) return kOutOfMemory;
  size_t in_pixel = BytesPerPixel(*image);
  for (uint32_t r = 0; r < image->rows; ++r) {
    const uint8_t* from = pixels + size_t{r} * image->columns * in_pixel;
    uint8_t* to = buffer.get() + size_t{r} * stride;
    for (uint32_t c = 0; c < image->columns; ++c, from += in_pixel, to += out_pixel) {
      to[0] = from[2];
      to[1] = from[1];
      to[2] = from[0];
    }
  }
  MemUnlock(image->pixels);
  *bits = std::move(buffer);
  *row_bytes = stride;
  return kOk;
}

}  // namespace lumetra
