#include "icc/description.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/testing/icc_builder.h"
#include "tests/testing/memory_profile.h"
#include "tests/testing/paths.h"

namespace lumetra {
namespace {

using testing::BigEndianBytes;
using testing::MemoryProfile;
using testing::MlucTagData;
using testing::ProfileWithTag;

struct Described {
  Status status;
  std::string text;
};

Described Describe(const testing::IccBuilder& builder) {
  MemoryProfile profile(builder);
  EXPECT_EQ(profile.status(), kOk);
  char buffer[kDescriptionBufferSize];
  std::fill(std::begin(buffer), std::end(buffer), 'x');
  Status status = GetProfileDescription(profile.get(), buffer);
  return {status, buffer};
}

// The monitor profiles of colord-data (ICC v4, multiLocalizedUnicodeType),
// icc-profiles-free and argyll-ref (ICC v2, textDescriptionType), each with
// the name it carries.
struct RealProfile {
  const char* path;
  const char* description;
};
const RealProfile kRealProfiles[] = {
    {"/usr/share/color/icc/colord/AdobeRGB1998.icc", "Compatible with Adobe RGB (1998)"},
    {"/usr/share/color/icc/colord/AppleRGB.icc", "Apple RGB"},
    {"/usr/share/color/icc/colord/BestRGB.icc", "Best RGB"},
    {"/usr/share/color/icc/colord/BetaRGB.icc", "Beta RGB"},
    {"/usr/share/color/icc/colord/Bluish.icc", "Blue"},
    {"/usr/share/color/icc/colord/BruceRGB.icc", "Bruce RGB"},
    {"/usr/share/color/icc/colord/CIE-RGB.icc", "CIE RGB"},
    {"/usr/share/color/icc/colord/ColorMatchRGB.icc", "ColorMatch RGB"},
    {"/usr/share/color/icc/colord/DonRGB4.icc", "Don RGB 4"},
    {"/usr/share/color/icc/colord/ECI-RGBv1.icc", "eciRGB v1"},
    {"/usr/share/color/icc/colord/ECI-RGBv2.icc", "eciRGB v2"},
    {"/usr/share/color/icc/colord/EktaSpacePS5.icc", "Ekta Space PS5"},
    {"/usr/share/color/icc/colord/Gamma5000K.icc", "D50"},
    {"/usr/share/color/icc/colord/Gamma5500K.icc", "D55"},
    {"/usr/share/color/icc/colord/Gamma6500K.icc", "D65"},
    {"/usr/share/color/icc/colord/NTSC-RGB.icc", "NTSC RGB"},
    {"/usr/share/color/icc/colord/PAL-RGB.icc", "PAL/SECAM RGB"},
    {"/usr/share/color/icc/colord/ProPhotoRGB.icc", "ProPhoto RGB"},
    {"/usr/share/color/icc/colord/Rec709.icc", "Rec. 709"},
    {"/usr/share/color/icc/colord/SMPTE-C-RGB.icc", "SMPTE-C RGB"},
    {"/usr/share/color/icc/colord/SwappedRedAndGreen.icc", "Swapped Red and Green"},
    {"/usr/share/color/icc/colord/WideGamutRGB.icc", "Wide Gamut RGB"},
    {"/usr/share/color/icc/colord/sRGB.icc", "sRGB"},
    {"/usr/share/color/icc/CineonLog_M.icc", "CineonLog M "},
    {"/usr/share/color/icc/CineonLog_M_Knee_10.icc", "CineonLog M Knee 10"},
    {"/usr/share/color/icc/CineonLog_M_Knee_20.icc", "CineonLog M Knee 20"},
    {"/usr/share/color/icc/CineonLog_M_Knee_30.icc", "CineonLog M Knee 30"},
    {"/usr/share/color/icc/CineonLog_M_Knee_60.icc", "CineonLog M Knee 60"},
    {"/usr/share/color/icc/Gray-CIE_L.icc", "Gray CIE*L"},
    {"/usr/share/color/icc/Gray.icc", "Gray"},
    {"/usr/share/color/icc/LCMSLABI.ICM", "little cms Relative L*a*b* identity profile"},
    {"/usr/share/color/icc/LCMSXYZI.ICM", "little cms Relative XYZ identity profile"},
    {"/usr/share/color/icc/LStar-RGB.icc", "Lstar-RGB.icc"},
    {"/usr/share/color/icc/compatibleWithAdobeRGB1998.icc", "Compatible with Adobe RGB (1998)"},
    {"/usr/share/color/icc/sRGB.icc", "sRGB"},
    {"/usr/share/color/argyll/ref/ACES_P3.icm", "DCI-P3/SMPTE-431-2 color profile"},
    {"/usr/share/color/argyll/ref/ClayRGB1998.icm", "Interchangeable with Adobe RGB (1998)"},
    {"/usr/share/color/argyll/ref/DisplayP3.icm", "DisplayP3 color profile"},
    {"/usr/share/color/argyll/ref/EBU3213_PAL.icm",
     "EBU 3213 (PAL) primaries with Rec709 transfer function"},
    {"/usr/share/color/argyll/ref/ProPhoto.icm", "ProPhoto RGB"},
    {"/usr/share/color/argyll/ref/ProPhotoLin.icm", "ProPhoto RGB (Linear)"},
    {"/usr/share/color/argyll/ref/Rec2020.icm", "BT.2020 color profile"},
    {"/usr/share/color/argyll/ref/Rec709.icm", "Rec709 ITU-R BT.709"},
    {"/usr/share/color/argyll/ref/SMPTE431_P3.icm", "DCI-P3/SMPTE-431-2 color profile"},
    {"/usr/share/color/argyll/ref/SMPTE_RP145_NTSC.icm",
     "SMPTE RP 145 (NTSC) primaries with Rec709 transfer function"},
    {"/usr/share/color/argyll/ref/sRGB.icm",
     "sRGB IEC61966-2.1 (Equivalent to www.srgb.com 1998 HP profile)"},
};

TEST(GetProfileDescription, GivesTheNameOfEveryInstalledMonitorProfile) {
  for (const RealProfile& real : kRealProfiles) {
    std::string path = testing::SystemPath(real.path);
    IccProfile* profile = nullptr;
    ASSERT_EQ(OpenProfile(&profile, path.c_str()), kOk) << path;
    EXPECT_EQ(profile->header.device_class, Signature("mntr")) << path;
    char buffer[kDescriptionBufferSize];
    EXPECT_EQ(GetProfileDescription(profile, buffer), kOk) << path;
    EXPECT_STREQ(buffer, real.description) << path;
    CloseProfile(profile);
  }
}

TEST(GetProfileDescription, TextDescriptionTakesTheAsciiPart) {
  Described d = Describe(ProfileWithTag("desc", testing::DescTagData("Studio monitor", u"Unicode")));
  EXPECT_EQ(d.status, kOk);
  EXPECT_EQ(d.text, "Studio monitor");

  // A count of 0 is an empty text as long as the tag reaches past the count.
  BigEndianBytes empty;
  empty.Sig("desc").U32(0).U32(0).Zeros(8);
  d = Describe(ProfileWithTag("desc", empty.bytes()));
  EXPECT_EQ(d.status, kOk);
  EXPECT_EQ(d.text, "");

  BigEndianBytes bare;
  bare.Sig("desc").U32(0).U32(0);
  d = Describe(ProfileWithTag("desc", bare.bytes()));
  EXPECT_EQ(d.status, kTagOutsideProfile) << "a 12-byte tag holds no text";
  EXPECT_EQ(d.text, "");
}

TEST(GetProfileDescription, LongTextsAreCutAt254Characters) {
  BigEndianBytes long_text;
  long_text.Sig("desc").U32(0).U32(300).Ascii(std::string(299, 'L'), true).Zeros(80);
  Described d = Describe(ProfileWithTag("desc", long_text.bytes()));
  EXPECT_EQ(d.status, kOk);
  EXPECT_EQ(d.text, std::string(254, 'L'));

  // The limited count is what is compared with the tag's size.
  BigEndianBytes short_tag;
  short_tag.Sig("desc").U32(0).U32(300).Ascii(std::string(87, 'S'), true);
  ASSERT_EQ(short_tag.size(), 100u);
  d = Describe(ProfileWithTag("desc", short_tag.bytes()));
  EXPECT_EQ(d.status, kTagOutsideProfile);
  EXPECT_EQ(d.text, "");
}

TEST(GetProfileDescription, MissingProfileTagOrBuffer) {
  testing::IccBuilder no_desc;
  no_desc.AddTag(Signature("wtpt"), testing::XyzTagData({0.9642, 1.0, 0.8249}));
  Described d = Describe(no_desc);
  EXPECT_EQ(d.status, kTagNotFound);
  EXPECT_EQ(d.text, "");

  char untouched[kDescriptionBufferSize] = "kept";
  EXPECT_EQ(GetProfileDescription(nullptr, untouched), kIndexOutOfRange);
  EXPECT_STREQ(untouched, "kept");

  MemoryProfile profile(ProfileWithTag("desc", testing::DescTagData("x")));
  EXPECT_EQ(GetProfileDescription(profile.get(), nullptr), kMissingObject);

  d = Describe(ProfileWithTag("desc", testing::TextTagData("plain text")));
  EXPECT_EQ(d.status, kNotAvailable) << "a text of a type that is no description";
  EXPECT_EQ(d.text, "");
}

TEST(GetProfileDescription, MultiLocalizedTakesUsEnglishThenEnglishThenTheFirst) {
  Described d = Describe(ProfileWithTag(
      "desc", MlucTagData({{"de", "DE", u"Blau"}, {"en", "GB", u"Colour"}, {"en", "US", u"Color"}})));
  EXPECT_EQ(d.status, kOk);
  EXPECT_EQ(d.text, "Color");

  d = Describe(ProfileWithTag("desc", MlucTagData({{"de", "DE", u"Blau"}, {"en", "GB", u"Colour"}})));
  EXPECT_EQ(d.text, "Colour");

  d = Describe(ProfileWithTag("desc", MlucTagData({{"fr", "FR", u"Bleu"}, {"de", "DE", u"Blau"}})));
  EXPECT_EQ(d.text, "Bleu");

  d = Describe(ProfileWithTag("desc", MlucTagData({{"en", "US", u""}})));
  EXPECT_EQ(d.status, kOk);
  EXPECT_EQ(d.text, "");
}

TEST(GetProfileDescription, MultiLocalizedTextIsConvertedAndCut) {
  // Greek and a character beyond the BMP exist in no single-byte Western page.
  Described d = Describe(ProfileWithTag("desc", MlucTagData({{"en", "US", u"Blue \u03A9 \U0001F600."}})));
  EXPECT_EQ(d.status, kOk);
  EXPECT_EQ(d.text, "Blue ? ?.");

  d = Describe(ProfileWithTag("desc", MlucTagData({{"en", "US", std::u16string(300, u'W')}})));
  EXPECT_EQ(d.text, std::string(254, 'W'));

  d = Describe(ProfileWithTag("desc", MlucTagData({{"en", "US", std::u16string(u"cut\0here", 8)}})));
  EXPECT_EQ(d.text, "cut") << "a NUL ends the text";
}

// An `mluc` tag with one record "en"/"US" whose fields can be broken.
std::vector<uint8_t> Mluc(uint32_t records, uint32_t record_size, uint32_t length, uint32_t offset) {
  BigEndianBytes b;
  b.Sig("mluc").U32(0).U32(records).U32(record_size);
  b.U16(0x656E).U16(0x5553).U32(length).U32(offset);
  b.U16('O').U16('K');
  return b.bytes();
}

TEST(GetProfileDescription, MalformedMultiLocalizedTagsGive5015) {
  ASSERT_EQ(Describe(ProfileWithTag("desc", Mluc(1, 12, 4, 28))).text, "OK") << "the fixture itself";
  const struct {
    const char* what;
    std::vector<uint8_t> tag;
  } cases[] = {
      {"no records", Mluc(0, 12, 4, 28)},
      {"records smaller than 12 bytes", Mluc(1, 8, 4, 28)},
      {"record table beyond the tag", Mluc(2, 12, 4, 28)},
      {"record count overflowing", Mluc(0x40000000, 12, 4, 28)},
      {"text beyond the tag", Mluc(1, 12, 6, 28)},
      {"text offset beyond the tag", Mluc(1, 12, 2, 0xFFFFFFFF)},
      {"half a character", Mluc(1, 12, 3, 28)},
      {"cut inside the header", BigEndianBytes().Sig("mluc").U32(0).U32(1).bytes()},
  };
  for (const auto& c : cases) {
    Described d = Describe(ProfileWithTag("desc", c.tag));
    EXPECT_EQ(d.status, kTagOutsideProfile) << c.what;
    EXPECT_EQ(d.text, "") << c.what;
  }
}

}  // namespace
}  // namespace lumetra
