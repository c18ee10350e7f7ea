// The resident watcher: one hidden top-level window (hidden windows still get
// the broadcasts a message-only window would miss), one per session. It turns
// timers, display, power and session messages and requests from the command
// line into calls of the portable watch policy.
#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <new>

#include "icc/profile_line.h"
#include "loader/loader_program.h"
#include "loader/loader_system.h"
#include "loader/tray.h"
#include "loader/watch_policy.h"
#include "monitor/installed_profiles.h"

namespace lumetra {

const char kWatcherWindowClass[] = "LumetraLoaderWatcher";

namespace {

constexpr char kWatcherMutex[] = "Local\\Lumetra Loader watcher";
constexpr char kReplyWindowClass[] = "LumetraLoaderReply";
constexpr UINT_PTR kCheckTimer = 1;
constexpr UINT kCheckInterval = 2000;   // ms between read-backs of the loaded ramps
constexpr ULONG kCheckTolerance = 500;  // the system may move a check by this much to save power
constexpr UINT_PTR kReloadTimer = 2;
// Events come in bursts (a mode change sends several), and a driver may reset
// the ramp right after telling: load once, a moment later.
constexpr UINT kReloadDelay = 300;
constexpr DWORD kStopWait = 5000;
constexpr DWORD kRequestWait = 10000;
// WM_COPYDATA tags: a request to the watcher, the watcher's reply.
constexpr ULONG_PTR kRequestTag = 0x4C4D5251;  // "LMRQ"
constexpr ULONG_PTR kReplyTag = 0x4C4D5250;    // "LMRP"
constexpr size_t kLongestReply = 64 * 1024;
constexpr UINT kIconMessage = WM_APP + 1;  // the notification icon's mouse messages

// Session events, from wtsapi32.h.
constexpr UINT kSessionChangeMessage = 0x02B1;  // WM_WTSSESSION_CHANGE
constexpr WPARAM kConsoleConnect = 0x1, kConsoleDisconnect = 0x2, kRemoteConnect = 0x3, kRemoteDisconnect = 0x4,
                 kSessionLogon = 0x5, kSessionLock = 0x7, kSessionUnlock = 0x8;
constexpr DWORD kNotifyForThisSession = 0;
// Power events, from winuser.h.
constexpr WPARAM kSuspend = 0x4, kResumeSuspend = 0x7, kResumeAutomatic = 0x12, kPowerSettingChange = 0x8013;
// GUID_CONSOLE_DISPLAY_STATE: 0 off, 1 on, 2 dimmed. Machines with modern
// standby send this, not a resume, when the screen comes back.
constexpr GUID kConsoleDisplayState = {0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};

template <typename Function>
Function SystemFunction(HMODULE module, const char* name) {
  return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// Session notifications come from wtsapi32, whose service may not be up yet
// at login: registration is tried again at later checks until it holds.
class SessionNotifications {
 public:
  SessionNotifications() : module_(LoadLibraryA("wtsapi32.dll")) {}
  ~SessionNotifications() {
    Unregister();
    if (module_) FreeLibrary(module_);
  }
  SessionNotifications(const SessionNotifications&) = delete;
  SessionNotifications& operator=(const SessionNotifications&) = delete;

  // True when registered now or before.
  bool Register(HWND window) {
    if (window_) return true;
    auto do_register = SystemFunction<BOOL(WINAPI*)(HWND, DWORD)>(module_, "WTSRegisterSessionNotification");
    if (!do_register || !do_register(window, kNotifyForThisSession)) return false;
    window_ = window;
    return true;
  }
  void Unregister() {
    if (!window_) return;
    auto unregister = SystemFunction<BOOL(WINAPI*)(HWND)>(module_, "WTSUnRegisterSessionNotification");
    if (unregister) unregister(window_);
    window_ = nullptr;
  }
  bool Available() const { return module_ != nullptr; }

 private:
  HMODULE module_;
  HWND window_ = nullptr;
};

// The screen's on and off, from RegisterPowerSettingNotification (looked up:
// older systems lack it).
class DisplayPowerNotifications {
 public:
  void Register(HWND window) {
    auto do_register = SystemFunction<HANDLE(WINAPI*)(HANDLE, const GUID*, DWORD)>(
        GetModuleHandleA("user32.dll"), "RegisterPowerSettingNotification");
    if (do_register) handle_ = do_register(window, &kConsoleDisplayState, DEVICE_NOTIFY_WINDOW_HANDLE);
  }
  void Unregister() {
    if (!handle_) return;
    auto unregister =
        SystemFunction<BOOL(WINAPI*)(HANDLE)>(GetModuleHandleA("user32.dll"), "UnregisterPowerSettingNotification");
    if (unregister) unregister(handle_);
    handle_ = nullptr;
  }
  ~DisplayPowerNotifications() { Unregister(); }

 private:
  HANDLE handle_ = nullptr;
};

// A timer the system may coalesce with others where it can.
void StartCheckTimer(HWND window) {
  using Coalescable = UINT_PTR(WINAPI*)(HWND, UINT_PTR, UINT, TIMERPROC, ULONG);
  auto coalescable = SystemFunction<Coalescable>(GetModuleHandleA("user32.dll"), "SetCoalescableTimer");
  if (!coalescable || !coalescable(window, kCheckTimer, kCheckInterval, nullptr, kCheckTolerance))
    SetTimer(window, kCheckTimer, kCheckInterval, nullptr);
}

// The machine as the policy asks it; every line it reports goes to the
// watcher's output, its log, and the reply to a request being answered.
class WindowsWatchEnvironment final : public WatchEnvironment {
 public:
  explicit WindowsWatchEnvironment(ReportOutput& report) : report_(report) {}

  uint64_t NowMs() override { return GetTickCount64(); }
  std::string LocalTime(int64_t offset_ms) override { return LocalDateTime(offset_ms); }
  bool StoredPauseList(std::vector<std::string>* names, bool* wrong_type) override {
    StoredList stored = ReadPauseWhileRunning(names);
    *wrong_type = stored == StoredList::kWrongType;
    return stored == StoredList::kPresent;
  }
  Status RunningPrograms(std::vector<std::string>* names) override { return ListRunningPrograms(names); }
  void Report(const std::string& line) override {
    report_.Line(line);
    log_.Append(line);
    if (captured_) captured_->push_back(line);
  }

  void Capture(std::vector<std::string>* lines) { captured_ = lines; }
  const std::wstring& LogPath() const { return log_.Path(); }

 private:
  ReportOutput& report_;
  LoaderLog log_;
  std::vector<std::string>* captured_ = nullptr;
};

class Watcher {
 public:
  Watcher(const LoaderOptions& options, ReportOutput& report)
      : environment_(report),
        policy_(system_, environment_, options.display),
        taskbar_created_(RegisterWindowMessageA("TaskbarCreated")) {}

  void Start() { policy_.LoadAll(std::string()); }
  int ExitCode() const { return policy_.ExitCode(); }
  void Say(const std::string& line) { environment_.Report(line); }

  LRESULT Handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == taskbar_created_ && taskbar_created_ != 0) {
      // The shell restarted: its notification area forgot the icon.
      Guarded([&] { AddIcon(window, "icon added again: the taskbar was created anew"); });
      return 0;
    }
    switch (message) {
      case WM_CREATE:
        OnCreate(window);
        return 0;
      case WM_TIMER:
        Guarded([&] {
          OnTimer(window, wparam);
          Refresh();
        });
        return 0;
      case WM_DISPLAYCHANGE:
        ScheduleLoad(window, "a display change");
        return 0;
      case WM_POWERBROADCAST:
        OnPower(window, wparam, lparam);
        return TRUE;
      case kSessionChangeMessage:
        OnSessionChange(window, wparam);
        return 0;
      case WM_COPYDATA:
        return OnRequest(window, reinterpret_cast<HWND>(wparam), reinterpret_cast<const COPYDATASTRUCT*>(lparam));
      case WM_COMMAND:
        if (HIWORD(wparam) == 0) Guarded([&] { OnMenuCommand(window, LOWORD(wparam)); });
        return 0;
      case kIconMessage:
        Guarded([&] { OnIcon(window, static_cast<UINT>(lparam)); });
        return 0;
      case WM_CLOSE:
        // Notifications go before the window does.
        sessions_.Unregister();
        display_power_.Unregister();
        DestroyWindow(window);
        return 0;
      case WM_DESTROY:
        sessions_.Unregister();
        display_power_.Unregister();
        icon_.Remove();
        PostQuitMessage(0);
        return 0;
      default:
        return DefWindowProcA(window, message, wparam, lparam);
    }
  }

