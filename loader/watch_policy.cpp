#include "loader/watch_policy.h"

#include <algorithm>
#include <new>

#include "loader/loader_options.h"

namespace lumetra {

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringAsciiCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

constexpr char kNotLoadedPrefix[] = "not loaded: ";

}  // namespace

const std::vector<std::string>& DefaultPauseList() {
  static const std::vector<std::string> programs = {"dispcal.exe", "dispread.exe", "dispwin.exe", "spotread.exe",
                                                    "dccw.exe",    "madTPG.exe",   "flux.exe"};
  return programs;
}

std::string FirstListedRunning(const std::vector<std::string>& listed, const std::vector<std::string>& running) {
  for (const std::string& program : listed) {
    if (program.empty()) continue;
    for (const std::string& name : running) {
      if (SameIgnoringAsciiCase(program, name)) return program;
    }
  }
  return std::string();
}

WatchPolicy::WatchPolicy(DisplaySystem& system, WatchEnvironment& environment, int32_t only)
    : system_(system), environment_(environment), only_(only) {}

bool WatchPolicy::Paused() const { return pause_requested_ || !pausing_program_.empty(); }

void WatchPolicy::Say(const Display& display, const std::string& words) {
  environment_.Report(display.load.device_name + "  " + display.load.profile_name + "  " + words);
}

WatchPolicy::Display* WatchPolicy::Find(const std::string& device_name) {
  for (Display& display : displays_) {
    if (display.load.device_name == device_name) return &display;
  }
  return nullptr;
}

// Reads the pause list and the running programs. Listing the processes is
// the costliest part of a check, so it is done only where it decides
// something: before a restore, while a program pauses the watcher, at loads
// and for the status.
void WatchPolicy::UpdateProgramPause() {
  std::vector<std::string> listed;
  bool wrong_type = false;
  if (!environment_.StoredPauseList(&listed, &wrong_type)) listed = DefaultPauseList();
  if (wrong_type && !wrong_type_logged_) {
    environment_.Report("the value PauseWhileRunning is not a list of program names (REG_MULTI_SZ):"
                        " ignored, the default programs pause the watcher");
  }
  wrong_type_logged_ = wrong_type_logged_ || wrong_type;

  std::vector<std::string> running;
  if (environment_.RunningPrograms(&running) != kOk) return;  // keep the state until they can be listed
  std::string pausing = FirstListedRunning(listed, running);
  if (pausing == pausing_program_) return;
  if (pausing.empty()) {
    environment_.Report(pausing_program_ + " has ended: loading every display");
    load_when_unpaused_ = true;
  } else {
    environment_.Report("paused while " + pausing + " runs: no display is restored");
  }
  pausing_program_ = pausing;
}

void WatchPolicy::LoadAll(const std::string& why) {
  UpdateProgramPause();
  if (Paused()) {
    if (!why.empty()) environment_.Report(why + ": nothing loaded while paused");
    load_when_unpaused_ = true;
  } else if (!why.empty()) {
    environment_.Report(why + ": loading every display");
  }
  LoadDisplays();
}

void WatchPolicy::LoadDisplays() {
  std::vector<std::string> names;
  Status status = system_.AttachedDisplays(&names);
  if (status != kOk) {
    environment_.Report("the displays cannot be listed: status " + std::to_string(status));
    return;
  }
  if (only_ != 0) {
    const std::string wanted = DisplayDeviceName(only_);
    if (std::find(names.begin(), names.end(), wanted) == names.end()) {
      environment_.Report(wanted + "  -  not attached to the desktop");
      names.clear();
    } else {
      names.assign(1, wanted);
    }
  }
  if (names.empty() && only_ == 0) environment_.Report("no display is attached to the desktop");

  std::vector<Display> loaded;
  loaded.reserve(names.size());
  for (const std::string& name : names) {
    Display display;
    if (const Display* before = Find(name)) {
      // A display keeps its restores and a reset's pause across loads; a
      // yield ends with the event.
      display.restores = before->restores;
      display.restore_count = before->restore_count;
      display.last_restore = before->last_restore;
      display.reset_paused = before->reset_paused;
    }
    display.friendly_name = system_.FriendlyName(name);
    if (Paused() || display.reset_paused) {
      ReadWantedRamp(name, system_, &display.load);
    } else {
      display.load = RunOnDisplay(RampAction::kLoad, name, system_);
      environment_.Report(ReportLine(display.load));
    }
    display.reset_paused = display.reset_paused && display.load.calibrated;
    loaded.push_back(std::move(display));
  }
  displays_.swap(loaded);
  if (!Paused()) load_when_unpaused_ = false;
}

