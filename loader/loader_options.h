// The loader's command line: what to do (load, reset, verify, watch, stop,
// pause, resume, status, install, uninstall, usage), on which display, and
// whether to report. Words are case-insensitive and begin with "/" or "-".
// Also the requests the command line sends a running watcher.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/support/status.h"

namespace lumetra {

enum class LoaderCommand {
  kLoad,       // no command word: load every display's calibration
  kReset,      // the identity ramp on every display
  kVerify,     // compare, change nothing
  kWatch,      // load, then stay resident and load again when needed
  kStop,       // end a running watcher
  kPause,      // a running watcher restores nothing for a while
  kResume,     // a running watcher ends its pauses and yields and loads every display
  kStatus,     // a running watcher's state of every display
  kInstall,    // run the watcher at login
  kUninstall,  // no longer at login, and stop a running watcher
  kUsage,      // the usage text
};

struct LoaderOptions {
  LoaderCommand command = LoaderCommand::kLoad;
  int32_t display = 0;  // 1-based as in "\\.\DISPLAYn"; 0 for every display
  bool quiet = false;
  uint32_t minutes = 60;  // of a pause, 1..1440
};

// The process exit codes.
enum : int {
  kExitSuccess = 0,       // every display ended as intended, or the command did what it says
  kExitFailure = 1,       // some display did not (refused, unreadable profile, read-back differs)
  kExitBadArguments = 2,
};

// 0 with *options filled, or 20003 for a word not understood, a command given
// twice or two commands, a display number missing or outside 1..999, a pause
// outside 1..1440 minutes, or a display with a command that does not act on
// displays; `refused` (when given) then names the word that was refused.
Status ParseLoaderArguments(const std::vector<std::string>& arguments, LoaderOptions* options,
                            std::string* refused = nullptr);

// The usage text, lines ending in "\n".
const char* LoaderUsage();

// "\\.\DISPLAYn" for display n.
std::string DisplayDeviceName(int32_t display);

// What the command line asks of a running watcher, carried as a short text
// ("pause 60", "resume", "reset 2", "status") in a message from another
// process: checked for size and content before anything is done.
struct WatcherRequest {
  enum class Kind { kPause, kResume, kResetPause, kStatus, kMenu };  // kMenu: the icon's menu as text
  Kind kind = Kind::kStatus;
  uint32_t number = 0;  // minutes of a pause; the display of a reset, 0 for all
};
constexpr size_t kLongestWatcherRequest = 16;
std::string WatcherRequestText(const WatcherRequest& request);
// True with *request filled when `bytes` is exactly one request's text.
bool ParseWatcherRequest(const char* bytes, size_t size, WatcherRequest* request);

}  // namespace lumetra
