#include "app/color_management.h"

#include <windows.h>
#include <icm.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/testing/paths.h"

namespace lumetra {
namespace {

constexpr char kWineColorDirectory[] = "C:\\windows\\system32\\spool\\drivers\\color";

std::string ColorDirectory() {
  char buffer[256] = {};
  uint32_t size = 254;
  if (!CmsGetColorDirectory(nullptr, buffer, &size)) return "";
  return buffer;
}

// The selection the monitor profile dialog uses: monitor-class profiles.
ENUMTYPEA MonitorProfiles() {
  ENUMTYPEA selection{};
  selection.dwSize = sizeof(selection);
  selection.dwVersion = ENUM_TYPE_VERSION;
  selection.dwFields = ET_CLASS;
  selection.dwClass = 0x6D6E7472;  // 'mntr'
  return selection;
}

// The .icm files of a folder as the system lists them: sorted ignoring case.
std::vector<std::string> IcmFilesIn(const std::string& directory) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((directory + "\\*.icm").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do names.push_back(found.cFileName);
  while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) < 0; });
  return names;
}

class ColorManagement : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(BindColorManagement(), kOk);
    // Real monitor profiles under .icm names, as a calibration would leave them.
    std::string directory = ColorDirectory();
    for (const char* name : {"Gamma5000K", "Bluish"}) {
      std::string source = testing::SystemPath(std::string("/usr/share/color/icc/colord/") + name + ".icc");
      ASSERT_TRUE(CopyFileA(source.c_str(), (directory + "\\" + name + ".icm").c_str(), FALSE)) << source;
    }
  }
};

TEST_F(ColorManagement, BindingASecondTimeLoadsNothing) {
  EXPECT_EQ(BindColorManagement(), kOk);
  HMODULE loaded = GetModuleHandleA("mscms.dll");
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(BindColorManagement(), kOk);
  EXPECT_EQ(GetModuleHandleA("mscms.dll"), loaded);
}

TEST_F(ColorManagement, ColorDirectoryIsTheSystems) {
  char buffer[256] = {};
  uint32_t size = 254;
  ASSERT_TRUE(CmsGetColorDirectory(nullptr, buffer, &size));
  EXPECT_STREQ(buffer, kWineColorDirectory);
}

TEST_F(ColorManagement, EnumerationListsTheInstalledIcmProfilesInOrder) {
  ENUMTYPEA selection = MonitorProfiles();
  uint32_t size = 0;
  uint32_t count = 0;
  EXPECT_FALSE(CmsEnumColorProfiles(nullptr, &selection, nullptr, &size, &count))
      << "the sizing call has no buffer";
  ASSERT_GT(size, 0u);

  std::vector<uint8_t> buffer(size);
  ASSERT_TRUE(CmsEnumColorProfiles(nullptr, &selection, buffer.data(), &size, &count));
  std::vector<std::string> names;
  for (const char* p = reinterpret_cast<const char*>(buffer.data()); *p; p += names.back().size() + 1) {
    names.push_back(p);
  }
  EXPECT_EQ(count, names.size());
  EXPECT_EQ(names, IcmFilesIn(kWineColorDirectory));
  EXPECT_NE(std::find(names.begin(), names.end(), "Gamma5000K.icm"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), "Bluish.icm"), names.end());
}

}  // namespace
}  // namespace lumetra
