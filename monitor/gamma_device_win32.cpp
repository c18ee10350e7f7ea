#include <windows.h>

#include "monitor/gamma_device.h"
#include "monitor/screens.h"

namespace lumetra {

namespace {

// A display's device context for the length of one call.
class DisplayDC {
 public:
  // A screen out of range gives no context without a system call.
  explicit DisplayDC(int32_t screen) {
    SetLastError(0);
    Take(Tu4MultiScreenHandler().CreateScreenDC(screen));
  }
  explicit DisplayDC(const char* device_name) {
    SetLastError(0);
    Take(device_name ? CreateDCA(device_name, nullptr, nullptr, nullptr) : nullptr);
  }
  ~DisplayDC() {
    if (dc_) DeleteDC(dc_);
  }
  DisplayDC(const DisplayDC&) = delete;
  DisplayDC& operator=(const DisplayDC&) = delete;

  HDC get() const { return dc_; }

 private:
  void Take(void* dc) {
    dc_ = static_cast<HDC>(dc);
    // No context and no reason given: say the handle is missing.
    if (!dc_ && GetLastError() == 0) SetLastError(ERROR_INVALID_HANDLE);
  }
  HDC dc_ = nullptr;
};

Status SetRampThrough(const DisplayDC& dc, const uint16_t* table) {
  if (!dc.get()) return StatusFromSystem(false);
  // Drivers may refuse a ramp without giving a reason: leave no stale error.
  SetLastError(0);
  return StatusFromSystem(SetDeviceGammaRamp(dc.get(), const_cast<uint16_t*>(table)) != FALSE);
}

Status GetRampThrough(const DisplayDC& dc, uint16_t* table) {
  if (!dc.get()) return StatusFromSystem(false);
  SetLastError(0);
  return StatusFromSystem(GetDeviceGammaRamp(dc.get(), table) != FALSE);
}

class ScreenGammaDevice final : public GammaDevice {
 public:
  Status SetRamp(int32_t screen, const uint16_t* table) override {
    return SetRampThrough(DisplayDC(screen), table);
  }
  Status GetRamp(int32_t screen, uint16_t* table) override {
    return GetRampThrough(DisplayDC(screen), table);
  }
  Status SetDisplayRamp(const char* device_name, const uint16_t* table) override {
    return SetRampThrough(DisplayDC(device_name), table);
  }
  Status GetDisplayRamp(const char* device_name, uint16_t* table) override {
    return GetRampThrough(DisplayDC(device_name), table);
  }
};

}  // namespace

GammaDevice& PlatformGammaDevice() {
  static ScreenGammaDevice device;
  return device;
}

}  // namespace lumetra
