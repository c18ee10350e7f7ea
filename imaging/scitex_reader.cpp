#include "imaging/scitex_reader.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "framework/support/byte_reader.h"

namespace lumetra {

namespace {

constexpr uint32_t kParameterOffset = 1024;
constexpr size_t kParameterSize = 256;
constexpr uint32_t kDataOffset = 2048;

// Text fields of the parameter block: [first, first + length).
struct TextField {
  size_t first;
  size_t length;
};
constexpr TextField kHeightUnits = {4, 14};
constexpr TextField kWidthUnits = {18, 14};
constexpr TextField kHeightPixels = {32, 12};
constexpr TextField kWidthPixels = {44, 12};

// A field as a NUL-terminated copy, so that parsing stops at its end.
void FieldText(const uint8_t* block, TextField field, char* text) {
  std::memcpy(text, block + field.first, field.length);
  text[field.length] = '\0';
}

// A whole number of pixels; false for text without one.
bool ParseCount(const uint8_t* block, TextField field, long* value) {
  char text[16];
  FieldText(block, field, text);
  return std::sscanf(text, "%ld", value) == 1;
}

double ParseUnits(const uint8_t* block, TextField field) {
  char text[16];
  FieldText(block, field, text);
  double value = 0;
  return std::sscanf(text, "%lf", &value) == 1 ? value : 0;
}

uint32_t ColorSpaceOf(uint8_t separations) {
  switch (separations) {
    case 1:
      return kColorSpaceGray;
    case 3:
      return kColorSpaceRgb;
    case 4:
      return kColorSpaceCmyk;
    default:
      return 0;
  }
}

class TScitexCTReader : public TImageReader {
 public:
  Status Open(SpecialFile* file, ImageFormat* format) override;
  Status ReadHeader(ImageInfo* info) override;
  Status ReadRows(uint8_t* buffer, uint32_t row_count) override;
  Status FinishReading() override {
    line_.reset();
    return kOk;
  }
  Status Close() override { return kOk; }

 private:
  Status ReadParameters();
  Status ReadLine();
  Status ReadExactly(uint8_t* to, size_t length);

  uint8_t parameters_[kParameterSize] = {};
  MemPtr<uint8_t> line_;  // one scan line: the separations one after another
  uint32_t color_space_ = 0;
  uint32_t channels_ = 0;
  uint32_t width_ = 0;
  uint32_t height_ = 0;
  uint32_t lines_read_ = 0;
};

Status TScitexCTReader::ReadExactly(uint8_t* to, size_t length) {
  size_t count = 0;
  Status status = file()->Read(length, &count, to);
  if (count == length) return kOk;
  return status != kOk ? status : Status{kShortRead};
}

Status TScitexCTReader::ReadParameters() {
  if (!file()) return kBadArgument;
  Status status = file()->Seek(kParameterOffset, kSeekFromStart);
  if (status != kOk) return status;
  return ReadExactly(parameters_, kParameterSize);
}

Status TScitexCTReader::Open(SpecialFile* file, ImageFormat* format) {
  Status status = TImageReader::Open(file, format);
  if (status == kOk) status = ReadParameters();
  if (status != kOk) return status;
  if (format) {
    format->kind = kImageFormatScitexCt;
    format->extra = parameters_;
  }
  return kOk;
}

Status TScitexCTReader::ReadHeader(ImageInfo* info) {
  Status status = TImageReader::ReadHeader(info);
  if (status == kOk && !info) status = kBadArgument;
  if (status == kOk) status = ReadParameters();
  if (status != kOk) return status;

  color_space_ = ColorSpaceOf(parameters_[1]);
  if (color_space_ == 0) return kRefused;
  long height = 0;  // lines
  long width = 0;   // pixels per line
  if (!ParseCount(parameters_, kHeightPixels, &height) || height < 0) height = 0;
  if (!ParseCount(parameters_, kWidthPixels, &width) || width < 0) width = 0;
  double height_units = ParseUnits(parameters_, kHeightUnits);
  double width_units = ParseUnits(parameters_, kWidthUnits);
  // An image without lines has nothing to show either.
  if (width == 0 || height == 0) return kUnsupportedImageData;
  if (static_cast<unsigned long>(width) > UINT32_MAX || static_cast<unsigned long>(height) > UINT32_MAX) {
    return kUnsupportedImageData;
  }
  width_ = static_cast<uint32_t>(width);
  height_ = static_cast<uint32_t>(height);
  channels_ = ChannelCountOf(color_space_);

  // Every separation line of odd width carries one pad byte. The file must
  // hold all the lines the block claims before anything is allocated.
  size_t line_bytes = 0;
  size_t stored_line = 0;
  size_t data_bytes = 0;
  size_t data_end = 0;
  if (!CheckedMul(width_, channels_, &line_bytes) ||
      !CheckedAdd(line_bytes, (width_ & 1) ? channels_ : 0, &stored_line) ||
      !CheckedMul(stored_line, height_, &data_bytes) ||
      !CheckedAdd(kDataOffset, data_bytes, &data_end) || data_end > file()->GetSize()) {
    return kShortRead;
  }

  info->color_space = color_space_;
  info->width = width_;
  info->height = height_;
  info->channels = channels_;
  info->bits_per_sample = 8;
  info->resolution_unit = parameters_[0];
  // Only a positive size in units gives a resolution; anything else leaves none.
  info->x_resolution = width_units > 0 ? width_ / width_units : 0;
  info->y_resolution = height_units > 0 ? height_ / height_units : 0;
  info->orientation = 0;

  line_.reset(static_cast<uint8_t*>(MemAlloc(line_bytes)));
  if (!line_) return kOutOfMemory;
  lines_read_ = 0;
  return file()->Seek(kDataOffset, kSeekFromStart);
}

Status TScitexCTReader::ReadLine() {
  if (lines_read_ >= height_) return kEndOfData;
  if ((width_ & 1) == 0) return ReadExactly(line_.get(), size_t{channels_} * width_);
  for (uint32_t k = 0; k < channels_; ++k) {
    uint8_t pad = 0;
    Status status = ReadExactly(line_.get() + size_t{k} * width_, width_);
    if (status == kOk) status = ReadExactly(&pad, 1);
    if (status != kOk) return status;
  }
  return kOk;
}

Status TScitexCTReader::ReadRows(uint8_t* buffer, uint32_t row_count) {
  if (!buffer) return kBadArgument;
  if (!line_) return kNotAvailable;
  // Stored GRAY and CMYK are light values; the pixel image holds ink.
  uint8_t complement = color_space_ == kColorSpaceRgb ? 0x00 : 0xFF;
  for (uint32_t n = 0; n < row_count; ++n) {
    Status status = ReadLine();
    if (status != kOk) return status;
    ++lines_read_;
    const uint8_t* line = line_.get();
    for (uint32_t j = 0; j < width_; ++j) {
      for (uint32_t k = 0; k < channels_; ++k) {
        *buffer++ = static_cast<uint8_t>(line[size_t{k} * width_ + j] ^ complement);
      }
    }
  }
  return kOk;
}

}  // namespace

Status CreateScitexCtReader(TImageReader** reader) {
  return NewReader<TScitexCTReader>(reader);
}

}  // namespace lumetra
