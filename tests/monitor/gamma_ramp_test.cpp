#include "monitor/gamma_ramp.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/testing/fake_gamma_device.h"

namespace lumetra {
namespace {

using testing::FakeGammaDevice;

TEST(GammaRamp, ANewRampIsTheIdentity) {
  GammaRampPtr ramp(CreateGammaRamp());
  ASSERT_NE(ramp, nullptr);
  EXPECT_EQ(GammaRampCount(ramp.get()), 256u);
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(GammaRampEntry(ramp.get(), c, 0), 0) << "channel " << c;
    EXPECT_EQ(GammaRampEntry(ramp.get(), c, 1), 256) << "channel " << c;
    EXPECT_EQ(GammaRampEntry(ramp.get(), c, 255), 65280) << "channel " << c;
  }
  // The channel table starts at byte 4: red, then green, then blue.
  const auto* bytes = reinterpret_cast<const uint8_t*>(ramp.get());
  uint16_t green_1 = 0;
  std::memcpy(&green_1, bytes + 4 + 2 * (256 + 1), 2);
  EXPECT_EQ(green_1, 256);
}

TEST(GammaRamp, EntriesOutsideTheRampAreIgnored) {
  GammaRampPtr ramp(CreateGammaRamp());
  ASSERT_NE(ramp, nullptr);
  GammaRamp before = *ramp;
  SetGammaRampEntry(ramp.get(), 3, 0, 1);
  SetGammaRampEntry(ramp.get(), -1, 0, 1);
  SetGammaRampEntry(ramp.get(), 0, -1, 1);
  SetGammaRampEntry(ramp.get(), 2, 256, 1);
  SetGammaRampEntry(nullptr, 0, 0, 1);
  EXPECT_EQ(std::memcmp(&before, ramp.get(), sizeof(GammaRamp)), 0);

  SetGammaRampEntry(ramp.get(), 1, 7, 0x12345u);
  EXPECT_EQ(GammaRampEntry(ramp.get(), 1, 7), 0x2345) << "only the low 16 bits are kept";
  SetGammaRampEntry(ramp.get(), 2, 255, 65535);
  EXPECT_EQ(GammaRampEntry(ramp.get(), 2, 255), 65535);

  // A count lowered by hand narrows the ramp; a raised one never widens it.
  ramp->count = 10;
  SetGammaRampEntry(ramp.get(), 0, 10, 1);
  EXPECT_EQ(ramp->table[0][10], 10 * 256);
  EXPECT_EQ(GammaRampEntry(ramp.get(), 0, 10), 0);
  ramp->count = 1000;
  SetGammaRampEntry(ramp.get(), 0, 256, 1);  // would land in the next channel
  EXPECT_EQ(ramp->table[1][0], 0);
  EXPECT_EQ(GammaRampCount(nullptr), 0u);
}

TEST(GammaRamp, LoadAndReadGoThroughTheScreensDevice) {
  FakeGammaDevice card;
  GammaRampPtr ramp(CreateGammaRamp());
  ASSERT_NE(ramp, nullptr);
  SetGammaRampEntry(ramp.get(), 2, 100, 4242);
  EXPECT_EQ(LoadGammaRamp(ramp.get(), 1), kOk);
  EXPECT_EQ(card.tables[1][2 * 256 + 100], 4242);
  EXPECT_EQ(card.tables[0][2 * 256 + 100], 100 * 256) << "screen 0 untouched";

  GammaRampPtr back(CreateGammaRamp());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(ReadGammaRamp(back.get(), 1), kOk);
  EXPECT_EQ(std::memcmp(back.get(), ramp.get(), sizeof(GammaRamp)), 0);

  EXPECT_EQ(LoadGammaRamp(nullptr, 0), kMissingObject);
  EXPECT_EQ(ReadGammaRamp(nullptr, 0), kMissingObject);
  EXPECT_EQ(card.set_calls, 1) << "no device call for an absent ramp";
}

TEST(GammaRamp, ARefusedRampTheCardAlreadyHoldsCountsAsLoaded) {
  FakeGammaDevice card;
  GammaRampPtr ramp(CreateGammaRamp());
  ASSERT_NE(ramp, nullptr);
  SetGammaRampEntry(ramp.get(), 0, 0, 3000);  // a raised black point
  ASSERT_EQ(LoadGammaRamp(ramp.get(), 0), kOk);

  card.refuse_sets = true;
  EXPECT_EQ(LoadGammaRamp(ramp.get(), 0), kOk) << "the card holds exactly these values";
  EXPECT_EQ(card.get_calls, 1) << "the held table was read back to compare";

  card.refusal_error = 87;
  SetGammaRampEntry(ramp.get(), 0, 0, 3001);
  EXPECT_EQ(LoadGammaRamp(ramp.get(), 0), -87) << "a different ramp keeps the refusal";
  EXPECT_EQ(card.tables[0][0], 3000) << "the previous ramp stays in the card";

  card.refusal_error = 0;
  EXPECT_EQ(LoadGammaRamp(ramp.get(), 0), kSystemCallFailed) << "a refusal without a reason";

  // A count that differs is a different record, even with the same table.
  SetGammaRampEntry(ramp.get(), 0, 0, 3000);
  ramp->count = 255;
  EXPECT_NE(LoadGammaRamp(ramp.get(), 0), kOk);
}

TEST(GammaRamp, ARefusedRampIsAFailureWhenTheCardCannotBeRead) {
  FakeGammaDevice card;
  GammaRampPtr ramp(CreateGammaRamp());  // what the card holds now
  ASSERT_NE(ramp, nullptr);
  card.refuse_sets = true;
  card.refuse_gets = true;
  card.refusal_error = 5;
  EXPECT_EQ(LoadGammaRamp(ramp.get(), 0), -5);
  EXPECT_EQ(ReadGammaRamp(ramp.get(), 0), -5);
}

}  // namespace
}  // namespace lumetra
