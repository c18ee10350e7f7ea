// TIFF files: the loader LoadImageFile uses for file type 0, and the
// TImageReader for TIFF (TTiffReader). Both read the first image of a file,
// in strips stored uncompressed, with LZW (with or without the horizontal
// predictor) or with PackBits, at 8 or 16 bits per sample.
#pragma once

#include "imaging/image_reader.h"
#include "imaging/tiff_file.h"

namespace lumetra {

// Loads the first image of a TIFF file. Creates the record when *image is
// null; on failure a partly loaded image may be left in *image for the caller
// to free. 20501 for a damaged header or directory, 20508 for a photometric
// interpretation other than gray, RGB, CMYK or Lab, 20504 for another
// compression, 20217 for other bit depths.
Status LoadTiffImage(PixelImage** image, const char* path, ImageProgress progress, void* context);

// Makes a new TTiffReader; 21002 when memory is short. Its Open reports the
// format kind kImageFormatTiff with a TiffTagList as the extra data, which
// ReadHeader fills with the IPTC (33723), Photoshop (34377) and
// ImageDescription (270) tags; the list lives until Close.
Status CreateTiffReader(TImageReader** reader);

}  // namespace lumetra
