// Windows bitmap files: the TImageReader for uncompressed 24-bit bitmaps (TBitmapReader).
#pragma once

#include "imaging/image_reader.h"

namespace lumetra {

// Makes a new TBitmapReader; 21002 when memory is short.
Status CreateBitmapReader(TImageReader** reader);

}  // namespace lumetra
