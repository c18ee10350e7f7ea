#include "imaging/tiff_reader.h"

namespace lumetra {

// No TIFF decoding yet.
Status LoadTiffImage(PixelImage**, const char*, ImageProgress, void*) {
  return kUnsupportedImageData;
}

Status CreateTiffReader(TImageReader** reader) {
  if (reader) *reader = nullptr;
  return kUnsupportedImageData;
}

}  // namespace lumetra
