// Host stand-in: a machine without a graphics card. Every call fails the way
// the platform's does for a screen that has no device context.
#include "framework/support/system_error.h"
#include "monitor/gamma_device.h"

namespace lumetra {

namespace {

constexpr uint32_t kInvalidHandleError = 6;  // ERROR_INVALID_HANDLE

class NoGammaDevice final : public GammaDevice {
 public:
  Status SetRamp(int32_t, const uint16_t*) override { return Refuse(); }
  Status GetRamp(int32_t, uint16_t*) override { return Refuse(); }
  Status SetDisplayRamp(const char*, const uint16_t*) override { return Refuse(); }
  Status GetDisplayRamp(const char*, uint16_t*) override { return Refuse(); }

 private:
  static Status Refuse() {
    SetLastSystemError(kInvalidHandleError);
    return StatusFromSystem(false);
  }
};

}  // namespace

GammaDevice& PlatformGammaDevice() {
  static NoGammaDevice device;
  return device;
}

}  // namespace lumetra
