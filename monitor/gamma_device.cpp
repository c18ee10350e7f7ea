#include "monitor/gamma_device.h"

namespace lumetra {

namespace {
GammaDevice* installed_device = nullptr;
}  // namespace

GammaDevice& CurrentGammaDevice() {
  return installed_device ? *installed_device : PlatformGammaDevice();
}

GammaDevice* SetGammaDevice(GammaDevice* device) {
  GammaDevice* previous = installed_device;
  installed_device = device;
  return previous;
}

}  // namespace lumetra
