// ICC profile reading (ICC.1, version 2 layout): the header check, the tag
// directory, and single tags loaded on demand with their numeric fields in host
// order. Profiles come from a path or a memory descriptor (file_access.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/support/byte_order.h"
#include "framework/support/status.h"

namespace lumetra {

constexpr uint32_t MaxProfileTags = 100;
constexpr size_t kIccHeaderSize = 128;
constexpr size_t kFileReferenceSize = 1024;

struct IccDateTime {
  uint16_t year, month, day, hours, minutes, seconds;
};

struct IccXYZNumber {
  int32_t x, y, z;  // s15Fixed16Number
};

// The 128-byte header (ICC.1:2010 section 7.2), in host order.
struct IccHeader {
  uint32_t size;              // declared profile size in bytes
  uint32_t cmm_type;
  uint32_t version;
  uint32_t device_class;      // e.g. Signature("mntr")
  uint32_t color_space;       // colour space of the data
  uint32_t connection_space;  // profile connection space
  IccDateTime created;
  uint32_t file_signature;    // Signature("acsp")
  uint32_t platform;
  uint32_t flags;
  uint32_t manufacturer;
  uint32_t model;
  uint64_t attributes;        // the 8 bytes read as one big-endian number
  uint32_t rendering_intent;
  IccXYZNumber illuminant;
  uint32_t creator;
  uint8_t reserved[44];       // left as stored
};
static_assert(sizeof(IccHeader) == kIccHeaderSize, "the header is 128 bytes");

struct TagEntry {
  uint32_t signature;
  uint32_t offset;  // from the start of the file
  uint32_t size;
};

// An opened profile: one fixed block, owned by whoever opened it.
struct IccProfile {
  // The path (NUL-terminated) or memory descriptor the profile was opened from;
  // kept because every tag is read by opening the source again.
  uint8_t FileReference[kFileReferenceSize];
  uint32_t tag_count;  // valid directory entries, at most MaxProfileTags
  IccHeader header;
  TagEntry tags[MaxProfileTags];
  // Loaded tag data in host order, or null. Entries with equal offset and size
  // share one block.
  uint8_t* loaded[MaxProfileTags];
};

// Opens and checks a profile from a source of file_access.h (a path or a
// MemFile descriptor). On success the caller owns *profile and passes it to
// CloseProfile; on failure *profile is null. Codes: 20003, 5001, 5010, 5012,
// 5013, 21002, 3002, 3003, 3005. A file declaring more than MaxProfileTags tags
// keeps the first MaxProfileTags; its whole declared directory must still lie
// inside the file (else 3003).
Status OpenProfile(IccProfile** profile, const void* file_reference);
Status CloseProfile(IccProfile* profile);  // null is accepted; always 0

// The lowest directory index with this signature, or -1.
int32_t FindTagIndex(const IccProfile* profile, uint32_t signature);
// 2001 when profile or present is null; otherwise 0, with *present telling.
Status HasTag(const IccProfile* profile, uint32_t signature, bool* present);
// The tag's data in host order, loaded on first use; null when the tag is
// absent or cannot be loaded. Holds GetTagSize(profile, signature) bytes and
// stays valid until CloseProfile.
const uint8_t* GetTagData(IccProfile* profile, uint32_t signature);
// Directory size of the first entry with this signature; 0 when absent.
uint32_t GetTagSize(const IccProfile* profile, uint32_t signature);
// Copies *length bytes from `offset` into the loaded tag. Codes: 2001 (no
// profile or length), 5005 (absent or not loadable), 5015 (outside the tag);
// a null destination only tests for presence and returns 0.
Status ReadTagBytes(IccProfile* profile, uint32_t signature, uint32_t offset,
                    const uint32_t* length, void* destination);

// Internal steps, exposed for the readers' tests. LoadTag reads directory entry
// `index` (3003 when the tag reaches beyond the end of the source).
// ConvertTagToHost converts a freshly read block of the entry's size in place;
// fields that would reach beyond the block are left alone.
Status LoadTag(IccProfile* profile, uint32_t index);
Status ConvertTagToHost(const IccProfile* profile, uint32_t index, uint8_t* block);
// Converts the 128 stored header bytes into `header`.
void ConvertHeaderToHost(const uint8_t* raw, IccHeader* header);

}  // namespace lumetra
