#include "icc/calibration_curves.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "icc/video_card_gamma.h"
#include "tests/testing/fake_gamma_device.h"
#include "tests/testing/icc_builder.h"
#include "tests/testing/memory_profile.h"
#include "tests/testing/paths.h"

namespace lumetra {
namespace {

using testing::BigEndianBytes;
using testing::FakeGammaDevice;
using testing::MemoryProfile;
using testing::ProfileWithTag;
using testing::VcgtFormulaTagData;
using testing::VcgtTableTagData;

using Ramp = std::vector<uint16_t>;  // 768 words, red, green, blue

// A ramp record that starts out as a marker, to see whether a refusal left it alone.
struct MarkedRamp {
  MarkedRamp() {
    ramp.count = 256;
    for (int c = 0; c < 3; ++c)
      for (int i = 0; i < 256; ++i) ramp.table[c][i] = 0xABCD;
  }
  bool Untouched() const {
    for (int c = 0; c < 3; ++c)
      for (int i = 0; i < 256; ++i)
        if (ramp.table[c][i] != 0xABCD) return false;
    return true;
  }
  Ramp Words() const { return Ramp(&ramp.table[0][0], &ramp.table[0][0] + 768); }
  GammaRamp ramp;
};

Status Decode(const std::vector<uint8_t>& tag, MarkedRamp& out) {
  return DecodeVcgtTag(tag.data(), tag.size(), &out.ramp);
}

// What the dialog's own decoding loads for the same profile.
Ramp DialogRamp(IccProfile* profile) {
  FakeGammaDevice card;
  if (ApplyVideoCardGamma(profile, 0) != kOk) return {};
  return Ramp(card.tables[0], card.tables[0] + 768);
}

// A table whose every entry differs, for `channels` channels of `entries`.
std::vector<uint16_t> Distinct(int channels, int entries, uint16_t entry_size) {
  std::vector<uint16_t> values;
  for (int c = 0; c < channels; ++c)
    for (int j = 0; j < entries; ++j)
      values.push_back(entry_size == 1 ? static_cast<uint16_t>((j * 3 + 17 * c) & 0xFF)
                                       : static_cast<uint16_t>((j * 2503 + c * 7919 + 1) & 0xFFFF));
  return values;
}

// Resampling computed independently: entry i of the ramp at i * (n - 1) / 255
// of the table, linear between neighbours, rounded to nearest.
Ramp Resampled(const std::vector<uint16_t>& widened, int channels, int n) {
  Ramp out;
  for (int c = 0; c < 3; ++c) {
    const uint16_t* curve = widened.data() + (channels == 1 ? 0 : c) * n;
    for (int i = 0; i < 256; ++i) {
      double position = i * (n - 1) / 255.0;
      int below = static_cast<int>(std::floor(position));
      double fraction = position - below;
      double value = below + 1 < n ? curve[below] + (curve[below + 1] - curve[below]) * fraction : curve[below];
      out.push_back(static_cast<uint16_t>(std::lround(value)));
    }
  }
  return out;
}

double Stored(double v) { return std::lround(v * 65536.0) / 65536.0; }  // as s15Fixed16 keeps it

Ramp Formula(const double (&gamma)[3], const double (&low)[3], const double (&high)[3]) {
  Ramp out;
  for (int c = 0; c < 3; ++c)
    for (int i = 0; i < 256; ++i) {
      double g = Stored(gamma[c]), a = Stored(low[c]), b = Stored(high[c]);
      double v = std::lround(65535.0 * (a + (b - a) * std::pow(i / 255.0, g)));
      out.push_back(static_cast<uint16_t>(std::min(65535.0, std::max(0.0, v))));
    }
  return out;
}

TEST(DecodeVcgtTag, FullTablesComeOutAsTheDialogLoadsThem) {
  for (uint16_t entry_size : {2, 1}) {
    std::vector<uint16_t> values = Distinct(3, 256, entry_size);
    values[255] = entry_size == 2 ? 0xFFFF : 0xFF;
    MemoryProfile profile(ProfileWithTag("vcgt", VcgtTableTagData(3, 256, entry_size, values)));
    MarkedRamp decoded;
    ASSERT_EQ(DecodeProfileCalibration(profile.get(), &decoded.ramp), kOk) << entry_size << "-byte entries";
    EXPECT_EQ(decoded.Words(), DialogRamp(profile.get())) << entry_size << "-byte entries differ from the dialog";
    EXPECT_EQ(decoded.ramp.table[0][255], entry_size == 2 ? 0xFFFF : 0xFF00) << "widening by shifting";
  }
}

TEST(DecodeVcgtTag, OneChannelServesAllThree) {
  std::vector<uint16_t> curve = Distinct(1, 256, 2);
  MarkedRamp decoded;
  ASSERT_EQ(Decode(VcgtTableTagData(1, 256, 2, curve), decoded), kOk);
  for (int c = 0; c < 3; ++c)
    for (int i = 0; i < 256; ++i) ASSERT_EQ(decoded.ramp.table[c][i], curve[i]) << "channel " << c << ", " << i;

  std::vector<uint16_t> bytes = Distinct(1, 256, 1);
  ASSERT_EQ(Decode(VcgtTableTagData(1, 256, 1, bytes), decoded), kOk);
  EXPECT_EQ(decoded.ramp.table[2][100], bytes[100] << 8);
}

TEST(DecodeVcgtTag, OtherEntryCountsAreResampledLinearly) {
  for (int n : {1024, 16, 2, 255, 257}) {
    for (int channels : {3, 1}) {
      std::vector<uint16_t> values = Distinct(channels, n, 2);
      MarkedRamp decoded;
      ASSERT_EQ(Decode(VcgtTableTagData(channels, n, 2, values), decoded), kOk) << n << " entries";
      EXPECT_EQ(decoded.Words(), Resampled(values, channels, n)) << n << " entries, " << channels << " channels";
      EXPECT_EQ(decoded.ramp.table[0][0], values[0]) << "the ends are taken as stored";
      EXPECT_EQ(decoded.ramp.table[0][255], values[n - 1]);
    }
  }
  // Resampling works on the widened values: 1-byte entries first become v << 8.
  std::vector<uint16_t> bytes = Distinct(3, 16, 1);
  std::vector<uint16_t> widened;
  for (uint16_t b : bytes) widened.push_back(static_cast<uint16_t>(b << 8));
  MarkedRamp decoded;
  ASSERT_EQ(Decode(VcgtTableTagData(3, 16, 1, bytes), decoded), kOk);
  EXPECT_EQ(decoded.Words(), Resampled(widened, 3, 16));
}

TEST(DecodeVcgtTag, TheFormulaFormIsComputed) {
  {
    const double gamma[3] = {2.2, 2.2, 2.2}, low[3] = {0, 0, 0}, high[3] = {1, 1, 1};
    MarkedRamp decoded;
    ASSERT_EQ(Decode(VcgtFormulaTagData(gamma, low, high), decoded), kOk);
    EXPECT_EQ(decoded.Words(), Formula(gamma, low, high));
    EXPECT_EQ(decoded.ramp.table[1][0], 0);
    EXPECT_EQ(decoded.ramp.table[1][255], 65535);
  }
  {
    const double gamma[3] = {1.8, 1.0, 0.45}, low[3] = {0.05, 0.1, 0}, high[3] = {0.95, 0.8, 0.7};
    MarkedRamp decoded;
    ASSERT_EQ(Decode(VcgtFormulaTagData(gamma, low, high), decoded), kOk);
    EXPECT_EQ(decoded.Words(), Formula(gamma, low, high));
    EXPECT_EQ(decoded.ramp.table[0][0], std::lround(65535 * Stored(0.05)));
  }
  {
    // Levels outside 0..1 are clamped.
    const double gamma[3] = {1, 1, 1}, low[3] = {-0.25, -0.25, -0.25}, high[3] = {1.5, 1.5, 1.5};
    MarkedRamp decoded;
    ASSERT_EQ(Decode(VcgtFormulaTagData(gamma, low, high), decoded), kOk);
    EXPECT_EQ(decoded.ramp.table[0][0], 0);
    EXPECT_EQ(decoded.ramp.table[0][255], 65535);
    EXPECT_EQ(decoded.Words(), Formula(gamma, low, high));
  }
}

TEST(DecodeVcgtTag, FormsNotUnderstoodAreRefusedAndLoadNothing) {
  std::vector<uint8_t> short_table = VcgtTableTagData(3, 256, 2, Distinct(3, 256, 2));
  short_table.pop_back();
  std::vector<uint8_t> formula = VcgtFormulaTagData({2.2, 2.2, 2.2}, {0, 0, 0}, {1, 1, 1});
  std::vector<uint8_t> short_formula(formula.begin(), formula.end() - 1);
  const struct {
    const char* what;
    std::vector<uint8_t> tag;
  } cases[] = {
      {"gamma type 2", BigEndianBytes().Sig("vcgt").U32(0).U32(2).Zeros(40).bytes()},
      {"two channels", VcgtTableTagData(2, 256, 2, Distinct(2, 256, 2))},
      {"no channel", VcgtTableTagData(0, 256, 2, {})},
      {"four channels", VcgtTableTagData(4, 256, 2, Distinct(4, 256, 2))},
      {"one entry", VcgtTableTagData(3, 1, 2, {1, 2, 3})},
      {"no entry", VcgtTableTagData(3, 0, 2, {})},
      {"0-byte entries", VcgtTableTagData(3, 256, 0, {})},
      {"3-byte entries", BigEndianBytes().Sig("vcgt").U32(0).U32(0).U16(3).U16(256).U16(3).Zeros(2304).bytes()},
      {"4-byte entries", VcgtTableTagData(3, 256, 4, std::vector<uint16_t>(1536, 0x1234))},
      {"table one byte short", short_table},
      {"counts far beyond the tag", BigEndianBytes().Sig("vcgt").U32(0).U32(0).U16(3).U16(65535).U16(2).bytes()},
      {"cut inside the counts", BigEndianBytes().Sig("vcgt").U32(0).U32(0).U16(3).bytes()},
      {"no gamma type", BigEndianBytes().Sig("vcgt").U32(0).bytes()},
      {"formula one byte short", short_formula},
      {"formula gamma 0", VcgtFormulaTagData({2.2, 0, 2.2}, {0, 0, 0}, {1, 1, 1})},
      {"formula gamma negative", VcgtFormulaTagData({2.2, 2.2, -1}, {0, 0, 0}, {1, 1, 1})},
  };
  for (const auto& c : cases) {
    MarkedRamp decoded;
    EXPECT_EQ(Decode(c.tag, decoded), kNotAvailable) << c.what;
    EXPECT_TRUE(decoded.Untouched()) << c.what << ": a refused tag changed the ramp";
  }
  MarkedRamp decoded;
  EXPECT_EQ(DecodeVcgtTag(nullptr, 0, &decoded.ramp), kNotAvailable);
  EXPECT_EQ(DecodeVcgtTag(formula.data(), formula.size(), nullptr), kMissingObject);
}

TEST(DecodeProfileCalibration, AProfileWithoutATableAsksForNothing) {
  testing::IccBuilder plain;
  plain.AddTag(Signature("desc"), testing::DescTagData("plain"));
  MemoryProfile profile(plain);
  MarkedRamp decoded;
  EXPECT_EQ(DecodeProfileCalibration(profile.get(), &decoded.ramp), kTagNotFound);
  EXPECT_TRUE(decoded.Untouched());
  EXPECT_EQ(DecodeProfileCalibration(nullptr, &decoded.ramp), kMissingObject);
  EXPECT_EQ(DecodeProfileCalibration(profile.get(), nullptr), kMissingObject);

  // Listed, but of another type, or with data beyond the file.
  BigEndianBytes other_type;
  other_type.Sig("curv").U32(0).U32(0).U16(3).U16(256).U16(1).Zeros(768);
  MemoryProfile wrong(ProfileWithTag("vcgt", other_type.bytes()));
  EXPECT_EQ(DecodeProfileCalibration(wrong.get(), &decoded.ramp), kNotAvailable);
  testing::IccBuilder beyond;
  beyond.AddRawEntry(Signature("vcgt"), 100000, 1554);
  MemoryProfile unreadable(beyond);
  ASSERT_EQ(unreadable.status(), kOk);
  EXPECT_EQ(DecodeProfileCalibration(unreadable.get(), &decoded.ramp), kNotAvailable);
  EXPECT_TRUE(decoded.Untouched());
}

// Calibrations as a calibration package ships them, 3 x 256 x 16-bit tables.
TEST(DecodeProfileCalibration, RealCalibrationsComeOutAsTheDialogLoadsThem) {
  for (const char* name : {"Gamma5000K.icc", "Bluish.icc"}) {
    const std::string unix_path = std::string("/usr/share/color/icc/colord/") + name;
    ASSERT_TRUE(testing::UnixFileExists(unix_path)) << unix_path << " is missing: install colord-data";
    std::string path = testing::SystemPath(unix_path);
    char reference[kFileReferenceSize] = {};
    std::memcpy(reference, path.c_str(), path.size());
    IccProfile* profile = nullptr;
    ASSERT_EQ(OpenProfile(&profile, reference), kOk) << name;
    MarkedRamp decoded;
    EXPECT_EQ(DecodeProfileCalibration(profile, &decoded.ramp), kOk) << name;
    Ramp dialog = DialogRamp(profile);
    ASSERT_EQ(dialog.size(), 768u) << name << ": the dialog did not load it";
    EXPECT_EQ(decoded.Words(), dialog) << name;
    Ramp identity;
    for (int c = 0; c < 3; ++c)
      for (int i = 0; i < 256; ++i) identity.push_back(static_cast<uint16_t>(i << 8));
    EXPECT_NE(decoded.Words(), identity) << name << " holds a calibration, not the identity";
    CloseProfile(profile);
  }
}

}  // namespace
}  // namespace lumetra
