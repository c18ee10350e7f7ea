// A profile opened around one tag's bytes for the ICC fuzz targets, closed
// when it goes out of scope; null when the bytes make no profile.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/support/file_access.h"
#include "icc/profile.h"
#include "tests/fuzz/fuzz_support.h"

namespace lumetra::fuzz {

class TagProfile {
 public:
  TagProfile(uint32_t signature, const uint8_t* data, size_t size)
      : bytes_(ProfileAroundTag(signature, data, size)) {
    if (MemFileInit(&source_, bytes_.data(), bytes_.size()) == kOk) OpenProfile(&profile_, &source_);
  }
  ~TagProfile() { CloseProfile(profile_); }
  TagProfile(const TagProfile&) = delete;
  TagProfile& operator=(const TagProfile&) = delete;

  IccProfile* get() const { return profile_; }

 private:
  std::vector<uint8_t> bytes_;
  MemFile source_{};
  IccProfile* profile_ = nullptr;
};

}  // namespace lumetra::fuzz
