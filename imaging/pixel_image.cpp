#include <cstring>
#include <utility>

#include "framework/support/byte_reader.h"
#include "imaging/image_reader.h"

namespace lumetra {

namespace {

size_t SampleBytes(uint32_t bits) { return (bits + 7) / 8; }

// Bytes of a pixel block for the given geometry; false when it does not fit.
bool PixelBlockBytes(uint32_t rows, uint32_t columns, size_t pixel_bytes, size_t* bytes) {
  size_t row_bytes = 0;
  return CheckedMul(columns, pixel_bytes, &row_bytes) && CheckedMul(row_bytes, rows, bytes) &&
         *bytes <= kMaxPixelImageBytes;
}

// The pixels of an image, locked for the life of the view.
class PixelView {
 public:
  explicit PixelView(PixelImage* image) : image_(image), base_(LockPixels(image)) {}
  ~PixelView() {
    if (base_) UnlockPixels(image_);
  }
  PixelView(const PixelView&) = delete;
  PixelView& operator=(const PixelView&) = delete;
  uint8_t* base() const { return base_; }

 private:
  PixelImage* image_;
  uint8_t* base_;
};

void SwapBytes(uint8_t* a, uint8_t* b, size_t count) {
  for (size_t i = 0; i < count; ++i) std::swap(a[i], b[i]);
}

// Exchanges two rows a stack block at a time, with whole-block copies.
void SwapRows(uint8_t* a, uint8_t* b, size_t count) {
  uint8_t held[4096];
  while (count > 0) {
    size_t n = count < sizeof held ? count : sizeof held;
    std::memcpy(held, a, n);
    std::memcpy(a, b, n);
    std::memcpy(b, held, n);
    a += n;
    b += n;
    count -= n;
  }
}

void FlipTopToBottom(PixelImage* image, uint8_t* pixels) {
  size_t row_bytes = BytesPerRow(*image);
  for (uint32_t top = 0, bottom = image->rows; top + 1 < bottom; ++top) {
    --bottom;
    SwapRows(pixels + top * row_bytes, pixels + bottom * row_bytes, row_bytes);
  }
}

void FlipLeftToRight(PixelImage* image, uint8_t* pixels) {
  size_t pixel_bytes = BytesPerPixel(*image);
  size_t row_bytes = BytesPerRow(*image);
  for (uint32_t r = 0; r < image->rows; ++r) {
    uint8_t* row = pixels + r * row_bytes;
    for (uint32_t left = 0, right = image->columns; left + 1 < right; ++left) {
      --right;
      SwapBytes(row + left * pixel_bytes, row + right * pixel_bytes, pixel_bytes);
    }
  }
}

void TurnHalfway(PixelImage* image, uint8_t* pixels) {
  size_t pixel_bytes = BytesPerPixel(*image);
  size_t count = size_t{image->rows} * image->columns;
  for (size_t first = 0, last = count; first + 1 < last; ++first) {
    --last;
    SwapBytes(pixels + first * pixel_bytes, pixels + last * pixel_bytes, pixel_bytes);
  }
}

// Transposing and quarter turns change the shape, so they go through a second
// block of the same size that then replaces the first. `turn_left` maps the
// pixel at (r, c) to (columns - 1 - c, r); otherwise to (c, r).
Status Reshape(PixelImage* image, bool turn_left) {
  size_t bytes = MemSize(image->pixels);
  MemBlockPtr target(MemAllocMovable(bytes));
  if (!target) return kOutOfMemory;
  {
    PixelView view(image);
    uint8_t* to = static_cast<uint8_t*>(MemLock(target.get()));
    if (!view.base() || !to) {
      if (to) MemUnlock(target.get());
      return kOutOfMemory;
    }
    size_t pixel_bytes = BytesPerPixel(*image);
    uint32_t rows = image->rows;
    uint32_t columns = image->columns;
    // The new image has `rows` columns.
    for (uint32_t r = 0; r < rows; ++r) {
      const uint8_t* from = view.base() + size_t{r} * columns * pixel_bytes;
      for (uint32_t c = 0; c < columns; ++c, from += pixel_bytes) {
        uint32_t new_row = turn_left ? columns - 1 - c : c;
        std::memcpy(to + (size_t{new_row} * rows + r) * pixel_bytes, from, pixel_bytes);
      }
    }
    MemUnlock(target.get());
  }
  MemBlockPtr old(image->pixels);
  image->pixels = target.release();
  std::swap(image->rows, image->columns);
  return kOk;
}

Status InPlace(PixelImage* image, void (*transform)(PixelImage*, uint8_t*)) {
  PixelView view(image);
  if (!view.base()) return kOutOfMemory;
  transform(image, view.base());
  return kOk;
}

// CreatePixelImage, with the new block zero-filled or not.
Status MakePixelImage(PixelImage** image, uint32_t rows, uint32_t columns, uint32_t extra_channels,
                      uint32_t color_space, uint32_t bits, bool zero_filled) {
  if (!image || bits == 0 || bits > 16 || extra_channels > 255) return kBadArgument;
  size_t channels = size_t{ChannelCountOf(color_space)} + extra_channels;
  size_t bytes = 0;
  if (!PixelBlockBytes(rows, columns, channels * SampleBytes(bits), &bytes)) return kOutOfMemory;

  bool created = false;
  if (!*image) {
    *image = static_cast<PixelImage*>(MemAlloc(sizeof(PixelImage)));
    if (!*image) return kOutOfMemory;
    (*image)->resolution = 72;
    (*image)->resolution_unit = 1;
    created = true;
  }
  PixelImage* record = *image;
  // An empty image still gets a block, so that every image has pixels.
  MemBlock block = zero_filled ? MemAllocMovable(bytes ? bytes : 1) : MemAllocMovableUnfilled(bytes ? bytes : 1);
  if (!block) {
    if (created) {
      MemFree(record);
      *image = nullptr;
    }
    return kOutOfMemory;
  }
  if (record->pixels) {
    MemUnlockAll(record->pixels);
    MemFree(record->pixels);
  }
  record->pixels = block;
  record->locked = nullptr;
  record->rows = rows;
  record->columns = columns;
  record->color_space = color_space;
  record->extra_channels = extra_channels;
  record->bits_per_sample = bits;
  return kOk;
}

}  // namespace

Status CreatePixelImage(PixelImage** image, uint32_t rows, uint32_t columns,
                        uint32_t extra_channels, uint32_t color_space, uint32_t bits) {
  return MakePixelImage(image, rows, columns, extra_channels, color_space, bits, true);
}

Status SizePixelImage(PixelImage** image, uint32_t rows, uint32_t columns,
                      uint32_t extra_channels, uint32_t color_space, uint32_t bits) {
  return MakePixelImage(image, rows, columns, extra_channels, color_space, bits, true);
}

Status SizePixelImageUnfilled(PixelImage** image, uint32_t rows, uint32_t columns,
                              uint32_t extra_channels, uint32_t color_space, uint32_t bits) {
  return MakePixelImage(image, rows, columns, extra_channels, color_space, bits, false);
}

void FreePixelImage(PixelImage* image) {
  if (!image) return;
  if (image->pixels) {
    MemUnlockAll(image->pixels);
    MemFree(image->pixels);
  }
  MemFree(image);
}

uint8_t* LockPixels(PixelImage* image) {
  if (!image || !image->pixels) return nullptr;
  image->locked = static_cast<uint8_t*>(MemLock(image->pixels));
  return image->locked;
}

void UnlockPixels(PixelImage* image) {
  if (!image || !image->pixels) return;
  MemUnlock(image->pixels);
  image->locked = nullptr;
}

size_t ChannelsPerPixel(const PixelImage& image) {
  return size_t{ChannelCountOf(image.color_space)} + image.extra_channels;
}
size_t BytesPerSample(const PixelImage& image) { return SampleBytes(image.bits_per_sample); }
size_t BytesPerPixel(const PixelImage& image) { return ChannelsPerPixel(image) * BytesPerSample(image); }
size_t BytesPerRow(const PixelImage& image) { return BytesPerPixel(image) * image.columns; }

Status GetPixel(const PixelImage* image, int32_t row, int32_t column, uint8_t* bytes) {
  if (!bytes || !image || !image->pixels || image->rows == 0 || image->columns == 0) {
    return kBadArgument;
  }
  uint32_t r = row < 0 ? 0 : static_cast<uint32_t>(row);
  uint32_t c = column < 0 ? 0 : static_cast<uint32_t>(column);
  if (r >= image->rows) r = image->rows - 1;
  if (c >= image->columns) c = image->columns - 1;
  const uint8_t* base = static_cast<const uint8_t*>(MemLock(image->pixels));
  if (!base) return kOutOfMemory;
  size_t pixel_bytes = BytesPerPixel(*image);
  std::memcpy(bytes, base + (size_t{r} * image->columns + c) * pixel_bytes, pixel_bytes);
  MemUnlock(image->pixels);
  return kOk;
}

uint16_t ChannelCountOf(uint32_t signature) {
  if (signature >= 1 && signature <= 8) return static_cast<uint16_t>(signature);
  switch (signature) {
    case kColorSpaceGray:
    case kColorSpaceInvertedGray:
    case Signature("nrm1"):
      return 1;
    case kColorSpaceCmyk:
    case Signature("LabK"):
    case Signature("nrm4"):
    case Signature("stat"):
    case Signature("dens"):
      return 4;
    case Signature("spkt"):
      return 36;
    default:
      break;
  }
  // "nCLR" with n a hexadecimal digit 2 ... F, and "MCH2" ... "MCH8" (ICC.1 table 19).
  uint8_t first = static_cast<uint8_t>(signature >> 24);
  if ((signature & 0x00FFFFFFu) == 0x00434C52u) {  // "?CLR"
    if (first >= '2' && first <= '9') return static_cast<uint16_t>(first - '0');
    if (first >= 'A' && first <= 'F') return static_cast<uint16_t>(first - 'A' + 10);
  }
  if ((signature & 0xFFFFFF00u) == (Signature("MCH0") & 0xFFFFFF00u)) {
    uint8_t last = static_cast<uint8_t>(signature);
    if (last >= '2' && last <= '8') return static_cast<uint16_t>(last - '0');
  }
  return 3;
}

Status ApplyOrientation(PixelImage* image, uint32_t flags) {
  if (!image) return kBadArgument;
  if (flags == 0) return kOk;
  // A half turn and one flip make the other flip.
  bool extra_horizontal = false;
  bool extra_vertical = false;
  if ((flags & kOrientTurn180) && (flags & kOrientFlipVertical)) {
    flags &= ~(kOrientTurn180 | kOrientFlipVertical);
    extra_horizontal = true;
  }
  if ((flags & kOrientTurn180) && (flags & kOrientFlipHorizontal)) {
    flags &= ~(kOrientTurn180 | kOrientFlipHorizontal);
    extra_vertical = true;
  }
  if (!image->pixels) return kBadArgument;
  Status status = kOk;
  if (extra_horizontal) status = InPlace(image, FlipLeftToRight);
  if (status == kOk && extra_vertical) status = InPlace(image, FlipTopToBottom);
  if (status == kOk && (flags & kOrientTurnLeft)) status = Reshape(image, true);
  if (status == kOk && (flags & kOrientTurn180)) status = InPlace(image, TurnHalfway);
  if (status == kOk && (flags & kOrientTranspose)) status = Reshape(image, false);
  if (status == kOk && (flags & kOrientFlipVertical)) status = InPlace(image, FlipTopToBottom);
  if (status == kOk && (flags & kOrientFlipHorizontal)) status = InPlace(image, FlipLeftToRight);
  return status;
}

Status ReduceToEightBits(PixelImage* image) {
  if (!image) return kBadArgument;
  if (image->bits_per_sample <= 8) return kOk;
  PixelView view(image);
  if (!view.base()) return kBadArgument;
  size_t samples = ChannelsPerPixel(*image) * image->columns * image->rows;
  uint8_t* p = view.base();
  for (size_t i = 0; i < samples; ++i) {
    uint16_t v;
    std::memcpy(&v, p + 2 * i, 2);
    p[i] = static_cast<uint8_t>(v >> 8);
  }
  image->bits_per_sample = 8;
  return kOk;
}

void InvertUnlessRgb(uint8_t* pixels, size_t pixel_count, uint32_t color_space,
                     uint32_t extra_channels) {
  if (!pixels || color_space == kColorSpaceRgb) return;
  size_t colour = ChannelCountOf(color_space);
  size_t stride = colour + extra_channels;
  for (size_t i = 0; i < pixel_count; ++i, pixels += stride) {
    for (size_t k = 0; k < colour; ++k) pixels[k] = static_cast<uint8_t>(255 - pixels[k]);
  }
}

void ConvertTiffSamples8(const uint8_t* source, uint8_t* destination, size_t pixel_count,
                         uint32_t color_space, uint32_t extra_channels) {
  if (!source || !destination) return;
  size_t stride = size_t{ChannelCountOf(color_space)} + extra_channels;
  size_t total = stride * pixel_count;
  if (source != destination) std::memmove(destination, source, total);
  if (color_space == kColorSpaceInvertedGray) {
    for (size_t i = 0; i < total; i += stride) destination[i] = static_cast<uint8_t>(255 - destination[i]);
  } else if (color_space == kColorSpaceSignedLab) {
    // a and b from -128 ... 127 to 0 ... 255.
    for (size_t i = 0; i < total; i += stride) {
      destination[i + 1] = static_cast<uint8_t>(destination[i + 1] - 128);
      destination[i + 2] = static_cast<uint8_t>(destination[i + 2] - 128);
    }
  }
}

void ConvertTiffSamples16(const uint8_t* source, uint8_t* destination, size_t pixel_count,
                          uint32_t color_space, uint32_t extra_channels) {
  if (!source || !destination) return;
  size_t stride = (size_t{ChannelCountOf(color_space)} + extra_channels) * 2;
  size_t total = stride * pixel_count;
  if (source != destination) std::memmove(destination, source, total);
  auto load = [&](size_t at) {
    uint16_t v;
    std::memcpy(&v, destination + at, 2);
    return v;
  };
  auto store = [&](size_t at, uint32_t v) {
    uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(destination + at, &w, 2);
  };
  if (color_space == kColorSpaceInvertedGray) {
    for (size_t i = 0; i < total; i += stride) store(i, 65535u - load(i));
  } else if (color_space == kColorSpaceSignedLab) {
    for (size_t i = 0; i < total; i += stride) {
      uint32_t l = load(i);
      store(i, l - ((l * 255 + 256) / 65536));
      store(i + 2, load(i + 2) + 32768u);
      store(i + 4, load(i + 4) + 32768u);
    }
  }
}

}  // namespace lumetra
