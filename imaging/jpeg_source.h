// A JPEG source: libjpeg (interface version 62) decoding a file that arrives
// one byte at a time through a callback. Decoder failures become statuses, an
// embedded ICC profile is assembled from its "ICC_PROFILE" APP2 markers and the
// payload of an APP13 marker is kept. Both JPEG front ends stand on it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/support/status.h"

namespace lumetra {

struct JpegSource;

// The next byte of the file (0..255), or -1 at its end or on a failure; keeps
// giving -1 once it has.
using JpegByteCallback = int (*)(void* context);
// Optional block allocation for every block of the source; both or neither.
using JpegAllocCallback = void* (*)(void* context, size_t size);
using JpegReleaseCallback = void (*)(void* context, void* block);
// Receives the decoder's warning and error texts.
using JpegMessageSink = void (*)(void* context, const char* text);

// What the source learned from the file's header and markers, valid after the
// first successful ReadJpegScanline. The profile and APP13 bytes belong to the
// source and live until EndJpegSource.
struct JpegHeader {
  uint32_t width;
  uint32_t height;
  uint32_t components;      // samples per pixel in the output
  uint32_t color_space;     // 'GRAY', 'RGB ', 'CMYK', or 0 for any other output
  uint8_t density_unit;     // JFIF: 0 none, 1 dots per inch, 2 dots per centimetre
  uint16_t x_density;
  uint16_t y_density;
  size_t icc_size;          // bytes assembled; 0 without a profile
  const uint8_t* icc;
  size_t app13_size;        // the last APP13 payload
  const uint8_t* app13;
};

// 21002 when memory is short. Without both allocation callbacks the heap is used.
Status CreateJpegSource(JpegSource** source, JpegByteCallback next_byte, void* byte_context,
                        JpegAllocCallback alloc, JpegReleaseCallback release, void* alloc_context,
                        JpegMessageSink sink, void* sink_context);

// The first call sets the decoder up and reads the header; every call decodes
// one scanline. 20208 when the decoder fails (the source is then at its end and
// has released its decoding buffers), 21002 without memory for the scanline,
// 20207 once every scanline has been read.
Status ReadJpegScanline(JpegSource* source);

// The next output sample, decoding scanlines as needed; -1 after the last one
// or a failure. Reaching the end finishes the decoder and releases its buffers.
int NextJpegByte(JpegSource* source);

// NextJpegByte for up to `length` bytes at once; tells how many came (fewer
// only at the end or on a failure).
size_t TakeJpegBytes(JpegSource* source, uint8_t* out, size_t length);

void GetJpegHeader(const JpegSource* source, JpegHeader* header);

// 20208 once the decoder has failed, else 0: tells a failure from the end
// after NextJpegByte has given -1.
Status JpegSourceStatus(const JpegSource* source);

// Loading was cancelled: the decoder is then destroyed without being finished.
void CancelJpegSource(JpegSource* source);

// Destroys the decoder and releases the input and scanline buffers; the ICC
// profile and the APP13 payload stay until EndJpegSource.
void ReleaseJpegDecoder(JpegSource* source);

// Finishes the decoder unless cancelled (a failure there is caught), destroys
// it and frees every block but the record.
void EndJpegSource(JpegSource* source);
// EndJpegSource, then the record. Null is accepted.
void FreeJpegSource(JpegSource* source);

}  // namespace lumetra
