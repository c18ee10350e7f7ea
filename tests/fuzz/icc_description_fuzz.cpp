// The description of a profile: the input is the `desc` tag's bytes (a
// textDescriptionType or a multiLocalizedUnicodeType) inside a valid profile.
#include <cstdint>
#include <cstring>
#include <vector>

#include "framework/support/file_access.h"
#include "icc/description.h"
#include "icc/profile.h"
#include "tests/fuzz/fuzz_support.h"

using namespace lumetra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes = fuzz::ProfileAroundTag(Signature("desc"), data, size);
  MemFile source;
  if (MemFileInit(&source, bytes.data(), bytes.size()) != kOk) return 0;
  IccProfile* profile = nullptr;
  if (OpenProfile(&profile, &source) != kOk) return 0;

  char buffer[kDescriptionBufferSize];
  std::memset(buffer, 0x55, sizeof buffer);
  Status status = GetProfileDescription(profile, buffer);
  fuzz::Require(std::memchr(buffer, '\0', sizeof buffer) != nullptr, "the description is terminated");
  fuzz::Require(status == kOk || buffer[0] == '\0', "a failure leaves the empty string");
  CloseProfile(profile);
  return 0;
}