 private:
  // Short of memory now: the next tick or event tries again.
  template <typename Work>
  void Guarded(Work work) {
    try {
      work();
    } catch (const std::bad_alloc&) {
    }
  }

  void OnCreate(HWND window) {
    sessions_.Register(window);
    display_power_.Register(window);
    StartCheckTimer(window);
    notifications_ = NotificationsWanted();
    Guarded([&] { AddIcon(window, "icon added to the notification area"); });
  }

  void AddIcon(HWND window, const char* said) {
    const std::vector<DisplayView> views = policy_.Views();
    if (icon_.Add(window, kIconMessage, TrayNeedsWarning(views), TrayTip(views))) {
      Say(said);
    } else {
      Say("the notification area did not take the icon: status " + std::to_string(StatusFromSystem(false)));
    }
    Refresh();
  }

  // The icon follows every change of the displays' states; a display that
  // has just become yielded, paused by a program or not loaded is told once.
  void Refresh() {
    const std::vector<DisplayView> views = policy_.Views();
    icon_.Show(TrayNeedsWarning(views), TrayTip(views));
    for (const std::string& note : notes_.Update(views)) {
      if (!notifications_) continue;
      Say("notification: " + note + (icon_.Notify("Lumetra", note) ? "" : " (not shown)"));
    }
  }

