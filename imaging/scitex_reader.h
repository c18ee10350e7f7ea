// Scitex CT files: the TImageReader for continuous-tone images of one, three
// or four separations (TScitexCTReader).
#pragma once

#include "imaging/image_reader.h"

namespace lumetra {

// Makes a new TScitexCTReader; 21002 when memory is short.
Status CreateScitexCtReader(TImageReader** reader);

}  // namespace lumetra
