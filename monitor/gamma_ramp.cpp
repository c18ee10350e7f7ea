#include "monitor/gamma_ramp.h"

#include <cstring>

#include "monitor/gamma_device.h"

namespace lumetra {

GammaRamp* CreateGammaRamp() {
  auto* ramp = static_cast<GammaRamp*>(MemAlloc(sizeof(GammaRamp)));
  if (!ramp) return nullptr;
  ramp->count = kGammaRampEntries;
  for (auto& channel : ramp->table) {
    for (uint32_t i = 0; i < kGammaRampEntries; ++i) channel[i] = static_cast<uint16_t>(i << 8);
  }
  return ramp;
}

void FreeGammaRamp(GammaRamp* ramp) { MemFree(ramp); }

namespace {

// The count is a field anyone may write; the table never holds more than 256.
bool HoldsEntry(const GammaRamp* ramp, int channel, int32_t index) {
  return ramp && channel >= 0 && channel < 3 && index >= 0 &&
         static_cast<uint32_t>(index) < ramp->count &&
         static_cast<uint32_t>(index) < kGammaRampEntries;
}

}  // namespace

void SetGammaRampEntry(GammaRamp* ramp, int channel, int32_t index, uint32_t value) {
  if (HoldsEntry(ramp, channel, index)) ramp->table[channel][index] = static_cast<uint16_t>(value);
}

uint16_t GammaRampEntry(const GammaRamp* ramp, int channel, int32_t index) {
  return HoldsEntry(ramp, channel, index) ? ramp->table[channel][index] : 0;
}

uint32_t GammaRampCount(const GammaRamp* ramp) { return ramp ? ramp->count : 0; }

Status LoadGammaRamp(const GammaRamp* ramp, int32_t screen) {
  if (!ramp) return kMissingObject;
  Status status = CurrentGammaDevice().SetRamp(screen, &ramp->table[0][0]);
  if (status == kOk) return kOk;

  // Some drivers refuse a ramp they already hold; that is no failure.
  GammaRampPtr held(CreateGammaRamp());
  if (held && ReadGammaRamp(held.get(), screen) == kOk &&
      std::memcmp(held.get(), ramp, sizeof(GammaRamp)) == 0) {
    status = kOk;
  }
  return status;
}

Status ReadGammaRamp(GammaRamp* ramp, int32_t screen) {
  if (!ramp) return kMissingObject;
  return CurrentGammaDevice().GetRamp(screen, &ramp->table[0][0]);
}

}  // namespace lumetra