void WatchPolicy::Check() {
  if (!pausing_program_.empty()) UpdateProgramPause();
  if (pause_requested_ && environment_.NowMs() >= pause_until_ms_) {
    pause_requested_ = false;
    environment_.Report("the pause has ended: loading every display");
    load_when_unpaused_ = true;
  }
  if (Paused()) return;
  if (load_when_unpaused_) {
    LoadDisplays();
    return;
  }
  programs_listed_ = false;
  for (Display& display : displays_) CheckDisplay(display);
}

// Whether a listed program runs now; the processes are listed once a check.
bool WatchPolicy::ProgramPauses() {
  if (!programs_listed_) UpdateProgramPause();
  programs_listed_ = true;
  return !pausing_program_.empty();
}

void WatchPolicy::CheckDisplay(Display& display) {
  const std::string& name = display.load.device_name;
  const WatchState state = StateOf(static_cast<size_t>(&display - displays_.data()));
  if (state == WatchState::kNotLoaded || state == WatchState::kNotWatched) return;
  if (CardHolds(name, display.load.wanted)) {
    if (display.yielded || display.reset_paused) {
      display.yielded = display.reset_paused = false;
      display.load.loaded = display.load.as_intended = true;
      display.load.outcome = "calibration held, verified";
      Say(display, "watched again: the card holds its calibration");
    }
    return;
  }
  if (display.yielded || display.reset_paused) {
    // Left alone; only a new choice of profile that the card already holds
    // ends it here. The path is cheap to ask, the profile is read only when
    // it changed.
    if (system_.ProfilePath(name) != display.load.profile_path && Adopted(display)) {
      display.yielded = display.reset_paused = false;
    }
    return;
  }
  if (Adopted(display) || ProgramPauses()) return;

  const uint64_t now = environment_.NowMs();
  while (!display.restores.empty() && now - display.restores.front() >= kRestoreWindowMs)
    display.restores.pop_front();
  if (display.restores.size() >= kRestoreLimit) {
    display.yielded = true;
    display.yielded_since = environment_.LocalTime(0);
    Say(display, "yielded: its ramp was changed again after " + std::to_string(kRestoreLimit) +
                     " restores within 2 minutes; left to the program that sets it until its calibration is"
                     " loaded again or the next display, power or session event");
    return;
  }
  Restore(display);
}

// A changed ramp may be a new choice of profile (in Lumetra's dialog or
// elsewhere) whose table the card already holds: the display takes it as its
// calibration, and nothing is restored or counted.
bool WatchPolicy::Adopted(Display& display) {
  DisplayResult fresh;
  if (!ReadWantedRamp(display.load.device_name, system_, &fresh)) return false;
  if (!CardHolds(fresh.device_name, fresh.wanted)) {
    if (fresh.calibrated) return false;
    // The system now names a profile without a table: nothing to protect.
    fresh.loaded = fresh.as_intended = true;
    fresh.outcome = "no vcgt tag: not watched";
    display.load = fresh;
    Say(display, display.load.outcome);
    return true;
  }
  fresh.loaded = fresh.as_intended = true;
  fresh.outcome = std::string(fresh.calibrated ? "calibration" : "no vcgt tag: linear ramp") +
                  " adopted: the card already holds it";
  display.load = fresh;
  Say(display, display.load.outcome);
  return true;
}

void WatchPolicy::Restore(Display& display) {
  display.load = RunOnDisplay(RampAction::kLoad, display.load.device_name, system_);
  display.restores.push_back(environment_.NowMs());
  ++display.restore_count;
  display.last_restore = environment_.LocalTime(0);
  environment_.Report(ReportLine(display.load) + " (its ramp had been changed)");
}

void WatchPolicy::PauseFor(uint32_t minutes) {
  minutes = std::min(std::max(minutes, 1u), kLongestPauseMinutes);
  const uint64_t span = static_cast<uint64_t>(minutes) * 60 * 1000;
  pause_requested_ = true;
  pause_until_ms_ = environment_.NowMs() + span;
  pause_until_ = environment_.LocalTime(static_cast<int64_t>(span));
  environment_.Report("paused until " + pause_until_ + ", as asked: no display is restored");
}

