#include "imaging/png_reader.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include <png.h>

#include "framework/support/byte_reader.h"
#include "framework/support/memory.h"

namespace lumetra {

namespace {

// The buffer of a whole interlaced image is capped as pixel images are.
constexpr size_t kMaxRowBuffer = size_t{1} << 30;
// The most any one chunk may make libpng allocate: libpng's own default.
// An iCCP profile is inflated and then copied once more here, so a larger
// limit would let a small file cost tens of megabytes twice over; real
// profiles are far smaller.
constexpr png_alloc_size_t kPngChunkLimit = 8000000;
// The resolution unit reported when the file gives no physical one.
constexpr int32_t kResolutionUnknown = 666;

// Everything libpng touches while it may jump out is plain data: libpng reports
// errors by longjmp, so no object with a destructor may live across a call into
// it. Each guarded step below is a plain function with setjmp and nothing else
// that needs unwinding.
struct PngDecoder {
  png_structp png;
  png_infop info;
  png_infop end_info;
  ImageMessageSink sink;  // receives libpng's texts
  void* sink_context;
  bool failed;            // libpng reported an error; the read structure is spent

  uint32_t width;
  uint32_t height;
  uint32_t channels;      // after expansion and stripping, 8 bits each
  uint32_t color_space;
  uint32_t extra_channels;
  uint32_t passes;        // 1 unless Adam7 interlaced
  double x_pixels_per_metre;
  double y_pixels_per_metre;

  uint8_t* icc;           // copy of the iCCP profile
  uint32_t icc_size;

