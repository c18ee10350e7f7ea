// Platform seam: the graphics card lookup table of a screen, or of a display
// named by its device name. On Windows the table is set and read through a
// device context of the display; the host has no graphics card, and its
// stand-in refuses every call. Tests install their own device through
// SetGammaDevice on either build.
#pragma once

#include <cstdint>

#include "framework/support/status.h"

namespace lumetra {

class GammaDevice {
 public:
  virtual ~GammaDevice() = default;

  // `table` is 768 words: 256 red, 256 green, 256 blue levels. Both return
  // the status of the platform call (StatusFromSystem), taken before any
  // clean-up can overwrite the system's error.
  virtual Status SetRamp(int32_t screen, const uint16_t* table) = 0;
  virtual Status GetRamp(int32_t screen, uint16_t* table) = 0;

  // The same for the display of a device name ("\\.\DISPLAY1") as the system
  // knows it now, whatever the process-wide screen list holds.
  virtual Status SetDisplayRamp(const char* device_name, const uint16_t* table) = 0;
  virtual Status GetDisplayRamp(const char* device_name, uint16_t* table) = 0;
};

// The device in use: the one installed last, else the platform's.
GammaDevice& CurrentGammaDevice();

// Installs a device (owned by the caller, which must outlive its use) and
// returns the one it replaces; null puts the platform's device back.
GammaDevice* SetGammaDevice(GammaDevice* device);

// The platform's own device.
GammaDevice& PlatformGammaDevice();

}  // namespace lumetra
