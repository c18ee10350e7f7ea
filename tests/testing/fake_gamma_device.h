// A graphics card for tests, on either build: one lookup table per screen,
// refusing ramps or reads on demand the way drivers do. Display n, by device
// name "\\.\DISPLAYn", is screen n - 1. Constructing one installs it as the
// gamma device; destroying it puts the previous one back.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

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
    if (refuse_next_sets > 0) {
      --refuse_next_sets;
      return Refuse();
    }
    if (sets_without_effect) return kOk;
    for (int i = 0; i < kWords; ++i) tables[screen][i] = table[i] & kept_bits;
    return kOk;
  }

  Status GetRamp(int32_t screen, uint16_t* table) override {
    ++get_calls;
    if (!Exists(screen) || refuse_gets) return Refuse();
    std::memcpy(table, tables[screen], sizeof(tables[screen]));
    return kOk;
  }

  Status SetDisplayRamp(const char* device_name, const uint16_t* table) override {
    ++display_set_calls;
    return SetRamp(ScreenOfDevice(device_name), table);
  }

  Status GetDisplayRamp(const char* device_name, uint16_t* table) override {
    ++display_get_calls;
    return GetRamp(ScreenOfDevice(device_name), table);
  }

  // "\\.\DISPLAY1" is screen 0; any other name is no screen.
  static int32_t ScreenOfDevice(const char* device_name) {
    const std::string prefix = "\\\\.\\DISPLAY";
    if (!device_name) return -1;
    std::string name(device_name);
    if (name.size() != prefix.size() + 1 || name.compare(0, prefix.size(), prefix) != 0) return -1;
    char digit = name.back();
    return digit >= '1' && digit <= '9' ? digit - '1' : -1;
  }

  uint16_t tables[kScreens][kWords];
  bool refuse_sets = false;
  int refuse_next_sets = 0;          // refuse this many sets, then take them
  bool refuse_gets = false;
  bool sets_without_effect = false;  // a driver that reports success and changes nothing
  uint16_t kept_bits = 0xFFFF;       // 0xFF00 for a card that keeps 8 bits per entry
  uint32_t refusal_error = 0;  // the system error a refusal leaves; 0 gives none
  int set_calls = 0;
  int get_calls = 0;
  int display_set_calls = 0;
  int display_get_calls = 0;

 private:
  static bool Exists(int32_t screen) { return screen >= 0 && screen < kScreens; }
  Status Refuse() const {
    SetLastSystemError(refusal_error);
    return StatusFromSystem(false);
  }

  GammaDevice* previous_ = nullptr;
};

// Ramps for the fake card: the identity, and three gamma curves (1.8, 2.0,
// 2.4, each shifted by `gamma_shift`) reaching `top`.
inline std::vector<uint16_t> IdentityWords() {
  std::vector<uint16_t> words;
  for (int c = 0; c < 3; ++c)
    for (int i = 0; i < 256; ++i) words.push_back(static_cast<uint16_t>(i << 8));
  return words;
}

inline std::vector<uint16_t> CurveWords(double top, double gamma_shift = 0) {
  std::vector<uint16_t> words;
  for (double gamma : {1.8, 2.0, 2.4})
    for (int i = 0; i < 256; ++i)
      words.push_back(static_cast<uint16_t>(top * std::pow(i / 255.0, 1 / (gamma + gamma_shift)) + 0.5));
  return words;
}

}  // namespace lumetra::testing
