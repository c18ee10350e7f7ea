// Strip decoding for the TIFF readers: the decoders for uncompressed, LZW
// (TIFF 6.0 section 13, with the horizontal predictor of section 14) and
// PackBits (section 9) strips, and the pixel stream that runs them strip by
// strip and hands out whole pixels in host order, top row first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "framework/support/buffered_file.h"
#include "framework/support/memory.h"
#include "framework/support/status.h"
#include "imaging/tiff_file.h"

namespace lumetra {

// Decodes one strip at a time from a file positioned at the strip's data.
class TiffDecoder {
 public:
  virtual ~TiffDecoder() = default;

  // Hooks to override.
  // Begins a strip of `byte_count` bytes at the file's current position.
  virtual void StartStrip(uint32_t byte_count) = 0;
  // Decodes up to `capacity` bytes into `out`. Fills `out` whole unless the
  // strip ends first, which sets `*strip_done`; later calls produce nothing.
  // A strip that the file's end cuts short ends there; a read failure is
  // returned.
  virtual Status Decode(uint8_t* out, size_t capacity, size_t* produced, bool* strip_done) = 0;
};

// The decoder for a compression code (kTiffLzwDifferencing decodes as LZW:
// the pixel stream undoes the differencing). 20504 for other codes, 21002
// when memory is short.
Status CreateTiffDecoder(uint32_t compression, SpecialFile* file,
                         std::unique_ptr<TiffDecoder>* decoder);

// The pixels of an image, decoded strip after strip. Strip n fills rows from
// n x RowsPerStrip on, as TIFF 6.0 section 3 places it: a strip that brings
// too little has the rest of its rows filled with bytes 255, one that brings
// too much is cut at its rows, and strips missing from the arrays read as
// bytes 255.
class TiffPixelStream {
 public:
  TiffPixelStream() = default;
  TiffPixelStream(const TiffPixelStream&) = delete;
  TiffPixelStream& operator=(const TiffPixelStream&) = delete;

  // Reads the strip arrays and sets up the decoder for an image that
  // CheckTiffImageSupported accepts. 20501 without StripOffsets or
  // StripByteCounts (tiled images have neither), 21002 when memory is short.
  Status Start(TiffImage* image);
  // The next `count` pixels (TiffBytesPerPixel each) in host order. Pixels
  // beyond the image read as bytes 255. 3003 for a strip that starts outside the
  // file. A failure is returned again by later calls.
  Status ReadPixels(uint8_t* out, uint64_t count);
  // Frees the strip arrays and the decoder.
  void Finish();

 private:
  Status NextStrip();
  uint32_t StripValue(const MemPtr<uint8_t>& array, size_t element_size, uint32_t index) const;
  void FinishPixels(uint8_t* pixels, size_t count);

  TiffImage* image_ = nullptr;
  std::unique_ptr<TiffDecoder> decoder_;
  MemPtr<uint8_t> offsets_;
  MemPtr<uint8_t> byte_counts_;
  size_t offset_size_ = 0;        // 2 or 4
  size_t byte_count_size_ = 0;
  uint32_t strips_in_arrays_ = 0;
  uint32_t strips_in_image_ = 0;  // strips the image's rows need
  uint32_t next_strip_ = 0;
  uint64_t strip_pixels_left_ = 0;  // of the current strip's rows
  bool strip_done_ = true;          // the current strip's data are used up
  size_t bytes_per_pixel_ = 0;
  uint32_t column_ = 0;             // of the next pixel, for the predictor
  MemPtr<uint8_t> previous_pixel_;  // the predictor's last pixel
  Status status_ = kOk;             // the first failure, kept
};

}  // namespace lumetra
