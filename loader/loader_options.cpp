#include "loader/loader_options.h"

#include <cctype>

namespace lumetra {

namespace {

constexpr int32_t kMaxDisplayNumber = 999;
constexpr uint32_t kMaxPauseMinutes = 1440;

struct CommandWord {
  const char* word;
  LoaderCommand command;
};

constexpr CommandWord kCommandWords[] = {
    {"reset", LoaderCommand::kReset},         {"verify", LoaderCommand::kVerify},
    {"watch", LoaderCommand::kWatch},         {"stop", LoaderCommand::kStop},
    {"pause", LoaderCommand::kPause},         {"resume", LoaderCommand::kResume},
    {"status", LoaderCommand::kStatus},
    {"install", LoaderCommand::kInstall},     {"uninstall", LoaderCommand::kUninstall},
    {"?", LoaderCommand::kUsage},             {"help", LoaderCommand::kUsage},
};

std::string Lowered(const std::string& text) {
  std::string lowered = text;
  for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lowered;
}

// A whole decimal number in `lowest`..`highest` (at most 9999), nothing else.
bool ParseNumber(const std::string& text, uint32_t lowest, uint32_t highest, uint32_t* number) {
  if (text.empty() || text.size() > 4) return false;
  uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  if (value < lowest || value > highest) return false;
  *number = value;
  return true;
}

bool ParseDisplayNumber(const std::string& text, int32_t* number) {
  uint32_t value = 0;
  if (!ParseNumber(text, 1, kMaxDisplayNumber, &value)) return false;
  *number = static_cast<int32_t>(value);
  return true;
}

bool ActsOnDisplays(LoaderCommand command) {
  return command == LoaderCommand::kLoad || command == LoaderCommand::kReset ||
         command == LoaderCommand::kVerify || command == LoaderCommand::kWatch;
}

}  // namespace

Status ParseLoaderArguments(const std::vector<std::string>& arguments, LoaderOptions* options,
                            std::string* refused) {
  if (!options) return kMissingObject;
  LoaderOptions parsed;
  bool command_given = false;
  auto refuse = [&](const std::string& word) {
    if (refused) *refused = word;
    return kBadArgument;
  };
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument.size() < 2 || (argument[0] != '/' && argument[0] != '-')) return refuse(argument);
    const std::string word = Lowered(argument.substr(1));

    if (word == "quiet") {
      parsed.quiet = true;
      continue;
    }
    if (word == "display") {
      if (parsed.display != 0 || i + 1 == arguments.size()) return refuse(argument);
      if (!ParseDisplayNumber(arguments[++i], &parsed.display)) return refuse(argument + " " + arguments[i]);
      continue;
    }
    bool known = false;
    for (const CommandWord& entry : kCommandWords) {
      if (word != entry.word) continue;
      if (command_given) return refuse(argument);
      parsed.command = entry.command;
      command_given = known = true;
    }
    if (!known) return refuse(argument);
    // A pause's length is optional: the next word, when it is not a switch.
    const bool length_follows = i + 1 < arguments.size() && !arguments[i + 1].empty() &&
                                arguments[i + 1][0] != '/' && arguments[i + 1][0] != '-';
    if (parsed.command == LoaderCommand::kPause && length_follows &&
        !ParseNumber(arguments[++i], 1, kMaxPauseMinutes, &parsed.minutes)) {
      return refuse(argument + " " + arguments[i]);
    }
  }
  if (parsed.display != 0 && !ActsOnDisplays(parsed.command)) return refuse("/display");
  *options = parsed;
  return kOk;
}

const char* LoaderUsage() {
  return "Lumetra loader: keeps every monitor's calibration loaded.\n"
         "\n"
         "lumetra-loader [/reset | /verify | /watch] [/display N] [/quiet]\n"
         "lumetra-loader /pause [minutes] | /resume | /status | /stop\n"
         "lumetra-loader /install | /uninstall | /?\n"
         "\n"
         "  (no command)  load the video card gamma table of the profile the system\n"
         "                uses for each display, then read it back and compare\n"
         "  /reset        load the linear ramp into every display\n"
         "  /verify       change nothing; compare every display with its profile\n"
         "  /display N    only display N (1 for \\\\.\\DISPLAY1, ...)\n"
         "  /watch        load, then stay running and load again after display\n"
         "                changes, resume, unlock, or when another program changed\n"
         "                a display's ramp (at most 3 times in 2 minutes, then it\n"
         "                leaves the display to that program)\n"
         "  /pause [minutes]  the running watcher restores nothing for that long\n"
         "                (1 to 1440, default 60)\n"
         "  /resume       the running watcher ends every pause and loads every display\n"
         "  /status       the running watcher's state of every display\n"
         "  /stop         end a running watcher\n"
         "  /install      run the watcher at every login (current user)\n"
         "  /uninstall    no longer run it at login, and end a running watcher\n"
         "  /quiet        no report, only the exit code\n"
         "\n"
         "Exit code: 0 every display ended as intended, 1 some did not, 2 bad arguments.\n";
}

std::string DisplayDeviceName(int32_t display) { return "\\\\.\\DISPLAY" + std::to_string(display); }

namespace {

struct RequestWord {
  const char* word;
  WatcherRequest::Kind kind;
  uint32_t lowest, highest;  // of the number that follows; no number when highest is 0
};

constexpr RequestWord kRequestWords[] = {
    {"pause", WatcherRequest::Kind::kPause, 1, kMaxPauseMinutes},
    {"resume", WatcherRequest::Kind::kResume, 0, 0},
    {"reset", WatcherRequest::Kind::kResetPause, 0, kMaxDisplayNumber},
    {"status", WatcherRequest::Kind::kStatus, 0, 0},
    {"menu", WatcherRequest::Kind::kMenu, 0, 0},
};

}  // namespace

std::string WatcherRequestText(const WatcherRequest& request) {
  for (const RequestWord& entry : kRequestWords) {
    if (entry.kind != request.kind) continue;
    return entry.highest == 0 ? std::string(entry.word) : entry.word + (" " + std::to_string(request.number));
  }
  return std::string();
}

bool ParseWatcherRequest(const char* bytes, size_t size, WatcherRequest* request) {
  if (!bytes || !request || size == 0 || size > kLongestWatcherRequest) return false;
  const std::string text(bytes, size);
  const size_t space = text.find(' ');
  const std::string word = text.substr(0, space);
  for (const RequestWord& entry : kRequestWords) {
    if (word != entry.word) continue;
    WatcherRequest parsed;
    parsed.kind = entry.kind;
    if (entry.highest == 0) {
      if (space != std::string::npos) return false;
    } else if (space == std::string::npos ||
               !ParseNumber(text.substr(space + 1), entry.lowest, entry.highest, &parsed.number)) {
      return false;
    }
    *request = parsed;
    return true;
  }
  return false;
}

}  // namespace lumetra
