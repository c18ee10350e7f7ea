// The loader's decoding of the video card gamma table: the input is the
// `vcgt` tag's bytes inside a valid profile. A refused tag must leave the ramp
// as it was; every table the dialog loads too must come out as the dialog
// loads it.
#include <cstdint>
#include <cstring>
#include <vector>

#include "icc/calibration_curves.h"
#include "icc/profile.h"
#include "icc/video_card_gamma.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/tag_profile.h"
#include "tests/testing/fake_gamma_device.h"

using namespace lumetra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::TagProfile opened(Signature("vcgt"), data, size);
  IccProfile* profile = opened.get();
  if (!profile) return 0;

  GammaRamp ramp;
  std::memset(&ramp, 0xA5, sizeof ramp);
  Status status = DecodeProfileCalibration(profile, &ramp);
  if (status == kOk) {
    fuzz::Require(ramp.count == kGammaRampEntries, "a decoded ramp has 256 entries");
    testing::FakeGammaDevice card;
    if (ApplyVideoCardGamma(profile, 0) == kOk) {
      fuzz::Require(std::memcmp(card.tables[0], ramp.table, sizeof ramp.table) == 0,
                    "both decodings give the same ramp");
    }
  } else {
    fuzz::Require(status == kNotAvailable, "a refusal is 20005");
    const uint8_t* raw = reinterpret_cast<const uint8_t*>(&ramp);
    for (size_t i = 0; i < sizeof ramp; ++i) fuzz::Require(raw[i] == 0xA5, "a refused tag leaves the ramp alone");
  }
  return 0;
}
