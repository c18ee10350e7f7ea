#include "icc/video_card_gamma.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/testing/fake_gamma_device.h"
#include "tests/testing/icc_builder.h"
#include "tests/testing/memory_profile.h"

namespace lumetra {
namespace {

using testing::FakeGammaDevice;
using testing::MemoryProfile;
using testing::ProfileWithTag;
using testing::VcgtTableTagData;

// A table whose every entry differs: channel c, entry j.
std::vector<uint16_t> DistinctTable(uint16_t entry_size) {
  std::vector<uint16_t> values;
  for (int c = 0; c < 3; ++c) {
    for (int j = 0; j < 256; ++j) {
      values.push_back(entry_size == 1 ? static_cast<uint16_t>((j + 17 * c) & 0xFF)
                                       : static_cast<uint16_t>(j * 251 + c * 7 + 1));
    }
  }
  return values;
}

Status Apply(const std::vector<uint8_t>& vcgt, int32_t screen = 0) {
  MemoryProfile profile(ProfileWithTag("vcgt", vcgt));
  EXPECT_EQ(profile.status(), kOk);
  return ApplyVideoCardGamma(profile.get(), screen);
}

TEST(ApplyVideoCardGamma, TwoByteTablesLoadUnchanged) {
  FakeGammaDevice card;
  std::vector<uint16_t> values = DistinctTable(2);
  values[767] = 0xFFFF;
  ASSERT_EQ(Apply(VcgtTableTagData(3, 256, 2, values), 1), kOk);
  for (int i = 0; i < 768; ++i) ASSERT_EQ(card.tables[1][i], values[i]) << "word " << i;
  EXPECT_EQ(card.tables[1][767], 65535);
  EXPECT_EQ(card.tables[0][1], 256) << "other screens keep their ramp";
}

TEST(ApplyVideoCardGamma, OneByteEntriesFillTheHighByte) {
  FakeGammaDevice card;
  std::vector<uint16_t> values = DistinctTable(1);
  values[10] = 0x80;
  values[511] = 0xFF;
  ASSERT_EQ(Apply(VcgtTableTagData(3, 256, 1, values)), kOk);
  EXPECT_EQ(card.tables[0][10], 0x8000);
  EXPECT_EQ(card.tables[0][511], 0xFF00) << "not 0xFFFF";
  for (int i = 0; i < 768; ++i) ASSERT_EQ(card.tables[0][i], values[i] << 8) << "word " << i;
}

TEST(ApplyVideoCardGamma, WithoutATagNothingIsLoaded) {
  FakeGammaDevice card;
  testing::IccBuilder no_vcgt;
  no_vcgt.AddTag(Signature("desc"), testing::DescTagData("no table"));
  MemoryProfile profile(no_vcgt);
  EXPECT_EQ(ApplyVideoCardGamma(profile.get(), 0), kTagNotFound);
  EXPECT_EQ(ApplyVideoCardGamma(nullptr, 0), kMissingObject);
  EXPECT_EQ(card.set_calls, 0);
}

TEST(ApplyVideoCardGamma, FormsNotHandledGive20005AndLeaveTheCardAlone) {
  FakeGammaDevice card;
  std::vector<uint16_t> table = DistinctTable(2);
  std::vector<uint8_t> cut = VcgtTableTagData(3, 256, 2, table);
  cut.pop_back();
  testing::BigEndianBytes other_type;
  other_type.Sig("curv").U32(0).U32(0).U16(3).U16(256).U16(2);
  const struct {
    const char* what;
    std::vector<uint8_t> tag;
  } cases[] = {
      {"formula", testing::VcgtFormulaTagData({2.2, 2.2, 2.2}, {0, 0, 0}, {1, 1, 1})},
      {"1024 entries", VcgtTableTagData(3, 1024, 2, std::vector<uint16_t>(3 * 1024, 0x1234))},
      {"one channel", VcgtTableTagData(1, 256, 2, std::vector<uint16_t>(256, 0x1234))},
      {"4-byte entries", VcgtTableTagData(3, 256, 4, std::vector<uint16_t>(2 * 768, 0x1234))},
      {"table one byte short", cut},
      {"header only", VcgtTableTagData(3, 256, 2, {})},
      {"cut inside the header", testing::BigEndianBytes().Sig("vcgt").U32(0).U32(0).bytes()},
      {"another type under the signature", other_type.bytes()},
  };
  for (const auto& c : cases) EXPECT_EQ(Apply(c.tag), kNotAvailable) << c.what;
  EXPECT_EQ(card.set_calls, 0);

  // A tag listed in the directory whose data lie beyond the file.
  testing::IccBuilder unreadable;
  unreadable.AddRawEntry(Signature("vcgt"), 100000, 1554);
  MemoryProfile profile(unreadable);
  ASSERT_EQ(profile.status(), kOk);
  EXPECT_EQ(ApplyVideoCardGamma(profile.get(), 0), kNotAvailable);
  EXPECT_EQ(card.set_calls, 0);
}

TEST(ApplyVideoCardGamma, PassesOnTheCardsRefusal) {
  FakeGammaDevice card;
  std::vector<uint16_t> values = DistinctTable(2);
  std::vector<uint8_t> tag = VcgtTableTagData(3, 256, 2, values);
  card.refuse_sets = true;
  card.refusal_error = 87;
  EXPECT_EQ(Apply(tag), -87);
  card.refuse_sets = false;
  ASSERT_EQ(Apply(tag), kOk);
  card.refuse_sets = true;
  EXPECT_EQ(Apply(tag), kOk) << "the card already holds this table";
}

}  // namespace
}  // namespace lumetra
