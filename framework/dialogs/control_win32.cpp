#include <windows.h>
#include <commctrl.h>

#include <cstddef>

#include "framework/dialogs/control_platform.h"
#include "framework/dialogs/dialog.h"
#include "framework/support/geometry.h"

namespace lumetra {
namespace {

// The TOOLINFOA of common controls 4.70 (Win32 docs, TTTOOLINFOA_V2_SIZE):
// every version of the tool tip control accepts it.
constexpr UINT kToolInfoSize = 44;
static_assert(sizeof(void*) != 4 || offsetof(TOOLINFOA, lParam) + sizeof(LPARAM) == kToolInfoSize,
              "TOOLINFOA up to lParam is 44 bytes on 32-bit Windows");

}  // namespace

void AddItemTool(void* tool_tip, void* dialog_window, int16_t item) {
  if (!tool_tip) return;
  TOOLINFOA info = {};
  info.cbSize = kToolInfoSize;
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = static_cast<HWND>(dialog_window);
  info.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(static_cast<HWND>(dialog_window), item));
  info.hinst = nullptr;
  info.lpszText = LPSTR_TEXTCALLBACKA;
  // Attaching again to the same window must not register the item twice.
  SendMessageA(static_cast<HWND>(tool_tip), TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&info));
  SendMessageA(static_cast<HWND>(tool_tip), TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
}

void InvalidateItem(TDialog* dialog, int16_t item) {
  ShortRect bounds;
  dialog->GetItemBounds(item, &bounds);
  dialog->InvalidateBounds(bounds);
}

}  // namespace lumetra
