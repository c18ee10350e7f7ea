// lumetra-loader.exe and its console twin lumetra-loader.com on Windows: the
// report on standard output (or the parent's console), the watcher that stays
// resident, the registration that starts it at login, and the dispatch of the
// command line over them and the portable display work. Windows only.
#pragma once

#include <string>
#include <vector>

#include "loader/display_calibration.h"
#include "loader/loader_options.h"

namespace lumetra {

// Which program runs the command line: lumetra-loader.exe, a GUI program that
// is also the resident watcher, or its console twin lumetra-loader.com, which
// cmd and PowerShell wait for and which hands /watch to the GUI program.
enum class LoaderShell { kGui, kConsole };

// Runs the command line (the words after the program's name); the process
// exit code.
int RunLoader(const std::vector<std::string>& arguments, LoaderShell shell = LoaderShell::kGui);

// Where the report goes: standard output when it is a file, a pipe or a
// console, else the console of the process that started this one, else
// nowhere. Quiet output writes nothing. The text is UTF-8 (a line that is not,
// such as a profile name from the ANSI device services, is taken in the ANSI
// code page): a console gets it as wide characters, a file or pipe byte for
// byte.
class ReportOutput {
 public:
  explicit ReportOutput(bool quiet);
  ~ReportOutput();
  ReportOutput(const ReportOutput&) = delete;
  ReportOutput& operator=(const ReportOutput&) = delete;

  void Line(const std::string& text);
  void Text(const char* text);  // lines already ending in "\n"

 private:
  void* handle_ = nullptr;      // a HANDLE, null for nowhere
  bool owns_handle_ = false;    // opened on the parent's console by us
  bool console_ = false;        // a console screen buffer, not a file or pipe
};

// The displays and their profiles as the system reports them now.
class WindowsDisplaySystem final : public DisplaySystem {
 public:
  Status AttachedDisplays(std::vector<std::string>* names) override;
  std::string ProfilePath(const std::string& device_name) override;
  std::string FriendlyName(const std::string& device_name) override;
  bool AdvancedColorActive(const std::string& device_name) override;
  void WaitBeforeRetry() override;
  bool AssociateProfile(const std::string& device_name, const std::string& path) override;
};

// The class name of the watcher's hidden window, by which /stop finds it.
extern const char kWatcherWindowClass[];

// Loads, then stays resident until stopped, loading again after display
// changes, resume, unlock, reconnect or the screen's return, and following the
// watch policy when a periodic read-back finds a display's ramp changed. What
// it does goes to `report` and its log. Returns at once with 0 when another
// watcher runs in this session.
int RunWatcher(const LoaderOptions& options, ReportOutput& report);

// Sends a request to this session's watcher and waits for its reply lines.
// 0; 20005 when no watcher runs or none answered.
Status AskWatcher(const WatcherRequest& request, std::vector<std::string>* reply_lines);

// Ends every running watcher of this session and waits for it. 0 when none is
// left running (none may have run), 1 when one did not end in time.
int StopWatchers(ReportOutput& report);

// The Run value that starts the watcher at login: `"<this program>" /watch`
// under HKCU\Software\Microsoft\Windows\CurrentVersion\Run, "Lumetra Loader".
extern const char kRunKey[];
extern const char kRunValueName[];
// The value always names the GUI program (this program's path with ".exe"),
// also when the console twin registers; `command` is UTF-8.
Status RegisterAtLogin(std::string* command);
Status UnregisterAtLogin();  // 0 when the value is gone, also when there was none
// Whether that HKCU value (or the installer's value of the same name under
// HKLM, for every user) names this program's .exe (paths compared ignoring
// case); false when it is missing, of another type or names another program.
enum class LoginEntry { kThisUser, kEveryUser };
bool StartAtLoginRegistered(LoginEntry entry = LoginEntry::kThisUser);

// Starts the GUI program (lumetra-loader.exe of this program's folder: this
// program's path with ".exe") with `/watch /quiet` (and `/display N` for a
// display other than 0) as a process of its own: no console,
// no inherited handles, outside this process's job where the job allows it;
// its report goes to its log only. 0, or the status of the failed start;
// `process_id` (when given) receives the new process's id.
Status StartWatcherProcess(int32_t display = 0, unsigned long* process_id = nullptr);

}  // namespace lumetra
