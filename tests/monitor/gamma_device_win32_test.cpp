// The gamma ramp and video card gamma tables against the real display devices
// of the test bed. Its X server keeps 8 bits per entry: a word v reads back as
// (v >> 8) * 257.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "icc/profile.h"
#include "icc/video_card_gamma.h"
#include "monitor/gamma_ramp.h"
#include "tests/testing/icc_builder.h"
#include "tests/testing/memory_profile.h"
#include "tests/testing/paths.h"

namespace lumetra {
namespace {

using testing::MemoryProfile;
using testing::ProfileWithTag;
using testing::VcgtTableTagData;

uint16_t AtServerPrecision(uint16_t v) { return static_cast<uint16_t>((v >> 8) * 257); }

// Leaves both screens with the identity ramp, whatever a test loaded.
class RealGammaDevice : public ::testing::Test {
 protected:
  void TearDown() override {
    GammaRampPtr identity(CreateGammaRamp());
    ASSERT_NE(identity, nullptr);
    for (int32_t screen : {0, 1}) EXPECT_EQ(LoadGammaRamp(identity.get(), screen), kOk);
  }

  static std::vector<uint16_t> ReadBack(int32_t screen) {
    GammaRampPtr ramp(CreateGammaRamp());
    std::vector<uint16_t> words;
    if (!ramp || ReadGammaRamp(ramp.get(), screen) != kOk) return words;
    words.assign(&ramp->table[0][0], &ramp->table[0][0] + 768);
    return words;
  }
};

TEST_F(RealGammaDevice, LoadedRampsReadBackAtTheServersPrecision) {
  GammaRampPtr ramp(CreateGammaRamp());
  ASSERT_NE(ramp, nullptr);
  for (int c = 0; c < 3; ++c) {
    for (int i = 0; i < 256; ++i) SetGammaRampEntry(ramp.get(), c, i, i * (240 + 5 * c) + 7);
  }
  for (int32_t screen : {0, 1}) {
    ASSERT_EQ(LoadGammaRamp(ramp.get(), screen), kOk) << screen;
    std::vector<uint16_t> back = ReadBack(screen);
    ASSERT_EQ(back.size(), 768u);
    for (int w = 0; w < 768; ++w) {
      ASSERT_EQ(back[w], AtServerPrecision(ramp->table[w / 256][w % 256])) << "screen " << screen << " word " << w;
    }
  }
}

TEST_F(RealGammaDevice, ScreensOutOfRangeHaveNoDevice) {
  GammaRampPtr ramp(CreateGammaRamp());
  ASSERT_NE(ramp, nullptr);
  EXPECT_EQ(LoadGammaRamp(ramp.get(), 2), -static_cast<Status>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(ReadGammaRamp(ramp.get(), -1), -static_cast<Status>(ERROR_INVALID_HANDLE));
}

TEST_F(RealGammaDevice, TheGammaTableOfARealProfileReachesTheCard) {
  std::string path = testing::SystemPath("/usr/share/color/icc/colord/Gamma5000K.icc");
  IccProfile* profile = nullptr;
  ASSERT_EQ(OpenProfile(&profile, path.c_str()), kOk);
  ASSERT_EQ(ApplyVideoCardGamma(profile, 0), kOk);

  const uint8_t* tag = GetTagData(profile, Signature("vcgt"));
  ASSERT_NE(tag, nullptr);
  ASSERT_GE(GetTagSize(profile, Signature("vcgt")), 18u + 1536u);
  std::vector<uint16_t> back = ReadBack(0);
  ASSERT_EQ(back.size(), 768u);
  for (int w = 0; w < 768; ++w) {
    ASSERT_EQ(back[w], AtServerPrecision(LoadBE16(tag + 18 + 2 * w))) << "word " << w;
  }
  CloseProfile(profile);
}

TEST_F(RealGammaDevice, OneByteTablesReachTheCard) {
  std::vector<uint16_t> bytes;
  for (int c = 0; c < 3; ++c) {
    for (int j = 0; j < 256; ++j) bytes.push_back(static_cast<uint16_t>(j * (200 + 25 * c) / 255));
  }
  bytes[128] = 0x80;
  MemoryProfile profile(ProfileWithTag("vcgt", VcgtTableTagData(3, 256, 1, bytes)));
  ASSERT_EQ(ApplyVideoCardGamma(profile.get(), 1), kOk);
  std::vector<uint16_t> back = ReadBack(1);
  ASSERT_EQ(back.size(), 768u);
  EXPECT_EQ(back[128], AtServerPrecision(0x8000));
  for (int w = 0; w < 768; ++w) ASSERT_EQ(back[w], AtServerPrecision(bytes[w] << 8)) << "word " << w;
}

TEST_F(RealGammaDevice, ARefusedTableLeavesThePreviousRamp) {
  std::vector<uint16_t> previous;
  for (int w = 0; w < 768; ++w) previous.push_back(AtServerPrecision(static_cast<uint16_t>((w % 256) * 250)));
  MemoryProfile accepted(ProfileWithTag("vcgt", VcgtTableTagData(3, 256, 2, previous)));
  ASSERT_EQ(ApplyVideoCardGamma(accepted.get(), 0), kOk);

  // A black point raised to about 8 %: the server refuses it without a reason.
  std::vector<uint16_t> raised;
  for (int w = 0; w < 768; ++w) raised.push_back(static_cast<uint16_t>(5243 + (w % 256) * 236));
  MemoryProfile refused(ProfileWithTag("vcgt", VcgtTableTagData(3, 256, 2, raised)));
  EXPECT_EQ(ApplyVideoCardGamma(refused.get(), 0), kSystemCallFailed);
  EXPECT_EQ(ReadBack(0), previous);
}

}  // namespace
}  // namespace lumetra
