// The loader's work on the displays: for each display attached to the
// desktop, the ramp its profile asks for (or the identity), loaded through the
// gamma device and read back at the precision the card keeps, or only
// compared; one report line per display. Portable: the machine is reached
// through DisplaySystem and the gamma device seam.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/support/status.h"
#include "monitor/gamma_ramp.h"

namespace lumetra {

// The machine as the loader asks it, besides the graphics cards.
class DisplaySystem {
 public:
  virtual ~DisplaySystem() = default;
  // 0 with the device names ("\\.\DISPLAY1", ...) of the displays attached to
  // the desktop now, in the system's order.
  virtual Status AttachedDisplays(std::vector<std::string>* names) = 0;
  // The full path of the profile the system uses for a display; empty when it
  // names none.
  virtual std::string ProfilePath(const std::string& device_name) = 0;
  // The monitor's name as the system gives it ("DELL U2720Q"); empty when it
  // gives none.
  virtual std::string FriendlyName(const std::string& /*device_name*/) { return std::string(); }
  // Whether advanced colour (HDR) is on for the display: its ramp is then not
  // the SDR calibration's to set. False when the system cannot tell.
  virtual bool AdvancedColorActive(const std::string& /*device_name*/) { return false; }
  // Some drivers refuse the first ramp after a mode change: the pause before
  // the one more try.
  virtual void WaitBeforeRetry() {}
  // Makes the profile (a full path) the one the system uses for the
  // display's monitor; false when that fails.
  virtual bool AssociateProfile(const std::string& /*device_name*/, const std::string& /*path*/) { return false; }
};

enum class RampAction { kLoad, kReset, kVerify };

// One display's outcome.
struct DisplayResult {
  std::string device_name;
  std::string profile_name;  // the profile's file name; "-" when no profile is involved
  std::string profile_path;  // its full path as the system named it; empty for none
  bool calibrated = false;   // the profile has a vcgt table (not merely linear)
  bool as_intended = false;  // the display ended in the state asked for
  bool loaded = false;       // the card was given `wanted` and holds it
  Status status = kOk;       // what went wrong, 0 when nothing did
  uint32_t largest_difference = 0;  // card against wanted, 16-bit units
  std::string outcome;       // the report's words
  uint16_t wanted[3][kGammaRampEntries] = {};  // the ramp the display should hold
};

// Does `action` on every attached display, or on display `only` (1-based,
// "\\.\DISPLAYn") when it is not 0; a display asked for that is not attached
// gives a result that is not as intended. 0 with the results in the system's
// display order; 21002 when memory runs out, or the status of a failed
// display enumeration.
Status RunOnDisplays(RampAction action, int32_t only, DisplaySystem& system,
                     std::vector<DisplayResult>* results);

// The same for one display by device name.
DisplayResult RunOnDisplay(RampAction action, const std::string& device_name, DisplaySystem& system);

// The ramp the display's profile asks for, as the system names the profile
// now, without touching the card: `result` gets the profile's name and path,
// `calibrated` and `wanted`. False, with the result's status and outcome,
// when there is nothing to load (no profile, unreadable, a table not
// understood).
bool ReadWantedRamp(const std::string& device_name, DisplaySystem& system, DisplayResult* result);

// A profile chosen for a display: its table (or the identity) is loaded and
// verified first, and only then is the profile associated with the display's
// monitor. A profile that cannot be read, a refused ramp or a failed
// association leave the association and the card as they were.
DisplayResult ChooseProfile(const std::string& device_name, const std::string& path, DisplaySystem& system);

// Whether the display's card still holds `wanted` at the precision cards keep
// (every entry within 256). False when the card cannot be read.
bool CardHolds(const std::string& device_name, const uint16_t (&wanted)[3][kGammaRampEntries]);

// "\\.\DISPLAY1  Gamma5000K.icm  loaded, verified"
std::string ReportLine(const DisplayResult& result);

// The exit code a set of results asks for: 0 when every display ended as
// intended, 1 otherwise, and 1 for no display at all.
int ExitCodeOf(const std::vector<DisplayResult>& results);

}  // namespace lumetra
