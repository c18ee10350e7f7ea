// Screen bitmaps from pixel images: the conversion of an RGB image into a
// device bitmap for a window's screen, stretched drawing of bitmaps into a
// window, and the background pictures of dialogs. Handles are opaque here:
// a bitmap is an HBITMAP, a window an HWND, a module an HMODULE.
#pragma once

#include <cstdint>

#include "framework/support/geometry.h"
#include "framework/support/memory.h"
#include "framework/support/status.h"
#include "imaging/image_reader.h"

namespace lumetra {

using BitmapHandle = void*;

// A device bitmap for the window's screen, or null: only RGB images are
// converted, and any failure gives null. The caller deletes the bitmap.
BitmapHandle ImageToBitmap(const PixelImage* image, void* window);

// The bits ImageToBitmap gives CreateBitmap on a screen of 24 or 32 bits per
// pixel: each pixel as blue, green, red (and a zero byte at 32 bits); at 24
// bits a row of odd width ends in one zero byte, since bitmap rows have an
// even length. 20003 for an image that is not 8-bit RGB or another depth,
// 21002 when memory is short.
Status ScreenBitmapBits(const PixelImage* image, int32_t screen_bits, MemPtr<uint8_t>* bits,
                        size_t* row_bytes);

// Draws the source part of the bitmap stretched into the destination
// rectangle of the window, clipped to `clip` and, with `use_update_region`,
// to the window's update region. The source is first moved, keeping its size,
// to start inside the bitmap. 0, or the system's status of a failed stretch.
Status DrawBitmap(BitmapHandle bitmap, void* window, const ShortRect& destination,
                  const ShortRect& clip, const ShortRect& source, bool use_update_region);

// The whole bitmap into the destination, which is also the clip.
Status DrawWholeBitmap(BitmapHandle bitmap, void* window, const ShortRect& destination);

// The bitmap's width and height; both 0 for a null or unknown bitmap.
void GetBitmapSize(BitmapHandle bitmap, int32_t* width, int32_t* height);

// A dialog background: the name (a number given with ResourceNumber is
// written as decimal text) is looked up as a file of named data
// (framework/support/files.h). If it is found and loads, the result is
// ImageToBitmap of the image with status 0 (null for an image that is not
// RGB). Otherwise the bitmap resource of that number or name from `module`
// (the program's own when null); no bitmap gives 20001.
Status LoadBackgroundBitmap(const char* number_or_name, void* window, BitmapHandle* bitmap,
                            void* module);

}  // namespace lumetra
