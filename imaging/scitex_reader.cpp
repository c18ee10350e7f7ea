#include "imaging/scitex_reader.h"

namespace lumetra {

Status CreateScitexCtReader(TImageReader** reader) {
  if (reader) *reader = nullptr;
  return kUnsupportedImageData;
}

}  // namespace lumetra
