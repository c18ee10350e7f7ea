// Helpers shared by the fuzz targets: a private scratch folder for parsers that
// read files by name, a check that stops the run when a result breaks a rule
// the parser promises, and an ICC profile wrapped around one tag's bytes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "framework/support/byte_order.h"

namespace lumetra::fuzz {

// Aborts, which libFuzzer records as a crash and the replay test as a failure.
inline void Require(bool condition, const char* rule) {
  if (condition) return;
  std::fprintf(stderr, "broken rule: %s\n", rule);
  std::abort();
}

// A folder of this process's own, removed when the process ends.
inline std::string ScratchDir() {
  static char dir[512] = "";  // plain storage: still there when the exit handler runs
  if (!dir[0]) {
    auto path = std::filesystem::temp_directory_path() /
                ("lumetra-fuzz-" + std::to_string(static_cast<long>(getpid())));
    std::filesystem::create_directories(path);
    std::snprintf(dir, sizeof dir, "%s", path.c_str());
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(dir, ignored);
    });
  }
  return dir;
}

inline void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  Require(file != nullptr, "the scratch file can be written");
  if (size) std::fwrite(data, 1, size, file);
  std::fclose(file);
}

// A valid 128-byte header (ICC.1:2010 section 7.2), a directory of one entry
// and the tag's bytes, so the fuzzer spends its time inside the tag.
inline std::vector<uint8_t> ProfileAroundTag(uint32_t signature, const uint8_t* data, size_t size) {
  constexpr size_t kTagOffset = 128 + 4 + 12;
  std::vector<uint8_t> bytes(kTagOffset + size);
  auto put32 = [&](size_t at, uint32_t v) {
    bytes[at] = static_cast<uint8_t>(v >> 24);
    bytes[at + 1] = static_cast<uint8_t>(v >> 16);
    bytes[at + 2] = static_cast<uint8_t>(v >> 8);
    bytes[at + 3] = static_cast<uint8_t>(v);
  };
  put32(0, static_cast<uint32_t>(bytes.size()));
  put32(8, 0x02100000);
  put32(12, Signature("mntr"));
  put32(16, Signature("RGB "));
  put32(20, Signature("XYZ "));
  put32(36, Signature("acsp"));
  put32(128, 1);
  put32(132, signature);
  put32(136, static_cast<uint32_t>(kTagOffset));
  put32(140, static_cast<uint32_t>(size));
  if (size) std::memcpy(bytes.data() + kTagOffset, data, size);
  return bytes;
}

}  // namespace lumetra::fuzz
