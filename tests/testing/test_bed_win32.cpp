#include "tests/testing/test_bed_win32.h"

#include <windows.h>

#include <fstream>
#include <sstream>

namespace lumetra::testing {

namespace {

constexpr char kAssociations[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\ICM\\mntr";

struct DialogSearch {
  DWORD process;
  HWND except;
  HWND found;
};

BOOL CALLBACK TakeDialogOf(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<DialogSearch*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char name[16] = {};
  GetClassNameA(window, name, sizeof(name));
  if (owner != search->process || window == search->except || !IsWindowVisible(window) ||
      std::string(name) != "#32770")
    return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

std::string ColorDirectory() {
  using Fn = BOOL(WINAPI*)(PCSTR, PSTR, PDWORD);
  auto get = reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(LoadLibraryA("mscms.dll"), "GetColorDirectoryA")));
  char directory[MAX_PATH] = {};
  DWORD size = sizeof(directory);
  if (!get || !get(nullptr, directory, &size)) return "";
  return std::string(directory) + "\\";
}

void ClearAssociations() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, kAssociations); }

bool AssociateWithFirstMonitor(const char* file_name) {
  using Fn = BOOL(WINAPI*)(PCSTR, PCSTR, PCSTR);
  auto associate = reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(LoadLibraryA("mscms.dll"), "AssociateColorProfileWithDeviceA")));
  DISPLAY_DEVICEA monitor{};
  monitor.cb = sizeof(monitor);
  return associate && EnumDisplayDevicesA("\\\\.\\DISPLAY1", 0, &monitor, 0) &&
         associate(nullptr, file_name, monitor.DeviceID);
}

std::vector<uint16_t> CardRamp(const char* display) {
  std::vector<uint16_t> ramp(768);
  HDC dc = CreateDCA(display, nullptr, nullptr, nullptr);
  if (!dc) return {};
  if (!GetDeviceGammaRamp(dc, ramp.data())) ramp.clear();
  DeleteDC(dc);
  return ramp;
}

bool SetCardRamp(const std::vector<uint16_t>& ramp, const char* display) {
  if (ramp.size() != 768) return false;
  HDC dc = CreateDCA(display, nullptr, nullptr, nullptr);
  bool set = dc && SetDeviceGammaRamp(dc, const_cast<uint16_t*>(ramp.data()));
  if (dc) DeleteDC(dc);
  return set;
}

std::vector<uint16_t> AtServerPrecision(const std::vector<uint16_t>& words) {
  std::vector<uint16_t> kept;
  for (uint16_t w : words) kept.push_back(static_cast<uint16_t>((w >> 8) * 257));
  return kept;
}

std::vector<uint16_t> IdentityRamp() {
  std::vector<uint16_t> words;
  for (int c = 0; c < 3; ++c)
    for (int i = 0; i < 256; ++i) words.push_back(static_cast<uint16_t>(i << 8));
  return words;
}

void* WaitForDialog(unsigned long process, void* except, unsigned long ms) {
  for (DWORD start = GetTickCount();; Sleep(20)) {
    DialogSearch search{process, static_cast<HWND>(except), nullptr};
    EnumWindows(TakeDialogOf, reinterpret_cast<LPARAM>(&search));
    if (search.found || GetTickCount() - start >= ms) return search.found;
  }
}

std::string ReadFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> TextLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

}  // namespace lumetra::testing
