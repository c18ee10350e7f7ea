// The loader's command line: what to do (load, reset, verify, watch, stop,
// install, uninstall, usage), on which display, and whether to report. Words
// are case-insensitive and begin with "/" or "-".
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
  kInstall,    // run the watcher at login
  kUninstall,  // no longer at login, and stop a running watcher
  kUsage,      // the usage text
};

struct LoaderOptions {
  LoaderCommand command = LoaderCommand::kLoad;
  int32_t display = 0;  // 1-based as in "\\.\DISPLAYn"; 0 for every display
  bool quiet = false;
};

// The process exit codes.
enum : int {
  kExitSuccess = 0,       // every display ended as intended, or the command did what it says
  kExitFailure = 1,       // some display did not (refused, unreadable profile, read-back differs)
  kExitBadArguments = 2,
};

// 0 with *options filled, or 20003 for a word not understood, a command given
// twice or two commands, a display number missing or outside 1..999, or a
// display with a command that does not act on displays; `refused` (when
// given) then names the word that was refused.
Status ParseLoaderArguments(const std::vector<std::string>& arguments, LoaderOptions* options,
                            std::string* refused = nullptr);

// The usage text, lines ending in "\n".
const char* LoaderUsage();

// "\\.\DISPLAYn" for display n.
std::string DisplayDeviceName(int32_t display);

}  // namespace lumetra
