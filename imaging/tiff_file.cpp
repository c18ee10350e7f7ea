#include "imaging/tiff_file.h"

#include <new>

#include "framework/support/byte_order.h"
#include "framework/support/byte_reader.h"
#include "imaging/image_reader.h"

namespace lumetra {
namespace {

constexpr uint32_t kTiffIdentifier = 42;
constexpr size_t kEntrySize = 12;

// Photometric interpretations (TIFF 6.0 sections 3, 16 and 23; 9 is the ICC
// Lab encoding of TIFF Technical Note 2).
enum : uint32_t {
  kWhiteIsZero = 0,
  kBlackIsZero = 1,
  kRgb = 2,
  kSeparated = 5,
  kCieLab = 8,
  kIccLab = 9,
};

uint32_t ColorSpaceOf(uint32_t photometric) {
  switch (photometric) {
    case kWhiteIsZero: return kColorSpaceGray;
    case kBlackIsZero: return kColorSpaceInvertedGray;
    case kRgb: return kColorSpaceRgb;
    case kSeparated: return kColorSpaceCmyk;
    case kCieLab: return kColorSpaceSignedLab;
    case kIccLab: return kColorSpaceLab;
    default: return 0;
  }
}

uint16_t Read16(const uint8_t* p, bool little_endian) {
  return little_endian ? LoadLE16(p) : LoadBE16(p);
}
uint32_t Read32(const uint8_t* p, bool little_endian) {
  return little_endian ? LoadLE32(p) : LoadBE32(p);
}

// Reads exactly `length` bytes at `offset`; 3003 when the file ends first.
Status ReadAt(SpecialFile* file, uint64_t offset, size_t length, void* buffer) {
  Status status = file->Seek(offset, kSeekFromStart);
  if (status) return status;
  size_t count = 0;
  status = file->Read(length, &count, buffer);
  if (status && status != kEndOfData) return status;
  return count == length ? kOk : kShortRead;
}

const TiffEntry* FindEntry(const TiffDirectory* directory, uint16_t tag) {
  if (!directory) return nullptr;
  for (uint32_t i = 0; i < directory->entry_count; ++i) {
    const TiffEntry& entry = directory->entries[i];
    if (entry.tag == 0) break;
    if (entry.tag == tag) return &entry;
  }
  return nullptr;
}

// Converts `count` values of `type` in place from the file's order to the host's.
void ValuesToHost(uint8_t* data, size_t count, uint16_t type, bool little_endian) {
  size_t size = TiffTypeSize(type);
  if (size == 1 || little_endian == HostIsLittleEndian()) return;
  // RATIONALs are pairs of LONGs; a DOUBLE is one 8-byte number.
  size_t width = (type == kTiffRational || type == kTiffSRational) ? 4 : size;
  ByteSwapper swapper(data, count * size);
  if (width == 2) swapper.Swap16s(count);
  else if (width == 4) swapper.Swap32s(count * size / 4);
  else for (size_t i = 0; i < count; ++i) swapper.Swap64();
}

// BitsPerSample: one value per sample, in the file when there are more than
// two. Samples of different sizes give 0, which no reader takes.
Status GetBitsPerSample(TiffFile* tiff, const TiffDirectory* directory, uint32_t* bits) {
  MemPtr<uint8_t> values;
  size_t element_size = 0;
  uint32_t count = 0;
  *bits = 0;
  Status status = GetTiffArray(tiff, directory, kTiffTagBitsPerSample, &values, &element_size, &count);
  if (status) return status;
  if (count == 0 || element_size != 2) return kTiffTagMissing;
  ByteReader reader(values.get(), element_size * count);
  uint32_t first = reader.Host16();
  for (uint32_t i = 1; i < count; ++i) {
    if (reader.Host16() != first) return kOk;
  }
  *bits = first;
  return kOk;
}

}  // namespace

size_t TiffTypeSize(uint16_t type) {
  switch (type) {
    case kTiffShort:
    case kTiffSShort: return 2;
    case kTiffLong:
    case kTiffSLong:
    case kTiffFloat: return 4;
    case kTiffRational:
    case kTiffSRational:
    case kTiffDouble: return 8;
    default: return 1;
  }
}

Status OpenTiffFile(SpecialFile* file, TiffFile** tiff) {
  if (!tiff) return kBadArgument;
  *tiff = nullptr;
  if (!file) return kBadArgument;
  uint8_t header[8];
  Status status = ReadAt(file, 0, sizeof header, header);
  if (status == kShortRead) return kTiffBadHeader;
  if (status) return status;

  bool little_endian;
  if (header[0] == 'I' && header[1] == 'I') little_endian = true;
  else if (header[0] == 'M' && header[1] == 'M') little_endian = false;
  else return kTiffBadHeader;
  if (Read16(header + 2, little_endian) != kTiffIdentifier) return kTiffBadHeader;

  auto* record = static_cast<TiffFile*>(MemAlloc(sizeof(TiffFile)));
  if (!record) return kOutOfMemory;
  record->little_endian = little_endian;
  record->first_directory = Read32(header + 4, little_endian);
  record->file = file;
  *tiff = record;
  return kOk;
}

void CloseTiffFile(TiffFile* tiff) { MemFree(tiff); }

Status ReadTiffDirectory(TiffFile* tiff, uint32_t number, TiffDirectory** directory) {
  if (!directory) return kBadArgument;
  *directory = nullptr;
  if (!tiff || number != 1) return kBadArgument;

  uint8_t count_field[2];
  Status status = ReadAt(tiff->file, tiff->first_directory, 2, count_field);
  if (status == kShortRead || status == kSeekFailed) return kTiffBadHeader;
  if (status) return status;
  uint32_t entry_count = Read16(count_field, tiff->little_endian);

  // At most 65535 entries: neither size below can overflow.
  size_t raw_size = kEntrySize * entry_count + 4;
  MemPtr<uint8_t> raw(static_cast<uint8_t*>(MemAlloc(raw_size)));
  size_t block_size = sizeof(TiffDirectory) + sizeof(TiffEntry) * entry_count;
  MemPtr<TiffDirectory> block(static_cast<TiffDirectory*>(MemAlloc(block_size)));
  if (!raw || !block) return kOutOfMemory;
  status = ReadAt(tiff->file, uint64_t{tiff->first_directory} + 2, raw_size, raw.get());
  if (status == kShortRead || status == kSeekFailed) return kTiffBadHeader;
  if (status) return status;

  ByteReader reader(raw.get(), raw_size);
  bool big_endian = !tiff->little_endian;
  block->entry_count = entry_count;
  for (uint32_t i = 0; i < entry_count; ++i) {
    TiffEntry& entry = block->entries[i];
    entry.tag = reader.U16(big_endian);
    entry.type = reader.U16(big_endian);
    entry.count = reader.U32(big_endian);
    reader.Bytes(entry.field, 4);
    size_t size = TiffTypeSize(entry.type);
    bool in_entry = entry.count <= 4 / size;
    if (in_entry && size == 1) entry.value = entry.field[0];
    else if (in_entry && size == 2) entry.value = Read16(entry.field, tiff->little_endian);
    else entry.value = Read32(entry.field, tiff->little_endian);
  }
  block->next_directory = reader.U32(big_endian);
  if (reader.failed()) return kTiffBadHeader;
  *directory = block.release();
  return kOk;
}

void FreeTiffDirectory(TiffDirectory* directory) { MemFree(directory); }

Status FindTiffTag(const TiffDirectory* directory, uint16_t tag, uint16_t* type, uint32_t* count,
                   uint32_t* value) {
  const TiffEntry* entry = FindEntry(directory, tag);
  if (type) *type = entry ? entry->type : 0;
  if (count) *count = entry ? entry->count : 0;
  if (value) *value = entry ? entry->value : 0;
  return entry ? kOk : kTiffTagMissing;
}

Status GetTiffScalar(const TiffDirectory* directory, uint16_t tag, uint32_t* value,
                     bool has_default, uint32_t default_value) {
  if (!value) return kBadArgument;
  const TiffEntry* entry = FindEntry(directory, tag);
  if (!entry || entry->count == 0) {
    *value = has_default ? default_value : 0;
    return has_default ? kOk : kTiffTagMissing;
  }
  switch (entry->type) {
    case kTiffByte:
    case kTiffAscii:
    case kTiffSByte: *value = entry->value & 0xFFu; break;
    case kTiffShort:
    case kTiffSShort: *value = entry->value & 0xFFFFu; break;
    default: *value = entry->value; break;
  }
  return kOk;
}

Status GetTiffArray(TiffFile* tiff, const TiffDirectory* directory, uint16_t tag,
                    MemPtr<uint8_t>* block, size_t* element_size, uint32_t* count) {
  if (!tiff || !block || !element_size || !count) return kBadArgument;
  block->reset();
  *element_size = 0;
  *count = 0;
  const TiffEntry* entry = FindEntry(directory, tag);
  if (!entry) return kTiffTagMissing;
  size_t size = TiffTypeSize(entry->type);
  size_t total;
  if (!CheckedMul(size, entry->count, &total)) return kShortRead;
  *element_size = size;
  if (total == 0) return kOk;
  // Values larger than the file cannot be there; refusing them here keeps a
  // forged count from asking for a huge block.
  if (total > 4 && !RangeFits(entry->value, total, tiff->file->GetSize())) return kShortRead;

  MemPtr<uint8_t> values(static_cast<uint8_t*>(MemAlloc(total)));
  if (!values) return kOutOfMemory;
  if (total <= 4) {
    CopyBytes(entry->field, values.get(), total);
  } else {
    Status status = ReadAt(tiff->file, entry->value, total, values.get());
    if (status) return status;
  }
  ValuesToHost(values.get(), entry->count, entry->type, tiff->little_endian);
  *block = std::move(values);
  *count = entry->count;
  return kOk;
}

Status GetTiffRational(TiffFile* tiff, const TiffDirectory* directory, uint16_t tag,
                       uint32_t* numerator, uint32_t* denominator) {
  if (!numerator || !denominator) return kBadArgument;
  *numerator = *denominator = 0;
  MemPtr<uint8_t> values;
  size_t element_size;
  uint32_t count;
  Status status = GetTiffArray(tiff, directory, tag, &values, &element_size, &count);
  if (status) return status;
  if (count == 0 || element_size != 8) return kTiffTagMissing;
  ByteReader reader(values.get(), element_size * count);
  *numerator = reader.Host32();
  *denominator = reader.Host32();
  return kOk;
}

Status OpenTiffImage(TiffFile* tiff, TiffImage** image) {
  if (!image) return kBadArgument;
  *image = nullptr;
  TiffDirectory* directory_raw = nullptr;
  Status status = ReadTiffDirectory(tiff, 1, &directory_raw);
  MemPtr<TiffDirectory> directory(directory_raw);
  if (status) return status;
  const TiffDirectory* dir = directory.get();

  MemPtr<TiffImage> record(static_cast<TiffImage*>(MemAlloc(sizeof(TiffImage))));
  if (!record) return kOutOfMemory;
  TiffImage& im = *record;
  im.tiff = tiff;
  im.swap_samples = tiff->little_endian != HostIsLittleEndian();
  if (GetTiffScalar(dir, kTiffTagImageWidth, &im.width)) return kTiffBadHeader;
  if (GetTiffScalar(dir, kTiffTagImageLength, &im.height)) return kTiffBadHeader;
  status = GetBitsPerSample(tiff, dir, &im.bits_per_sample);
  if (status == kTiffTagMissing || status == kShortRead) return kTiffBadHeader;
  if (status) return status;
  GetTiffScalar(dir, kTiffTagCompression, &im.compression, true, kTiffNoCompression);
  GetTiffScalar(dir, kTiffTagPredictor, &im.predictor, true, 1);
  if (im.compression == kTiffLzw && im.predictor == 2) im.compression = kTiffLzwDifferencing;
  GetTiffScalar(dir, kTiffTagSamplesPerPixel, &im.samples_per_pixel, true, 1);
  GetTiffScalar(dir, kTiffTagPlanarConfiguration, &im.planar_configuration, true, 1);
  GetTiffScalar(dir, kTiffTagRowsPerStrip, &im.rows_per_strip, true, im.height);
  if (im.rows_per_strip == 0 || im.rows_per_strip > im.height) im.rows_per_strip = im.height;
  GetTiffScalar(dir, kTiffTagResolutionUnit, &im.resolution_unit, true, 2);
  uint32_t photometric;
  im.color_space = GetTiffScalar(dir, kTiffTagPhotometric, &photometric) ? 0 : ColorSpaceOf(photometric);
  // A damaged resolution leaves 0/0, as a missing one does.
  GetTiffRational(tiff, dir, kTiffTagXResolution, &im.x_resolution[0], &im.x_resolution[1]);
  GetTiffRational(tiff, dir, kTiffTagYResolution, &im.y_resolution[0], &im.y_resolution[1]);

  im.directory = directory.release();
  *image = record.release();
  return kOk;
}

void CloseTiffImage(TiffImage* image) {
  if (!image) return;
  FreeTiffDirectory(image->directory);
  MemFree(image);
}

Status CheckTiffImageSupported(const TiffImage& image) {
  if (image.color_space == 0) return kTiffUnsupportedPhotometric;
  switch (image.compression) {
    case kTiffNoCompression:
    case kTiffLzw:
    case kTiffLzwDifferencing:
    case kTiffPackBits: break;
    default: return kTiffUnsupportedCompression;
  }
  // Predictor 3 (floating point) and unknown predictors change LZW data in
  // ways this code cannot undo.
  if ((image.compression == kTiffLzw) && image.predictor != 1) return kTiffUnsupportedCompression;
  if (image.bits_per_sample != 8 && image.bits_per_sample != 16) return kUnsupportedBitDepth;
  if (image.width == 0 || image.height == 0) return kUnsupportedImageData;
  if (image.samples_per_pixel < ChannelCountOf(image.color_space)) return kUnsupportedImageData;
  // SamplesPerPixel is a SHORT (TIFF 6.0 section 8) and a pixel image holds at
  // most 255 extra channels: a larger count is damage, not a picture, and must
  // not size the pixel buffers.
  if (image.samples_per_pixel > kTiffMaxSamplesPerPixel) return kUnsupportedImageData;
  // Separate planes store each channel's strips apart (TIFF 6.0 section 8).
  if (image.planar_configuration != 1 && image.samples_per_pixel > 1) return kUnsupportedImageData;
  return kOk;
}

size_t TiffBytesPerPixel(const TiffImage& image) {
  return size_t{(image.bits_per_sample + 7) / 8} * image.samples_per_pixel;
}

Status SetListedTiffTag(TiffTagList* list, uint16_t tag, uint16_t type, uint32_t count,
                        MemPtr<uint8_t> data, size_t size) {
  if (!list) return kBadArgument;
  TiffListedTag** link = &list->first;
  while (*link && (*link)->tag < tag) link = &(*link)->next;
  TiffListedTag* listed = *link;
  if (!listed || listed->tag != tag) {
    listed = static_cast<TiffListedTag*>(MemAlloc(sizeof(TiffListedTag)));
    if (!listed) return kOutOfMemory;
    listed->next = *link;
    listed->tag = tag;
    *link = listed;
  }
  MemFree(listed->data);
  listed->type = type;
  listed->count = count;
  listed->size = size;
  listed->data = data.release();
  return kOk;
}

const TiffListedTag* FindListedTiffTag(const TiffTagList* list, uint16_t tag) {
  for (const TiffListedTag* t = list ? list->first : nullptr; t; t = t->next) {
    if (t->tag == tag) return t;
  }
  return nullptr;
}

void ClearTiffTagList(TiffTagList* list) {
  if (!list) return;
  while (TiffListedTag* t = list->first) {
    list->first = t->next;
    MemFree(t->data);
    MemFree(t);
  }
}

}  // namespace lumetra
