// The resident watcher: one hidden top-level window (hidden windows still get
// the broadcasts a message-only window would miss), one per session.
#include <windows.h>

#include <new>

#include "loader/loader_program.h"

namespace lumetra {

const char kWatcherWindowClass[] = "LumetraLoaderWatcher";

namespace {

constexpr char kWatcherMutex[] = "Local\\Lumetra Loader watcher";
constexpr UINT_PTR kCheckTimer = 1;
constexpr UINT kCheckInterval = 2000;  // ms between read-backs of the loaded ramps
constexpr UINT_PTR kReloadTimer = 2;
// Events come in bursts (a mode change sends several), and a driver may reset
// the ramp right after telling: load once, a moment later.
constexpr UINT kReloadDelay = 300;
constexpr DWORD kStopWait = 5000;

// Session events, from wtsapi32.h.
constexpr UINT kSessionChangeMessage = 0x02B1;  // WM_WTSSESSION_CHANGE
constexpr WPARAM kConsoleConnect = 0x1, kRemoteConnect = 0x3, kSessionLogon = 0x5, kSessionUnlock = 0x8;
constexpr DWORD kNotifyForThisSession = 0;
// Power events, from winuser.h.
constexpr WPARAM kResumeSuspend = 0x7, kResumeAutomatic = 0x12;

// Session notifications come from wtsapi32, which a system may lack: looked up
// at run time, and the watcher goes on without them.
class SessionNotifications {
 public:
  explicit SessionNotifications(HWND window) : window_(window), module_(LoadLibraryA("wtsapi32.dll")) {
    if (!module_) return;
    using Register = BOOL(WINAPI*)(HWND, DWORD);
    auto do_register = reinterpret_cast<Register>(
        reinterpret_cast<void*>(GetProcAddress(module_, "WTSRegisterSessionNotification")));
    registered_ = do_register && do_register(window_, kNotifyForThisSession);
  }
  ~SessionNotifications() {
    if (registered_) {
      using Unregister = BOOL(WINAPI*)(HWND);
      auto unregister = reinterpret_cast<Unregister>(
          reinterpret_cast<void*>(GetProcAddress(module_, "WTSUnRegisterSessionNotification")));
      if (unregister) unregister(window_);
    }
    if (module_) FreeLibrary(module_);
  }
  SessionNotifications(const SessionNotifications&) = delete;
  SessionNotifications& operator=(const SessionNotifications&) = delete;

 private:
  HWND window_;
  HMODULE module_;
  bool registered_ = false;
};

class Watcher {
 public:
  Watcher(const LoaderOptions& options, ReportOutput& report) : options_(options), report_(report) {}

  // Loads every display (or the one asked for) and remembers what each got.
  void LoadAll() {
    std::vector<DisplayResult> results;
    Status status = RunOnDisplays(RampAction::kLoad, options_.display, system_, &results);
    if (status != kOk) {
      report_.Line("the displays cannot be listed: status " + std::to_string(status));
      return;
    }
    if (results.empty()) report_.Line("no display is attached to the desktop");
    for (const DisplayResult& result : results) report_.Line(ReportLine(result));
    displays_.swap(results);
  }

  // A read-back of every loaded ramp; a display whose card no longer holds
  // its ramp gets it again. Displays whose load failed wait for an event.
  void CheckLoaded() {
    for (DisplayResult& display : displays_) {
      if (!display.loaded || CardHolds(display.device_name, display.wanted)) continue;
      display = RunOnDisplay(RampAction::kLoad, display.device_name, system_);
      report_.Line(ReportLine(display) + " (its ramp had been changed)");
    }
  }

  int ExitCode() const { return ExitCodeOf(displays_); }

  LRESULT Handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
      case WM_TIMER:
        OnTimer(window, wparam);
        return 0;
      case WM_DISPLAYCHANGE:
        ScheduleLoad(window);
        return 0;
      case WM_POWERBROADCAST:
        if (wparam == kResumeAutomatic || wparam == kResumeSuspend) ScheduleLoad(window);
        return TRUE;
      case kSessionChangeMessage:
        if (wparam == kSessionUnlock || wparam == kConsoleConnect || wparam == kRemoteConnect ||
            wparam == kSessionLogon) {
          ScheduleLoad(window);
        }
        return 0;
      case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
      default:
        return DefWindowProcA(window, message, wparam, lparam);
    }
  }

 private:
  void ScheduleLoad(HWND window) { SetTimer(window, kReloadTimer, kReloadDelay, nullptr); }

  void OnTimer(HWND window, WPARAM timer) {
    try {
      if (timer == kReloadTimer) {
        KillTimer(window, kReloadTimer);
        LoadAll();
      } else if (timer == kCheckTimer) {
        CheckLoaded();
      }
    } catch (const std::bad_alloc&) {
      // Short of memory now; the next tick tries again.
    }
  }

  LoaderOptions options_;
  ReportOutput& report_;
  WindowsDisplaySystem system_;
  std::vector<DisplayResult> displays_;
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

}  // namespace

int RunWatcher(const LoaderOptions& options, ReportOutput& report) {
  ScopedHandle single(CreateMutexA(nullptr, FALSE, kWatcherMutex));
  if (!single.get() || GetLastError() == ERROR_ALREADY_EXISTS) {
    report.Line("a watcher already runs in this session");
    return kExitSuccess;
  }

  Watcher watcher(options, report);
  watcher.LoadAll();

  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = WatcherProc;
  window_class.hInstance = instance;
  window_class.lpszClassName = kWatcherWindowClass;
  RegisterClassA(&window_class);
  HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, kWatcherWindowClass, "Lumetra Loader", WS_POPUP, 0, 0, 0, 0,
                                nullptr, nullptr, instance, &watcher);
  if (!window) {
    report.Line("the watcher cannot start: status " + std::to_string(StatusFromSystem(false)));
    return kExitFailure;
  }
  SessionNotifications sessions(window);
  SetTimer(window, kCheckTimer, kCheckInterval, nullptr);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  report.Line("watcher stopped");
  return watcher.ExitCode();
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
