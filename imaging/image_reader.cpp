#include "imaging/image_reader.h"

#include <memory>

#include "framework/support/file_types.h"
#include "imaging/bmp_reader.h"
#include "imaging/jpeg_reader.h"
#include "imaging/png_reader.h"
#include "imaging/scitex_reader.h"
#include "imaging/tiff_reader.h"

namespace lumetra {

namespace {

// Releases a reader through its count, as readers are made with new.
struct ReleaseReader {
  void operator()(TImageReader* reader) const { reader->Release(); }
};
using ReaderPtr = std::unique_ptr<TImageReader, ReleaseReader>;

struct FreeImage {
  void operator()(PixelImage* image) const { FreePixelImage(image); }
};
using ImagePtr = std::unique_ptr<PixelImage, FreeImage>;

// Progress as a fraction of 65535; the multiplication cannot overflow 64 bits
// for 32-bit counts.
uint32_t ScaledFraction(uint64_t done, uint64_t total) {
  if (total == 0) return kProgressScale;
  return static_cast<uint32_t>(done * kProgressScale / total);
}

// Reads every row through the reader into the locked pixels.
Status ReadAllRows(TImageReader* reader, PixelImage* image, const ImageInfo& info,
                   ImageProgress progress, void* context) {
  uint8_t* row = LockPixels(image);
  if (!row && info.height > 0) return kOutOfMemory;
  // Rows are as wide as the pixel image says: channels x bytes per sample,
  // so 16-bit readers advance by whole rows too.
  size_t row_bytes = BytesPerRow(*image);
  Status status = kOk;
  for (uint32_t done = 0; done < info.height && status == kOk; ++done) {
    status = reader->ReadRows(row, 1);
    if (status != kOk) break;
    row += row_bytes;
    if (progress) status = progress(context, ScaledFraction(done + 1, info.height));
  }
  UnlockPixels(image);
  return status;
}

}  // namespace

// ---------------------------------------------------------------------------
// TImageReader: the protocol's base behaviour.

TImageReader::~TImageReader() = default;

Status TImageReader::Open(SpecialFile* file, ImageFormat* format) {
  file_ = file;
  if (format) {
    format->kind = kImageFormatNone;
    format->extra = nullptr;
  }
  return kOk;
}

Status TImageReader::SetMessageSink(ImageMessageSink sink, void* context) {
  sink_ = sink;
  sink_context_ = context;
  return kOk;
}

Status TImageReader::ReadHeader(ImageInfo* info) {
  info_ = info;
  if (info) {
    info->icc_size = 0;
    info->icc_profile = nullptr;
  }
  return kOk;
}

Status TImageReader::ReadRows(uint8_t*, uint32_t) { return kNotAvailable; }
Status TImageReader::FinishReading() { return kNotAvailable; }
Status TImageReader::Close() { return kNotAvailable; }

void TImageReader::ReportMessage(const char* text) const {
  if (sink_ && text) sink_(sink_context_, text);
}

// ---------------------------------------------------------------------------
// Module operations.

Status CreateReader(int32_t file_type, TImageReader** reader) {
  if (!reader) return kBadArgument;
  *reader = nullptr;
  switch (file_type) {
    case kFileTypeTiff:
      return CreateTiffReader(reader);
    case kFileTypeJpeg:
      return CreateJfifReader(reader);
    case kFileTypeScitexCt:
      return CreateScitexCtReader(reader);
    case kFileTypePng:
      return CreatePngReader(reader);
    case kFileTypeBmp:
      return CreateBitmapReader(reader);
    default:
      return kUnknownFormat;
  }
}

Status LoadImageWithReader(PixelImage** image_out, const char* path, int32_t file_type,
                           ImageProgress progress, void* context) {
  if (!image_out) return kBadArgument;
  *image_out = nullptr;
  if (!path) return kNoFileName;

  TImageReader* made = nullptr;
  Status status = CreateReader(file_type, &made);
  ReaderPtr reader(made);
  if (status != kOk) return status;
  if (!reader) return kOutOfMemory;

  SpecialPloFile file;
  file.SetName(path);
  status = file.SetBuffer(nullptr, kReaderBufferSize);
  if (status == kOk) status = file.Open(kFileModeRead);

  ImageFormat format = {kImageFormatNone, nullptr};
  ImageInfo info = {};
  PixelImage* made_image = nullptr;
  if (status == kOk) status = reader->Open(&file, &format);
  if (status == kOk) status = reader->ReadHeader(&info);
  if (status == kOk) {
    uint32_t colour_channels = ChannelCountOf(info.color_space);
    // A reader that counts fewer channels than its colour space holds would
    // deliver rows shorter than the pixel image's.
    if (info.channels < colour_channels) {
      status = kUnsupportedImageData;
    } else {
      // The block is not zero-filled: a reader writes every byte of a row
      // it reports read, and an image with a row unread is not handed out.
      status = SizePixelImageUnfilled(&made_image, info.height, info.width,
                                      info.channels - colour_channels, info.color_space,
                                      info.bits_per_sample);
    }
  }
  ImagePtr image(made_image);
  if (status == kOk) status = ReadAllRows(reader.get(), image.get(), info, progress, context);
  if (status == kOk) status = reader->FinishReading();
  file.Close();
  if (status == kOk) status = ApplyOrientation(image.get(), info.orientation);
  reader->Close();
  if (status != kOk) return status;
  *image_out = image.release();
  return kOk;
}

Status LoadImageFile(const char* path, PixelImage** image_out, ImageProgress progress,
                     void* context) {
  if (!image_out) return kBadArgument;
  *image_out = nullptr;
  if (!path) return kNoFileName;

  int32_t type = kFileTypeNone;
  Status status = DetectFileType(path, &type);
  if (status != kOk) return status;

  PixelImage* loaded = nullptr;
  switch (type) {
    case kFileTypeTiff:
      status = LoadTiffImage(&loaded, path, progress, context);
      break;
    case kFileTypeJpeg:
      status = LoadJpegImage(&loaded, path, progress, context);
      break;
    case kFileTypeScitexCt:
    case kFileTypePng:
    case kFileTypeBmp:
      status = LoadImageWithReader(&loaded, path, type, progress, context);
      break;
    default:
      status = kUnsupportedImageData;
      break;
  }
  ImagePtr image(loaded);
  if (status == kOk && !image) status = kUnsupportedImageData;
  if (status == kOk) status = ReduceToEightBits(image.get());
  if (status != kOk) return status;
  *image_out = image.release();
  return kOk;
}

}  // namespace lumetra
