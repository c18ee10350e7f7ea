#include "icc/profile_line.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/testing/icc_builder.h"
#include "tests/testing/paths.h"

namespace lumetra {
namespace {

std::string Real(const std::string& name) {
  const std::string unix_path = "/usr/share/color/icc/colord/" + name;
  EXPECT_TRUE(testing::UnixFileExists(unix_path)) << unix_path << " is missing: install colord-data";
  return testing::SystemPath(unix_path);
}

TEST(ProfileListLine, TheDescriptionMarkedWhenTheProfileCarriesAGammaTable) {
  EXPECT_EQ(ProfileListLine(Real("Gamma5000K.icc")), std::string("D50") + kGammaTableMark);
  EXPECT_EQ(ProfileListLine(Real("AppleRGB.icc")), "Apple RGB") << "no vcgt tag, no mark";
  EXPECT_EQ(ProfileListLine(Real("Gamma5000K.icc"), true), std::string("Gamma5000K.icc") + kGammaTableMark);
}

TEST(ProfileListLine, AProfileThatCannotBeReadIsListedByItsFileName) {
  const std::string dir = testing::ScratchDir("profile_line");
  ASSERT_TRUE(testing::WriteFileBytes(testing::SystemPath(dir + "/short.icm"), {1, 2, 3}));
  EXPECT_EQ(ProfileListLine(testing::SystemPath(dir + "/short.icm")), "short.icm");
  EXPECT_EQ(ProfileListLine(testing::SystemPath(dir + "/missing.icm")), "missing.icm");
  EXPECT_EQ(ProfileListLine("no-folder.icm"), "no-folder.icm");
  EXPECT_EQ(ProfileListLine(std::string(2000, 'a') + ".icm").size(), 2004u) << "a path too long to open";

  // Readable, without a description: its name, and the mark all the same.
  testing::IccBuilder builder;
  builder.AddTag(Signature("vcgt"), testing::VcgtFormulaTagData({2.2, 2.2, 2.2}, {0, 0, 0}, {1, 1, 1}));
  ASSERT_TRUE(testing::WriteFileBytes(testing::SystemPath(dir + "/nameless.icm"), builder.Build()));
  EXPECT_EQ(ProfileListLine(testing::SystemPath(dir + "/nameless.icm")), std::string("nameless.icm") + kGammaTableMark);
}

}  // namespace
}  // namespace lumetra
