#include "monitor/device_services.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/color_management.h"
#include "tests/testing/paths.h"

namespace lumetra {
namespace {

constexpr char kMonitorDeviceId0[] =
    "MONITOR\\Default_Monitor\\{4D36E96E-E325-11CE-BFC1-08002BE10318}\\0000";
constexpr char kMonitorDeviceId1[] =
    "MONITOR\\Default_Monitor\\{4D36E96E-E325-11CE-BFC1-08002BE10318}\\0001";
constexpr char kProfile[] = "Gamma5000K.icm";
// Where the colour management system records monitor-class associations.
constexpr char kMonitorAssociations[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\ICM\\mntr";

std::string ColorDirectory() {
  char buffer[256] = {};
  uint32_t size = 254;
  if (BindColorManagement() != kOk || !CmsGetColorDirectory(nullptr, buffer, &size)) return "";
  return buffer;
}

bool IsAssociated(const char* file_name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMonitorAssociations, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  bool found = RegQueryValueExA(key, file_name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(key);
  return found;
}

class DeviceServices : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ = ColorDirectory();
    ASSERT_FALSE(directory_.empty());
    std::string source = testing::SystemPath("/usr/share/color/icc/colord/Gamma5000K.icc");
    ASSERT_TRUE(CopyFileA(source.c_str(), (directory_ + "\\" + kProfile).c_str(), FALSE));
  }
  void TearDown() override {
    DisassociateProfile(kProfile, kMonitorDeviceId0);
    DisassociateProfile(kProfile, kMonitorDeviceId1);
  }

  std::string directory_;
};

TEST_F(DeviceServices, MonitorDeviceIdsOfTheDisplayDevices) {
  EXPECT_STREQ(GetMonitorDeviceId("\\\\.\\DISPLAY1").CStr(), kMonitorDeviceId0);
  EXPECT_STREQ(GetMonitorDeviceId("\\\\.\\DISPLAY2").CStr(), kMonitorDeviceId1);
  EXPECT_TRUE(GetMonitorDeviceId("\\\\.\\DISPLAY9").IsEmpty());
  EXPECT_TRUE(GetMonitorDeviceId("").IsEmpty()) << "not the first display adapter's id";
}

TEST_F(DeviceServices, AssociationIsRecordedAndRemoved) {
  ASSERT_FALSE(IsAssociated(kProfile));
  EXPECT_TRUE(AssociateProfile(kProfile, kMonitorDeviceId0));
  EXPECT_TRUE(IsAssociated(kProfile));
  EXPECT_TRUE(AssociateProfile(kProfile, kMonitorDeviceId0)) << "associating again";
  EXPECT_TRUE(IsAssociated(kProfile));
  EXPECT_TRUE(DisassociateProfile(kProfile, kMonitorDeviceId0));
  EXPECT_FALSE(IsAssociated(kProfile));

  EXPECT_FALSE(AssociateProfile("Not installed.icm", kMonitorDeviceId0));
  EXPECT_FALSE(IsAssociated("Not installed.icm"));
  EXPECT_FALSE(AssociateProfile(nullptr, kMonitorDeviceId0));
}

TEST_F(DeviceServices, TheScreensProfileIsTheAssociatedOne) {
  std::string path = directory_ + "\\" + kProfile;
  ASSERT_TRUE(AssociateProfileWithScreen(path.c_str(), 0));
  EXPECT_TRUE(IsAssociated(kProfile)) << "associated under the file name only";
  EXPECT_STRCASEEQ(GetScreenProfilePath(0).CStr(), path.c_str());

  EXPECT_TRUE(GetScreenProfilePath(-1).IsEmpty());
  EXPECT_TRUE(GetScreenProfilePath(2).IsEmpty());
  ASSERT_TRUE(DisassociateProfile(kProfile, kMonitorDeviceId0));
  EXPECT_STRCASENE(GetScreenProfilePath(0).CStr(), path.c_str());
}

TEST_F(DeviceServices, ABarePathIsAssociatedWhole) {
  EXPECT_TRUE(AssociateProfileWithScreen(kProfile, 1));
  EXPECT_TRUE(IsAssociated(kProfile));
}

TEST_F(DeviceServices, AScreenWithoutAMonitorIsNotAssociated) {
  EXPECT_FALSE(AssociateProfileWithScreen(kProfile, 7));
  EXPECT_FALSE(AssociateProfileWithScreen(kProfile, -1));
  EXPECT_FALSE(IsAssociated(kProfile));
}

// What the display configuration says of the test bed's displays: Wine gives
// no monitor an EDID, names each after its display and knows no advanced colour.
TEST(DisplayConfiguration, EveryAttachedDisplayHasItsMonitorsFriendlyName) {
  EXPECT_STREQ(GetDisplayFriendlyName("\\\\.\\DISPLAY1").CStr(), "Display1");
  EXPECT_STREQ(GetDisplayFriendlyName("\\\\.\\DISPLAY2").CStr(), "Display2");
  EXPECT_STREQ(GetDisplayFriendlyName("\\\\.\\display2").CStr(), "Display2") << "device names ignore case";

  std::vector<TString> displays;
  ASSERT_EQ(ListAttachedDisplays(&displays), kOk);
  ASSERT_EQ(displays.size(), 2u);
  for (const TString& display : displays) {
    EXPECT_FALSE(GetDisplayFriendlyName(display.CStr()).IsEmpty()) << display.CStr();
  }
}

TEST(DisplayConfiguration, NoDisplayOfTheTestBedShowsAdvancedColor) {
  EXPECT_FALSE(IsAdvancedColorActive("\\\\.\\DISPLAY1"));
  EXPECT_FALSE(IsAdvancedColorActive("\\\\.\\DISPLAY2"));
}

TEST(DisplayConfiguration, ADisplayNotAttachedHasNoNameAndNoAdvancedColor) {
  for (const char* name : {"\\\\.\\DISPLAY9", "\\\\.\\DISPLAY", "\\\\.\\DISPLAY12", "DISPLAY1", ""}) {
    EXPECT_TRUE(GetDisplayFriendlyName(name).IsEmpty()) << name;
    EXPECT_FALSE(IsAdvancedColorActive(name)) << name;
  }
  EXPECT_TRUE(GetDisplayFriendlyName(nullptr).IsEmpty());
  EXPECT_FALSE(IsAdvancedColorActive(nullptr));
}

}  // namespace
}  // namespace lumetra
