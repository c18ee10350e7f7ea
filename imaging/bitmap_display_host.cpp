// The host has no screen: no bitmaps are made and nothing is drawn.
#include "imaging/bitmap_display.h"

namespace lumetra {

BitmapHandle ImageToBitmap(const PixelImage*, void*) { return nullptr; }

Status DrawBitmap(BitmapHandle, void*, const ShortRect&, const ShortRect&, const ShortRect&, bool) {
  return kOk;
}

Status DrawWholeBitmap(BitmapHandle, void*, const ShortRect&) { return kOk; }

void GetBitmapSize(BitmapHandle, int32_t* width, int32_t* height) {
  if (width) *width = 0;
  if (height) *height = 0;
}

Status LoadBackgroundBitmap(const char*, void*, BitmapHandle* bitmap, void*) {
  if (bitmap) *bitmap = nullptr;
  return kRefused;
}

}  // namespace lumetra
