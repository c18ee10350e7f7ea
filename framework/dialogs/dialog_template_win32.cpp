#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "framework/dialogs/dialog.h"
#include "framework/dialogs/dialog_internal.h"
#include "framework/dialogs/dialog_rules.h"
#include "framework/dialogs/template_font.h"
#include "framework/support/files.h"
#include "framework/support/memory.h"

namespace lumetra {

namespace {

// The platform family as the framework encodes it; only the NT family matters.
constexpr int32_t kPlatformNt = 0x20001;

int32_t PlatformFamily() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof(info);
  static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA layout");
  if (!GetVersionExA(&info)) return 0x20000;
  switch (info.dwPlatformId) {
    case VER_PLATFORM_WIN32_NT: return kPlatformNt;
    case VER_PLATFORM_WIN32_WINDOWS: return 0x20002;
    case VER_PLATFORM_WIN32s: return 0x20003;
    default: return 0x20000;
  }
}

constexpr char kNtShellFace[] = "MS Shell Dlg";
constexpr int16_t kSubstitutedPointSize = 8;

}  // namespace

void GetGuiFontFace(char* face, size_t face_size, int32_t* point_size) {
  int32_t size = 10;
  HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);
  if (!font) font = GetStockObject(SYSTEM_FONT);
  LOGFONTA description;
  if (font && GetObjectA(font, sizeof(description), &description) == sizeof(description)) {
    if (face && face_size > 0) {
      CopyCutText(description.lfFaceName, face, face_size - 1);
    }
    HDC screen = GetDC(nullptr);
    int32_t pixels_per_inch = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    if (pixels_per_inch > 0) size = MulDiv(std::abs(description.lfHeight), 72, pixels_per_inch);
  }
  if (point_size) *point_size = size;
}

Status LoadAndRunTemplate(TDialog* dialog, int16_t template_id, void* parent, bool modal) {
  if (!dialog) return kBadArgument;
  const char* name = ResourceNumber(static_cast<uint16_t>(template_id));
  HMODULE module = static_cast<HMODULE>(FindResourceModule(RT_DIALOG, name));
  if (!module) module = GetModuleHandleA(nullptr);
  HRSRC resource = FindResourceA(module, name, RT_DIALOG);
  if (!resource) return StatusFromSystem(false);
  HGLOBAL loaded = LoadResource(module, resource);
  if (!loaded) return StatusFromSystem(false);
  const void* stored = LockResource(loaded);
  if (!stored) return StatusFromSystem(false);

  const void* used = stored;
  MemPtr<void> rewritten;
  if (IsJapaneseLanguage()) {
    char face[256] = "";
    int32_t points = 0;
    GetGuiFontFace(face, sizeof(face), &points);
    const char* new_face = PlatformFamily() == kPlatformNt ? kNtShellFace : face;
    void* result = nullptr;
    // A template without a font, or no memory: the stored template serves.
    if (RewriteTemplateFont(stored, new_face, kSubstitutedPointSize, &result,
                            SizeofResource(module, resource)) == kOk &&
        result) {
      rewritten.reset(result);
      used = result;
    }
  }

  HWND owner = static_cast<HWND>(parent ? parent : DefaultParentWindow());
  DLGPROC procedure = reinterpret_cast<DLGPROC>(FrameworkDialogProcedure());
  LPARAM creation = reinterpret_cast<LPARAM>(dialog);
  const DLGTEMPLATE* dialog_template = static_cast<const DLGTEMPLATE*>(used);
  Status result;
  if (modal) {
    MarkDialogVisible(dialog);
    // -1 when the platform did not run the dialog.
    result = static_cast<Status>(
        DialogBoxIndirectParamA(module, dialog_template, owner, procedure, creation));
  } else {
    HWND window = CreateDialogIndirectParamA(module, dialog_template, owner, procedure, creation);
    result = window ? kOk : kSystemResourceUnavailable;
  }
  FreeResource(loaded);
  return result;
}

Status RescaleForJapanese(TDialog* dialog) {
  if (!dialog || !IsJapaneseLanguage()) return kOk;
  HWND window = static_cast<HWND>(dialog->GetWindowHandle());
  if (!window) return kOk;
  RECT units{0, 0, 4, 8};
  if (!MapDialogRect(window, &units)) return kOk;
  int32_t x = units.right;   // pixels of 4 horizontal dialog units
  int32_t y = units.bottom;  // pixels of 8 vertical dialog units

  ShortRect bounds{0, 0, 0, 0};
  dialog->GetBounds(&bounds);
  if (!RescaleRect(x, y, &bounds)) return kOk;
  SetWindowPos(window, nullptr, 0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top,
               SWP_NOZORDER | SWP_NOMOVE);
  for (int16_t item = 0; item < kDialogItemLimit; ++item) {
    if (!GetDlgItem(window, item)) continue;
    ShortRect r;
    dialog->GetItemBounds(item, &r);
    RescaleRect(x, y, &r);
    dialog->SetItemBounds(item, r);
  }
  return kOk;
}

}  // namespace lumetra
