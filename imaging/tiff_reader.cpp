#include "imaging/tiff_reader.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "imaging/tiff_decode.h"

namespace lumetra {
namespace {

struct CloseTiff {
  void operator()(TiffFile* tiff) const { CloseTiffFile(tiff); }
  void operator()(TiffImage* image) const { CloseTiffImage(image); }
};
using TiffFilePtr = std::unique_ptr<TiffFile, CloseTiff>;
using TiffImagePtr = std::unique_ptr<TiffImage, CloseTiff>;

// ImageInfo's resolution unit for files that name none, or one not known.
constexpr int32_t kResolutionNone = 2;

// The colour space the sample conversions turn the file's into.
uint32_t LoadedColorSpace(uint32_t tiff_color_space) {
  if (tiff_color_space == kColorSpaceInvertedGray) return kColorSpaceGray;
  if (tiff_color_space == kColorSpaceSignedLab) return kColorSpaceLab;
  return tiff_color_space;
}

uint32_t ExtraChannels(const TiffImage& image) {
  return image.samples_per_pixel - ChannelCountOf(LoadedColorSpace(image.color_space));
}

void ConvertSamples(const TiffImage& image, uint8_t* pixels, size_t count) {
  if (image.bits_per_sample == 16) {
    ConvertTiffSamples16(pixels, pixels, count, image.color_space, ExtraChannels(image));
  } else {
    ConvertTiffSamples8(pixels, pixels, count, image.color_space, ExtraChannels(image));
  }
}

// Opens the first image and checks that it can be decoded.
Status OpenSupportedImage(TiffFile* tiff, TiffImagePtr* image) {
  TiffImage* opened = nullptr;
  Status status = OpenTiffImage(tiff, &opened);
  image->reset(opened);
  if (status) return status;
  return CheckTiffImageSupported(*opened);
}

// Numerator over denominator in whole numbers, as the resolutions have
// always been reported; a zero denominator (a damaged or missing rational)
// gives 0 rather than a division by zero.
double Resolution(const uint32_t rational[2]) {
  return rational[1] ? static_cast<double>(rational[0] / rational[1]) : 0.0;
}

// Reads the strips in order as rows are asked for; a decoding failure is
// returned by that ReadRows and every later one.
class TTiffReader : public TImageReader {
 public:
  ~TTiffReader() override { Close(); }

  // Hooks of TImageReader.
  Status Open(SpecialFile* file, ImageFormat* format) override;
  Status ReadHeader(ImageInfo* info) override;
  Status ReadRows(uint8_t* buffer, uint32_t row_count) override;
  Status FinishReading() override;
  Status Close() override;

 private:
  Status ListTag(uint16_t tag);

