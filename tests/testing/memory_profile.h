// An ICC profile opened from bytes in memory (a MemFile source), for tests of
// the readers above the profile layer; closed when it goes out of scope.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/support/file_access.h"
#include "icc/profile.h"
#include "tests/testing/icc_builder.h"

namespace lumetra::testing {

class MemoryProfile {
 public:
  explicit MemoryProfile(const IccBuilder& builder) : bytes_(builder.Build()) {
    if (MemFileInit(&source_, bytes_.data(), bytes_.size()) == kOk) {
      status_ = OpenProfile(&profile_, &source_);
    }
  }
  ~MemoryProfile() { CloseProfile(profile_); }
  MemoryProfile(const MemoryProfile&) = delete;
  MemoryProfile& operator=(const MemoryProfile&) = delete;

  IccProfile* get() const { return profile_; }
  Status status() const { return status_; }

 private:
  std::vector<uint8_t> bytes_;
  MemFile source_{};
  IccProfile* profile_ = nullptr;
  Status status_ = kBadArgument;
};

// A profile holding one tag.
inline IccBuilder ProfileWithTag(const char (&signature)[5], const std::vector<uint8_t>& data) {
  IccBuilder builder;
  builder.AddTag(Signature(signature), data);
  return builder;
}

}  // namespace lumetra::testing
