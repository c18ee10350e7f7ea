#include "imaging/jpeg_reader.h"

#include <cstring>
#include <memory>
#include <new>

#include "framework/support/byte_reader.h"
#include "framework/support/file_access.h"
#include "imaging/jpeg_source.h"

namespace lumetra {

namespace {

// JFIF density units (JFIF 1.02, APP0 "units").
constexpr uint8_t kJfifDotsPerInch = 1;
constexpr uint8_t kJfifDotsPerCentimetre = 2;
// The resolution unit reported when the file names none.
constexpr int32_t kResolutionUnknown = 666;

// The file's bytes for the JPEG source's byte callback, a block at a time:
// one file read per 64 KiB instead of one per byte. Once a read brings
// nothing (the end, or a failure), every later byte is -1.
template <typename File>
class ByteBlock {
 public:
  explicit ByteBlock(File file) : file_(file) {}

  // Forgets what was read ahead, after the file was positioned anew.
  void Restart() {
    position_ = fill_ = 0;
    ended_ = false;
  }

  static int Next(void* context) {
    auto* block = static_cast<ByteBlock*>(context);
    if (block->position_ == block->fill_ && !block->Refill()) return -1;
    return block->bytes_[block->position_++];
  }

 private:
  bool Refill() {
    if (ended_) return false;
    size_t count = 0;
    Status status = Read(file_, &count);
    // Bytes that came with a failure are still the file's; the failure ends
    // the bytes after them.
    position_ = 0;
    fill_ = count;
    if (status != kOk || count == 0) ended_ = true;
    return count > 0;
  }
  Status Read(FileHandle file, size_t* count) { return FileRead(file, sizeof bytes_, count, bytes_); }
  Status Read(TFile* file, size_t* count) { return file->Read(sizeof bytes_, count, bytes_); }

  File file_;
  size_t position_ = 0;
  size_t fill_ = 0;
  bool ended_ = false;
  uint8_t bytes_[65536];
};
using StreamBlock = ByteBlock<FileHandle>;
using ReaderFileBlock = ByteBlock<TFile*>;

struct FreeSource {
  void operator()(JpegSource* source) const { FreeJpegSource(source); }
};
using SourcePtr = std::unique_ptr<JpegSource, FreeSource>;

struct CloseStream {
  void operator()(FileHandle file) const { FileClose(file); }
};
using StreamPtr = std::unique_ptr<std::FILE, CloseStream>;

// The rows of the image, each turned into amounts of ink unless RGB.
Status DecodeRows(JpegSource* source, PixelImage* image, const JpegHeader& header,
                  ImageProgress progress, void* context) {
  uint8_t* pixels = LockPixels(image);
  if (!pixels) return kOutOfMemory;
  const size_t row_bytes = BytesPerRow(*image);
  const uint64_t total = uint64_t{header.width} * header.height;
  Status status = kOk;
  uint32_t rows_visited = 0;
  for (uint32_t row = 0; row < header.height && status == kOk; ++row) {
    uint8_t* out = pixels + row * row_bytes;
    size_t taken = TakeJpegBytes(source, out, row_bytes);
    bool whole = taken == row_bytes;
    rows_visited = row + 1;
    // The block was not zero-filled: what the decoder did not deliver is 0.
    if (!whole) std::memset(out + taken, 0, row_bytes - taken);
    InvertUnlessRgb(out, header.width, header.color_space, image->extra_channels);
    if (progress) {
      status = progress(context, static_cast<uint32_t>(uint64_t{row + 1} * header.width *
                                                       kProgressScale / total));
      if (status == kCancelled) CancelJpegSource(source);
    }
    if (!whole) {
      if (status == kOk) status = JpegSourceStatus(source);
      break;
    }
  }
  // Rows after a stop (the decoder's end, a failure, a progress status) too.
  std::memset(pixels + size_t{rows_visited} * row_bytes, 0, (header.height - rows_visited) * row_bytes);
  UnlockPixels(image);
  return status;
}

}  // namespace

Status LoadJpegImage(PixelImage** image, const char* path, ImageProgress progress, void* context) {
  if (!image) return kBadArgument;
  if (!*image) {
    Status status = CreatePixelImage(image, 0, 0, 0, kColorSpaceRgb, 8);
    if (status != kOk) return status;
  }
  if (!path) return kBadArgument;

  FileHandle opened = nullptr;
  if (FileOpen(path, kFileModeRead, &opened) != kOk) return kCannotOpenFile;
  StreamPtr file(opened);
  std::unique_ptr<StreamBlock> bytes(new (std::nothrow) StreamBlock(file.get()));
  if (!bytes) return kOutOfMemory;

  JpegSource* made = nullptr;
  Status status = CreateJpegSource(&made, StreamBlock::Next, bytes.get(), nullptr, nullptr, nullptr,
                                   nullptr, nullptr);
  if (status != kOk) return status;
  SourcePtr source(made);

  status = ReadJpegScanline(source.get());
  if (status != kOk) return status;
  JpegHeader header;
  GetJpegHeader(source.get(), &header);
  if (header.color_space == 0) return kImageNotDisplayable;
  uint32_t colour_channels = ChannelCountOf(header.color_space);
  if (header.components < colour_channels) return kImageNotDisplayable;
  // Every byte is written by the rows below.
  status = SizePixelImageUnfilled(image, header.height, header.width,
                                  header.components - colour_channels, header.color_space, 8);
  if (status != kOk) return status;
  return DecodeRows(source.get(), *image, header, progress, context);
}

// ---------------------------------------------------------------------------
// TJFIFReader

namespace {

class TJFIFReader : public TImageReader {
 public:
  ~TJFIFReader() override { FreeJpegSource(source_); }