  TiffFilePtr tiff_;
  TiffImagePtr image_;
  TiffTagList tags_ = {nullptr};
  TiffPixelStream stream_;
  MemPtr<uint8_t> icc_profile_;
};

Status TTiffReader::Open(SpecialFile* file, ImageFormat* format) {
  Status status = TImageReader::Open(file, format);
  if (status) return status;
  Close();
  TiffFile* tiff = nullptr;
  status = OpenTiffFile(file, &tiff);
  tiff_.reset(tiff);
  if (status) return status;
  if (format) {
    format->kind = kImageFormatTiff;
    format->extra = &tags_;
  }
  return kOk;
}

Status TTiffReader::ListTag(uint16_t tag) {
  MemPtr<uint8_t> values;
  size_t element_size = 0;
  uint32_t count = 0;
  Status status = GetTiffArray(tiff_.get(), image_->directory, tag, &values, &element_size, &count);
  if (status == kTiffTagMissing) return kOk;
  if (status) return status;
  uint16_t type = 0;
  FindTiffTag(image_->directory, tag, &type, nullptr, nullptr);
  return SetListedTiffTag(&tags_, tag, type, count, std::move(values), element_size * count);
}

Status TTiffReader::ReadHeader(ImageInfo* info) {
  Status status = TImageReader::ReadHeader(info);
  if (status) return status;
  if (!info) return kBadArgument;
  if (!tiff_) return kFileNotOpen;
  status = OpenSupportedImage(tiff_.get(), &image_);
  if (status) return status;
  const TiffImage& image = *image_;

  info->color_space = LoadedColorSpace(image.color_space);
  info->width = image.width;
  info->height = image.height;
  info->channels = image.samples_per_pixel;
  info->bits_per_sample = image.bits_per_sample;
  double scale = 1.0;
  switch (image.resolution_unit) {
    case 2: info->resolution_unit = kResolutionInch; break;
    case 3:  // per centimetre in the file, per millimetre in the info
      info->resolution_unit = kResolutionMetric;
      scale = 0.1;
      break;
    default: info->resolution_unit = kResolutionNone; break;
  }
  info->x_resolution = Resolution(image.x_resolution) * scale;
  info->y_resolution = Resolution(image.y_resolution) * scale;
  info->orientation = 0;

  size_t element_size = 0;
  uint32_t icc_size = 0;
  status = GetTiffArray(tiff_.get(), image.directory, kTiffTagIccProfile, &icc_profile_,
                        &element_size, &icc_size);
  if (status && status != kTiffTagMissing) return status;
  if (!status && element_size == 1 && icc_profile_) {
    info->icc_size = icc_size;
    info->icc_profile = icc_profile_.get();
  }
  for (uint16_t tag : {kTiffTagIptc, kTiffTagPhotoshop, kTiffTagImageDescription}) {
    status = ListTag(tag);
    if (status) return status;
  }
  return stream_.Start(image_.get());
}

Status TTiffReader::ReadRows(uint8_t* buffer, uint32_t row_count) {
  if (!image_) return kFileNotOpen;
  if (!buffer) return kBadArgument;
  uint64_t pixels = uint64_t{image_->width} * row_count;
  Status status = stream_.ReadPixels(buffer, pixels);
  if (status) return status;
  // Rows of one call fit in the caller's memory, so their pixel count fits size_t.
  ConvertSamples(*image_, buffer, static_cast<size_t>(pixels));
  return kOk;
}

Status TTiffReader::FinishReading() {
  stream_.Finish();
  icc_profile_.reset();
  if (info()) {
    info()->icc_size = 0;
    info()->icc_profile = nullptr;
  }
  return kOk;
}

Status TTiffReader::Close() {
  stream_.Finish();
  icc_profile_.reset();
  image_.reset();
  tiff_.reset();
  ClearTiffTagList(&tags_);
  return kOk;
}

}  // namespace

Status LoadTiffImage(PixelImage** image, const char* path, ImageProgress progress, void* context) {
  if (!image) return kBadArgument;
  if (!path) return kNoFileName;
  SpecialPloFile file;
  file.SetName(path);
  Status status = file.SetBuffer(nullptr, kReaderBufferSize);
  if (status == kOk) status = file.Open(kFileModeRead);
  if (status) return status;

  TiffFile* opened = nullptr;
  status = OpenTiffFile(&file, &opened);
  TiffFilePtr tiff(opened);
  TiffImagePtr tiff_image;
  if (status == kOk) status = OpenSupportedImage(tiff.get(), &tiff_image);
  TiffPixelStream stream;
  if (status == kOk) status = stream.Start(tiff_image.get());
  if (status == kOk) {
    const TiffImage& ti = *tiff_image;
    // The pixel stream writes every byte, filling what the strips lack.
    status = SizePixelImageUnfilled(image, ti.height, ti.width, ExtraChannels(ti),
                                    LoadedColorSpace(ti.color_space), ti.bits_per_sample);
  }
  uint8_t* pixels = status == kOk ? LockPixels(*image) : nullptr;
  if (status == kOk && !pixels) status = kOutOfMemory;
  if (status == kOk && BytesPerPixel(**image) != TiffBytesPerPixel(*tiff_image)) {
    status = kUnsupportedImageData;
  }
  if (status == kOk && progress) status = progress(context, 0);
  if (pixels && status != kOk) {
    // Stopped at the first progress call: no byte of the block is left unset.
    std::memset(pixels, 0, BytesPerRow(**image) * (*image)->rows);
  } else if (status == kOk) {
    const TiffImage& ti = *tiff_image;
    size_t bytes_per_pixel = TiffBytesPerPixel(ti);
    // Pixels are decoded and converted a chunk at a time, so that progress
    // is reported as they come.
    size_t chunk = kReaderBufferSize / bytes_per_pixel;
    if (chunk == 0) chunk = 1;
    uint64_t total = uint64_t{ti.width} * ti.height;  // fits: the pixel block holds them
    uint64_t done = 0;
    while (done < total && status == kOk) {
      size_t count = static_cast<size_t>(std::min<uint64_t>(chunk, total - done));
      uint8_t* at = pixels + static_cast<size_t>(done) * bytes_per_pixel;
      status = stream.ReadPixels(at, count);
      if (status) break;
      ConvertSamples(ti, at, count);
      done += count;
      if (progress) status = progress(context, static_cast<uint32_t>(done * kProgressScale / total));
    }
    // A stop (a failure, a progress status) leaves no byte of the block unset.
    const size_t filled = static_cast<size_t>(done) * bytes_per_pixel;
    std::memset(pixels + filled, 0, static_cast<size_t>(total) * bytes_per_pixel - filled);
  }
  if (pixels) UnlockPixels(*image);
  stream.Finish();
  tiff_image.reset();
  tiff.reset();
  Status closed = file.Close();
  return status ? status : closed;
}

Status CreateTiffReader(TImageReader** reader) {
  return NewReader<TTiffReader>(reader);
}

}  // namespace lumetra
