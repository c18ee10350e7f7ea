#include "loader/display_calibration.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "framework/support/catalogue.h"
#include "icc/calibration_curves.h"
#include "icc/profile.h"
#include "loader/loader_options.h"
#include "monitor/gamma_device.h"

namespace lumetra {

namespace {

using RampTable = uint16_t[3][kGammaRampEntries];
constexpr size_t kRampWords = 3 * kGammaRampEntries;

void Identity(RampTable& table) {
  for (auto& channel : table) {
    for (uint32_t i = 0; i < kGammaRampEntries; ++i) channel[i] = static_cast<uint16_t>(i << 8);
  }
}

// The last component of a path, "\" or "/" separated.
std::string FileNameOf(const std::string& path) {
  size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// "status 5012 (The colour profile is shorter than its header says)"; the
// catalogue's text when the language file is at hand.
std::string StatusWords(Status status) {
  std::string words = "status " + std::to_string(status);
  const char* text = LookupMessage(status);
  if (text != kMissingMessage && text && *text) words += std::string(" (") + text + ")";
  return words;
}

// Cards keep 8 bits of each entry, some more, and a card that keeps more may
// round (0x12FF reads back as 0x1300): an entry matches when it lies within
// one step of an 8-bit card. The largest difference is over the whole 16 bits.
constexpr uint32_t kCardTolerance = 256;

bool SameAtCardPrecision(const RampTable& card, const RampTable& wanted, uint32_t* largest) {
  const uint16_t* a = &card[0][0];
  const uint16_t* b = &wanted[0][0];
  uint32_t difference = 0;
  for (size_t i = 0; i < kRampWords; ++i)
    difference = std::max<uint32_t>(difference, static_cast<uint32_t>(std::abs(a[i] - b[i])));
  *largest = difference;
  return difference <= kCardTolerance;
}

struct ProfileCloser {
  void operator()(IccProfile* profile) const { CloseProfile(profile); }
};

// The ramp the profile asks for: its vcgt table, or the identity for a profile
// without one. Fills the result's profile name, and its failure when there is
// nothing to load.
bool WantedRampOf(const std::string& path, DisplayResult& result) {
  result.profile_path = path;
  result.profile_name = FileNameOf(path);

  char reference[kFileReferenceSize] = {};
  if (path.size() >= sizeof(reference)) {
    result.status = kBadArgument;
    result.outcome = "not loaded: the profile's path is too long, " + StatusWords(result.status);
    return false;
  }
  std::memcpy(reference, path.data(), path.size());
  IccProfile* opened = nullptr;
  Status status = OpenProfile(&opened, reference);
  std::unique_ptr<IccProfile, ProfileCloser> profile(opened);
  if (status != kOk) {
    result.status = status;
    result.outcome = "not loaded: the profile cannot be read, " + StatusWords(status);
    return false;
  }

  GammaRampPtr ramp(CreateGammaRamp());
  if (!ramp) {
    result.status = kOutOfMemory;
    result.outcome = "not loaded: " + StatusWords(kOutOfMemory);
    return false;
  }
  status = DecodeProfileCalibration(profile.get(), ramp.get());
  const bool linear = status == kTagNotFound;
  result.calibrated = status == kOk;
  if (status != kOk && !linear) {
    result.status = status;
    result.outcome = "not loaded: its vcgt tag is of a form not understood, " + StatusWords(status);
    return false;
  }
  std::memcpy(result.wanted, ramp->table, sizeof(result.wanted));  // the identity when linear
  return true;
}

bool WantedRamp(const std::string& device_name, DisplaySystem& system, DisplayResult& result) {
  std::string path = system.ProfilePath(device_name);
  if (path.empty()) {
    result.profile_name = "-";
    result.status = kNotAvailable;
    result.outcome = "no profile: the system names none for this display, " + StatusWords(result.status);
    return false;
  }
  return WantedRampOf(path, result);
}

void LoadAndVerify(const std::string& device_name, const char* what, DisplaySystem& system,
                   DisplayResult& result) {
  GammaDevice& device = CurrentGammaDevice();
  Status set_status = device.SetDisplayRamp(device_name.c_str(), &result.wanted[0][0]);
  if (set_status != kOk) {
    system.WaitBeforeRetry();
    set_status = device.SetDisplayRamp(device_name.c_str(), &result.wanted[0][0]);
  }
  RampTable card;
  Status read_status = device.GetDisplayRamp(device_name.c_str(), &card[0][0]);
  const bool holds = read_status == kOk && SameAtCardPrecision(card, result.wanted, &result.largest_difference);

  if (set_status != kOk) {
    if (holds) {
      // A card that refuses a ramp it already holds is where it should be.
      result.as_intended = result.loaded = true;
      result.outcome = std::string(what) + " already held, verified";
      return;
    }
    result.status = set_status;
    if (read_status != kOk) {
      // Neither set nor read: no range setting would help.
      result.outcome = "not loaded: this display takes no gamma ramp: a remote, virtual or basic display, " +
                       StatusWords(set_status);
      return;
    }
    result.outcome = "not loaded: the system refused the ramp, " + StatusWords(set_status) +
                     "; Windows refuses ramps far from linear unless the registry value"
                     " GdiIcmGammaRange allows them";
    return;
  }
  if (read_status != kOk) {
    result.status = read_status;
    result.outcome = std::string(what) + " loaded, but it cannot be read back, " + StatusWords(read_status);
    return;
  }
  if (!holds) {
    result.status = kNotAvailable;
    result.outcome = std::string(what) + " loaded, but the card holds another ramp (largest difference " +
                     std::to_string(result.largest_difference) + ")";
    return;
  }
  result.as_intended = result.loaded = true;
  result.outcome = std::string(what) + " loaded, verified";
}

void Verify(const std::string& device_name, DisplayResult& result) {
  RampTable card;
  Status status = CurrentGammaDevice().GetDisplayRamp(device_name.c_str(), &card[0][0]);
  if (status != kOk) {
    result.status = status;
    result.outcome = "cannot be verified: the card's ramp cannot be read, " + StatusWords(status);
    return;
  }
  const bool same = SameAtCardPrecision(card, result.wanted, &result.largest_difference);
  result.as_intended = same;
  if (!same) result.status = kNotAvailable;
  result.outcome = std::string(same ? "matches" : "differs from") + " its profile" +
                   (result.calibrated ? "" : " (no vcgt tag: linear)") + ", largest difference " +
                   std::to_string(result.largest_difference);
}

DisplayResult Run(RampAction action, const std::string& device_name, DisplaySystem& system) {
  DisplayResult result;
  result.device_name = device_name;
  if (action != RampAction::kVerify && system.AdvancedColorActive(device_name)) {
    // The system's own tone mapping owns the ramp: an SDR calibration would
    // be wrong there, and setting one is undefined.
    result.profile_name = "-";
    result.status = kNotAvailable;
    result.outcome = "not loaded: advanced colour (HDR) is on for this display";
    return result;
  }
  if (action == RampAction::kReset) {
    result.profile_name = "-";
    Identity(result.wanted);
    LoadAndVerify(device_name, "linear ramp", system, result);
    return result;
  }
  if (!WantedRamp(device_name, system, result)) return result;
  if (action == RampAction::kVerify) {
    Verify(device_name, result);
  } else {
    LoadAndVerify(device_name, result.calibrated ? "calibration" : "no vcgt tag: linear ramp", system, result);
  }
  return result;
}

}  // namespace

DisplayResult RunOnDisplay(RampAction action, const std::string& device_name, DisplaySystem& system) {
  try {
    return Run(action, device_name, system);
  } catch (const std::bad_alloc&) {
    DisplayResult result;
    result.status = kOutOfMemory;
    return result;
  }
}

bool ReadWantedRamp(const std::string& device_name, DisplaySystem& system, DisplayResult* result) {
  if (!result) return false;
  try {
    *result = DisplayResult();
    result->device_name = device_name;
    return WantedRamp(device_name, system, *result);
  } catch (const std::bad_alloc&) {
    result->status = kOutOfMemory;
    return false;
  }
}

Status RunOnDisplays(RampAction action, int32_t only, DisplaySystem& system,
                     std::vector<DisplayResult>* results) {
  if (!results) return kMissingObject;
  try {
    results->clear();
    std::vector<std::string> names;
    Status status = system.AttachedDisplays(&names);
    if (status != kOk) return status;
    if (only != 0) {
      const std::string wanted = DisplayDeviceName(only);
      if (std::find(names.begin(), names.end(), wanted) == names.end()) {
        DisplayResult missing;
        missing.device_name = wanted;
        missing.profile_name = "-";
        missing.status = kIndexOutOfRange;
        missing.outcome = "not attached to the desktop, " + StatusWords(missing.status);
        results->push_back(missing);
        return kOk;
      }
      names.assign(1, wanted);
    }
    for (const std::string& name : names) results->push_back(Run(action, name, system));
    return kOk;
  } catch (const std::bad_alloc&) {
    results->clear();
    return kOutOfMemory;
  }
}

DisplayResult ChooseProfile(const std::string& device_name, const std::string& path, DisplaySystem& system) {
  DisplayResult result;
  try {
    result.device_name = device_name;
    result.profile_name = FileNameOf(path);
    if (system.AdvancedColorActive(device_name)) {
      result.status = kNotAvailable;
      result.outcome = "not loaded: advanced colour (HDR) is on for this display";
      return result;
    }
    if (!WantedRampOf(path, result)) return result;
    GammaDevice& device = CurrentGammaDevice();
    RampTable before;
    const bool saved = device.GetDisplayRamp(device_name.c_str(), &before[0][0]) == kOk;
    LoadAndVerify(device_name, result.calibrated ? "calibration" : "no vcgt tag: linear ramp", system, result);
    if (result.as_intended && system.AssociateProfile(device_name, path)) {
      result.outcome = "chosen: " + result.outcome;
      return result;
    }
    if (result.as_intended) {
      result.as_intended = result.loaded = false;
      result.status = kSystemCallFailed;
      result.outcome = "not chosen: the profile cannot be associated with this display's monitor, " +
                       StatusWords(result.status);
    }
    // Whatever reached the card goes back.
    if (saved) device.SetDisplayRamp(device_name.c_str(), &before[0][0]);
  } catch (const std::bad_alloc&) {
    result.status = kOutOfMemory;
    result.outcome = "not loaded: " + StatusWords(kOutOfMemory);
  }
  return result;
}

bool CardHolds(const std::string& device_name, const uint16_t (&wanted)[3][kGammaRampEntries]) {
  RampTable card;
  uint32_t largest = 0;
  return CurrentGammaDevice().GetDisplayRamp(device_name.c_str(), &card[0][0]) == kOk &&
         SameAtCardPrecision(card, wanted, &largest);
}

std::string ReportLine(const DisplayResult& result) {
  return result.device_name + "  " + result.profile_name + "  " + result.outcome;
}

int ExitCodeOf(const std::vector<DisplayResult>& results) {
  if (results.empty()) return kExitFailure;
  for (const DisplayResult& result : results) {
    if (!result.as_intended) return kExitFailure;
  }
  return kExitSuccess;
}

}  // namespace lumetra
