// TIFF files: the loader LoadImageFile uses for file type 0, and the
// TImageReader for TIFF.
#pragma once

#include "imaging/image_reader.h"

namespace lumetra {

// Loads the first image of a TIFF file. Creates the record when *image is
// null; on failure a partly loaded image may be left in *image for the caller
// to free.
Status LoadTiffImage(PixelImage** image, const char* path, ImageProgress progress, void* context);

// Makes a new TTiffReader; 21002 when memory is short.
Status CreateTiffReader(TImageReader** reader);

}  // namespace lumetra
