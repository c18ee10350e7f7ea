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

// Counts the calls of one kernel32 function that this executable makes
// through its import table (the binding is linked into it), by pointing the
// table's slot at a counter while the object lives.
class KernelImportCounter {
 public:
  KernelImportCounter(const char* function, void* counter, void** original) : original_(original) {
    slot_ = FindSlot(function);
    if (!slot_) return;
    *original_ = *slot_;
    Write(counter);
  }
  ~KernelImportCounter() {
    if (slot_) Write(*original_);
  }
  bool Hooked() const { return slot_ != nullptr; }

 private:
  static void** FindSlot(const char* function) {
    auto* base = reinterpret_cast<uint8_t*>(GetModuleHandleA(nullptr));
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); dll->Name; ++dll) {
      if (lstrcmpiA(reinterpret_cast<const char*>(base + dll->Name), "kernel32.dll") != 0) continue;
      auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
      auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
      for (; names->u1.AddressOfData; ++names, ++slots) {
        if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
        auto* by_name = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
        if (std::string(reinterpret_cast<const char*>(by_name->Name)) == function)
          return reinterpret_cast<void**>(&slots->u1.Function);
      }
    }
    return nullptr;
  }
  void Write(void* value) {
    DWORD protection = 0;
    VirtualProtect(slot_, sizeof(void*), PAGE_READWRITE, &protection);
    *slot_ = value;
    VirtualProtect(slot_, sizeof(void*), protection, &protection);
  }

  void** slot_ = nullptr;
  void** original_;
};

int library_loads = 0;
int entry_lookups = 0;
void* real_load_library = nullptr;
void* real_get_proc_address = nullptr;

HMODULE WINAPI CountingLoadLibraryA(LPCSTR name) {
  ++library_loads;
  return reinterpret_cast<HMODULE(WINAPI*)(LPCSTR)>(real_load_library)(name);
}
FARPROC WINAPI CountingGetProcAddress(HMODULE module, LPCSTR name) {
  ++entry_lookups;
  return reinterpret_cast<FARPROC(WINAPI*)(HMODULE, LPCSTR)>(real_get_proc_address)(module, name);
}

TEST_F(ColorManagement, BindingASecondTimeLoadsAndLooksUpNothing) {
  ASSERT_EQ(BindColorManagement(), kOk);
  library_loads = entry_lookups = 0;
  {
    KernelImportCounter loads("LoadLibraryA", reinterpret_cast<void*>(CountingLoadLibraryA), &real_load_library);
    KernelImportCounter lookups("GetProcAddress", reinterpret_cast<void*>(CountingGetProcAddress),
                                &real_get_proc_address);
    ASSERT_TRUE(loads.Hooked() && lookups.Hooked()) << "the executable imports neither";
    EXPECT_EQ(BindColorManagement(), kOk);
    EXPECT_EQ(library_loads, 0) << "the second binding loaded a library";
    EXPECT_EQ(entry_lookups, 0) << "the second binding looked entry points up";

    // The counters see calls through the import table at all.
    HMODULE again = LoadLibraryA("mscms.dll");
    EXPECT_EQ(library_loads, 1);
    if (again) FreeLibrary(again);
  }
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
