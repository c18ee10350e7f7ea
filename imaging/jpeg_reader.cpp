#include "imaging/jpeg_reader.h"

namespace lumetra {

// No JPEG decoding yet.
Status LoadJpegImage(PixelImage**, const char*, ImageProgress, void*) {
  return kUnsupportedImageData;
}

Status CreateJfifReader(TImageReader** reader) {
  if (reader) *reader = nullptr;
  return kUnsupportedImageData;
}

}  // namespace lumetra