  // Right click: the menu; a left click loads every display now.
  void OnIcon(HWND window, UINT mouse) {
    if (mouse == WM_LBUTTONUP) {
      OnMenuCommand(window, kTrayLoadNow);
    } else if (mouse == WM_RBUTTONUP || mouse == WM_CONTEXTMENU) {
      ShowMenu(window);
    }
  }

  // The menu is made from the displays as they are when it opens.
  std::vector<TrayMenuItem> MenuItems() {
    if (policy_.DisplaysChanged()) policy_.LoadAll("a display change");
    std::vector<std::string> paths;
    menu_profiles_.clear();
    if (ListInstalledMonitorProfiles(&paths) == kOk) {
      for (const std::string& path : paths) menu_profiles_.push_back({path, ProfileListLine(path)});
    }
    TrayState state;
    state.displays = policy_.Views();
    state.profiles = menu_profiles_;
    state.paused_on_request = policy_.PausedOnRequest();
    state.start_at_login = StartAtLoginRegistered() || StartAtLoginRegistered(LoginEntry::kEveryUser);
    state.notifications = notifications_;
    menu_displays_.clear();
    for (const DisplayView& view : state.displays) menu_displays_.push_back(view.device_name);
    Refresh();
    return BuildTrayMenuItems(state);
  }

  void ShowMenu(HWND window) {
    HMENU menu = static_cast<HMENU>(CreateTrayPopupMenu(MenuItems()));
    if (!menu) return;
    POINT at{};
    GetCursorPos(&at);
    // Without the foreground the menu would not close on a click elsewhere.
    SetForegroundWindow(window);
    const UINT command = static_cast<UINT>(TrackPopupMenuEx(
        menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, window, nullptr));
    PostMessageA(window, WM_NULL, 0, 0);
    DestroyMenu(menu);
    if (command) OnMenuCommand(window, command);
  }

  void OnMenuCommand(HWND window, UINT command) {
    size_t display = 0, profile = 0;
    if (DecodeProfileCommand(command, &display, &profile)) {
      ChooseFromMenu(display, profile);
    } else {
      switch (command) {
        case kTrayLoadNow: policy_.Resume(); break;
        case kTrayReset: ResetToLinear(); break;
        case kTrayPause: policy_.PauseFor(60); break;
        case kTrayResume: policy_.Resume(); break;
        case kTrayOpenLumetra: OpenLumetra(); break;
        case kTrayOpenLog: OpenLog(); break;
        case kTrayStartAtLogin: ToggleStartAtLogin(); break;
        case kTrayNotifications: ToggleNotifications(); break;
        case kTrayExit: DestroyWindow(window); return;
        default: return;
      }
    }
    Refresh();
  }

