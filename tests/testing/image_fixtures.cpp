#include "tests/testing/image_fixtures.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace lumetra::testing {

namespace {

void PutLE16(std::vector<uint8_t>* out, uint32_t v) {
  out->push_back(static_cast<uint8_t>(v));
  out->push_back(static_cast<uint8_t>(v >> 8));
}
void PutLE32(std::vector<uint8_t>* out, uint32_t v) {
  PutLE16(out, v & 0xFFFF);
  PutLE16(out, v >> 16);
}

void PutText(std::vector<uint8_t>* file, size_t offset, const std::string& text) {
  std::memcpy(file->data() + offset, text.data(), text.size());
}

}  // namespace

std::vector<uint8_t> PatternRgb(uint32_t width, uint32_t height) {
  std::vector<uint8_t> rgb;
  for (uint32_t r = 0; r < height; ++r) {
    for (uint32_t c = 0; c < width; ++c) {
      rgb.push_back(static_cast<uint8_t>(r * 16 + c));
      rgb.push_back(static_cast<uint8_t>(100 + r));
      rgb.push_back(static_cast<uint8_t>(250 - c));
    }
  }
  return rgb;
}

std::vector<uint8_t> MakeBmp(const BmpFields& f, const std::vector<uint8_t>& rgb) {
  uint32_t height = static_cast<uint32_t>(f.height < 0 ? -int64_t{f.height} : f.height);
  uint32_t width = static_cast<uint32_t>(f.width);
  uint32_t row_bytes = (width * f.bits_per_pixel + 7) / 8;
  uint32_t padding = (4 - row_bytes % 4) % 4;
  uint32_t offset = 54 + 4 * f.palette_entries;
  uint32_t image_size = (row_bytes + padding) * height;

  std::vector<uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  PutLE32(&out, offset + image_size);
  PutLE32(&out, 0);
  PutLE32(&out, offset);
  PutLE32(&out, 40);
  PutLE32(&out, static_cast<uint32_t>(f.width));
  PutLE32(&out, static_cast<uint32_t>(f.height));
  PutLE16(&out, f.planes);
  PutLE16(&out, f.bits_per_pixel);
  PutLE32(&out, f.compression);
  PutLE32(&out, image_size);
  PutLE32(&out, static_cast<uint32_t>(f.x_pixels_per_metre));
  PutLE32(&out, static_cast<uint32_t>(f.y_pixels_per_metre));
  PutLE32(&out, f.palette_entries);
  PutLE32(&out, 0);
  for (uint32_t i = 0; i < f.palette_entries; ++i) PutLE32(&out, i * 0x010101u);
  for (uint32_t n = 0; n < height; ++n) {
    uint32_t r = f.height < 0 ? n : height - 1 - n;
    for (uint32_t c = 0; c < row_bytes; ++c) {
      if (f.bits_per_pixel != 24) {
        out.push_back(0);
        continue;
      }
      // Stored blue, green, red.
      size_t pixel = (size_t{r} * width + c / 3) * 3;
      size_t at = pixel + 2 - c % 3;
      out.push_back(at < rgb.size() ? rgb[at] : 0);
    }
    for (uint32_t p = 0; p < padding; ++p) out.push_back(f.padding_byte);
  }
  return out;
}

std::vector<uint8_t> MakeScitexCt(const ScitexFields& f, uint32_t width, uint32_t height,
                                  const std::vector<uint8_t>& separations) {
  std::vector<uint8_t> file(2048, 0);
  PutText(&file, 0, "generated for the image reader tests");
  PutText(&file, 80, "CT");
  file[1024] = f.units;
  file[1025] = f.separations;
  PutText(&file, 1024 + 4, f.height_units);
  PutText(&file, 1024 + 18, f.width_units);
  PutText(&file, 1024 + 32, f.height_pixels ? f.height_pixels : std::to_string(height));
  PutText(&file, 1024 + 44, f.width_pixels ? f.width_pixels : std::to_string(width));
  size_t line = size_t{width} * f.separations;
  for (uint32_t r = 0; r < height; ++r) {
    for (uint32_t k = 0; k < f.separations; ++k) {
      for (uint32_t j = 0; j < width; ++j) {
        size_t at = r * line + size_t{k} * width + j;
        file.push_back(at < separations.size() ? separations[at] : 0);
      }
      if (width & 1) file.push_back(f.pad_byte);
    }
  }
  return file;
}

uint64_t Fnv1a64(const uint8_t* bytes, size_t count) {
  uint64_t hash = 0xcbf29ce484222325u;
  for (size_t i = 0; i < count; ++i) {
    hash ^= bytes[i];
    hash *= 0x100000001b3u;
  }
  return hash;
}

}  // namespace lumetra::testing