  Status Open(SpecialFile* file, ImageFormat* format) override;
  Status ReadHeader(ImageInfo* info) override;
  Status ReadRows(uint8_t* buffer, uint32_t row_count) override;
  Status FinishReading() override;
  Status Close() override;

 private:
  // The decoder's texts go to whatever sink is set when they arrive.
  static void ForwardMessage(void* context, const char* text) {
    static_cast<TJFIFReader*>(context)->ReportMessage(text);
  }

  JpegSource* source_ = nullptr;
  std::unique_ptr<ReaderFileBlock> bytes_;  // the file's bytes for the source
  JpegHeader header_ = {};
  JpegApp13 app13_ = {0, nullptr};
};

Status TJFIFReader::Open(SpecialFile* file, ImageFormat* format) {
  Status status = TImageReader::Open(file, format);
  if (status != kOk) return status;
  if (!file) return kBadArgument;
  FreeJpegSource(source_);
  source_ = nullptr;
  bytes_.reset(new (std::nothrow) ReaderFileBlock(file));
  if (!bytes_) return kOutOfMemory;
  status = CreateJpegSource(&source_, ReaderFileBlock::Next, bytes_.get(), nullptr, nullptr, nullptr,
                            ForwardMessage, this);
  if (status != kOk) return status;
  if (format) {
    format->kind = kImageFormatJpeg;
    format->extra = &app13_;
  }
  return kOk;
}

Status TJFIFReader::ReadHeader(ImageInfo* info) {
  Status status = TImageReader::ReadHeader(info);
  if (status != kOk) return status;
  if (!info || !source_ || !file()) return kBadArgument;
  status = file()->Seek(0, kSeekFromStart);
  if (status != kOk) return status;
  if (bytes_) bytes_->Restart();
  status = ReadJpegScanline(source_);
  if (status != kOk) return status;
  GetJpegHeader(source_, &header_);
  // Only gray, RGB and CMYK have a colour space the pixel image can carry.
  if (header_.color_space == 0) return kImageNotDisplayable;

  info->color_space = header_.color_space;
  info->width = header_.width;
  info->height = header_.height;
  info->channels = header_.components;
  info->bits_per_sample = 8;
  switch (header_.density_unit) {
    case kJfifDotsPerInch:
      info->resolution_unit = kResolutionInch;
      info->x_resolution = header_.x_density;
      info->y_resolution = header_.y_density;
      break;
    case kJfifDotsPerCentimetre:  // reported per millimetre
      info->resolution_unit = kResolutionMetric;
      info->x_resolution = header_.x_density / 10;
      info->y_resolution = header_.y_density / 10;
      break;
    default:
      info->resolution_unit = kResolutionUnknown;
      info->x_resolution = header_.x_density;
      info->y_resolution = header_.y_density;
      break;
  }
  info->orientation = 0;
  info->icc_size = static_cast<uint32_t>(header_.icc_size);
  info->icc_profile = header_.icc;
  app13_.length = static_cast<uint32_t>(header_.app13_size);
  app13_.block = header_.app13;
  return kOk;
}

Status TJFIFReader::ReadRows(uint8_t* buffer, uint32_t row_count) {
  if (!buffer) return kBadArgument;
  if (!source_) return kNotAvailable;
  size_t row_bytes = 0;
  size_t length = 0;
  if (!CheckedMul(header_.components, header_.width, &row_bytes) ||
      !CheckedMul(row_bytes, row_count, &length)) {
    return kBadArgument;
  }
  size_t delivered = TakeJpegBytes(source_, buffer, length);
  if (header_.color_space != kColorSpaceRgb) {
    for (size_t i = 0; i < delivered; ++i) buffer[i] = static_cast<uint8_t>(255 - buffer[i]);
  }
  return delivered == length ? Status{kOk} : JpegSourceStatus(source_);
}

Status TJFIFReader::FinishReading() {
  ReleaseJpegDecoder(source_);
  return kOk;
}

Status TJFIFReader::Close() {
  FreeJpegSource(source_);
  source_ = nullptr;
  bytes_.reset();
  app13_ = {0, nullptr};
  return kOk;
}

}  // namespace

Status CreateJfifReader(TImageReader** reader) {
  return NewReader<TJFIFReader>(reader);
}

}  // namespace lumetra