  // The profile lists of the last menu, so that a choice means what was
  // shown; listed afresh when no menu was made yet.
  void ChooseFromMenu(size_t display, size_t profile) {
    if (menu_profiles_.empty() || menu_displays_.empty()) MenuItems();
    if (display >= menu_displays_.size() || profile >= menu_profiles_.size()) return;
    const std::string& device = menu_displays_[display];
    DisplayResult result = policy_.Choose(device, menu_profiles_[profile].path);
    if (!result.as_intended && notifications_) {
      const std::string note = "The profile for " + DisplayWords(device) + " was not changed: " + result.outcome;
      Say("notification: " + note + (icon_.Notify("Lumetra", note) ? "" : " (not shown)"));
    }
  }

  void ResetToLinear() {
    policy_.PauseForReset(0);
    std::vector<DisplayResult> results;
    if (RunOnDisplays(RampAction::kReset, 0, system_, &results) != kOk) return;
    for (const DisplayResult& result : results) Say(ReportLine(result));
  }

  void OpenLumetra() {
    const std::wstring program = ProgramPathWide();
    const size_t cut = program.find_last_of(L'\\');
    if (cut == std::wstring::npos) return;
    const std::wstring folder = program.substr(0, cut + 1);
    std::wstring command = L"\"" + folder + L"lumetra.exe\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process)) {
      Say("Lumetra cannot be started: status " + std::to_string(StatusFromSystem(false)));
      return;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }

