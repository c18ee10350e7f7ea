// The orientation transforms and the reduction of 16-bit samples to 8 bits,
// checked pixel by pixel against plain per-pixel models of what each flag and
// the reduction mean. Input: rows, columns, a byte choosing the colour space,
// extra channels and bits, the orientation flags; the rest fills the samples.
#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/image_reader.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using lumetra::PixelImage;
using Pixels = std::vector<std::vector<uint8_t>>;  // one entry per pixel, row after row

struct Grid {
  uint32_t rows, columns;
  Pixels pixels;
  const std::vector<uint8_t>& at(uint32_t r, uint32_t c) const { return pixels[size_t{r} * columns + c]; }
};

// Each model says where the pixel of the new grid comes from.
template <typename From>
Grid Remap(const Grid& g, uint32_t rows, uint32_t columns, From from) {
  Grid out{rows, columns, Pixels(size_t{rows} * columns)};
  for (uint32_t r = 0; r < rows; ++r) {
    for (uint32_t c = 0; c < columns; ++c) {
      uint32_t fr, fc;
      from(r, c, &fr, &fc);
      out.pixels[size_t{r} * columns + c] = g.at(fr, fc);
    }
  }
  return out;
}

Grid FlipVertical(const Grid& g) {
  return Remap(g, g.rows, g.columns, [&](uint32_t r, uint32_t c, uint32_t* fr, uint32_t* fc) {
    *fr = g.rows - 1 - r;
    *fc = c;
  });
}
Grid FlipHorizontal(const Grid& g) {
  return Remap(g, g.rows, g.columns, [&](uint32_t r, uint32_t c, uint32_t* fr, uint32_t* fc) {
    *fr = r;
    *fc = g.columns - 1 - c;
  });
}
Grid Turn180(const Grid& g) {
  return Remap(g, g.rows, g.columns, [&](uint32_t r, uint32_t c, uint32_t* fr, uint32_t* fc) {
    *fr = g.rows - 1 - r;
    *fc = g.columns - 1 - c;
  });
}
// Counter-clockwise: the first row becomes the first column, its first pixel at the bottom.
Grid TurnLeft(const Grid& g) {
  return Remap(g, g.columns, g.rows, [&](uint32_t r, uint32_t c, uint32_t* fr, uint32_t* fc) {
    *fr = c;
    *fc = g.columns - 1 - r;
  });
}
Grid Transpose(const Grid& g) {
  return Remap(g, g.columns, g.rows, [&](uint32_t r, uint32_t c, uint32_t* fr, uint32_t* fc) {
    *fr = c;
    *fc = r;
  });
}

// The flags in their documented order, a half turn with one flip first
// becoming the other flip.
Grid Orient(Grid g, uint32_t flags) {
  if ((flags & lumetra::kOrientTurn180) && (flags & lumetra::kOrientFlipVertical)) {
    flags &= ~(lumetra::kOrientTurn180 | lumetra::kOrientFlipVertical);
    g = FlipHorizontal(g);
  }
  if ((flags & lumetra::kOrientTurn180) && (flags & lumetra::kOrientFlipHorizontal)) {
    flags &= ~(lumetra::kOrientTurn180 | lumetra::kOrientFlipHorizontal);
    g = FlipVertical(g);
  }
  if (flags & lumetra::kOrientTurnLeft) g = TurnLeft(g);
  if (flags & lumetra::kOrientTurn180) g = Turn180(g);
  if (flags & lumetra::kOrientTranspose) g = Transpose(g);
  if (flags & lumetra::kOrientFlipVertical) g = FlipVertical(g);
  if (flags & lumetra::kOrientFlipHorizontal) g = FlipHorizontal(g);
  return g;
}

Grid GridOf(PixelImage* image) {
  size_t pixel_bytes = lumetra::BytesPerPixel(*image);
  Grid g{image->rows, image->columns, Pixels(size_t{image->rows} * image->columns)};
  const uint8_t* p = lumetra::LockPixels(image);
  for (size_t i = 0; i < g.pixels.size(); ++i) g.pixels[i].assign(p + i * pixel_bytes, p + (i + 1) * pixel_bytes);
  lumetra::UnlockPixels(image);
  return g;
}

const uint32_t kColorSpaces[] = {lumetra::kColorSpaceGray, lumetra::kColorSpaceRgb, lumetra::kColorSpaceCmyk,
                                 lumetra::kColorSpaceLab, lumetra::Signature("spkt"), 2};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using lumetra::fuzz::Require;
  if (size < 4) return 0;
  uint32_t rows = data[0] % 41;
  uint32_t columns = data[1] % 41;
  uint32_t color_space = kColorSpaces[(data[2] & 0x0F) % (sizeof kColorSpaces / sizeof kColorSpaces[0])];
  uint32_t extra = (data[2] >> 4) & 3;
  uint32_t bits = (data[2] & 0x40) ? 16 : 8;
  uint32_t flags = data[3] & 0x1F;
  data += 4;
  size -= 4;

  PixelImage* image = nullptr;
  if (lumetra::CreatePixelImage(&image, rows, columns, extra, color_space, bits) != lumetra::kOk) return 0;
  size_t bytes = lumetra::BytesPerRow(*image) * rows;
  uint8_t* p = lumetra::LockPixels(image);
  for (size_t i = 0; i < bytes; ++i) p[i] = size ? static_cast<uint8_t>(data[i % size] + i / size) : 0;
  lumetra::UnlockPixels(image);

  Grid expected = Orient(GridOf(image), flags);
  Require(lumetra::ApplyOrientation(image, flags) == lumetra::kOk, "orientation succeeds");
  Require(image->rows == expected.rows && image->columns == expected.columns, "oriented size");
  Grid oriented = GridOf(image);
  Require(oriented.pixels == expected.pixels, "every pixel lands where its flags put it");

  size_t samples = lumetra::ChannelsPerPixel(*image) * image->rows * image->columns;
  Require(lumetra::ReduceToEightBits(image) == lumetra::kOk, "reduction succeeds");
  Require(image->bits_per_sample == 8, "8 bits after the reduction");
  const uint8_t* reduced = lumetra::LockPixels(image);
  for (size_t i = 0; i < samples; ++i) {
    size_t pixel = i / lumetra::ChannelsPerPixel(*image);
    size_t sample = i % lumetra::ChannelsPerPixel(*image);
    uint8_t want;
    if (bits == 16) {
      uint16_t v;
      std::memcpy(&v, expected.pixels[pixel].data() + 2 * sample, 2);
      want = static_cast<uint8_t>(v >> 8);  // the more significant byte of a host-order sample
    } else {
      want = expected.pixels[pixel][sample];
    }
    Require(reduced[i] == want, "each sample keeps its more significant byte");
  }
  lumetra::UnlockPixels(image);
  lumetra::FreePixelImage(image);
  return 0;
}
