#include <windows.h>

#include <climits>
#include <cwchar>
#include <new>

#include "loader/loader_program.h"
#include "loader/loader_system.h"
#include "monitor/device_services.h"

namespace lumetra {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRunValueName[] = "Lumetra Loader";

namespace {

constexpr wchar_t kRunKeyWide[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRunValueNameWide[] = L"Lumetra Loader";
// How long the console twin waits for the watcher it started to show its
// window (a load of every display comes first), so that its line is true and a
// script's next command finds the watcher.
constexpr DWORD kWatcherStartWait = 5000;

class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
  ~ScopedHandle() {
    if (handle_ && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

// The length of the folder part of a path, its last backslash included; 0
// when there is none.
size_t FolderLength(const std::wstring& path) {
  size_t cut = path.find_last_of(L'\\');
  return cut == std::wstring::npos ? 0 : cut + 1;
}

// The GUI program: this program's path with the extension ".exe", so that the
// console twin names lumetra-loader.exe beside it and the GUI program names
// itself, whatever the pair was renamed to. Empty when the path is unknown.
std::wstring GuiProgramPath() {
  std::wstring path = ProgramPathWide();
  if (path.empty()) return path;
  try {
    size_t dot = path.find_last_of(L'.');
    if (dot == std::wstring::npos || dot < FolderLength(path)) dot = path.size();
    return path.substr(0, dot) + L".exe";
  } catch (const std::bad_alloc&) {
    return std::wstring();
  }
}

// A resident program keeps its working folder in use; and the language file
// that gives status codes their words lies beside the program.
void WorkInProgramFolder() {
  try {
    std::wstring path = ProgramPathWide();
    size_t folder = FolderLength(path);
    if (folder > 0) SetCurrentDirectoryW(path.substr(0, folder).c_str());
  } catch (const std::bad_alloc&) {
    // The folder stays as it was: only status texts could be missing.
  }
}

// The program a Run value starts: the quoted path, or the text up to the
// first space when it is not quoted.
std::wstring RunValueProgram(const std::wstring& command) {
  if (!command.empty() && command[0] == L'"') {
    size_t end = command.find(L'"', 1);
    return end == std::wstring::npos ? std::wstring() : command.substr(1, end - 1);
  }
  return command.substr(0, command.find(L' '));
}

// The Run value of `root` as text, of any length; empty when it is missing or
// not a string. May throw bad_alloc.
std::wstring StoredRunValue(HKEY root) {
  // The value may change between asking its size and reading it.
  for (int attempt = 0; attempt < 3; ++attempt) {
    DWORD size = 0;
    // A REG_EXPAND_SZ value comes expanded, as REG_SZ, as the shell runs it.
    LONG error = RegGetValueW(root, kRunKeyWide, kRunValueNameWide, RRF_RT_REG_SZ, nullptr, nullptr, &size);
    if (error != ERROR_SUCCESS || size < sizeof(wchar_t)) return std::wstring();
    std::wstring value(size / sizeof(wchar_t), L'\0');
    error = RegGetValueW(root, kRunKeyWide, kRunValueNameWide, RRF_RT_REG_SZ, nullptr, &value[0], &size);
    if (error == ERROR_MORE_DATA) continue;
    if (error != ERROR_SUCCESS) return std::wstring();
    value.resize(wcsnlen(value.c_str(), value.size()));
    return value;
  }
  return std::wstring();
}

// Where the watcher's log lies, for a line that points there.
std::string LogPlace() {
  std::string path = Utf8FromWide(LoaderLog().Path());
  return path.empty() ? std::string("its log in %LOCALAPPDATA%\\Lumetra") : "its log: " + path;
}

bool UsableHandle(HANDLE handle) {
  return handle && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

// The report's text as UTF-16: UTF-8 when it is valid UTF-8, else the ANSI
// code page (the device services' profile names). Empty on failure.
std::wstring WideText(const std::string& text) {
  if (text.empty() || text.size() > INT_MAX / 2) return std::wstring();
  try {
    for (UINT code_page : {static_cast<UINT>(CP_UTF8), static_cast<UINT>(CP_ACP)}) {
      DWORD flags = code_page == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
      int size = static_cast<int>(text.size());
      int length = MultiByteToWideChar(code_page, flags, text.data(), size, nullptr, 0);
      if (length <= 0) continue;
      std::wstring wide(static_cast<size_t>(length), L'\0');
      if (MultiByteToWideChar(code_page, flags, text.data(), size, &wide[0], length) == length) return wide;
    }
  } catch (const std::bad_alloc&) {
    // The caller writes the bytes as they are.
  }
  return std::wstring();
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

// The console twin's /watch: the GUI program watches, in a process of its
// own that outlives the console; this one says whether it started.
int StartWatcher(const LoaderOptions& options, ReportOutput& report) {
  if (FindWindowA(kWatcherWindowClass, nullptr)) {
    report.Line("a watcher already runs in this session");
    return kExitSuccess;
  }
  DWORD process_id = 0;
  Status status = StartWatcherProcess(options.display, &process_id);
  if (status != kOk) {
    report.Line("the watcher cannot be started: status " + std::to_string(status));
    return kExitFailure;
  }
  ScopedHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id));
  for (DWORD waited = 0; waited < kWatcherStartWait; waited += 50) {
    HWND window = FindWindowA(kWatcherWindowClass, nullptr);
    DWORD owner = 0;
    if (window) GetWindowThreadProcessId(window, &owner);
    if (window && owner == process_id) break;
    if (process.Get() && WaitForSingleObject(process.Get(), 50) == WAIT_OBJECT_0) {
      DWORD code = kExitFailure;
      GetExitCodeProcess(process.Get(), &code);
      // Ending at once with 0 means another watcher won the race.
      if (code == kExitSuccess && window) {
        report.Line("a watcher already runs in this session");
        return kExitSuccess;
      }
      report.Line("the watcher ended at once, exit code " + std::to_string(code) + "; " + LogPlace() +
                  " tells why");
      return kExitFailure;
    }
    if (!process.Get()) Sleep(50);
  }
  report.Line("watcher started in the background (lumetra-loader.exe, process " + std::to_string(process_id) +
              "); " + LogPlace());
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
  DWORD mode = 0;
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (UsableHandle(out)) {
    handle_ = out;
    console_ = GetConsoleMode(out, &mode) != FALSE;
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
  console_ = GetConsoleMode(console, &mode) != FALSE;
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
  if (console_) {
    // A console shows wide characters whatever its code page; bytes written
    // to it would be read in its OEM code page.
    std::wstring wide = WideText(converted);
    if (!wide.empty() &&
        WriteConsoleW(static_cast<HANDLE>(handle_), wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr))
      return;
  }
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

// Through the same device services as the dialog's choice.
bool WindowsDisplaySystem::AssociateProfile(const std::string& device_name, const std::string& path) {
  return AssociateProfileWithDisplay(path.c_str(), device_name.c_str());
}

void WindowsDisplaySystem::WaitBeforeRetry() {
  constexpr DWORD kRetryDelay = 100;
  Sleep(kRetryDelay);
}

Status RegisterAtLogin(std::string* command) {
  if (!command) return kMissingObject;
  std::wstring value;
  try {
    std::wstring path = GuiProgramPath();
    if (path.empty()) return kNoFileName;
    value = L"\"" + path + L"\" /watch";
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  HKEY key = nullptr;
  LONG error = RegCreateKeyExW(HKEY_CURRENT_USER, kRunKeyWide, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
  if (error == ERROR_SUCCESS) {
    error = RegSetValueExW(key, kRunValueNameWide, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
  }
  if (error != ERROR_SUCCESS) return StatusFromSystemError(static_cast<uint32_t>(error));
  *command = Utf8FromWide(value);
  return kOk;
}

bool StartAtLoginRegistered(LoginEntry entry) {
  try {
    std::wstring program =
        RunValueProgram(StoredRunValue(entry == LoginEntry::kEveryUser ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER));
    std::wstring own = GuiProgramPath();
    if (program.empty() || own.empty() || program.size() > INT_MAX || own.size() > INT_MAX) return false;
    // Paths are compared as the file system names them: ordinal, ignoring case.
    return CompareStringOrdinal(program.c_str(), static_cast<int>(program.size()), own.c_str(),
                                static_cast<int>(own.size()), TRUE) == CSTR_EQUAL;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

Status StartWatcherProcess(int32_t display, unsigned long* process_id) {
  std::wstring program, folder, command;
  try {
    program = GuiProgramPath();
    if (program.empty()) return kNoFileName;
    folder = program.substr(0, FolderLength(program));
    // Quiet: a GUI program without standard output would attach to the
    // console of the process that started it, while it lasts, and end with it.
    command = L"\"" + program + L"\" /watch /quiet";
    if (display > 0) command += L" /display " + std::to_wstring(display);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  const DWORD own_flags = DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT;
  // A console that closes its job (a terminal may run its shells in one that
  // ends them all) would end the watcher too; a job that allows no breakaway
  // refuses the flag, and the watcher then stays in it.
  BOOL ok = CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, FALSE, own_flags | CREATE_BREAKAWAY_FROM_JOB,
                           nullptr, folder.empty() ? nullptr : folder.c_str(), &startup, &started);
  if (!ok && GetLastError() == ERROR_ACCESS_DENIED)
    ok = CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, FALSE, own_flags, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &started);
  if (!ok) return StatusFromSystem(false);
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  if (process_id) *process_id = started.dwProcessId;
  return kOk;
}

Status UnregisterAtLogin() {
  HKEY key = nullptr;
  LONG error = RegOpenKeyExW(HKEY_CURRENT_USER, kRunKeyWide, 0, KEY_SET_VALUE, &key);
  if (error == ERROR_FILE_NOT_FOUND) return kOk;
  if (error == ERROR_SUCCESS) {
    error = RegDeleteValueW(key, kRunValueNameWide);
    RegCloseKey(key);
  }
  if (error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND) return kOk;
  return StatusFromSystemError(static_cast<uint32_t>(error));
}

int RunLoader(const std::vector<std::string>& arguments, LoaderShell shell) {
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
      // The console twin would tie the watcher to its console.
      return shell == LoaderShell::kConsole ? StartWatcher(options, report) : RunWatcher(options, report);
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
