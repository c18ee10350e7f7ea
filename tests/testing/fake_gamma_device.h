// A graphics card for tests, on either build: one lookup table per screen,
// refusing ramps or reads on demand the way drivers do. Constructing one
// installs it as the gamma device; destroying it puts the previous one back.
#pragma once

#include <cstdint>
#include <cstring>

#include "framework/support/status.h"
#include "framework/support/system_error.h"
#include "monitor/gamma_device.h"

namespace lumetra::testing {

class FakeGammaDevice final : public GammaDevice {
 public:
  static constexpr int32_t kScreens = 2;
  static constexpr int kWords = 768;

  FakeGammaDevice() {
    for (auto& table : tables) {
      for (int i = 0; i < kWords; ++i) table[i] = static_cast<uint16_t>((i % 256) << 8);
    }
    previous_ = SetGammaDevice(this);
  }
  ~FakeGammaDevice() override { SetGammaDevice(previous_); }
  FakeGammaDevice(const FakeGammaDevice&) = delete;
  FakeGammaDevice& operator=(const FakeGammaDevice&) = delete;

  Status SetRamp(int32_t screen, const uint16_t* table) override {
    ++set_calls;
    if (!Exists(screen) || refuse_sets) return Refuse();
    std::memcpy(tables[screen], table, sizeof(tables[screen]));
    return kOk;
  }

  Status GetRamp(int32_t screen, uint16_t* table) override {
    ++get_calls;
    if (!Exists(screen) || refuse_gets) return Refuse();
    std::memcpy(table, tables[screen], sizeof(tables[screen]));
    return kOk;
  }

  uint16_t tables[kScreens][kWords];
  bool refuse_sets = false;
  bool refuse_gets = false;
  uint32_t refusal_error = 0;  // the system error a refusal leaves; 0 gives none
  int set_calls = 0;
  int get_calls = 0;

 private:
  static bool Exists(int32_t screen) { return screen >= 0 && screen < kScreens; }
  Status Refuse() const {
    SetLastSystemError(refusal_error);
    return StatusFromSystem(false);
  }

  GammaDevice* previous_ = nullptr;
};

}  // namespace lumetra::testing
