// The floor of the dialog's start under Wine: what listing the installed
// monitor profiles needs at the least. Asks the system for the colour
// directory and the monitor profiles' names as the dialog does (the sizing
// call, then the filling one), then for each profile does the least file
// work of icc/benchmarks/least_io_scan.h, and exits. The exit code is the
// number of profiles read, for the caller to check against the dialog's lines.
// Built for Windows and run under the same Wine as the program.
// usage: profile-scan-floor
#include <windows.h>

#include <icm.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "icc/benchmarks/least_io_scan.h"

int main() {
  using GetDirectory = BOOL(WINAPI*)(PCSTR, PSTR, PDWORD);
  using EnumProfiles = BOOL(WINAPI*)(PCSTR, PENUMTYPEA, PBYTE, PDWORD, PDWORD);
  HMODULE mscms = LoadLibraryA("mscms.dll");
  if (!mscms) return -1;
  auto get_directory =
      reinterpret_cast<GetDirectory>(reinterpret_cast<void*>(GetProcAddress(mscms, "GetColorDirectoryA")));
  auto enum_profiles =
      reinterpret_cast<EnumProfiles>(reinterpret_cast<void*>(GetProcAddress(mscms, "EnumColorProfilesA")));
  if (!get_directory || !enum_profiles) return -1;

  char directory[256] = {};
  DWORD directory_size = 254;
  if (!get_directory(nullptr, directory, &directory_size)) return -1;
  std::strcat(directory, "\\");

  ENUMTYPEA selection{};
  selection.dwSize = sizeof(selection);
  selection.dwVersion = ENUM_TYPE_VERSION;
  selection.dwFields = ET_CLASS;
  selection.dwClass = 0x6D6E7472;  // 'mntr'
  DWORD size = 0, count = 0;
  enum_profiles(nullptr, &selection, nullptr, &size, &count);
  if (size == 0) return 0;
  std::vector<char> names(size);
  if (!enum_profiles(nullptr, &selection, reinterpret_cast<BYTE*>(names.data()), &size, &count)) return -1;

  int read = 0;
  for (const char* name = names.data(); *name && name < names.data() + names.size(); name += std::strlen(name) + 1) {
    char path[1024];
    std::snprintf(path, sizeof path, "%s%s", directory, name);
    lumetra::bench::LeastIoResult result;
    if (lumetra::bench::LeastIoScan(path, &result)) ++read;
  }
  return read;
}
