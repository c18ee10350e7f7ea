// JPEG files: the loader LoadImageFile uses for file type 2, and the
// TImageReader for JPEG (TJFIFReader).
#pragma once

#include "imaging/image_reader.h"

namespace lumetra {

// Loads a JPEG file. Creates the record when *image is null; on failure a
// partly loaded image may be left in *image for the caller to free.
Status LoadJpegImage(PixelImage** image, const char* path, ImageProgress progress, void* context);

// Makes a new TJFIFReader; 21002 when memory is short.
Status CreateJfifReader(TImageReader** reader);

}  // namespace lumetra
