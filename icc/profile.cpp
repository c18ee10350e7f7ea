#include "icc/profile.h"

#include <cstddef>
#include <memory>

#include "framework/support/byte_reader.h"
#include "framework/support/file_access.h"
#include "framework/support/memory.h"

namespace lumetra {

// The header record mirrors the stored layout (ICC.1:2010 section 7.2).
static_assert(offsetof(IccHeader, created) == 24, "header layout");
static_assert(offsetof(IccHeader, file_signature) == 36, "header layout");
static_assert(offsetof(IccHeader, attributes) == 56, "header layout");
static_assert(offsetof(IccHeader, illuminant) == 68, "header layout");
static_assert(offsetof(IccHeader, reserved) == 84, "header layout");

namespace {

constexpr size_t kTagCountOffset = kIccHeaderSize;  // the directory follows the header
constexpr size_t kDirectoryEntrySize = 12;          // signature, offset, size

struct MemFileCloser {
  void operator()(MemFile* file) const { MemFileClose(file); }
};
using MemFilePtr = std::unique_ptr<MemFile, MemFileCloser>;

struct ProfileCloser {
  void operator()(IccProfile* profile) const { CloseProfile(profile); }
};
using ProfilePtr = std::unique_ptr<IccProfile, ProfileCloser>;

uint32_t TagLimit(const IccProfile* profile) {
  return profile->tag_count < MaxProfileTags ? profile->tag_count : MaxProfileTags;
}

Status ReadExactly(MemFile* file, void* buffer, size_t length) {
  size_t count = 0;
  Status status = MemFileRead(file, length, &count, buffer);
  if (status) return status;
  return count == length ? kOk : kShortRead;
}

// Counts found inside a tag may multiply past any block; a saturated product
// still stops the swapper at the block's end.
size_t SaturatingMul(size_t a, size_t b) {
  size_t product;
  return CheckedMul(a, b, &product) ? product : static_cast<size_t>(-1);
}
size_t SaturatingAdd(size_t a, size_t b) {
  size_t sum;
  return CheckedAdd(a, b, &sum) ? sum : static_cast<size_t>(-1);
}

// textDescriptionType (ICC.1:2001-04 section 6.5.17) starting at `start`, its
// type signature already converted. Returns the record's stored length
// (90 + ASCII count + 2 x Unicode count), or 0 when it does not fit.
size_t ConvertDescFields(ByteSwapper& s, size_t start) {
  if (!s.Seek(SaturatingAdd(start, 8))) return 0;
  size_t ascii_count = s.Swap32();
  s.Skip(ascii_count);
  s.Swap32();  // Unicode language code
  size_t unicode_count = s.Swap32();
  s.Skip(SaturatingMul(unicode_count, 2));
  s.Swap16();  // ScriptCode code; its count byte and 67-byte text stay as stored
  if (s.failed()) return 0;
  return SaturatingAdd(90, SaturatingAdd(ascii_count, SaturatingMul(unicode_count, 2)));
}

void ConvertBfd(ByteSwapper& s) {
  s.Seek(8);
  s.Swap16s(s.Swap32());
  s.Swap16s(s.Swap32());
}

void ConvertMft2(ByteSwapper& s, const uint8_t* block) {
  if (!s.Seek(12)) return;
  size_t input_channels = block[8];
  size_t output_channels = block[9];
  size_t grid_points = block[10];
  s.Swap32s(9);  // matrix
  size_t input_entries = s.Swap16();
  size_t output_entries = s.Swap16();
  size_t clut_points = 1;
  for (size_t i = 0; i < input_channels; ++i) clut_points = SaturatingMul(clut_points, grid_points);
  size_t values = SaturatingAdd(SaturatingMul(input_channels, input_entries),
                                SaturatingAdd(SaturatingMul(output_channels, clut_points),
                                              SaturatingMul(output_channels, output_entries)));
  s.Swap16s(values);
}

void ConvertNcl2(ByteSwapper& s) {
  s.Seek(8);
  s.Swap32();  // vendor flags
  size_t colours = s.Swap32();
  size_t coordinates = s.Swap32();
  if (!s.Seek(84)) return;
  // Each colour takes at least 38 bytes, so a huge count ends at the block's end.
  for (size_t i = 0; i < colours && !s.failed(); ++i) {
    s.Skip(32);  // name
    s.Swap16s(SaturatingAdd(coordinates, 3));  // PCS values, then device coordinates
  }
}

void ConvertPseq(ByteSwapper& s) {
  s.Seek(8);
  size_t descriptions = s.Swap32();
  for (size_t i = 0; i < descriptions && !s.failed(); ++i) {
    s.Swap32();  // manufacturer
    s.Swap32();  // model
    s.Swap64();  // attributes
    s.Swap32();  // technology
    for (int text = 0; text < 2 && !s.failed(); ++text) {
      size_t start = s.position();
      // Only a textDescriptionType tells its own length; anything else ends the walk.
      if (s.Swap32() != Signature("desc")) return;
      size_t length = ConvertDescFields(s, start);
      if (length == 0 || !s.Seek(SaturatingAdd(start, length))) return;
    }
  }
}

}  // namespace

void ConvertHeaderToHost(const uint8_t* raw, IccHeader* header) {
  ByteReader r(raw, kIccHeaderSize);
  header->size = r.BE32();
  header->cmm_type = r.BE32();
  header->version = r.BE32();
  header->device_class = r.BE32();
  header->color_space = r.BE32();
  header->connection_space = r.BE32();
  header->created.year = r.BE16();
  header->created.month = r.BE16();
  header->created.day = r.BE16();
  header->created.hours = r.BE16();
  header->created.minutes = r.BE16();
  header->created.seconds = r.BE16();
  header->file_signature = r.BE32();
  header->platform = r.BE32();
  header->flags = r.BE32();
  header->manufacturer = r.BE32();
  header->model = r.BE32();
  uint64_t attributes_high = r.BE32();
  header->attributes = (attributes_high << 32) | r.BE32();
  header->rendering_intent = r.BE32();
  header->illuminant.x = static_cast<int32_t>(r.BE32());
  header->illuminant.y = static_cast<int32_t>(r.BE32());
  header->illuminant.z = static_cast<int32_t>(r.BE32());
  header->creator = r.BE32();
  r.Bytes(header->reserved, sizeof header->reserved);
}

namespace {

// The header, the tag count and every directory entry that is kept: all the
// opening reads, taken from the start of the file in one read.
constexpr size_t kFirstBlockSize = kTagCountOffset + 4 + kDirectoryEntrySize * MaxProfileTags;

// Header check (ICC.1:2010 section 7.2) and the tag directory (section 7.3).
Status ReadHeaderAndDirectory(IccProfile* profile, MemFile* file) {
  uint32_t file_size = 0;
  Status status = MemFileSize(file, &file_size);
  if (status) return status;
  if (file_size <= kIccHeaderSize) return kProfileTooShort;

  // A memory descriptor may come at a later position: its header is read from
  // there, its directory from the start like every offset in the file.
  const bool header_at_start = file->file || file->position == 0;
  uint8_t block[kFirstBlockSize];
  size_t wanted = file_size < sizeof block ? file_size : sizeof block;
  if (!header_at_start) wanted = kIccHeaderSize;
  size_t arrived = 0;  // bytes of the block that were read
  status = MemFileRead(file, wanted, &arrived, block);
  if (status && status != kShortRead) return status;
  if (arrived < kIccHeaderSize) return kShortRead;
  ByteReader header(block, kIccHeaderSize);
  // A declared size below the file's is accepted: some writers pad their files.
  if (header.BE32() > file_size) return kProfileSizeExceedsFile;
  header.Seek(36);
  if (header.BE32() != Signature("acsp")) return kProfileNoAcsp;
  ConvertHeaderToHost(block, &profile->header);

  const uint8_t* directory = block + kTagCountOffset;  // the count, then the entries
  uint8_t later_directory[kFirstBlockSize - kTagCountOffset];
  size_t directory_arrived = arrived - kIccHeaderSize;
  if (!header_at_start) {
    status = MemFileSeek(file, kTagCountOffset, true);
    if (!status) status = MemFileRead(file, sizeof later_directory, &directory_arrived, later_directory);
    if (status && status != kShortRead) return status;
    directory = later_directory;
  }
  if (directory_arrived < 4) return kShortRead;
  uint32_t declared = LoadBE32(directory);

  // The whole declared directory must lie in the file; this also bounds the
  // count before anything is sized from it.
  size_t directory_size;  // count and entries, in bytes
  if (!CheckedMul(declared, kDirectoryEntrySize, &directory_size) ||
      !CheckedAdd(directory_size, 4, &directory_size) ||
      directory_size > file_size - kTagCountOffset) {
    return kShortRead;
  }

  // Only the first MaxProfileTags entries are kept.
  uint32_t kept = declared < MaxProfileTags ? declared : MaxProfileTags;
  size_t kept_size = 4 + kDirectoryEntrySize * kept;
  if (directory_arrived < kept_size) return kShortRead;
  ByteReader entries(directory, kept_size);
  entries.Skip(4);
  for (uint32_t i = 0; i < kept; ++i) {
    profile->tags[i].signature = entries.BE32();
    profile->tags[i].offset = entries.BE32();
    profile->tags[i].size = entries.BE32();
  }
  profile->tag_count = kept;
  return kOk;
}

}  // namespace

Status OpenProfile(IccProfile** out, const void* file_reference) {
  if (!out) return kBadArgument;
  *out = nullptr;
  if (!file_reference) return kBadArgument;
  // A path without a terminator in its 1024 bytes names no file.
  size_t reference_size = MemFileSourceLength(file_reference);
  if (reference_size == 0) return kProfileCannotOpen;

  ProfilePtr profile(static_cast<IccProfile*>(MemAlloc(sizeof(IccProfile))));
  if (!profile) return kProfileCannotOpen;
  CopyBytes(file_reference, profile->FileReference, reference_size);

  MemFile* opened = nullptr;
  if (MemFileOpen(profile->FileReference, kFileModeRead, &opened)) return kProfileCannotOpen;
  MemFilePtr file(opened);
  MemFileUnbuffered(file.get());  // one read at open, one seek and one read per tag
  Status status = ReadHeaderAndDirectory(profile.get(), file.get());
  if (status) return status;
  *out = profile.release();
  return kOk;
}

Status CloseProfile(IccProfile* profile) {
  if (!profile) return kOk;
  uint32_t limit = TagLimit(profile);
  for (uint32_t i = 0; i < limit; ++i) {
    uint8_t* block = profile->loaded[i];
    if (!block) continue;
    MemFree(block);
    for (uint32_t j = i + 1; j < limit; ++j) {
      if (profile->loaded[j] == block) profile->loaded[j] = nullptr;
    }
    profile->loaded[i] = nullptr;
  }
  MemFree(profile);
  return kOk;
}

int32_t FindTagIndex(const IccProfile* profile, uint32_t signature) {
  if (!profile) return -1;
  uint32_t limit = TagLimit(profile);
  for (uint32_t i = 0; i < limit; ++i) {
    if (profile->tags[i].signature == signature) return static_cast<int32_t>(i);
  }
  return -1;
}

Status HasTag(const IccProfile* profile, uint32_t signature, bool* present) {
  if (!profile || !present) return kMissingObject;
  *present = FindTagIndex(profile, signature) >= 0;
  return kOk;
}

const uint8_t* GetTagData(IccProfile* profile, uint32_t signature) {
  int32_t index = FindTagIndex(profile, signature);
  if (index < 0) return nullptr;
  if (!profile->loaded[index]) LoadTag(profile, static_cast<uint32_t>(index));
  return profile->loaded[index];
}

uint32_t GetTagSize(const IccProfile* profile, uint32_t signature) {
  int32_t index = FindTagIndex(profile, signature);
  return index < 0 ? 0 : profile->tags[index].size;
}

Status ReadTagBytes(IccProfile* profile, uint32_t signature, uint32_t offset, const uint32_t* length,
                    void* destination) {
  if (!profile || !length) return kMissingObject;
  int32_t index = FindTagIndex(profile, signature);
  if (index < 0) return kTagNotFound;
  if (!destination) return kOk;
  uint32_t size = profile->tags[index].size;
  if (offset >= size || !RangeFits(offset, *length, size)) return kTagOutsideProfile;
  const uint8_t* data = GetTagData(profile, signature);
  if (!data) return kTagNotFound;
  CopyBytes(data + offset, destination, *length);
  return kOk;
}

Status LoadTag(IccProfile* profile, uint32_t index) {
  if (!profile) return kBadArgument;
  uint32_t limit = TagLimit(profile);
  if (index >= limit) return kIndexOutOfRange;
  if (profile->loaded[index]) return kOk;
  const TagEntry entry = profile->tags[index];

  MemFile* opened = nullptr;
  Status status = MemFileOpen(profile->FileReference, kFileModeRead, &opened);
  if (status) return status;
  MemFilePtr file(opened);
  MemFileUnbuffered(file.get());
  // A tag reaching beyond the end cannot be read whole; saying so before the
  // block is allocated keeps a corrupt size from asking for gigabytes. A tag
  // inside the declared size needs no asking: the opening found the file no
  // shorter than that (and a file cut since then reads short all the same).
  if (!RangeFits(entry.offset, entry.size, profile->header.size)) {
    uint32_t file_size = 0;
    status = MemFileSize(file.get(), &file_size);
    if (status) return status;
    if (!RangeFits(entry.offset, entry.size, file_size)) return kShortRead;
  }

  MemPtr<uint8_t> block(static_cast<uint8_t*>(MemAlloc(entry.size ? entry.size : 1)));
  if (!block) return kOutOfMemory;
  status = MemFileSeek(file.get(), entry.offset, true);
  if (!status) status = ReadExactly(file.get(), block.get(), entry.size);
  if (status) return status;
  ConvertTagToHost(profile, index, block.get());

  // Entries of the same offset and size share the block. One of another size
  // gets its own, so every block holds what its entry's directory size promises.
  uint8_t* shared = block.release();
  for (uint32_t j = 0; j < limit; ++j) {
    const TagEntry& other = profile->tags[j];
    if (j == index || (!profile->loaded[j] && other.offset == entry.offset && other.size == entry.size)) {
      profile->loaded[j] = shared;
    }
  }
  return kOk;
}

Status ConvertTagToHost(const IccProfile* profile, uint32_t index, uint8_t* block) {
  if (!profile || !block || index >= TagLimit(profile)) return kOk;
  ByteSwapper s(block, profile->tags[index].size);
  uint32_t type = s.Swap32();
  if (s.failed()) return kOk;
  // Tag types of ICC.1:2001-04 section 6.5; each converts as far as its block reaches.
  switch (type) {
    case Signature("XYZ "):
      s.Seek(8);
      s.Swap32s(s.remaining() / 12 * 3);
      break;
    case Signature("bfd "):
      ConvertBfd(s);
      break;
    case Signature("curv"):
      s.Seek(8);
      s.Swap16s(s.Swap32());
      break;
    case Signature("data"):
    case Signature("sig "):
      s.Seek(8);
      s.Swap32();
      break;
    case Signature("desc"):
      ConvertDescFields(s, 0);
      break;
    case Signature("dtim"):
      s.Seek(8);
      s.Swap16s(6);
      break;
    case Signature("meas"):  // observer, backing XYZ, geometry, flare, illuminant
    case Signature("view"):  // illuminant XYZ, surround XYZ, illuminant type
      s.Seek(8);
      s.Swap32s(7);
      break;
    case Signature("mft1"):
      s.Seek(12);
      s.Swap32s(9);
      break;
    case Signature("mft2"):
      ConvertMft2(s, block);
      break;
    case Signature("ncl2"):
      ConvertNcl2(s);
      break;
    case Signature("ncol"):
      s.Seek(8);
      s.Swap32s(2);
      break;
    case Signature("pseq"):
      ConvertPseq(s);
      break;
    case Signature("scrn"):
      s.Seek(12);  // the flags at 8 stay as stored
      s.Swap32s(SaturatingMul(s.Swap32(), 3));
      break;
    case Signature("sf32"):
      s.Seek(8);
      s.Swap32s(s.remaining() / 4);
      break;
    default:
      // text and unknown types (vcgt among them) stay as stored; their readers
      // convert what they use.
      break;
  }
  return kOk;
}

}  // namespace lumetra
