// The machine as the loader asks it, for tests on either build: which
// displays are attached, the profile each uses, its monitor's name and
// whether advanced colour is on. The cards are a FakeGammaDevice.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "loader/display_calibration.h"

namespace lumetra::testing {

inline const std::string kDisplay1 = "\\\\.\\DISPLAY1";
inline const std::string kDisplay2 = "\\\\.\\DISPLAY2";

class FakeDisplaySystem final : public DisplaySystem {
 public:
  Status AttachedDisplays(std::vector<std::string>* names) override {
    if (list_status != kOk) return list_status;
    *names = attached;
    return kOk;
  }
  std::string ProfilePath(const std::string& device_name) override {
    ++profile_questions;
    auto found = profiles.find(device_name);
    return found == profiles.end() ? std::string() : found->second;
  }
  std::string FriendlyName(const std::string& device_name) override {
    auto found = friendly_names.find(device_name);
    return found == friendly_names.end() ? std::string() : found->second;
  }
  bool AdvancedColorActive(const std::string& device_name) override { return advanced_color.count(device_name) > 0; }
  void WaitBeforeRetry() override { ++retry_waits; }
  bool AssociateProfile(const std::string& device_name, const std::string& path) override {
    if (refuse_associations) return false;
    profiles[device_name] = path;
    return true;
  }

  std::vector<std::string> attached = {kDisplay1, kDisplay2};
  std::map<std::string, std::string> profiles;        // full paths
  std::map<std::string, std::string> friendly_names;
  std::set<std::string> advanced_color;               // displays in HDR
  Status list_status = kOk;
  int profile_questions = 0;
  int retry_waits = 0;
  bool refuse_associations = false;
};

}  // namespace lumetra::testing
