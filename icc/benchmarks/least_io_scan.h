// The floor of a profile scan: the least file work that lists one profile by
// its description and tells whether it has a `vcgt` tag, with the same C
// streams the profile reader uses. Open, read the header, the tag count and
// the directory in one read, close; open again, seek to the description tag,
// read it, close. The streams are unbuffered, so that each of these is one
// call into the system and no more. No checks beyond what keeps it inside its
// buffers. Shared by the host benchmark and the floor program under Wine, so
// both sides measure the same thing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace lumetra::bench {

inline uint32_t LoadBig32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

struct LeastIoResult {
  char description[256];  // ASCII text, or the low bytes of the first Unicode record
  bool has_vcgt;
};

// False when the file does not open or is too short for its own directory.
inline bool LeastIoScan(const char* path, LeastIoResult* result) {
  constexpr uint32_t kMaxTags = 100;
  result->description[0] = '\0';
  result->has_vcgt = false;

  std::FILE* file = std::fopen(path, "rb");
  if (!file) return false;
  std::setvbuf(file, nullptr, _IONBF, 0);
  uint8_t head[132 + 12 * kMaxTags];  // header, tag count, directory
  size_t got = std::fread(head, 1, sizeof head, file);
  std::fclose(file);
  if (got < 132) return false;
  uint32_t count = LoadBig32(head + 128);
  if (count > kMaxTags) count = kMaxTags;
  if (got < 132 + 12 * size_t{count}) return false;
  const uint8_t* directory = head + 132;

  uint32_t desc_offset = 0, desc_size = 0;
  bool has_desc = false;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t signature = LoadBig32(directory + 12 * i);
    if (signature == 0x76636774u) result->has_vcgt = true;  // vcgt
    if (signature == 0x64657363u && !has_desc) {            // desc
      has_desc = true;
      desc_offset = LoadBig32(directory + 12 * i + 4);
      desc_size = LoadBig32(directory + 12 * i + 8);
    }
  }
  if (!has_desc || desc_size < 12 || desc_size > 65536) return true;

  uint8_t tag[65536];
  file = std::fopen(path, "rb");
  if (!file) return true;
  std::setvbuf(file, nullptr, _IONBF, 0);
  bool read = std::fseek(file, static_cast<long>(desc_offset), SEEK_SET) == 0 &&
              std::fread(tag, 1, desc_size, file) == desc_size;
  std::fclose(file);
  if (!read) return true;

  size_t length = 0;
  if (LoadBig32(tag) == 0x64657363u) {  // textDescriptionType: ASCII count at 8, text from 12
    uint32_t ascii = LoadBig32(tag + 8);
    length = ascii < 255 ? ascii : 255;
    if (length > desc_size - 12) length = desc_size - 12;
    std::memcpy(result->description, tag + 12, length);
  } else if (LoadBig32(tag) == 0x6D6C7563u && desc_size >= 28) {  // mluc: the first record
    uint32_t bytes = LoadBig32(tag + 20), at = LoadBig32(tag + 24);
    for (uint32_t i = 0; i + 1 < bytes && length < 255 && at + i + 1 < desc_size; i += 2) {
      result->description[length++] = static_cast<char>(tag[at + i + 1]);
    }
  }
  result->description[length] = '\0';
  return true;
}

}  // namespace lumetra::bench
