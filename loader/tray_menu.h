// What the watcher's notification-area icon shows: its tip, whether it wears
// the warning badge, its menu as data, and the notifications a change of a
// display's state asks for. Portable; the Windows layer turns the menu into
// a popup menu and the notifications into balloons.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "loader/watch_policy.h"

namespace lumetra {

// The menu's commands; a profile chosen for display i (0-based in the
// watcher's list) is kTrayFirstProfile + i * kTrayProfilesPerDisplay + the
// profile's index, so that every id fits a WM_COMMAND's 16 bits.
enum TrayCommand : uint32_t {
  kTrayLoadNow = 1,
  kTrayReset,
  kTrayPause,
  kTrayResume,
  kTrayOpenLumetra,
  kTrayOpenLog,
  kTrayStartAtLogin,
  kTrayNotifications,
  kTrayExit,
  kTrayFirstProfile = 1000,
};
constexpr uint32_t kTrayProfilesPerDisplay = 4000;
constexpr size_t kTrayMenuDisplays = 16;  // displays beyond these get no profile submenu

struct TrayMenuItem {
  enum class Kind { kCommand, kLine, kSeparator, kSubmenu };
  Kind kind = Kind::kCommand;
  std::string text;
  uint32_t command = 0;
  bool checked = false;
  bool enabled = true;
  std::vector<TrayMenuItem> items;  // of a submenu
};

struct InstalledProfileLine {
  std::string path;  // full path
  std::string line;  // as the profile lists show it
};

struct TrayState {
  std::vector<DisplayView> displays;
  std::vector<InstalledProfileLine> profiles;
  bool paused_on_request = false;
  bool start_at_login = false;
  bool notifications = true;
};

std::vector<TrayMenuItem> BuildTrayMenuItems(const TrayState& state);

// The display and profile indexes of a profile command; false for any other.
bool DecodeProfileCommand(uint32_t command, size_t* display, size_t* profile);

// "Lumetra: 2 displays calibrated", or the first display that is yielded,
// paused or not loaded. At most kLongestTip characters.
constexpr size_t kLongestTip = 127;
std::string TrayTip(const std::vector<DisplayView>& displays);

// Some display is not as intended: yielded, paused or not loaded.
bool TrayNeedsWarning(const std::vector<DisplayView>& displays);

// "display 2" for "\\.\DISPLAY2"; the device name when it is not of that form.
std::string DisplayWords(const std::string& device_name);

// A display that has just become yielded, paused by a program or not loaded
// gets one notification; restores, requested pauses and states it stays in
// get none.
class TrayNotifications {
 public:
  std::vector<std::string> Update(const std::vector<DisplayView>& displays);

 private:
  std::map<std::string, std::string> states_;  // device name -> the state last seen
};

}  // namespace lumetra
