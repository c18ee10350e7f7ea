// JPEG files: the loader LoadImageFile uses for file type 2, and the
// TImageReader for JPEG (TJFIFReader). Both decode through the JPEG source.
#pragma once

#include <cstdint>

#include "imaging/image_reader.h"

namespace lumetra {

// The extra data of a JPEG format (ImageFormat::extra): the payload of the
// file's last APP13 marker, owned by the reader, valid until Close.
struct JpegApp13 {
  uint32_t length;
  const uint8_t* block;
};

// Loads a JPEG file. Creates the record when *image is null; on failure a
// partly loaded image may be left in *image for the caller to free.
Status LoadJpegImage(PixelImage** image, const char* path, ImageProgress progress, void* context);

// Makes a new TJFIFReader; 21002 when memory is short.
Status CreateJfifReader(TImageReader** reader);

}  // namespace lumetra
