#include "loader/tray_menu.h"

namespace lumetra {

namespace {

constexpr char kDevicePrefix[] = "\\\\.\\DISPLAY";

bool SamePath(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x == '/') x = '\\';
    if (y == '/') y = '\\';
    if (x != y) return false;
  }
  return true;
}

TrayMenuItem Command(const std::string& text, uint32_t command, bool checked = false) {
  TrayMenuItem item;
  item.text = text;
  item.command = command;
  item.checked = checked;
  return item;
}

TrayMenuItem Line(const std::string& text) {
  TrayMenuItem item;
  item.kind = TrayMenuItem::Kind::kLine;
  item.text = text;
  item.enabled = false;
  return item;
}

TrayMenuItem Separator() {
  TrayMenuItem item;
  item.kind = TrayMenuItem::Kind::kSeparator;
  return item;
}

std::string Capitalised(std::string text) {
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 'a' + 'A');
  return text;
}

bool NotAsIntended(WatchState state) {
  return state == WatchState::kYielded || state == WatchState::kPaused || state == WatchState::kNotLoaded;
}

}  // namespace

std::string DisplayWords(const std::string& device_name) {
  const std::string prefix = kDevicePrefix;
  if (device_name.size() > prefix.size() && device_name.compare(0, prefix.size(), prefix) == 0)
    return "display " + device_name.substr(prefix.size());
  return device_name;
}

std::vector<TrayMenuItem> BuildTrayMenuItems(const TrayState& state) {
  std::vector<TrayMenuItem> menu;
  for (const DisplayView& display : state.displays) {
    std::string text = Capitalised(DisplayWords(display.device_name));
    if (!display.friendly_name.empty()) text += " (" + display.friendly_name + ")";
    menu.push_back(Line(text + ": " + display.profile_name + ", " + display.state_words));
  }
  if (state.displays.empty()) menu.push_back(Line("No display is watched"));
  menu.push_back(Separator());

  for (size_t d = 0; d < state.displays.size() && d < kTrayMenuDisplays; ++d) {
    TrayMenuItem submenu;
    submenu.kind = TrayMenuItem::Kind::kSubmenu;
    submenu.text = "Profile for " + DisplayWords(state.displays[d].device_name);
    for (size_t p = 0; p < state.profiles.size() && p < kTrayProfilesPerDisplay; ++p) {
      const uint32_t command = kTrayFirstProfile + static_cast<uint32_t>(d * kTrayProfilesPerDisplay + p);
      submenu.items.push_back(Command(state.profiles[p].line, command,
                                      SamePath(state.profiles[p].path, state.displays[d].profile_path)));
    }
    if (submenu.items.empty()) submenu.items.push_back(Line("No monitor profiles are installed"));
    menu.push_back(submenu);
  }
  if (!state.displays.empty()) menu.push_back(Separator());

  menu.push_back(Command("Load calibration now", kTrayLoadNow));
  menu.push_back(Command("Reset to linear", kTrayReset));
  menu.push_back(state.paused_on_request ? Command("Resume", kTrayResume) : Command("Pause for 1 hour", kTrayPause));
  menu.push_back(Separator());
  menu.push_back(Command("Open Lumetra", kTrayOpenLumetra));
  menu.push_back(Command("Open log", kTrayOpenLog));
  menu.push_back(Separator());
  menu.push_back(Command("Start at login", kTrayStartAtLogin, state.start_at_login));
  menu.push_back(Command("Show notifications", kTrayNotifications, state.notifications));
  menu.push_back(Separator());
  menu.push_back(Command("Exit", kTrayExit));
  return menu;
}

bool DecodeProfileCommand(uint32_t command, size_t* display, size_t* profile) {
  if (command < kTrayFirstProfile) return false;
  const uint32_t offset = command - kTrayFirstProfile;
  if (offset / kTrayProfilesPerDisplay >= kTrayMenuDisplays) return false;
  *display = offset / kTrayProfilesPerDisplay;
  *profile = offset % kTrayProfilesPerDisplay;
  return true;
}

std::string TrayTip(const std::vector<DisplayView>& displays) {
  std::string tip;
  size_t calibrated = 0, linear = 0;
  for (const DisplayView& display : displays) {
    if (NotAsIntended(display.state)) {
      tip = "Lumetra: " + DisplayWords(display.device_name) + " " + display.state_words;
      break;
    }
    calibrated += display.state == WatchState::kWatched;
    linear += display.state == WatchState::kNotWatched;
  }
  if (tip.empty()) {
    if (displays.empty()) {
      tip = "Lumetra: no display is watched";
    } else {
      tip = "Lumetra: " + std::to_string(calibrated) + (calibrated == 1 ? " display" : " displays") + " calibrated";
      if (linear) tip += ", " + std::to_string(linear) + " linear";
    }
  }
  if (tip.size() > kLongestTip) tip = tip.substr(0, kLongestTip - 3) + "...";
  return tip;
}

bool TrayNeedsWarning(const std::vector<DisplayView>& displays) {
  for (const DisplayView& display : displays) {
    if (NotAsIntended(display.state)) return true;
  }
  return false;
}

std::vector<std::string> TrayNotifications::Update(const std::vector<DisplayView>& displays) {
  std::vector<std::string> notes;
  for (const DisplayView& display : displays) {
    std::string state;
    std::string note;
    const std::string name = Capitalised(DisplayWords(display.device_name));
    switch (display.state) {
      case WatchState::kYielded:
        state = "yielded";
        note = name + " is left to another program that keeps setting its own ramp, until its calibration is "
                      "loaded again.";
        break;
      case WatchState::kPaused:
        if (display.pausing_program.empty()) break;  // asked for: nothing to tell
        state = "paused while " + display.pausing_program;
        note = name + " is not restored while " + display.pausing_program + " runs.";
        break;
      case WatchState::kNotLoaded:
        state = "not loaded";
        note = name + " " + display.state_words + ".";
        break;
      default:
        break;
    }
    std::string& seen = states_[display.device_name];
    if (!note.empty() && state != seen) notes.push_back(note);
    seen = state;
  }
  return notes;
}

}  // namespace lumetra
