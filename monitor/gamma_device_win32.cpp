#include <windows.h>

#include "monitor/gamma_device.h"
#include "monitor/screens.h"

namespace lumetra {

namespace {

// A screen's device context for the length of one call.
class ScreenDC {
 public:
  explicit ScreenDC(int32_t screen) {
    SetLastError(0);
    dc_ = static_cast<HDC>(Tu4MultiScreenHandler().CreateScreenDC(screen));
    // A screen out of range gives no context without a system call.
    if (!dc_ && GetLastError() == 0) SetLastError(ERROR_INVALID_HANDLE);
  }
  ~ScreenDC() {
    if (dc_) DeleteDC(dc_);
  }
  ScreenDC(const ScreenDC&) = delete;
  ScreenDC& operator=(const ScreenDC&) = delete;

  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

class ScreenGammaDevice final : public GammaDevice {
 public:
  Status SetRamp(int32_t screen, const uint16_t* table) override {
    ScreenDC dc(screen);
    if (!dc.get()) return StatusFromSystem(false);
    // Drivers may refuse a ramp without giving a reason: leave no stale error.
    SetLastError(0);
    return StatusFromSystem(SetDeviceGammaRamp(dc.get(), const_cast<uint16_t*>(table)) != FALSE);
  }

  Status GetRamp(int32_t screen, uint16_t* table) override {
    ScreenDC dc(screen);
    if (!dc.get()) return StatusFromSystem(false);
    SetLastError(0);
    return StatusFromSystem(GetDeviceGammaRamp(dc.get(), table) != FALSE);
  }
};

}  // namespace

GammaDevice& PlatformGammaDevice() {
  static ScreenGammaDevice device;
  return device;
}

}  // namespace lumetra
