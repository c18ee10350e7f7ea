#include "imaging/bmp_reader.h"

namespace lumetra {

Status CreateBitmapReader(TImageReader** reader) {
  if (reader) *reader = nullptr;
  return kUnsupportedImageData;
}

}  // namespace lumetra
