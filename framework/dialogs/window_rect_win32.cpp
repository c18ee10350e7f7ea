#include <windows.h>

#include "framework/dialogs/window_rect.h"

namespace lumetra {

Status SaveWindowRect(void* window, SettingsTree* settings, const char* key) {
  if (!window || !settings || !key) return kBadArgument;
  RECT r;
  if (!GetWindowRect(static_cast<HWND>(window), &r)) return StatusFromSystem(false);
  char text[kWindowRectTextSize];
  FormatWindowRect(MakeShortRect(r.left, r.top, r.right, r.bottom), text);
  return SetText(settings, key, text);
}

Status RestoreWindowRect(void* window, SettingsTree* settings, const char* key, bool keep_size) {
  if (!window || !settings || !key) return kBadArgument;
  HWND hwnd = static_cast<HWND>(window);
  ShortRect stored;
  if (!ParseWindowRect(GetText(settings, key, nullptr), &stored)) return kOk;

  ShortRect current{};
  if (keep_size) {
    RECT r;
    if (!GetWindowRect(hwnd, &r)) return kOk;
    current = MakeShortRect(r.left, r.top, r.right, r.bottom);
  }
  // The desktop's device context measures the primary screen.
  HDC desktop = GetDC(GetDesktopWindow());
  int32_t width = GetDeviceCaps(desktop, HORZRES);
  int32_t height = GetDeviceCaps(desktop, VERTRES);
  ReleaseDC(GetDesktopWindow(), desktop);

  ShortRect placed;
  if (PlaceRestoredRect(stored, current, keep_size, width, height, &placed)) {
    // A window that will not move stays where it is; nothing to report.
    MoveWindow(hwnd, placed.left, placed.top, placed.right - placed.left,
               placed.bottom - placed.top, TRUE);
  }
  return kOk;
}

}  // namespace lumetra
