#include "imaging/bmp_reader.h"

#include <new>

#include "framework/support/byte_reader.h"

namespace lumetra {

namespace {

constexpr size_t kFileHeaderSize = 14;  // BITMAPFILEHEADER
constexpr size_t kInfoHeaderSize = 40;  // BITMAPINFOHEADER
constexpr uint32_t kCompressionNone = 0;  // BI_RGB
constexpr int32_t kBytesPerPixel = 3;     // only 24-bit bitmaps are read

struct BitmapFileHeader {
  uint16_t type;
  uint32_t file_size;
  uint32_t reserved;
  uint32_t data_offset;  // of the first (bottom) row
};

struct BitmapInfoHeader {
  uint32_t header_size;
  int32_t width;
  int32_t height;  // negative: the rows are stored top row first
  uint16_t planes;
  uint16_t bits_per_pixel;
  uint32_t compression;
  uint32_t image_size;
  int32_t x_pixels_per_metre;
  int32_t y_pixels_per_metre;
  uint32_t colours_used;
  uint32_t colours_important;
};

// The format's extra data, as Open hands it out.
struct BitmapState {
  uint32_t state;  // 1 once opened
  BitmapFileHeader file_header;
  BitmapInfoHeader info_header;
  uint8_t* palette;    // none for 24 bits
  uint8_t* row;        // one stored row without its padding
  size_t row_position;  // next byte of `row` to deliver
  size_t row_unread;    // bytes of `row` not yet delivered
  uint32_t padding;     // bytes after each row up to a multiple of 4
};

// Both headers from their 54 little-endian bytes (Win32 docs, BITMAPFILEHEADER
// and BITMAPINFOHEADER); false when the bytes do not hold them.
bool ParseHeaders(const uint8_t* bytes, size_t size, BitmapFileHeader* file, BitmapInfoHeader* info) {
  ByteReader in(bytes, size);
  file->type = in.LE16();
  file->file_size = in.LE32();
  file->reserved = in.LE32();
  file->data_offset = in.LE32();
  info->header_size = in.LE32();
  info->width = static_cast<int32_t>(in.LE32());
  info->height = static_cast<int32_t>(in.LE32());
  info->planes = in.LE16();
  info->bits_per_pixel = in.LE16();
  info->compression = in.LE32();
  info->image_size = in.LE32();
  info->x_pixels_per_metre = static_cast<int32_t>(in.LE32());
  info->y_pixels_per_metre = static_cast<int32_t>(in.LE32());
  info->colours_used = in.LE32();
  info->colours_important = in.LE32();
  return in.ok();
}

// One rule per line, each with its most specific status.
Status CheckInfoHeader(const BitmapInfoHeader& info) {
  if (info.compression != kCompressionNone) return kUnknownFormat;
  if (info.planes != 1) return kUnsupportedImageData;
  if (info.bits_per_pixel != 24) return kUnsupportedBitDepth;
  // An OS/2 core header is shorter and lays its fields out otherwise.
  if (info.header_size < kInfoHeaderSize) return kUnsupportedImageData;
  if (info.width <= 0) return kUnsupportedImageData;
  if (info.height == 0 || info.height == INT32_MIN) return kUnsupportedImageData;
  return kOk;
}

class TBitmapReader : public TImageReader {
 public:
  ~TBitmapReader() override { FreeState(); }

  Status Open(SpecialFile* file, ImageFormat* format) override;
  Status ReadHeader(ImageInfo* info) override;
  Status ReadRows(uint8_t* buffer, uint32_t row_count) override;
  Status FinishReading() override { return kOk; }
  Status Close() override {
    FreeState();
    return kOk;
  }

 private:
  Status ReadStoredRow();
  void FreeState();

