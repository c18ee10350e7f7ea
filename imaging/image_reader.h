// Image readers: the pixel image that every reader produces, the reader
// protocol the format readers follow, the choice of reader by file type, and
// the orientation and sample conversions that the readers share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

#include "framework/objects/objects.h"
#include "framework/support/buffered_file.h"
#include "framework/support/byte_order.h"
#include "framework/support/memory.h"
#include "framework/support/status.h"

namespace lumetra {

// Colour space signatures the readers produce or meet.
constexpr uint32_t kColorSpaceRgb = Signature("RGB ");
constexpr uint32_t kColorSpaceGray = Signature("GRAY");
constexpr uint32_t kColorSpaceCmyk = Signature("CMYK");
constexpr uint32_t kColorSpaceLab = Signature("Lab ");
// Lab with signed a and b, as CIELab TIFF files store it.
constexpr uint32_t kColorSpaceSignedLab = Signature("LabS");
// Gray whose samples are still light intensities ("GRA`"): the sample
// conversions invert it into amounts of ink.
constexpr uint32_t kColorSpaceInvertedGray = 0x47524160;

// The raster of a loaded image. Rows run top to bottom, pixels left to right,
// the samples of a pixel interleaved: the colour channels in the order of the
// colour space, then the extra channels. A sample is one byte, or two bytes in
// host order. RGB samples are light (0 black); GRAY and CMYK samples are
// amounts of ink (0 white); Lab carries a and b offset by 128 (32768).
struct PixelImage {
  uint32_t rows;
  uint32_t columns;
  uint32_t color_space;
  uint32_t extra_channels;   // samples per pixel beyond those of the colour space
  uint32_t bits_per_sample;  // 8 or 16
  MemBlock pixels;           // movable; bytes per pixel x columns x rows
  uint8_t* locked;           // the pixels' address while locked, else null
  int32_t resolution;        // 72, not changed by the loaders
  int32_t resolution_unit;   // 1
};

// The most bytes a pixel image may hold. A loaded picture only ever serves as
// a dialog background, so a header asking for more is damage, not a picture;
// readers refuse such headers with 21002 before they decode anything.
constexpr size_t kMaxPixelImageBytes = size_t{1} << 30;

// Resolution units of ImageInfo.
enum : int32_t {
  kResolutionMetric = 0,  // per millimetre (TIFF, JPEG, Scitex CT), centimetre (bitmaps) or metre (PNG)
  kResolutionInch = 1,
};

// Orientation flags; ApplyOrientation gives their order and combined rules.
enum : uint32_t {
  kOrientTurnLeft = 1,         // 90 degrees counter-clockwise: the first row becomes the first column, bottom up
  kOrientTurn180 = 2,          // the order of all pixels reversed
  kOrientTranspose = 4,        // row r, column c moves to row c, column r
  kOrientFlipVertical = 8,     // top to bottom
  kOrientFlipHorizontal = 16,  // left to right
};

// What a reader learns from a file's header.
struct ImageInfo {
  uint32_t color_space;
  uint32_t width;
  uint32_t height;
  uint32_t channels;  // all samples per pixel, extra ones included
  uint32_t bits_per_sample;
  int32_t resolution_unit;  // kResolutionInch, kResolutionMetric, other values: none
  double x_resolution;      // pixels per unit
  double y_resolution;
  uint32_t orientation;     // kOrient... flags to apply after reading
  uint32_t icc_size;        // an embedded ICC profile, 0 and null when none;
  const uint8_t* icc_profile;  // owned by the reader, valid at least until FinishReading
};

// Format kinds a reader's Open reports.
enum : int32_t {
  kImageFormatNone = -1,
  kImageFormatTiff = 0,
  kImageFormatJpeg = 2,
  kImageFormatScitexCt = 12,
  kImageFormatBitmap = 18,
};

struct ImageFormat {
  int32_t kind;
  void* extra;  // format-specific data owned by the reader, or null
};

// Receives the texts of the decoding libraries' warnings and errors.
using ImageMessageSink = void (*)(void* context, const char* text);

// Loading progress: `fraction` is done / total scaled to 0 ... 65535. A result
// other than 0 stops the loading with that status (kCancelled: the user cancelled).
using ImageProgress = Status (*)(void* context, uint32_t fraction);
constexpr uint32_t kProgressScale = 65535;

// The protocol of every format reader. A reader is used once: Open,
// ReadHeader, ReadRows for every row, FinishReading, Close, then Release. The
// file stays open from before Open until after FinishReading.
class TImageReader : public TBasicObject {
 public:
  TImageReader() = default;
  ~TImageReader() override;

  // Hooks to override, in this order.
  // Keeps the file (opened for reading); format kind none, no extra data; 0.
  virtual Status Open(SpecialFile* file, ImageFormat* format);
  // Keeps the callback for the decoding libraries' texts; 0.
  virtual Status SetMessageSink(ImageMessageSink sink, void* context);
  // Keeps the info and clears its ICC profile size and pointer; 0.
  virtual Status ReadHeader(ImageInfo* info);
  // Delivers `row_count` rows of info width x channels samples; kNotAvailable here.
  virtual Status ReadRows(uint8_t* buffer, uint32_t row_count);
  virtual Status FinishReading();  // kNotAvailable here
  virtual Status Close();          // kNotAvailable here

