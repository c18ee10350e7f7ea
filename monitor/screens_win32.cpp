#include "monitor/screens.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace lumetra {

namespace {

static_assert(sizeof(MONITORINFOEXA) == 72, "the record GetMonitorInfoA fills with a device name");

constexpr size_t kListGrowth = 5;

// Filled by the first handler of the process, read-only afterwards. Making
// it allocates nothing: room comes with the first monitor, where running out
// of memory only ends the enumeration.
struct ScreenList {
  std::vector<ScreenEntry> entries;
  bool enumerated = false;
};

ScreenList& Screens() {
  static ScreenList list;
  return list;
}

// The device name of a monitor record, which the system need not terminate.
TString DeviceName(const MONITORINFOEXA& info) {
  char name[CCHDEVICENAME];
  std::memcpy(name, info.szDevice, sizeof(name) - 1);
  name[sizeof(name) - 1] = '\0';
  return TString(name);
}

// EnumDisplayMonitors callback; `data` is the enumerating handler. Returning
// FALSE ends the enumeration, keeping the monitors recorded so far.
BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  if (data == 0) return TRUE;
  MONITORINFOEXA info{};
  info.cbSize = sizeof(info);
  if (!GetMonitorInfoA(monitor, &info)) return FALSE;

  std::vector<ScreenEntry>& entries = Screens().entries;
  const RECT& r = info.rcMonitor;
  ScreenEntry entry{static_cast<int16_t>(r.top),
                    static_cast<int16_t>(r.left),
                    static_cast<int16_t>(r.bottom),
                    static_cast<int16_t>(r.right),
                    static_cast<int32_t>(entries.size()),
                    (info.dwFlags & MONITORINFOF_PRIMARY) ? 1u : 0u,
                    DeviceName(info)};
  try {
    if (entries.size() == entries.capacity()) entries.reserve(entries.size() + kListGrowth);
    entries.push_back(entry);
  } catch (...) {
    return FALSE;  // out of memory: keep what we have
  }
  return TRUE;
}

bool InRange(int32_t screen) {
  return screen >= 0 && static_cast<size_t>(screen) < Screens().entries.size();
}

}  // namespace

Tu4MultiScreenHandler::Tu4MultiScreenHandler() {
  ScreenList& list = Screens();
  if (list.enumerated) return;
  EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(this));
  list.enumerated = true;
}

Tu4MultiScreenHandler::~Tu4MultiScreenHandler() = default;

int32_t Tu4MultiScreenHandler::ScreenOfWindow(void* window) const {
  if (!window) return 0;
  HMONITOR monitor = MonitorFromWindow(static_cast<HWND>(window), MONITOR_DEFAULTTONEAREST);
  MONITORINFOEXA info{};
  info.cbSize = sizeof(info);
  // On failure the name stays empty and the window maps to screen 0.
  GetMonitorInfoA(monitor, &info);
  return EntryIndexOfScreen(ScreenIndexOfDevice(DeviceName(info).CStr()));
}

TString Tu4MultiScreenHandler::DeviceNameOfScreen(int32_t screen) const {
  return InRange(screen) ? Screens().entries[screen].device_name : TString();
}

void* Tu4MultiScreenHandler::CreateScreenDC(int32_t screen) const {
  if (!InRange(screen)) return nullptr;
  return CreateDCA(Screens().entries[screen].device_name.CStr(), nullptr, nullptr, nullptr);
}

int32_t Tu4MultiScreenHandler::ScreenIndexOfDevice(const char* device_name) const {
  if (!device_name) return 0;
  TString name(device_name);
  const std::vector<ScreenEntry>& entries = Screens().entries;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].device_name == name) return static_cast<int32_t>(i);
  }
  return 0;
}

int32_t Tu4MultiScreenHandler::EntryIndexOfScreen(int32_t position) const {
  return InRange(position) ? Screens().entries[position].index : 0;
}

int32_t Tu4MultiScreenHandler::ScreenCount() const {
  return static_cast<int32_t>(Screens().entries.size());
}

}  // namespace lumetra
