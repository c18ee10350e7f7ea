// Looks at the running program's dialog from outside, as a user would: waits
// for it, prints its list lines (the selected one marked), tells where it is,
// or closes it; and associates a profile with the first monitor, as a
// calibration would have left it. Built for Windows and run under the same Wine.
// usage: lumetra-peek wait [seconds] | lines | rect | close | associate <profile.icm>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

HWND FindDialog() { return FindWindowA("#32770", "Lumetra"); }

// List texts are read as UTF-16: another process's ANSI list box hands them
// over unconverted under Wine.
void PrintLines(HWND dialog) {
  HWND list = GetDlgItem(dialog, 3);
  LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  LRESULT selected = SendMessageW(list, LB_GETCURSEL, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    if (SendMessageW(list, LB_GETTEXTLEN, i, 0) >= 1024) continue;
    wchar_t text[1024] = {};
    SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
    char line[4096] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, line, sizeof(line), nullptr, nullptr);
    std::printf("%s %s\n", i == selected ? ">" : " ", line);
  }
}

bool Associate(const char* file_name) {
  using Fn = BOOL(WINAPI*)(PCSTR, PCSTR, PCSTR);
  HMODULE mscms = LoadLibraryA("mscms.dll");
  auto associate = reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(mscms, "AssociateColorProfileWithDeviceA")));
  DISPLAY_DEVICEA monitor{};
  monitor.cb = sizeof(monitor);
  return associate && EnumDisplayDevicesA("\\\\.\\DISPLAY1", 0, &monitor, 0) &&
         associate(nullptr, file_name, monitor.DeviceID);
}

}  // namespace

int main(int argc, char** argv) {
  const char* command = argc > 1 ? argv[1] : "lines";
  if (std::strcmp(command, "associate") == 0) {
    if (argc > 2 && Associate(argv[2])) return 0;
    std::fprintf(stderr, "lumetra-peek: the profile could not be associated\n");
    return 1;
  }
  if (std::strcmp(command, "wait") == 0) {
    int seconds = argc > 2 ? std::atoi(argv[2]) : 20;
    for (int i = 0; i < seconds * 20; ++i) {
      if (HWND dialog = FindDialog()) {
        // The list is filled during initialisation, before the window shows.
        if (IsWindowVisible(dialog)) return 0;
      }
      Sleep(50);
    }
    std::fprintf(stderr, "lumetra-peek: no Lumetra dialog appeared\n");
    return 1;
  }
  HWND dialog = FindDialog();
  if (!dialog) {
    std::fprintf(stderr, "lumetra-peek: no Lumetra dialog\n");
    return 1;
  }
  if (std::strcmp(command, "lines") == 0) {
    PrintLines(dialog);
  } else if (std::strcmp(command, "rect") == 0) {
    RECT r;
    GetWindowRect(dialog, &r);
    std::printf("%ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
  } else if (std::strcmp(command, "close") == 0) {
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  } else {
    std::fprintf(stderr, "usage: lumetra-peek wait [seconds] | lines | rect | close | associate <profile.icm>\n");
    return 2;
  }
  std::fflush(stdout);
  return 0;
}
