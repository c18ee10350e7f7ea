#include "imaging/jpeg_source.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

// jpeglib.h needs FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

#include "framework/support/byte_order.h"
#include "framework/support/byte_reader.h"
#include "framework/support/memory.h"
#include "imaging/image_reader.h"

namespace lumetra {

namespace {

// The input buffer holds as much as the readers' byte blocks (64 KiB), not
// the two bytes the end-of-image marker needs: with only a few bytes in hand
// the decoder refills constantly and never takes its fast Huffman path, which
// wants a few kilobytes buffered. What the decoder sees is the same: the
// file's bytes, then end-of-image markers.
constexpr size_t kInputBufferSize = 65536;

// An APP2 marker carries at most 65535 - 2 bytes, of which 14 are the
// identifier, the chunk number and the chunk count (ICC.1:2010 annex B.4);
// at most 255 chunks. A declared size beyond that can never be filled.
constexpr size_t kIccIdentifierLength = 11;  // "ICC_PROFILE" without its NUL
constexpr size_t kIccChunkHeader = 14;
constexpr size_t kIccMaxProfile = 255 * (65535 - 2 - kIccChunkHeader);

// The decoder's own working memory. A progressive or multi-scan file keeps
// every coefficient (2 bytes a sample) until its last scan; without a bound a
// small file whose frame header claims a huge size makes the decoder ask for
// many gigabytes. Beyond this the decoder fails (it has no backing store).
constexpr long kDecoderMemoryLimit = 512L << 20;

struct ErrorManager {
  jpeg_error_mgr pub;  // first, so the decoder's err pointer leads back here
  std::jmp_buf jump;
};

}  // namespace

// Everything here is plain data: the decoder jumps out of its own frames and
// ours on a failure, so no object with a destructor may live across a call into
// it. The record is placed with new in a block from the allocator in use.
struct JpegSource {
  JpegByteCallback next_byte;
  void* byte_context;
  JpegAllocCallback alloc;
  JpegReleaseCallback release;
  void* alloc_context;
  JpegMessageSink sink;
  void* sink_context;

  jpeg_decompress_struct decoder;
  ErrorManager errors;
  jpeg_source_mgr input;
  uint8_t* input_buffer;

  uint32_t width;
  uint32_t height;
  uint32_t components;
  uint32_t color_space;       // signature of the output colour space, 0 for others
  uint8_t density_unit;
  uint16_t x_density;
  uint16_t y_density;
  uint8_t* scanline;          // width x components bytes
  size_t scanline_valid;      // bytes of the current scanline
  size_t scanline_position;   // next byte NextJpegByte hands out
  uint32_t scanlines_read;

  bool created;    // the decompression object exists
  bool started;    // set up and header read
  bool at_end;     // no more scanlines, or a failure
  bool cancelled;
  bool failed;

  // ICC profile assembly from APP2 chunks.
  bool icc_seen;        // a first chunk has been met
  bool icc_discarded;   // the chunks brought more than the declared size
  uint32_t icc_total;   // chunk count of the first chunk met
  uint32_t icc_next;    // chunk number expected next
  size_t icc_assembled;
  size_t icc_declared;
  uint8_t* icc;
  size_t icc_write;     // write position in `icc`

