// Whole ICC profiles from memory: the header check and tag directory, then
// every listed tag loaded and converted, read back through the tag accessors.
#include <cstdint>

#include "framework/support/file_access.h"
#include "icc/profile.h"
#include "tests/fuzz/fuzz_support.h"

using namespace lumetra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemFile source;
  if (MemFileInit(&source, data, size) != kOk) return 0;
  IccProfile* profile = nullptr;
  Status status = OpenProfile(&profile, &source);
  fuzz::Require((status == kOk) == (profile != nullptr), "a profile exactly when opened");
  if (!profile) return 0;
  fuzz::Require(profile->tag_count <= MaxProfileTags, "the directory keeps at most MaxProfileTags");

  for (uint32_t i = 0; i < profile->tag_count; ++i) LoadTag(profile, i);
  volatile uint8_t sink = 0;
  for (uint32_t i = 0; i < profile->tag_count; ++i) {
    uint32_t signature = profile->tags[i].signature;
    const uint8_t* tag = GetTagData(profile, signature);
    uint32_t tag_size = GetTagSize(profile, signature);
    // A loaded block holds every byte its directory entry promises.
    if (tag) {
      for (uint32_t j = 0; j < tag_size; ++j) sink = sink + tag[j];
    }
    uint8_t bytes[16];
    const uint32_t length = sizeof bytes;
    ReadTagBytes(profile, signature, tag_size > length ? tag_size - length : 0, &length, bytes);
  }
  CloseProfile(profile);
  return 0;
}
