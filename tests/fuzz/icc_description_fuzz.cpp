// The description of a profile: the input is the `desc` tag's bytes (a
// textDescriptionType or a multiLocalizedUnicodeType) inside a valid profile.
#include <cstdint>
#include <cstring>
#include <vector>

#include "icc/description.h"
#include "icc/profile.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/tag_profile.h"

using namespace lumetra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::TagProfile opened(Signature("desc"), data, size);
  IccProfile* profile = opened.get();
  if (!profile) return 0;

  char buffer[kDescriptionBufferSize];
  std::memset(buffer, 0x55, sizeof buffer);
  Status status = GetProfileDescription(profile, buffer);
  fuzz::Require(std::memchr(buffer, '\0', sizeof buffer) != nullptr, "the description is terminated");
  fuzz::Require(status == kOk || buffer[0] == '\0', "a failure leaves the empty string");
  return 0;
}