 protected:
  // Fixed operations for the readers.
  SpecialFile* file() const { return file_; }
  ImageInfo* info() const { return info_; }
  // Passes a text to the message sink, if there is one.
  void ReportMessage(const char* text) const;
  ImageMessageSink message_sink() const { return sink_; }
  void* message_context() const { return sink_context_; }

 private:
  SpecialFile* file_ = nullptr;  // not owned
  ImageInfo* info_ = nullptr;    // not owned
  ImageMessageSink sink_ = nullptr;
  void* sink_context_ = nullptr;
};

// Makes a reader of class R for a format's Create function.
template <typename R>
Status NewReader(TImageReader** reader) {
  if (!reader) return kBadArgument;
  *reader = new (std::nothrow) R();
  return *reader ? kOk : kOutOfMemory;
}

// The reader for a file type (framework/support/file_types.h): TIFF, JPEG,
// Scitex CT, PNG or Windows bitmap; 21506 for any other type. The reader is
// released with Release.
Status CreateReader(int32_t file_type, TImageReader** reader);

// Loads a file into a new pixel image of 8 bits per sample (16-bit images keep
// each sample's more significant byte). 3001 without a path; 20203 for a file
// type without a reader. On failure *image is null.
Status LoadImageFile(const char* path, PixelImage** image, ImageProgress progress, void* context);

// Loads through the TImageReader protocol, applying the orientation the reader
// asks for. On failure *image is null.
Status LoadImageWithReader(PixelImage** image, const char* path, int32_t file_type,
                           ImageProgress progress, void* context);

// Creates the record when *image is null and (re)allocates a zero-filled pixel
// block for the size (a sample takes bits / 8 bytes, rounded up); 21002 when
// memory is short or the block would pass 1 GiB (a record created by this call
// is freed again). 20003 for bits outside 1 ... 16 or more than 255 extra channels.
Status CreatePixelImage(PixelImage** image, uint32_t rows, uint32_t columns,
                        uint32_t extra_channels, uint32_t color_space, uint32_t bits);
Status SizePixelImage(PixelImage** image, uint32_t rows, uint32_t columns,
                      uint32_t extra_channels, uint32_t color_space, uint32_t bits);

// SizePixelImage for a loader that writes every byte of the block itself:
// the block is not zero-filled first.
Status SizePixelImageUnfilled(PixelImage** image, uint32_t rows, uint32_t columns,
                              uint32_t extra_channels, uint32_t color_space, uint32_t bits);

// Frees the pixel block and the record; null is accepted.
void FreePixelImage(PixelImage* image);

// Locks the pixels and keeps their address in image->locked; null without
// pixels. Pair each LockPixels with one UnlockPixels, which clears `locked`.
uint8_t* LockPixels(PixelImage* image);
void UnlockPixels(PixelImage* image);

size_t ChannelsPerPixel(const PixelImage& image);  // colour channels + extra
size_t BytesPerSample(const PixelImage& image);    // 1 or 2
size_t BytesPerPixel(const PixelImage& image);
size_t BytesPerRow(const PixelImage& image);

// Copies one pixel (BytesPerPixel bytes) into `bytes`. A negative row or
// column counts as 0, one beyond the image as the last. 20003 without an
// output, an image or pixels.
Status GetPixel(const PixelImage* image, int32_t row, int32_t column, uint8_t* bytes);

// Samples per pixel of a colour space signature; 3 for every signature not known.
uint16_t ChannelCountOf(uint32_t signature);

// Applies orientation flags: first, 2 with 8 becomes a left-right flip and 2
// with 16 a top-bottom flip; then, each if still set, 1, 2, 4, 8, 16 in this
// order. 20003 without an image, 21002 when memory is short.
Status ApplyOrientation(PixelImage* image, uint32_t flags);

// Two-byte samples to 8 bits in place, each sample keeping its more
// significant byte; the block keeps its size. Images of 8 bits or fewer are
// left alone. 20003 without an image.
Status ReduceToEightBits(PixelImage* image);

// Sample conversions of the readers (8 bits, in place): complements every
// colour sample unless the colour space is RGB; the `extra_channels` bytes
// after each pixel's colour samples are left alone.
void InvertUnlessRgb(uint8_t* pixels, size_t pixel_count, uint32_t color_space,
                     uint32_t extra_channels);

// TIFF samples to the pixel image's conventions, per pixel (source and
// destination may be the same): the inverted-gray signature has its gray
// complemented; signed Lab has 128 (32768) subtracted from a and b, and at 16
// bits L rescaled as v - (v x 255 + 256) / 65536; anything else is copied.
// 16-bit samples are in host order.
void ConvertTiffSamples8(const uint8_t* source, uint8_t* destination, size_t pixel_count,
                         uint32_t color_space, uint32_t extra_channels);
void ConvertTiffSamples16(const uint8_t* source, uint8_t* destination, size_t pixel_count,
                          uint32_t color_space, uint32_t extra_channels);

}  // namespace lumetra