  size_t app13_size;
  uint8_t* app13;
};

namespace {

void* SourceAlloc(JpegSource* s, size_t size) {
  return s->alloc ? s->alloc(s->alloc_context, size) : MemAlloc(size);
}

void SourceFree(JpegSource* s, void* block) {
  if (!block) return;
  if (s->release) {
    s->release(s->alloc_context, block);
  } else {
    MemFree(block);
  }
}

JpegSource* FromDecoder(j_decompress_ptr cinfo) { return static_cast<JpegSource*>(cinfo->client_data); }

// ---- error manager ----

// The decoder's text, then "%s\n" formatting, to the sink.
void SendMessage(j_common_ptr cinfo) {
  JpegSource* s = static_cast<JpegSource*>(cinfo->client_data);
  if (!s || !s->sink) return;
  char text[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, text);
  char line[JMSG_LENGTH_MAX + 2];
  std::snprintf(line, sizeof line, "%s\n", text);
  s->sink(s->sink_context, line);
}

[[noreturn]] void FailDecoder(j_common_ptr cinfo) {
  (*cinfo->err->output_message)(cinfo);
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// ---- data source ----

void InitInput(j_decompress_ptr) {}
void TermInput(j_decompress_ptr) {}

// Never suspends: a file that has ended yields an end-of-image marker, so a
// truncated image ends instead of failing.
boolean FillInput(j_decompress_ptr cinfo) {
  JpegSource* s = FromDecoder(cinfo);
  // In locals: the callback could change the record as far as the compiler
  // knows, which would reload them for every byte.
  const JpegByteCallback next_byte = s->next_byte;
  void* const context = s->byte_context;
  uint8_t* const buffer = s->input_buffer;
  size_t count = 0;
  while (count < kInputBufferSize) {
    int byte = next_byte(context);
    if (byte < 0) break;
    buffer[count++] = static_cast<uint8_t>(byte);
  }
  if (count == 0) {
    buffer[0] = 0xFF;
    buffer[1] = JPEG_EOI;
    count = 2;
  }
  s->input.next_input_byte = buffer;
  s->input.bytes_in_buffer = count;
  return TRUE;
}

void SkipInput(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* src = cinfo->src;
  size_t left = static_cast<size_t>(count);
  while (left > src->bytes_in_buffer) {
    left -= src->bytes_in_buffer;
    (*src->fill_input_buffer)(cinfo);
  }
  src->next_input_byte += left;
  src->bytes_in_buffer -= left;
}

// ---- marker processors ----

uint8_t MarkerByte(j_decompress_ptr cinfo) {
  jpeg_source_mgr* src = cinfo->src;
  if (src->bytes_in_buffer == 0) (*src->fill_input_buffer)(cinfo);
  --src->bytes_in_buffer;
  return *src->next_input_byte++;
}

void MarkerSkip(j_decompress_ptr cinfo, long count) {
  if (count > 0) (*cinfo->src->skip_input_data)(cinfo, count);
}

// Payload length of the marker whose code has just been read (the 16-bit
// length counts itself).
long MarkerPayload(j_decompress_ptr cinfo) {
  long high = MarkerByte(cinfo);
  long low = MarkerByte(cinfo);
  return ((high << 8) | low) - 2;
}

void DropIccProfile(JpegSource* s) {
  SourceFree(s, s->icc);
  s->icc = nullptr;
  s->icc_assembled = 0;
  s->icc_write = 0;
  s->icc_discarded = true;
}

// APP2: chunks of an ICC profile (ICC.1:2010 annex B.4). The first chunk met
// fixes the chunk count and the declared size, whose four bytes open the
// profile; then each chunk numbered as expected next is appended.
boolean ProcessApp2(j_decompress_ptr cinfo) {
  JpegSource* s = FromDecoder(cinfo);
  long left = MarkerPayload(cinfo);
  if (left <= static_cast<long>(kIccIdentifierLength)) {
    MarkerSkip(cinfo, left);
    return TRUE;
  }
  static const char kIdentifier[] = "ICC_PROFILE";
  size_t matched = 0;
  while (matched < kIccIdentifierLength) {
    uint8_t byte = MarkerByte(cinfo);
    --left;
    if (byte == 0 || byte != static_cast<uint8_t>(kIdentifier[matched])) break;
    ++matched;
  }
  // A chunk too short for its number and count would make us read the next segment.
  if (matched < kIccIdentifierLength || left < 3) {
    MarkerSkip(cinfo, left);
    return TRUE;
  }
  MarkerByte(cinfo);  // the identifier's terminator
  uint32_t number = MarkerByte(cinfo);
  uint32_t count = MarkerByte(cinfo);
  left -= 3;

  if (!s->icc_seen && !s->icc_discarded) {
    if (left < 4) {  // no room for the declared size: not a usable first chunk
      MarkerSkip(cinfo, left);
      return TRUE;
    }
    uint8_t size_bytes[4];
    for (uint8_t& b : size_bytes) b = MarkerByte(cinfo);
    left -= 4;
    s->icc_seen = true;
    s->icc_total = count;
    s->icc_next = 1;
    s->icc_declared = LoadBE32(size_bytes);
    // A declared size too small for its own field, or beyond what any chunks
    // could bring, is not allocated: the profile is discarded.
    if (s->icc_declared < 4 || s->icc_declared > kIccMaxProfile) {
      s->icc_discarded = true;
    } else {
      s->icc = static_cast<uint8_t*>(SourceAlloc(s, s->icc_declared));
      if (!s->icc) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 10);
      std::memcpy(s->icc, size_bytes, 4);
      s->icc_assembled = 4;
      s->icc_write = 4;
    }
  }

  if (!s->icc_discarded && number == s->icc_next && count >= number) {
    size_t end = 0;
    if (!CheckedAdd(s->icc_write, static_cast<size_t>(left), &end) || end > s->icc_declared) {
      // More bytes than declared: a profile that contradicts itself is not handed out.
      DropIccProfile(s);
      MarkerSkip(cinfo, left);
      return TRUE;
    }
    for (; left > 0; --left) s->icc[s->icc_write++] = MarkerByte(cinfo);
    s->icc_assembled = s->icc_write;
    s->icc_next = number + 1;
    return TRUE;
  }
  MarkerSkip(cinfo, left);
  return TRUE;
}

// APP13: the payload is kept whole; a later one replaces it.
boolean ProcessApp13(j_decompress_ptr cinfo) {
  JpegSource* s = FromDecoder(cinfo);
  long left = MarkerPayload(cinfo);
  if (left <= 0) return TRUE;
  uint8_t* block = static_cast<uint8_t*>(SourceAlloc(s, static_cast<size_t>(left)));
  if (!block) {
    MarkerSkip(cinfo, left);
    return TRUE;
  }
  for (long i = 0; i < left; ++i) block[i] = MarkerByte(cinfo);
  SourceFree(s, s->app13);
  s->app13 = block;
  s->app13_size = static_cast<size_t>(left);
  return TRUE;
}

// ---- decoding ----

// Destroys the decoder and frees the buffers used while decoding.
void ReleaseDecoding(JpegSource* s) {
  if (s->created) jpeg_destroy_decompress(&s->decoder);
  s->created = false;
  s->started = false;
  SourceFree(s, s->input_buffer);
  s->input_buffer = nullptr;
  SourceFree(s, s->scanline);
  s->scanline = nullptr;
  s->scanline_valid = 0;
  s->scanline_position = 0;
  s->scanlines_read = 0;
}

// Sets the decoder up and reads the header. Runs under the caller's jump buffer.
Status SetUpDecoder(JpegSource* s) {
  s->decoder.err = jpeg_std_error(&s->errors.pub);
  s->errors.pub.error_exit = FailDecoder;
  s->errors.pub.output_message = SendMessage;
  s->decoder.client_data = s;  // kept by jpeg_CreateDecompress
  jpeg_CreateDecompress(&s->decoder, JPEG_LIB_VERSION, sizeof s->decoder);
  s->created = true;
  s->decoder.mem->max_memory_to_use = kDecoderMemoryLimit;

  s->input_buffer = static_cast<uint8_t*>(SourceAlloc(s, kInputBufferSize));
  if (!s->input_buffer) ERREXIT1(&s->decoder, JERR_OUT_OF_MEMORY, 11);
  s->input.init_source = InitInput;
  s->input.fill_input_buffer = FillInput;
  s->input.skip_input_data = SkipInput;
  s->input.resync_to_restart = jpeg_resync_to_restart;
  s->input.term_source = TermInput;
  s->input.next_input_byte = nullptr;
  s->input.bytes_in_buffer = 0;
  s->decoder.src = &s->input;

  jpeg_set_marker_processor(&s->decoder, JPEG_APP0 + 2, ProcessApp2);
  jpeg_set_marker_processor(&s->decoder, JPEG_APP0 + 13, ProcessApp13);

  jpeg_read_header(&s->decoder, TRUE);
  // The samples the header promises must fit a pixel image before the
  // decoder sizes its buffers for them.
  size_t samples = 0;
  size_t bytes = 0;
  if (!CheckedMul(s->decoder.image_width, s->decoder.image_height, &samples) ||
      !CheckedMul(samples, static_cast<size_t>(s->decoder.num_components), &bytes) ||
      bytes > kMaxPixelImageBytes) {
    return kOutOfMemory;
  }
  jpeg_start_decompress(&s->decoder);
  s->started = true;

  s->width = s->decoder.output_width;
  s->height = s->decoder.output_height;
  s->components = static_cast<uint32_t>(s->decoder.output_components);
  switch (s->decoder.out_color_space) {
    case JCS_GRAYSCALE: s->color_space = Signature("GRAY"); break;
    case JCS_RGB: s->color_space = Signature("RGB "); break;
    case JCS_CMYK: s->color_space = Signature("CMYK"); break;
    default: s->color_space = 0; break;
  }
  s->density_unit = s->decoder.density_unit;
  s->x_density = s->decoder.X_density;
  s->y_density = s->decoder.Y_density;
  size_t row_bytes = 0;
  if (!CheckedMul(s->width, s->components, &row_bytes)) return kOutOfMemory;
  s->scanline = static_cast<uint8_t*>(SourceAlloc(s, row_bytes ? row_bytes : 1));
  if (!s->scanline) return kOutOfMemory;
  return kOk;
}

// One step of decoding: the set-up on the first call, then one scanline, into
// `row` when given (the caller's memory, a whole scanline long), else into the
// scanline buffer. The only place that catches the decoder's jumps; nothing
// here has a destructor.
Status DecodeStep(JpegSource* s, uint8_t* row) {
  if (setjmp(s->errors.jump)) {
    s->failed = true;
    s->at_end = true;
    ReleaseDecoding(s);
    return kDecoderFailed;
  }
  if (!s->started) {
    Status status = SetUpDecoder(s);
    if (status != kOk) {
      s->at_end = true;
      ReleaseDecoding(s);
      return status;
    }
  }
  JSAMPROW target = row ? row : s->scanline;
  if (jpeg_read_scanlines(&s->decoder, &target, 1) != 1) {
    // Our source never suspends, so no scanline means the decoder is stuck.
    s->failed = true;
    s->at_end = true;
    ReleaseDecoding(s);
    return kDecoderFailed;
  }
  s->scanline_valid = row ? 0 : static_cast<size_t>(s->width) * s->components;
  s->scanline_position = 0;
  if (++s->scanlines_read >= s->height) s->at_end = true;
  return kOk;
}

// Finishes decompression unless cancelled or failed; a failure there is caught.
void FinishDecoder(JpegSource* s) {
  if (!s->started || s->cancelled || s->failed) return;
  if (setjmp(s->errors.jump)) return;
  jpeg_finish_decompress(&s->decoder);
}

}  // namespace

Status CreateJpegSource(JpegSource** source, JpegByteCallback next_byte, void* byte_context,
                        JpegAllocCallback alloc, JpegReleaseCallback release, void* alloc_context,
                        JpegMessageSink sink, void* sink_context) {
  if (!source) return kBadArgument;
  *source = nullptr;
  if (!next_byte) return kBadArgument;
  bool own_allocator = alloc && release;
  void* block = own_allocator ? alloc(alloc_context, sizeof(JpegSource)) : MemAlloc(sizeof(JpegSource));
  if (!block) return kOutOfMemory;
  JpegSource* s = new (block) JpegSource();
  s->next_byte = next_byte;
  s->byte_context = byte_context;
  s->alloc = own_allocator ? alloc : nullptr;
  s->release = own_allocator ? release : nullptr;
  s->alloc_context = alloc_context;
  s->sink = sink;
  s->sink_context = sink_context;
  *source = s;
  return kOk;
}

Status ReadJpegScanline(JpegSource* source) {
  if (!source) return kBadArgument;
  if (source->failed) return kDecoderFailed;
  if (source->at_end) return kEndOfData;
  return DecodeStep(source, nullptr);
}

int NextJpegByte(JpegSource* source) {
  if (!source) return -1;
  if (source->scanline_position >= source->scanline_valid) {
    if (source->at_end || ReadJpegScanline(source) != kOk) {
      FinishDecoder(source);
      ReleaseDecoding(source);
      source->at_end = true;
      return -1;
    }
  }
  return source->scanline[source->scanline_position++];
}

size_t TakeJpegBytes(JpegSource* source, uint8_t* out, size_t length) {
  if (!source || !out) return 0;
  size_t taken = 0;
  const size_t row_bytes = static_cast<size_t>(source->width) * source->components;
  while (taken < length) {
    // Whole scanlines wanted while none is buffered: the decoder writes them
    // straight into the caller's memory.
    while (source->started && !source->at_end && row_bytes > 0 &&
           source->scanline_position >= source->scanline_valid && length - taken >= row_bytes) {
      if (DecodeStep(source, out + taken) != kOk) return taken;
      taken += row_bytes;
    }
    if (taken == length) break;
    if (source->scanline_position >= source->scanline_valid) {
      int byte = NextJpegByte(source);  // decodes the next scanline, or ends
      if (byte < 0) break;
      out[taken++] = static_cast<uint8_t>(byte);
      continue;
    }
    size_t count = source->scanline_valid - source->scanline_position;
    if (count > length - taken) count = length - taken;
    std::memcpy(out + taken, source->scanline + source->scanline_position, count);
    source->scanline_position += count;
    taken += count;
  }
  return taken;
}

void GetJpegHeader(const JpegSource* source, JpegHeader* header) {
  if (!header) return;
  *header = JpegHeader{};
  if (!source) return;
  header->width = source->width;
  header->height = source->height;
  header->components = source->components;
  header->color_space = source->color_space;
  header->density_unit = source->density_unit;
  header->x_density = source->x_density;
  header->y_density = source->y_density;
  header->icc_size = source->icc ? source->icc_assembled : 0;
  header->icc = source->icc;
  header->app13_size = source->app13_size;
  header->app13 = source->app13;
}

Status JpegSourceStatus(const JpegSource* source) {
  return source && source->failed ? Status{kDecoderFailed} : Status{kOk};
}

void CancelJpegSource(JpegSource* source) {
  if (source) source->cancelled = true;
}

void ReleaseJpegDecoder(JpegSource* source) {
  if (!source) return;
  ReleaseDecoding(source);
  source->at_end = true;  // a released decoder is not set up again
}

void EndJpegSource(JpegSource* source) {
  if (!source) return;
  FinishDecoder(source);
  ReleaseDecoding(source);
  SourceFree(source, source->icc);
  source->icc = nullptr;
  source->icc_assembled = 0;
  SourceFree(source, source->app13);
  source->app13 = nullptr;
  source->app13_size = 0;
}

void FreeJpegSource(JpegSource* source) {
  if (!source) return;
  EndJpegSource(source);
  if (source->release) {
    source->release(source->alloc_context, source);
  } else {
    MemFree(source);
  }
}

}  // namespace lumetra