  uint8_t* rows;          // one row, or the whole image when interlaced
  size_t rows_size;
  size_t unread;          // bytes of `rows` not yet handed out
  uint32_t rows_decoded;  // rows that libpng has delivered into `rows`
};

void SendText(PngDecoder* decoder, const char* format, const char* text) {
  if (!decoder || !decoder->sink) return;
  char line[512];
  std::snprintf(line, sizeof line, format, text ? text : "");
  decoder->sink(decoder->sink_context, line);
}

[[noreturn]] void OnPngError(png_structp png, png_const_charp text) {
  SendText(static_cast<PngDecoder*>(png_get_error_ptr(png)), "PNG-Library ERROR: %s\r", text);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp png, png_const_charp text) {
  SendText(static_cast<PngDecoder*>(png_get_error_ptr(png)), "PNG-Library WARNING: %s\r", text);
}

// libpng reads through the reader's file; a short read is a libpng error.
void ReadFromFile(png_structp png, png_bytep data, size_t length) {
  TFile* file = static_cast<TFile*>(png_get_io_ptr(png));
  size_t count = 0;
  if (!file || file->Read(length, &count, data) != kOk || count != length) {
    png_error(png, "Read Error");
  }
}

Status CreateDecoder(PngDecoder* d, TFile* file) {
  // libpng 1.6 refuses the version string of another series, so the one
  // compiled against is asked for.
  d->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, d, OnPngError, OnPngWarning);
  if (d->png) d->info = png_create_info_struct(d->png);
  if (d->info) d->end_info = png_create_info_struct(d->png);
  if (!d->end_info) return kOutOfMemory;
  png_set_read_fn(d->png, file, ReadFromFile);
  // Ancillary chunks this reader does not use are skipped unread: libpng
  // would otherwise allocate whatever length a damaged chunk declares. The
  // ones it keeps (tRNS, iCCP, pHYs) are bounded like every chunk.
  static const png_byte kSkipped[] = "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iTXt\0oFFs\0pCAL\0sCAL\0"
                                     "sBIT\0sPLT\0sRGB\0tEXt\0tIME\0zTXt";
  png_set_keep_unknown_chunks(d->png, PNG_HANDLE_CHUNK_NEVER, kSkipped, sizeof(kSkipped) / 5);
  png_set_chunk_malloc_max(d->png, kPngChunkLimit);
  return kOk;
}

void DestroyDecoder(PngDecoder* d) {
  if (d->png) png_destroy_read_struct(&d->png, d->info ? &d->info : nullptr,
                                      d->end_info ? &d->end_info : nullptr);
  d->png = nullptr;
  d->info = nullptr;
  d->end_info = nullptr;
  MemFree(d->rows);
  d->rows = nullptr;
  d->rows_size = 0;
  d->unread = 0;
  MemFree(d->icc);
  d->icc = nullptr;
  d->icc_size = 0;
}

// Colour space and extra channels from the colour type after the transforms;
// false for a combination the pixel image cannot carry.
bool MapColorType(PngDecoder* d, int color_type) {
  switch (color_type) {
    case PNG_COLOR_TYPE_GRAY: d->color_space = Signature("GRAY"); d->extra_channels = 0; break;
    case PNG_COLOR_TYPE_GRAY_ALPHA: d->color_space = Signature("GRAY"); d->extra_channels = 1; break;
    case PNG_COLOR_TYPE_RGB: d->color_space = Signature("RGB "); d->extra_channels = 0; break;
    case PNG_COLOR_TYPE_RGB_ALPHA: d->color_space = Signature("RGB "); d->extra_channels = 1; break;
    default: return false;
  }
  // The channel count follows the bytes libpng delivers: a gray image of a low
  // depth with a tRNS chunk gains its alpha channel through the expansion.
  return d->channels == (d->color_space == Signature("GRAY") ? 1u : 3u) + d->extra_channels;
}

// Reads the chunks up to the image data and sets the transforms. Guarded.
Status DecodeHeader(PngDecoder* d) {
  if (setjmp(png_jmpbuf(d->png))) {
    d->failed = true;
    return kUnsupportedImageData;
  }
  png_set_sig_bytes(d->png, 0);
  png_free_data(d->png, d->info, PNG_FREE_ALL, -1);
  png_read_info(d->png, d->info);

  png_charp name = nullptr;
  int compression = 0;
  png_bytep profile = nullptr;
  png_uint_32 profile_size = 0;
  if (png_get_iCCP(d->png, d->info, &name, &compression, &profile, &profile_size) &&
      profile && profile_size > 0) {
    d->icc = static_cast<uint8_t*>(MemAlloc(profile_size));
    if (!d->icc) return kOutOfMemory;
    std::memcpy(d->icc, profile, profile_size);
    d->icc_size = profile_size;
  }

  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int bit_depth = 0;
  int color_type = 0;
  int interlace = 0;
  png_get_IHDR(d->png, d->info, &width, &height, &bit_depth, &color_type, &interlace, nullptr,
               nullptr);
  // Palettes and gray below 8 bits expand to 8-bit samples (with alpha from a
  // tRNS chunk); 16-bit samples keep their more significant byte.
  if ((bit_depth <= 8 && color_type == PNG_COLOR_TYPE_PALETTE) ||
      (bit_depth < 8 && color_type == PNG_COLOR_TYPE_GRAY)) {
    png_set_expand(d->png);
  } else if (bit_depth == 16) {
    png_set_strip_16(d->png);
  }
  d->passes = interlace == PNG_INTERLACE_ADAM7 ? static_cast<uint32_t>(png_set_interlace_handling(d->png)) : 1;
  // Also starts the row reading: libpng 1.6 counts png_start_read_image after
  // it as a duplicate call.
  png_read_update_info(d->png, d->info);

  d->width = width;
  d->height = height;
  d->channels = png_get_channels(d->png, d->info);
  if (png_get_bit_depth(d->png, d->info) != 8) return kUnsupportedImageData;
  if (!MapColorType(d, png_get_color_type(d->png, d->info))) return kUnsupportedImageData;
  d->x_pixels_per_metre = png_get_x_pixels_per_meter(d->png, d->info);
  d->y_pixels_per_metre = png_get_y_pixels_per_meter(d->png, d->info);

  size_t row_bytes = 0;
  size_t size = 0;
  if (!CheckedMul(d->channels, d->width, &row_bytes) ||
      !CheckedMul(row_bytes, d->passes > 1 ? d->height : 1, &size) || size > kMaxRowBuffer) {
    return kOutOfMemory;
  }
  d->rows = static_cast<uint8_t*>(MemAlloc(size ? size : 1));
  if (!d->rows) return kOutOfMemory;
  d->rows_size = size;
  return kOk;
}

// Decodes the next row of a non-interlaced image straight into `row`, a
// whole row long. Guarded.
Status DecodeRowInto(PngDecoder* d, uint8_t* row) {
  if (setjmp(png_jmpbuf(d->png))) {
    d->failed = true;
    return kUnsupportedImageData;
  }
  png_bytep target = row;
  png_read_rows(d->png, &target, nullptr, 1);
  ++d->rows_decoded;
  return kOk;
}

// Gray becomes an amount of ink; an alpha sample keeps its meaning. `first`
// is the channel of bytes[0]; rows hold whole pixels.
void InvertGray(uint8_t* bytes, size_t count, uint32_t channels, size_t first) {
  if (channels == 1) {
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(255 ^ bytes[i]);
    return;
  }
  for (size_t i = (channels - first) % channels; i < count; i += channels) {
    bytes[i] = static_cast<uint8_t>(255 ^ bytes[i]);
  }
}

// Refills the row buffer: the next row, or every pass of an interlaced image
// into the whole-image buffer. Guarded.
Status DecodeRowBuffer(PngDecoder* d) {
  if (setjmp(png_jmpbuf(d->png))) {
    d->failed = true;
    return kUnsupportedImageData;
  }
  if (d->passes > 1) {
    size_t row_bytes = d->rows_size / (d->height ? d->height : 1);
    for (uint32_t pass = 0; pass < d->passes; ++pass) {
      for (uint32_t y = 0; y < d->height; ++y) {
        png_bytep row = d->rows + y * row_bytes;
        png_read_rows(d->png, &row, nullptr, 1);
      }
    }
    d->rows_decoded = d->height;
  } else {
    png_bytep row = d->rows;
    png_read_rows(d->png, &row, nullptr, 1);
    ++d->rows_decoded;
  }
  d->unread = d->rows_size;
  return kOk;
}

// Reads what follows the image data. Guarded.
Status DecodeEnd(PngDecoder* d) {
  if (setjmp(png_jmpbuf(d->png))) {
    d->failed = true;
    return kUnsupportedImageData;
  }
  png_read_end(d->png, d->end_info);
  return kOk;
}

// ---------------------------------------------------------------------------

class TPngReader : public TImageReader {
 public:
  ~TPngReader() override { DestroyDecoder(&decoder_); }

