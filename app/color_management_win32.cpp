#include "app/color_management.h"

#include <windows.h>
#include <icm.h>

namespace lumetra {

namespace {

using GetColorDirectoryFn = BOOL(WINAPI*)(PCSTR, PSTR, PDWORD);
using EnumColorProfilesFn = BOOL(WINAPI*)(PCSTR, PENUMTYPEA, PBYTE, PDWORD, PDWORD);

// Looked up in this order; only two of them are ever called, but the binding
// is complete only when the library offers all of them.
constexpr const char* kEntryNames[] = {
    "OpenColorProfileA", "GetColorProfileHeader", "CreateMultiProfileTransform",
    "CloseColorProfile", "DeleteColorTransform",  "TranslateColors",
    "GetColorDirectoryA", "InstallColorProfileA", "UninstallColorProfileA",
    "SelectCMM",         "EnumColorProfilesA",
};
constexpr int kEntryCount = sizeof(kEntryNames) / sizeof(kEntryNames[0]);
constexpr int kGetColorDirectory = 6;
constexpr int kEnumColorProfiles = 10;
static_assert(kEntryCount == 11, "eleven entry points");

// Process-wide; the library is never unloaded.
HMODULE library = nullptr;
FARPROC entries[kEntryCount] = {};

template <typename Fn>
Fn Entry(int slot) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(entries[slot]));
}

}  // namespace

Status BindColorManagement() {
  if (library) return kOk;
  library = LoadLibraryA("mscms.dll");
  if (!library) return kNotAvailable;  // a later call tries again
  int found = 0;
  for (int i = 0; i < kEntryCount; ++i) {
    entries[i] = GetProcAddress(library, kEntryNames[i]);
    if (entries[i]) ++found;
  }
  return found == kEntryCount ? kOk : kNotAvailable;
}

bool CmsGetColorDirectory(const char* machine, char* buffer, uint32_t* size) {
  auto get_color_directory = Entry<GetColorDirectoryFn>(kGetColorDirectory);
  if (!get_color_directory) return false;
  DWORD bytes = size ? *size : 0;
  BOOL ok = get_color_directory(machine, buffer, size ? &bytes : nullptr);
  if (size) *size = bytes;
  return ok != FALSE;
}

bool CmsEnumColorProfiles(const char* machine, tagENUMTYPEA* selection, uint8_t* buffer,
                          uint32_t* size, uint32_t* count) {
  auto enum_color_profiles = Entry<EnumColorProfilesFn>(kEnumColorProfiles);
  if (!enum_color_profiles) return false;
  DWORD bytes = size ? *size : 0;
  DWORD profiles = count ? *count : 0;
  BOOL ok = enum_color_profiles(machine, selection, buffer, size ? &bytes : nullptr,
                                count ? &profiles : nullptr);
  if (size) *size = bytes;
  if (count) *count = profiles;
  return ok != FALSE;
}

}  // namespace lumetra