void WatchPolicy::Resume() {
  pause_requested_ = false;
  for (Display& display : displays_) display.yielded = display.reset_paused = false;
  environment_.Report("resumed: loading every display");
  UpdateProgramPause();
  // Asked for in so many words: load even while a listed program runs.
  const std::string pausing = pausing_program_;
  pausing_program_.clear();
  LoadDisplays();
  pausing_program_ = pausing;
  if (!pausing.empty()) environment_.Report("still paused while " + pausing + " runs: no display is restored");
}

void WatchPolicy::PauseForReset(int32_t only) {
  const std::string wanted = only != 0 ? DisplayDeviceName(only) : std::string();
  for (Display& display : displays_) {
    if (!wanted.empty() && display.load.device_name != wanted) continue;
    if (!display.load.calibrated) continue;
    display.reset_paused = true;
    Say(display, "paused after a reset: not restored until its calibration is loaded again or /resume");
  }
}

WatchState WatchPolicy::StateOf(size_t index) const {
  if (index >= displays_.size()) return WatchState::kNotLoaded;
  const Display& display = displays_[index];
  if (display.reset_paused || (Paused() && display.load.status == kOk)) return WatchState::kPaused;
  if (!display.load.loaded) return WatchState::kNotLoaded;
  if (!display.load.calibrated) return WatchState::kNotWatched;
  if (display.yielded) return WatchState::kYielded;
  return WatchState::kWatched;
}

std::string WatchPolicy::StateWords(const Display& display) const {
  switch (StateOf(static_cast<size_t>(&display - displays_.data()))) {
    case WatchState::kWatched:
      if (display.restore_count == 0) return "watched (no restores)";
      return "watched (" + std::to_string(display.restore_count) +
             (display.restore_count == 1 ? " restore" : " restores") + ", the last at " + display.last_restore + ")";
    case WatchState::kNotWatched:
      return "not watched (no vcgt: linear)";
    case WatchState::kYielded:
      return "yielded (since " + display.yielded_since + ")";
    case WatchState::kPaused:
      if (display.reset_paused) return "paused (after a reset)";
      if (!pausing_program_.empty()) return "paused (while " + pausing_program_ + " runs)";
      return "paused (until " + pause_until_ + ")";
    case WatchState::kNotLoaded:
      break;
  }
  std::string why = display.load.outcome;
  if (why.compare(0, sizeof(kNotLoadedPrefix) - 1, kNotLoadedPrefix) == 0) why.erase(0, sizeof(kNotLoadedPrefix) - 1);
  return "not loaded (" + why + ")";
}

std::vector<DisplayView> WatchPolicy::Views() const {
  std::vector<DisplayView> views;
  for (size_t i = 0; i < displays_.size(); ++i) {
    const Display& display = displays_[i];
    DisplayView view;
    view.device_name = display.load.device_name;
    view.friendly_name = display.friendly_name;
    view.profile_name = display.load.profile_name;
    view.profile_path = display.load.profile_path;
    view.state = StateOf(i);
    view.state_words = StateWords(display);
    if (view.state == WatchState::kPaused && !display.reset_paused) view.pausing_program = pausing_program_;
    views.push_back(std::move(view));
  }
  return views;
}

std::vector<std::string> WatchPolicy::StatusLines() {
  UpdateProgramPause();
  std::vector<std::string> lines;
  for (const DisplayView& view : Views()) {
    std::string line = view.device_name + "  ";
    if (!view.friendly_name.empty()) line += view.friendly_name + "  ";
    lines.push_back(line + view.profile_name + "  " + view.state_words);
  }
  if (lines.empty()) lines.push_back("no display is watched");
  return lines;
}

bool WatchPolicy::PausedOnRequest() const {
  if (pause_requested_) return true;
  for (const Display& display : displays_) {
    if (display.reset_paused) return true;
  }
  return false;
}

bool WatchPolicy::DisplaysChanged() {
  std::vector<std::string> names;
  if (system_.AttachedDisplays(&names) != kOk) return false;
  if (only_ != 0) return false;  // one display, found again at the next event
  if (names.size() != displays_.size()) return true;
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i] != displays_[i].load.device_name) return true;
  }
  return false;
}

DisplayResult WatchPolicy::Choose(const std::string& device_name, const std::string& path) {
  DisplayResult result = ChooseProfile(device_name, path, system_);
  environment_.Report(ReportLine(result));
  Display* display = Find(device_name);
  if (display && result.as_intended) {
    display->load = result;
    display->yielded = display->reset_paused = false;
  }
  return result;
}

int WatchPolicy::ExitCode() const {
  std::vector<DisplayResult> loads;
  for (const Display& display : displays_) loads.push_back(display.load);
  return ExitCodeOf(loads);
}

}  // namespace lumetra
