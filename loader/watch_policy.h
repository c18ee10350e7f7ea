// The resident watcher's rules: which displays are watched, when a changed
// ramp is restored, adopted, or left to the program that set it, and when
// the watcher pauses. Portable: the machine comes in through DisplaySystem,
// the gamma device seam and WatchEnvironment, so the rules run on the host
// with a fake clock, fake displays and a fake card.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "loader/display_calibration.h"

namespace lumetra {

// What the watcher asks of the machine besides the displays and the cards.
class WatchEnvironment {
 public:
  virtual ~WatchEnvironment() = default;
  // A monotonic clock in milliseconds.
  virtual uint64_t NowMs() = 0;
  // The local date and time `offset_ms` from now, "2026-12-08 17:05:03".
  virtual std::string LocalTime(int64_t offset_ms) = 0;
  // The stored pause list; false when no list is stored (the defaults apply).
  // `wrong_type` is set when a value is stored that is not a list of names.
  virtual bool StoredPauseList(std::vector<std::string>* names, bool* wrong_type) = 0;
  // The program file names of the processes running now ("dispcal.exe").
  virtual Status RunningPrograms(std::vector<std::string>* names) = 0;
  // One line of what the watcher did, for its report and its log.
  virtual void Report(const std::string& line) = 0;
};

// The programs whose running pauses the watcher when no list is stored:
// calibration and measuring programs, the system's calibration wizard, a
// test-pattern generator and a night-light program.
const std::vector<std::string>& DefaultPauseList();

// The first of `listed` that is among `running`, compared ignoring ASCII
// case; empty when none runs.
std::string FirstListedRunning(const std::vector<std::string>& listed, const std::vector<std::string>& running);

enum class WatchState {
  kWatched,     // holds its calibration; a changed ramp is restored
  kNotWatched,  // no vcgt table: linear at loads, never restored
  kYielded,     // another program keeps setting its own ramp: left to it
  kPaused,      // no restores: a listed program runs, a pause was asked for, or after a reset
  kNotLoaded,   // its load failed; waits for the next event
};

// One display as the watcher sees it now, for its status, icon and menu.
struct DisplayView {
  std::string device_name;
  std::string friendly_name;   // empty when the system gives none
  std::string profile_name;    // "-" when no profile is involved
  std::string profile_path;    // empty when the system names none
  WatchState state = WatchState::kNotLoaded;
  std::string state_words;     // "watched (no restores)", "paused (while dispcal.exe runs)", ...
  std::string pausing_program; // the listed program that pauses it, if that is why
};

class WatchPolicy {
 public:
  // A display is restored at most this often in kRestoreWindowMs; the next
  // change yields it.
  static constexpr size_t kRestoreLimit = 3;
  static constexpr uint64_t kRestoreWindowMs = 2 * 60 * 1000;
  static constexpr uint32_t kLongestPauseMinutes = 1440;

  // `only` is a 1-based display number, or 0 for every display.
  WatchPolicy(DisplaySystem& system, WatchEnvironment& environment, int32_t only);

  // At start and after a display, power or session event: lists the
  // displays again and loads each (yields end). Nothing is loaded while the
  // watcher is paused; the pause's end loads. `why` names the event in the
  // report, empty at start.
  void LoadAll(const std::string& why);

  // The periodic check: the end of a pause, then a read-back of every
  // display; the pause list is compared with the running programs before a
  // restore and while a listed program runs.
  void Check();

  // Commands from the command line.
  void PauseFor(uint32_t minutes);
  void Resume();  // ends pauses and yields, and loads every display
  // Before a reset of display `only` (0 for all): those displays are not
  // restored until their card holds their calibration again or Resume.
  void PauseForReset(int32_t only);

  // A profile chosen for a display from the menu: loaded, verified and
  // associated (or nothing changes), then watched.
  DisplayResult Choose(const std::string& device_name, const std::string& path);

  // One line per display, "\\.\DISPLAY1  Display1  Gamma5000K.icm  watched (...)",
  // with the running programs asked afresh.
  std::vector<std::string> StatusLines();
  std::vector<DisplayView> Views() const;
  // Whether a pause was asked for (for a time or by a reset) and runs now.
  bool PausedOnRequest() const;
  // Whether the attached displays are others than the watched ones.
  bool DisplaysChanged();

  size_t DisplayCount() const { return displays_.size(); }
  WatchState StateOf(size_t display) const;
  // The exit code the last loads ask for.
  int ExitCode() const;

 private:
  struct Display {
    DisplayResult load;                // the last load, with the ramp wanted
    std::string friendly_name;         // empty when the system gives none
    std::deque<uint64_t> restores;     // times within the window
    uint32_t restore_count = 0;        // since the watcher started
    std::string last_restore;          // local time of the last restore
    bool yielded = false;
    std::string yielded_since;
    bool reset_paused = false;
  };

  void LoadDisplays();
  void CheckDisplay(Display& display);
  bool Adopted(Display& display);
  void Restore(Display& display);
  void UpdateProgramPause();
  bool ProgramPauses();
  bool Paused() const;
  std::string StateWords(const Display& display) const;
  void Say(const Display& display, const std::string& words);
  Display* Find(const std::string& device_name);

  DisplaySystem& system_;
  WatchEnvironment& environment_;
  int32_t only_;
  std::vector<Display> displays_;
  std::string pausing_program_;        // the listed program running now
  bool pause_requested_ = false;
  uint64_t pause_until_ms_ = 0;
  std::string pause_until_;            // local time the requested pause ends
  bool load_when_unpaused_ = false;    // an event came during a pause, or a pause ended
  bool programs_listed_ = false;       // in this check
  bool wrong_type_logged_ = false;
};

}  // namespace lumetra