  // With the user's program for text files; Notepad where no program is set.
  void OpenLog() {
    const std::wstring& path = environment_.LogPath();
    if (path.empty()) return;
    if (reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) >
        32) {
      return;
    }
    if (reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, nullptr, L"notepad.exe", (L"\"" + path + L"\"").c_str(),
                                                nullptr, SW_SHOWNORMAL)) <= 32) {
      Say("the log cannot be opened: status " + std::to_string(StatusFromSystem(false)));
    }
  }

  // The user's own entry; the installer's entry for every user is an
  // administrator's to remove, and is said to stay.
  void ToggleStartAtLogin() {
    const bool every_user = StartAtLoginRegistered(LoginEntry::kEveryUser);
    if (StartAtLoginRegistered() || every_user) {
      Status status = UnregisterAtLogin();
      Say(status == kOk ? "no longer registered to run at login"
                        : "the login registration cannot be removed: status " + std::to_string(status));
      if (every_user) Say("the installer's login entry for every user stays: uninstalling Lumetra removes it");
    } else {
      std::string command;
      Status status = RegisterAtLogin(&command);
      Say(status == kOk ? "registered to run at login: " + command
                        : "not registered to run at login: status " + std::to_string(status));
    }
  }

  void ToggleNotifications() {
    notifications_ = !notifications_;
    Status status = SetNotificationsWanted(notifications_);
    Say(std::string("notifications ") + (notifications_ ? "on" : "off") +
        (status == kOk ? "" : ", not stored: status " + std::to_string(status)));
  }

  // Several events may come before the load: the report names the first.
  void ScheduleLoad(HWND window, const char* why) {
    if (pending_why_.empty()) pending_why_ = why;
    idle_ = false;
    SetTimer(window, kReloadTimer, kReloadDelay, nullptr);
  }

  // No checks while nobody can see the screen; the event that ends this loads.
  void GoIdle(const char* why) {
    if (!idle_) Say(std::string("checks stop: ") + why);
    idle_ = true;
  }

  void OnTimer(HWND window, WPARAM timer) {
    if (timer == kReloadTimer) {
      KillTimer(window, kReloadTimer);
      std::string why;
      why.swap(pending_why_);
      policy_.LoadAll(why.empty() ? std::string("an event") : why);
    } else if (timer == kCheckTimer) {
      if (!sessions_.Register(window) && sessions_.Available() && !session_retry_said_) {
        session_retry_said_ = true;
        Say("session notifications are not available yet: trying again at every check");
      }
      if (!idle_) policy_.Check();
    }
  }

  void OnPower(HWND window, WPARAM event, LPARAM data) {
    if (event == kSuspend) {
      GoIdle("the system suspends");
    } else if (event == kResumeAutomatic || event == kResumeSuspend) {
      ScheduleLoad(window, "a resume");
    } else if (event == kPowerSettingChange && data) {
      const auto* setting = reinterpret_cast<const POWERBROADCAST_SETTING*>(data);
      if (!IsEqualGUID(setting->PowerSetting, kConsoleDisplayState) || setting->DataLength < sizeof(DWORD)) return;
      DWORD state = 0;
      std::memcpy(&state, setting->Data, sizeof(state));
      if (state == 0) GoIdle("the display is off");
      if (state == 1 && idle_) ScheduleLoad(window, "the display is on");
    }
  }

  void OnSessionChange(HWND window, WPARAM event) {
    switch (event) {
      case kSessionLock: GoIdle("the session is locked"); break;
      case kConsoleDisconnect:
      case kRemoteDisconnect: GoIdle("the session is disconnected"); break;
      case kSessionUnlock: ScheduleLoad(window, "an unlock"); break;
      case kConsoleConnect:
      case kRemoteConnect: ScheduleLoad(window, "a reconnect"); break;
      case kSessionLogon: ScheduleLoad(window, "a logon"); break;
      default: break;
    }
  }

  // A request from the command line, another process: its text is checked
  // before anything is done, and unknown ones are ignored. The lines it made
  // go back to the window that asked.
  void Command(const WatcherRequest& request) {
    switch (request.kind) {
      case WatcherRequest::Kind::kPause: policy_.PauseFor(request.number); break;
      case WatcherRequest::Kind::kResume: policy_.Resume(); break;
      case WatcherRequest::Kind::kResetPause: policy_.PauseForReset(static_cast<int32_t>(request.number)); break;
      default: break;
    }
  }

  LRESULT OnRequest(HWND watcher, HWND asker, const COPYDATASTRUCT* data) {
    WatcherRequest request;
    if (!data || data->dwData != kRequestTag ||
        !ParseWatcherRequest(static_cast<const char*>(data->lpData), data->cbData, &request)) {
      return FALSE;
    }
    std::vector<std::string> lines;
    Guarded([&] {
      // A question's reply is its answer; a command's is what it made the
      // watcher say.
      if (request.kind == WatcherRequest::Kind::kStatus) {
        lines = policy_.StatusLines();
      } else if (request.kind == WatcherRequest::Kind::kMenu) {
        HMENU menu = static_cast<HMENU>(CreateTrayPopupMenu(MenuItems()));
        lines = DescribeMenu(menu);
        if (menu) DestroyMenu(menu);
      } else {
        environment_.Capture(&lines);
        Command(request);
        environment_.Capture(nullptr);
      }
      Refresh();
      std::string reply;
      for (const std::string& line : lines) {
        if (reply.size() + line.size() + 1 > kLongestReply) break;
        reply += line + "\n";
      }
      if (!asker || !IsWindow(asker)) return;
      COPYDATASTRUCT answer{kReplyTag, static_cast<DWORD>(reply.size()), const_cast<char*>(reply.data())};
      DWORD_PTR ignored = 0;
      SendMessageTimeoutA(asker, WM_COPYDATA, reinterpret_cast<WPARAM>(watcher), reinterpret_cast<LPARAM>(&answer),
                          SMTO_ABORTIFHUNG, kRequestWait, &ignored);
    });
    environment_.Capture(nullptr);
    return TRUE;
  }

  WindowsDisplaySystem system_;
  WindowsWatchEnvironment environment_;
  WatchPolicy policy_;
  SessionNotifications sessions_;
  DisplayPowerNotifications display_power_;
  std::string pending_why_;
  bool idle_ = false;
  bool session_retry_said_ = false;
  UINT taskbar_created_;
  NotificationIcon icon_;
  TrayNotifications notes_;
  bool notifications_ = true;
  std::vector<InstalledProfileLine> menu_profiles_;  // as the last menu listed them
  std::vector<std::string> menu_displays_;
};

// The window procedure: the watcher rides in the creation parameter.
LRESULT CALLBACK WatcherProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lparam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* watcher = reinterpret_cast<Watcher*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!watcher) return DefWindowProcA(window, message, wparam, lparam);
  return watcher->Handle(window, message, wparam, lparam);
}

