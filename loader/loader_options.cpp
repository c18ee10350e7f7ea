#include "loader/loader_options.h"

#include <cctype>

namespace lumetra {

namespace {

constexpr int32_t kMaxDisplayNumber = 999;

struct CommandWord {
  const char* word;
  LoaderCommand command;
};

constexpr CommandWord kCommandWords[] = {
    {"reset", LoaderCommand::kReset},         {"verify", LoaderCommand::kVerify},
    {"watch", LoaderCommand::kWatch},         {"stop", LoaderCommand::kStop},
    {"install", LoaderCommand::kInstall},     {"uninstall", LoaderCommand::kUninstall},
    {"?", LoaderCommand::kUsage},             {"help", LoaderCommand::kUsage},
};

std::string Lowered(const std::string& text) {
  std::string lowered = text;
  for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lowered;
}

// A whole decimal number in 1..999, nothing else.
bool ParseDisplayNumber(const std::string& text, int32_t* number) {
  if (text.empty() || text.size() > 3) return false;
  int32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > kMaxDisplayNumber) return false;
  *number = value;
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
  }
  if (parsed.display != 0 && !ActsOnDisplays(parsed.command)) return refuse("/display");
  *options = parsed;
  return kOk;
}

const char* LoaderUsage() {
  return "Lumetra loader: keeps every monitor's calibration loaded.\n"
         "\n"
         "lumetra-loader [/reset | /verify | /watch] [/display N] [/quiet]\n"
         "lumetra-loader /stop | /install | /uninstall | /?\n"
         "\n"
         "  (no command)  load the video card gamma table of the profile the system\n"
         "                uses for each display, then read it back and compare\n"
         "  /reset        load the linear ramp into every display\n"
         "  /verify       change nothing; compare every display with its profile\n"
         "  /display N    only display N (1 for \\\\.\\DISPLAY1, ...)\n"
         "  /watch        load, then stay running and load again after display\n"
         "                changes, resume, unlock, or when another program changed\n"
         "                a display's ramp\n"
         "  /stop         end a running watcher\n"
         "  /install      run the watcher at every login (current user)\n"
         "  /uninstall    no longer run it at login, and end a running watcher\n"
         "  /quiet        no report, only the exit code\n"
         "\n"
         "Exit code: 0 every display ended as intended, 1 some did not, 2 bad arguments.\n";
}

std::string DisplayDeviceName(int32_t display) { return "\\\\.\\DISPLAY" + std::to_string(display); }

}  // namespace lumetra
