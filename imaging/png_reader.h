// PNG files: the TImageReader for PNG (TPngReader).
#pragma once

#include "imaging/image_reader.h"

namespace lumetra {

// Makes a new TPngReader; 21002 when memory is short.
Status CreatePngReader(TImageReader** reader);

}  // namespace lumetra
