// The video card gamma table: the input is the `vcgt` tag's bytes inside a
// valid profile, loaded into a test graphics card. A load that succeeds must
// have put the stored table into the card unchanged (1-byte entries in the
// high byte); any failure must leave the card untouched.
#include <cstdint>
#include <cstring>
#include <vector>

#include "icc/profile.h"
#include "icc/video_card_gamma.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/tag_profile.h"
#include "tests/testing/fake_gamma_device.h"

using namespace lumetra;

namespace {

uint16_t StoredEntry(const uint8_t* tag, uint16_t entry_size, size_t index) {
  const uint8_t* p = tag + 18 + index * entry_size;
  return entry_size == 2 ? static_cast<uint16_t>(p[0] << 8 | p[1]) : static_cast<uint16_t>(p[0] << 8);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::TagProfile opened(Signature("vcgt"), data, size);
  IccProfile* profile = opened.get();
  if (!profile) return 0;

  testing::FakeGammaDevice card;
  uint16_t before[testing::FakeGammaDevice::kWords];
  std::memcpy(before, card.tables[0], sizeof before);
  Status status = ApplyVideoCardGamma(profile, 0);
  if (status == kOk) {
    uint16_t entry_size = static_cast<uint16_t>(data[16] << 8 | data[17]);
    for (size_t i = 0; i < testing::FakeGammaDevice::kWords; ++i) {
      fuzz::Require(card.tables[0][i] == StoredEntry(data, entry_size, i), "the card holds the stored table");
    }
  } else {
    fuzz::Require(card.set_calls == 0, "a refused table never reaches the card");
    fuzz::Require(std::memcmp(before, card.tables[0], sizeof before) == 0, "the card is untouched");
  }
  return 0;
}
