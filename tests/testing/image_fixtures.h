// Image files generated in code for the image reader tests: Windows bitmaps
// and Scitex CT files with chosen geometry, samples and header fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumetra::testing {

// RGB samples, top row first, as a test expects a reader to deliver them:
// every pixel different, so that misplaced rows and columns show.
std::vector<uint8_t> PatternRgb(uint32_t width, uint32_t height);

struct BmpFields {
  int32_t width = 3;
  int32_t height = 2;  // negative: stored top row first
  uint16_t planes = 1;
  uint16_t bits_per_pixel = 24;
  uint32_t compression = 0;
  int32_t x_pixels_per_metre = 2835;
  int32_t y_pixels_per_metre = 2835;
  uint8_t padding_byte = 0;  // what fills the row padding
  uint32_t palette_entries = 0;  // 4-byte entries between the headers and the pixels
};

// A bitmap file of the fields whose 24-bit pixel rows hold `rgb` (top row
// first, width x |height| pixels); rows are stored bottom first unless the
// height is negative. With other bit depths the rows hold zeros.
std::vector<uint8_t> MakeBmp(const BmpFields& fields, const std::vector<uint8_t>& rgb);

struct ScitexFields {
  uint8_t units = 0;        // 0 millimetres, 1 inches
  uint8_t separations = 3;
  const char* height_units = "10.0";
  const char* width_units = "10.0";
  const char* height_pixels = nullptr;  // null: the height given to MakeScitexCt
  const char* width_pixels = nullptr;
  uint8_t pad_byte = 0xEE;  // what fills the pad byte of an odd separation line
};

// A Scitex CT file: `separations` holds, per line, every separation's samples
// one after the other (separations x width bytes); odd widths get their pad
// bytes. Bytes 80-81 carry "CT", as the file type test expects.
std::vector<uint8_t> MakeScitexCt(const ScitexFields& fields, uint32_t width, uint32_t height,
                                  const std::vector<uint8_t>& separations);

// 64-bit FNV-1a of a byte range, for golden tables of decoded samples.
uint64_t Fnv1a64(const uint8_t* bytes, size_t count);

}  // namespace lumetra::testing
