#include "imaging/png_reader.h"

namespace lumetra {

// No PNG decoding yet.
Status CreatePngReader(TImageReader** reader) {
  if (reader) *reader = nullptr;
  return kUnsupportedImageData;
}

}  // namespace lumetra