  Status Open(SpecialFile* file, ImageFormat* format) override;
  Status ReadHeader(ImageInfo* info) override;
  Status ReadRows(uint8_t* buffer, uint32_t row_count) override;
  Status FinishReading() override;
  Status Close() override;

 private:
  // libpng's texts go to whatever sink is set when they arrive.
  static void ForwardMessage(void* context, const char* text) {
    static_cast<TPngReader*>(context)->ReportMessage(text);
  }
  void DropProfile(bool clear_info);

  PngDecoder decoder_ = {};
};

Status TPngReader::Open(SpecialFile* file, ImageFormat* format) {
  Status status = TImageReader::Open(file, format);
  if (status != kOk) return status;
  if (!file) return kBadArgument;
  DestroyDecoder(&decoder_);
  decoder_ = PngDecoder{};
  decoder_.sink = ForwardMessage;
  decoder_.sink_context = this;
  status = CreateDecoder(&decoder_, file);
  if (status != kOk) DestroyDecoder(&decoder_);
  return status;
}

Status TPngReader::ReadHeader(ImageInfo* info) {
  Status status = TImageReader::ReadHeader(info);
  if (status != kOk) return status;
  if (!info || !file()) return kBadArgument;
  if (!decoder_.png || decoder_.failed) return kUnsupportedImageData;
  status = file()->Seek(0, kSeekFromStart);
  if (status != kOk) return status;
  status = DecodeHeader(&decoder_);
  if (status != kOk) return status;

  info->color_space = decoder_.color_space;
  info->width = decoder_.width;
  info->height = decoder_.height;
  info->channels = decoder_.channels;
  info->bits_per_sample = 8;
  // The pHYs chunk's pixels per metre, as libpng gives them (0 without a
  // metric pHYs); the unit is metric when there is one, else none.
  info->x_resolution = decoder_.x_pixels_per_metre;
  info->y_resolution = decoder_.y_pixels_per_metre;
  info->resolution_unit = decoder_.x_pixels_per_metre > 0 || decoder_.y_pixels_per_metre > 0
                              ? kResolutionMetric
                              : kResolutionUnknown;
  info->orientation = 0;
  info->icc_size = decoder_.icc_size;
  info->icc_profile = decoder_.icc;
  return kOk;
}

Status TPngReader::ReadRows(uint8_t* buffer, uint32_t row_count) {
  if (!buffer) return kBadArgument;
  PngDecoder& d = decoder_;
  if (!d.png || !d.rows || d.failed) return kUnsupportedImageData;
  size_t row_bytes = 0;
  size_t wanted = 0;
  if (!CheckedMul(d.channels, d.width, &row_bytes) || !CheckedMul(row_bytes, row_count, &wanted)) {
    return kBadArgument;
  }
  const bool gray = d.color_space == Signature("GRAY");
  while (wanted > 0) {
    // Whole rows of a non-interlaced image, none buffered: libpng decodes
    // them straight into the caller's memory.
    while (d.passes == 1 && d.unread == 0 && row_bytes > 0 && wanted >= row_bytes &&
           d.rows_decoded < d.height) {
      Status status = DecodeRowInto(&d, buffer);
      if (status != kOk) return status;
      if (gray) InvertGray(buffer, row_bytes, d.channels, 0);
      buffer += row_bytes;
      wanted -= row_bytes;
    }
    if (wanted == 0) break;
    if (d.unread == 0) {
      if (d.rows_decoded >= d.height) return kEndOfData;
      Status status = DecodeRowBuffer(&d);
      if (status != kOk) return status;
    }
    size_t take = wanted < d.unread ? wanted : d.unread;
    size_t offset = d.rows_size - d.unread;
    std::memcpy(buffer, d.rows + offset, take);
    // Offsets stay aligned with pixels because rows hold whole pixels.
    if (gray) InvertGray(buffer, take, d.channels, offset % d.channels);
    buffer += take;
    wanted -= take;
    d.unread -= take;
  }
  return kOk;
}

void TPngReader::DropProfile(bool clear_info) {
  MemFree(decoder_.icc);
  decoder_.icc = nullptr;
  decoder_.icc_size = 0;
  // The caller's info must not keep pointing at the freed profile.
  if (clear_info && info() && info()->icc_profile) {
    info()->icc_profile = nullptr;
    info()->icc_size = 0;
  }
}

Status TPngReader::FinishReading() {
  DropProfile(true);
  if (!decoder_.png || decoder_.failed) return kUnsupportedImageData;
  return DecodeEnd(&decoder_);
}

Status TPngReader::Close() {
  DropProfile(false);
  DestroyDecoder(&decoder_);
  return kOk;
}

}  // namespace

Status CreatePngReader(TImageReader** reader) {
  return NewReader<TPngReader>(reader);
}

}  // namespace lumetra