  BitmapState* state_ = nullptr;
  uint32_t width_ = 0;
  uint32_t height_ = 0;
  uint32_t rows_read_ = 0;  // stored rows taken from the file so far
};

Status TBitmapReader::Open(SpecialFile* file, ImageFormat* format) {
  Status status = TImageReader::Open(file, format);
  if (status != kOk) return status;
  FreeState();
  state_ = static_cast<BitmapState*>(MemAlloc(sizeof(BitmapState)));
  if (!state_) return kOutOfMemory;
  state_->state = 1;
  if (format) {
    format->kind = kImageFormatBitmap;
    format->extra = state_;
  }
  return kOk;
}

Status TBitmapReader::ReadHeader(ImageInfo* info) {
  Status status = TImageReader::ReadHeader(info);
  if (status != kOk) return status;
  if (!info || !file() || !state_) return kBadArgument;

  uint8_t bytes[kFileHeaderSize + kInfoHeaderSize];
  size_t count = 0;
  status = file()->Seek(0, kSeekFromStart);
  if (status == kOk) status = file()->Read(sizeof bytes, &count, bytes);
  if (status != kOk && status != kEndOfData) return status;
  BitmapFileHeader& head = state_->file_header;
  BitmapInfoHeader& bih = state_->info_header;
  if (count < sizeof bytes || !ParseHeaders(bytes, sizeof bytes, &head, &bih)) return kShortRead;
  status = CheckInfoHeader(bih);
  if (status != kOk) return status;

  width_ = static_cast<uint32_t>(bih.width);
  bool top_row_first = bih.height < 0;
  height_ = top_row_first ? 0u - static_cast<uint32_t>(bih.height) : static_cast<uint32_t>(bih.height);

  // Rows are padded to a multiple of 4 bytes (Win32 docs, "Bitmap Storage").
  size_t row_bytes = 0;
  size_t stride = 0;
  size_t data_bytes = 0;
  size_t data_end = 0;
  if (!CheckedMul(width_, kBytesPerPixel, &row_bytes)) return kOutOfMemory;
  state_->padding = static_cast<uint32_t>((4 - row_bytes % 4) % 4);
  // The file must hold every row the header claims before anything is
  // allocated for them.
  if (!CheckedAdd(row_bytes, state_->padding, &stride) ||
      !CheckedMul(stride, height_, &data_bytes) ||
      !CheckedAdd(head.data_offset, data_bytes, &data_end) || data_end > file()->GetSize()) {
    return kShortRead;
  }

  info->color_space = kColorSpaceRgb;
  info->width = width_;
  info->height = height_;
  info->channels = kBytesPerPixel;
  info->bits_per_sample = 8;
  info->resolution_unit = kResolutionMetric;
  info->x_resolution = bih.x_pixels_per_metre * 0.01;  // per centimetre
  info->y_resolution = bih.y_pixels_per_metre * 0.01;
  info->orientation = top_row_first ? 0u : uint32_t{kOrientFlipVertical};

  MemFree(state_->row);
  state_->row = static_cast<uint8_t*>(MemAlloc(row_bytes));
  if (!state_->row) return kOutOfMemory;
  state_->row_position = 0;
  state_->row_unread = 0;
  rows_read_ = 0;
  return file()->Seek(head.data_offset, kSeekFromStart);
}

// The next stored row into the row buffer, then past its padding.
Status TBitmapReader::ReadStoredRow() {
  if (rows_read_ >= height_) return kEndOfData;
  size_t row_bytes = size_t{width_} * kBytesPerPixel;
  size_t count = 0;
  Status status = file()->Read(row_bytes, &count, state_->row);
  if (count < row_bytes) return status != kOk ? status : Status{kShortRead};
  if (state_->padding > 0) {
    status = file()->Seek(state_->padding, kSeekRelative);
    if (status != kOk) return status;
  }
  ++rows_read_;
  state_->row_position = 0;
  state_->row_unread = row_bytes;
  return kOk;
}

Status TBitmapReader::ReadRows(uint8_t* buffer, uint32_t row_count) {
  if (!buffer) return kBadArgument;
  if (!state_ || !state_->row) return kNotAvailable;
  uint64_t pixels = uint64_t{row_count} * width_;
  for (uint64_t i = 0; i < pixels; ++i, buffer += kBytesPerPixel) {
    if (state_->row_unread == 0) {
      Status status = ReadStoredRow();
      if (status != kOk) return status;
    }
    // Stored blue, green, red; delivered red, green, blue.
    const uint8_t* stored = state_->row + state_->row_position;
    buffer[0] = stored[2];
    buffer[1] = stored[1];
    buffer[2] = stored[0];
    state_->row_position += kBytesPerPixel;
    state_->row_unread -= kBytesPerPixel;
  }
  return kOk;
}

void TBitmapReader::FreeState() {
  if (!state_) return;
  MemFree(state_->palette);
  MemFree(state_->row);
  MemFree(state_);
  state_ = nullptr;
}

}  // namespace

Status CreateBitmapReader(TImageReader** reader) {
  return NewReader<TBitmapReader>(reader);
}

}  // namespace lumetra
