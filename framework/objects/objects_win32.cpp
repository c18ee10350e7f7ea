#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include "framework/objects/objects_platform.h"
#include "framework/objects/ole_win32.h"

namespace lumetra {

uint32_t TickCount() { return GetTickCount(); }

void FinishDrop(uintptr_t drop) {
  if (drop) DragFinish(reinterpret_cast<HDROP>(drop));
}

Status InitOle() {
  HRESULT result = OleInitialize(nullptr);
  return (result == S_OK || result == S_FALSE) ? kOk : kSystemResourceUnavailable;
}

Status DoneOle() {
  OleUninitialize();
  return kOk;
}

Status GrowWindow(void* window, int dx, int dy) {
  HWND hwnd = static_cast<HWND>(window);
  RECT rect;
  if (!GetWindowRect(hwnd, &rect)) return StatusFromSystem(false);
  // A child window is placed in its parent's client coordinates; a top-level
  // (or merely owned) window in screen coordinates.
  HWND parent = (GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD) ? GetParent(hwnd) : nullptr;
  if (parent) MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
  int width = rect.right - rect.left + dx;
  int height = rect.bottom - rect.top + dy;
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  return StatusFromSystem(MoveWindow(hwnd, rect.left, rect.top, width, height, TRUE) != 0);
}

}  // namespace lumetra
