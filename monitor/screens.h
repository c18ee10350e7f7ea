// The monitors of the machine as small integers (screen indexes), enumerated
// once per process, and the translation between windows, screen indexes,
// display device names and device contexts. Windows only.
#pragma once

#include <cstdint>

#include "framework/support/tstring.h"

namespace lumetra {

struct ScreenEntry {
  int16_t top, left, bottom, right;  // monitor rectangle on the virtual desktop
  int32_t index;                     // position in the list when it was added
  uint32_t primary;                  // 1 for the primary monitor
  TString device_name;               // e.g. "\\.\DISPLAY1", at most 31 characters
};

// A light handle on the process-wide monitor list: the first one made in the
// process enumerates the monitors; later monitor changes are not seen.
class Tu4MultiScreenHandler {
 public:
  Tu4MultiScreenHandler();
  virtual ~Tu4MultiScreenHandler();

  // The screen of the monitor nearest to the window (an HWND); 0 for no
  // window and for a monitor missing from the list.
  int32_t ScreenOfWindow(void* window) const;
  // Empty for an index out of range.
  TString DeviceNameOfScreen(int32_t screen) const;
  // A display device context (an HDC, to be released with DeleteDC); null for
  // an index out of range, without calling the system.
  void* CreateScreenDC(int32_t screen) const;
  // Position of the first entry with exactly this name (case counts); 0 when
  // there is none or no name is given.
  int32_t ScreenIndexOfDevice(const char* device_name) const;
  // The stored index of the entry at a position; 0 out of range.
  int32_t EntryIndexOfScreen(int32_t position) const;
  int32_t ScreenCount() const;
};

}  // namespace lumetra