class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
  ~ScopedHandle() {
    if (handle_) CloseHandle(handle_);
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// The reply window of a request: it collects the text the watcher sends back.
LRESULT CALLBACK ReplyProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != WM_COPYDATA) return DefWindowProcA(window, message, wparam, lparam);
  auto* reply = reinterpret_cast<std::string*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
  if (!reply || !data || data->dwData != kReplyTag || data->cbData > kLongestReply || (data->cbData && !data->lpData))
    return FALSE;
  try {
    reply->assign(static_cast<const char*>(data->lpData), data->cbData);
  } catch (const std::bad_alloc&) {
    return FALSE;
  }
  return TRUE;
}

// A class of this program's windows; registering it again is harmless.
HINSTANCE RegisterWindowClass(const char* name, WNDPROC procedure) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = instance;
  window_class.lpszClassName = name;
  RegisterClassA(&window_class);
  return instance;
}

}  // namespace

int RunWatcher(const LoaderOptions& options, ReportOutput& report) {
  ScopedHandle single(CreateMutexA(nullptr, FALSE, kWatcherMutex));
  if (!single.get() || GetLastError() == ERROR_ALREADY_EXISTS) {
    report.Line("a watcher already runs in this session");
    return kExitSuccess;
  }

  Watcher watcher(options, report);
  watcher.Start();

  HINSTANCE instance = RegisterWindowClass(kWatcherWindowClass, WatcherProc);
  HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, kWatcherWindowClass, "Lumetra Loader", WS_POPUP, 0, 0, 0, 0,
                                nullptr, nullptr, instance, &watcher);
  if (!window) {
    watcher.Say("the watcher cannot start: status " + std::to_string(StatusFromSystem(false)));
    return kExitFailure;
  }

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  watcher.Say("watcher stopped");
  return watcher.ExitCode();
}

Status AskWatcher(const WatcherRequest& request, std::vector<std::string>* reply_lines) {
  HWND watcher = FindWindowA(kWatcherWindowClass, nullptr);
  if (!watcher) return kNotAvailable;

  HINSTANCE instance = RegisterWindowClass(kReplyWindowClass, ReplyProc);
  HWND asker = CreateWindowExA(0, kReplyWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
  if (!asker) return StatusFromSystem(false);
  std::string reply;
  SetWindowLongPtrA(asker, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&reply));

  const std::string text = WatcherRequestText(request);
  COPYDATASTRUCT data{kRequestTag, static_cast<DWORD>(text.size()), const_cast<char*>(text.data())};
  DWORD_PTR handled = 0;
  // Not SMTO_BLOCK: the reply arrives as a message sent to `asker` while this waits.
  const bool answered = SendMessageTimeoutA(watcher, WM_COPYDATA, reinterpret_cast<WPARAM>(asker),
                                            reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, kRequestWait,
                                            &handled) != 0;
  DestroyWindow(asker);
  if (!answered || !handled) return kNotAvailable;
  if (reply_lines) {
    reply_lines->clear();
    size_t start = 0;
    for (size_t end; (end = reply.find('\n', start)) != std::string::npos; start = end + 1)
      reply_lines->push_back(reply.substr(start, end - start));
  }
  return kOk;
}

int StopWatchers(ReportOutput& report) {
  int stopped = 0;
  // More than one would be a leftover of an older copy; stop them all.
  for (int round = 0; round < 8; ++round) {
    HWND window = FindWindowA(kWatcherWindowClass, nullptr);
    if (!window) break;
    DWORD process_id = 0;
    GetWindowThreadProcessId(window, &process_id);
    ScopedHandle process(OpenProcess(SYNCHRONIZE, FALSE, process_id));
    PostMessageA(window, WM_CLOSE, 0, 0);
    bool ended = process.get() ? WaitForSingleObject(process.get(), kStopWait) == WAIT_OBJECT_0
                               : false;
    if (!ended) {
      // Without a process handle, wait for the window itself to go.
      for (DWORD waited = 0; IsWindow(window) && waited < kStopWait; waited += 50) Sleep(50);
      if (IsWindow(window)) {
        report.Line("the watcher did not stop in time");
        return kExitFailure;
      }
    }
    ++stopped;
  }
  report.Line(stopped ? "watcher stopped" : "no watcher was running");
  return kExitSuccess;
}

}  // namespace lumetra
