#include <windows.h>

#include <new>

#include "loader/loader_program.h"
#include "monitor/device_services.h"

namespace lumetra {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRunValueName[] = "Lumetra Loader";

namespace {

// This program's full path; empty when it does not fit MAX_PATH.
std::string ProgramPath() {
  char path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::string();
  return std::string(path, length);
}

// A resident program keeps its working folder in use; and the language file
// that gives status codes their words lies beside the program.
void WorkInProgramFolder() {
  std::string path = ProgramPath();
  size_t cut = path.find_last_of('\\');
  if (cut != std::string::npos) SetCurrentDirectoryA(path.substr(0, cut + 1).c_str());
}

bool UsableHandle(HANDLE handle) {
  return handle && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

RampAction ActionOf(LoaderCommand command) {
  switch (command) {
    case LoaderCommand::kReset: return RampAction::kReset;
    case LoaderCommand::kVerify: return RampAction::kVerify;
    default: return RampAction::kLoad;
  }
}

int RunOnce(const LoaderOptions& options, ReportOutput& report) {
  // A watcher would restore the calibration under a reset a moment later:
  // told first, it leaves the reset displays alone.
  std::vector<std::string> paused;
  if (options.command == LoaderCommand::kReset) {
    WatcherRequest request;
    request.kind = WatcherRequest::Kind::kResetPause;
    request.number = static_cast<uint32_t>(options.display);
    if (AskWatcher(request, &paused) != kOk) paused.clear();
  }
  WindowsDisplaySystem system;
  std::vector<DisplayResult> results;
  Status status = RunOnDisplays(ActionOf(options.command), options.display, system, &results);
  if (status != kOk) {
    report.Line("the displays cannot be listed: status " + std::to_string(status));
    return kExitFailure;
  }
  if (results.empty()) report.Line("no display is attached to the desktop");
  for (const DisplayResult& result : results) report.Line(ReportLine(result));
  if (!paused.empty()) {
    report.Line("the running watcher leaves the reset displays alone until their calibration is loaded again"
                " (lumetra-loader) or lumetra-loader /resume");
  }
  return ExitCodeOf(results);
}

// /pause, /resume and /status: the watcher's reply lines.
int AskRunningWatcher(const LoaderOptions& options, ReportOutput& report) {
  WatcherRequest request;
  request.kind = options.command == LoaderCommand::kPause    ? WatcherRequest::Kind::kPause
                 : options.command == LoaderCommand::kResume ? WatcherRequest::Kind::kResume
                                                             : WatcherRequest::Kind::kStatus;
  request.number = options.minutes;
  std::vector<std::string> lines;
  if (AskWatcher(request, &lines) != kOk) {
    report.Line("no watcher runs in this session (lumetra-loader /watch starts one)");
    return kExitFailure;
  }
  for (const std::string& line : lines) report.Line(line);
  return kExitSuccess;
}

int Install(ReportOutput& report) {
  std::string command;
  Status status = RegisterAtLogin(&command);
  if (status != kOk) {
    report.Line("not registered to run at login: status " + std::to_string(status));
    return kExitFailure;
  }
  report.Line("registered to run at login: " + command);
  return kExitSuccess;
}

int Uninstall(ReportOutput& report) {
  Status status = UnregisterAtLogin();
  if (status != kOk) {
    report.Line("the login registration cannot be removed: status " + std::to_string(status));
  } else {
    report.Line("no longer registered to run at login");
  }
  int stopped = StopWatchers(report);
  return status == kOk ? stopped : kExitFailure;
}

}  // namespace

ReportOutput::ReportOutput(bool quiet) {
  if (quiet) return;
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (UsableHandle(out)) {
    handle_ = out;
    return;
  }
  // Started from a console without redirection: a GUI program has no
  // standard output of its own, but may write to its parent's console.
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
  HANDLE console = CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
  if (console == INVALID_HANDLE_VALUE) return;
  handle_ = console;
  owns_handle_ = true;
}

ReportOutput::~ReportOutput() {
  if (owns_handle_) CloseHandle(static_cast<HANDLE>(handle_));
}

void ReportOutput::Text(const char* text) {
  if (!handle_ || !text) return;
  // Lines end in CR LF, as Windows consoles and files expect.
  std::string converted;
  for (const char* p = text; *p; ++p) {
    if (*p == '\n') converted += '\r';
    converted += *p;
  }
  DWORD written = 0;
  WriteFile(static_cast<HANDLE>(handle_), converted.data(), static_cast<DWORD>(converted.size()), &written,
            nullptr);
}

void ReportOutput::Line(const std::string& text) {
  try {
    Text((text + "\n").c_str());
  } catch (const std::bad_alloc&) {
    // A report line is not worth ending the program for.
  }
}

Status WindowsDisplaySystem::AttachedDisplays(std::vector<std::string>* names) {
  if (!names) return kMissingObject;
  std::vector<TString> found;
  Status status = ListAttachedDisplays(&found);
  if (status != kOk) return status;
  names->clear();
  for (const TString& name : found) names->emplace_back(name.CStr());
  return kOk;
}

std::string WindowsDisplaySystem::ProfilePath(const std::string& device_name) {
  return GetDisplayProfilePath(device_name.c_str()).CStr();
}

std::string WindowsDisplaySystem::FriendlyName(const std::string& device_name) {
  return GetDisplayFriendlyName(device_name.c_str()).CStr();
}

bool WindowsDisplaySystem::AdvancedColorActive(const std::string& device_name) {
  return IsAdvancedColorActive(device_name.c_str());
}

void WindowsDisplaySystem::WaitBeforeRetry() {
  constexpr DWORD kRetryDelay = 100;
  Sleep(kRetryDelay);
}

Status RegisterAtLogin(std::string* command) {
  std::string path = ProgramPath();
  if (path.empty()) return kNoFileName;
  *command = "\"" + path + "\" /watch";
  HKEY key = nullptr;
  LONG error = RegCreateKeyExA(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
  if (error == ERROR_SUCCESS) {
    error = RegSetValueExA(key, kRunValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(command->c_str()),
                           static_cast<DWORD>(command->size() + 1));
    RegCloseKey(key);
  }
  if (error == ERROR_SUCCESS) return kOk;
  return StatusFromSystemError(static_cast<uint32_t>(error));
}

Status UnregisterAtLogin() {
  HKEY key = nullptr;
  LONG error = RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &key);
  if (error == ERROR_FILE_NOT_FOUND) return kOk;
  if (error == ERROR_SUCCESS) {
    error = RegDeleteValueA(key, kRunValueName);
    RegCloseKey(key);
  }
  if (error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND) return kOk;
  return StatusFromSystemError(static_cast<uint32_t>(error));
}

int RunLoader(const std::vector<std::string>& arguments) {
  LoaderOptions options;
  std::string refused;
  if (ParseLoaderArguments(arguments, &options, &refused) != kOk) {
    ReportOutput report(false);
    report.Line("not understood: " + refused);
    report.Text(LoaderUsage());
    return kExitBadArguments;
  }
  WorkInProgramFolder();
  ReportOutput report(options.quiet);
  switch (options.command) {
    case LoaderCommand::kUsage:
      report.Text(LoaderUsage());
      return kExitSuccess;
    case LoaderCommand::kWatch:
      return RunWatcher(options, report);
    case LoaderCommand::kStop:
      return StopWatchers(report);
    case LoaderCommand::kPause:
    case LoaderCommand::kResume:
    case LoaderCommand::kStatus:
      return AskRunningWatcher(options, report);
    case LoaderCommand::kInstall:
      return Install(report);
    case LoaderCommand::kUninstall:
      return Uninstall(report);
    default:
      return RunOnce(options, report);
  }
}

}  // namespace lumetra
