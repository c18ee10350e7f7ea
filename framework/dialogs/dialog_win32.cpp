#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "framework/dialogs/dialog.h"
#include "framework/dialogs/dialog_internal.h"
#include "framework/dialogs/dialog_rules.h"
#include "framework/dialogs/window_rect.h"
#include "framework/support/catalogue.h"
#include "framework/support/files.h"
#include "framework/support/messages.h"
#include "framework/support/text_utils.h"

namespace lumetra {

namespace {

TDialog* active_dialog = nullptr;
const void* deleted_dialog = nullptr;
uint32_t mouse_buttons = 0;
SettingsTree* dialog_settings = nullptr;

// The window procedure a subclassed dialog window had before, kept on the
// window itself so that messages arriving after the object let go of the
// window (during DestroyWindow) still reach it.
constexpr char kPreviousProcProperty[] = "LumetraPreviousProc";

constexpr char kOpenWindowAttention[] =
    "Attention: TDialog will be deleted, but window is not closed!";

HWND Hwnd(void* window) { return static_cast<HWND>(window); }

ShortRect FromRect(const RECT& r) { return MakeShortRect(r.left, r.top, r.right, r.bottom); }

bool HasTableEntry(int16_t item) { return item >= 0 && item < kDialogItemLimit; }

INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The settings node of a dialog: "Dialogs" / "<template id>".
SettingsTree* DialogNode(int16_t template_id, bool create) {
  char name[16];
  std::snprintf(name, sizeof(name), "%d", template_id);
  if (!create) return GetSubtree(GetSubtree(dialog_settings, "Dialogs"), name);
  return GetOrCreateSubtree(GetOrCreateSubtree(dialog_settings, "Dialogs"), name);
}

}  // namespace

// Access to the protected state for the framework's own procedures.
struct TDialog::PlatformAccess {
  static void SetVisible(TDialog* dialog) { dialog->visible_ = 1; }
  static uintptr_t PreviousProc(TDialog* dialog) { return dialog->previous_proc_; }
};

TDialog*& ActiveDialogSlot() { return active_dialog; }
const void*& DeletedDialogMarker() { return deleted_dialog; }
uint32_t& MouseButtonWord() { return mouse_buttons; }
void MarkDialogVisible(TDialog* dialog) { TDialog::PlatformAccess::SetVisible(dialog); }
uintptr_t FrameworkDialogProcedure() { return reinterpret_cast<uintptr_t>(&DialogProcedure); }
bool IsJapaneseLanguage() { return CatalogueHasLanguage("Japanese"); }

void SetDialogSettings(SettingsTree* settings) { dialog_settings = settings; }
SettingsTree* DialogSettings() { return dialog_settings; }

TDialog* DialogOfWindow(void* window) {
  if (!window) return nullptr;
  // Only a dialog is an answer; another kind of object that accepts the
  // handle is passed over.
  for (TPloObject* o = FirstObject(); o; o = NextObject(o)) {
    if (!o->IsTarget(window)) continue;
    if (TDialog* dialog = dynamic_cast<TDialog*>(o)) return dialog;
  }
  return nullptr;
}

namespace {

INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  TDialog* dialog = nullptr;
  if (message == WM_INITDIALOG) {
    SetClassLongA(window, GCL_STYLE, GetClassLongA(window, GCL_STYLE) | CS_DBLCLKS);
    // The dialog chooses its cursor itself (WM_SETCURSOR).
    SetClassLongA(window, GCL_HCURSOR, 0);
    dialog = reinterpret_cast<TDialog*>(lparam);
    if (dialog) dialog->SetWindowHandle(window);
  } else {
    dialog = DialogOfWindow(window);
  }
  INT_PTR result = dialog ? dialog->HandleDialogMessage(message, wparam, lparam) : 0;
  if (message == WM_INITDIALOG) {
    // A hook that set the focus itself keeps it.
    HWND focus = GetFocus();
    return (focus && IsChild(window, focus)) ? 0 : 1;
  }
  return result;
}

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (TDialog* dialog = DialogOfWindow(window)) return dialog->WindowProc(message, wparam, lparam);
  WNDPROC previous = reinterpret_cast<WNDPROC>(GetPropA(window, kPreviousProcProperty));
  if (!previous) return DefWindowProcA(window, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    RemovePropA(window, kPreviousProcProperty);
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
  }
  return CallWindowProcA(previous, window, message, wparam, lparam);
}

}  // namespace

// ---------------------------------------------------------------------------
// TSysDialog

TSysDialog::TSysDialog() = default;
TSysDialog::~TSysDialog() = default;

void* TSysDialog::GetWindowHandle() { return window_; }
void TSysDialog::SetWindowHandle(void* window) { window_ = window; }
int16_t TSysDialog::GetTemplateId() { return template_id_; }

void TSysDialog::FocusDrawing() { SetDrawingTarget(visible_ ? window_ : nullptr); }

void TSysDialog::Show() {
  visible_ = 1;
  if (window_) ShowWindow(Hwnd(window_), IsIconic(Hwnd(window_)) ? SW_RESTORE : SW_SHOW);
}

void TSysDialog::FillWorkArea() {
  RECT area{};
  if (!window_ || !SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0)) return;
  MoveWindow(Hwnd(window_), 0, 0, area.right, area.bottom, TRUE);
}

void TSysDialog::Hide() {
  visible_ = 0;
  if (window_) ShowWindow(Hwnd(window_), SW_HIDE);
}

Status TSysDialog::ReservedSysDialog() { return kNotAvailable; }

void TSysDialog::GetBounds(ShortRect* bounds) {
  RECT r;
  if (bounds && window_ && GetWindowRect(Hwnd(window_), &r)) *bounds = FromRect(r);
}

void TSysDialog::GetContentBounds(ShortRect* bounds) {
  RECT r;
  if (bounds && window_ && GetClientRect(Hwnd(window_), &r)) *bounds = FromRect(r);
}

int32_t TSysDialog::SetBounds(const ShortRect& bounds) {
  if (!window_) return 0;
  if (MoveWindow(Hwnd(window_), bounds.left, bounds.top, bounds.right - bounds.left,
                 bounds.bottom - bounds.top, TRUE)) {
    return 1;
  }
  return static_cast<int32_t>(GetLastError());
}

void TSysDialog::SetSize(ShortPoint size) {
  if (window_) {
    SetWindowPos(Hwnd(window_), nullptr, 0, 0, size.h, size.v, SWP_NOMOVE | SWP_NOZORDER);
  }
}

void TSysDialog::Redraw() {
  // RedrawWindow without flags does nothing; the window is to be painted anew.
  if (window_) RedrawWindow(Hwnd(window_), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
}

void TSysDialog::SetPlacement(int32_t mode, int32_t side, TSysDialog* anchor) {
  placement_mode_ = mode;
  anchor_side_ = side;
  anchor_ = anchor;
}

// ---------------------------------------------------------------------------
// TDialog: life

TDialog::TDialog() { mouse_buttons = 0; }

TDialog::~TDialog() {
  if (active_dialog == this) active_dialog = nullptr;
  if (window_) {
    ShowMessageBox(kOpenWindowAttention, kInformationMessage, nullptr, nullptr);
    TDialog::Close();
  }
  // A window that went away without Close leaves its picture and fonts here.
  FreeDrawingResources();
  deleted_dialog = this;
}

Status TDialog::Create(uint32_t flags, void* parent, int16_t anchor_item, int32_t reserved) {
  if (window_) return kOk;
  // A closed dialog made again before the sweep that was to release it stays:
  // the refresh broadcast of its own initialisation sweeps the list. Only when
  // no window comes of it is it left to that sweep.
  const bool release_was_pending = ReleasePending();
  CancelRelease();
  flags_ |= flags;
  if (!(flags_ & kDialogDeferred)) {
    stay_on_top_ = (flags_ & kDialogStayOnTop) ? 1 : 0;
  } else {
    deferred_parent_ = parent;
    deferred_anchor_item_ = anchor_item;
  }
  Status result = kOk;
  if (template_id_ != 0) {
    result = LoadAndRunTemplate(this, template_id_, parent, (flags_ & kDialogModal) != 0);
  }
  if (parent && anchor_item && window_) {
    HWND item = GetDlgItem(Hwnd(parent), static_cast<uint16_t>(anchor_item));
    RECT r;
    if (item && GetWindowRect(item, &r)) {
      MapWindowPoints(nullptr, Hwnd(parent), reinterpret_cast<POINT*>(&r), 2);
      SetBounds(FromRect(r));
    }
  }
  if (result == kOk && !(flags_ & kDialogNoAutoShow) && (flags_ & kDialogDeferred)) Show();
  if (placement_mode_ != 0) RestorePosition(false);
  if (result == kOk && template_id_ == 0) result = OnInitDialog();
  if (release_was_pending && !window_ && !(flags_ & kDialogModal)) RequestRelease();
  return result;
}

Status TDialog::RunModal(uint32_t flags, void* parent) {
  // A dialog with a window is in a run already (a modal loop may be going on
  // below this call): its flags, its last status and the object stay as they are.
  if (window_) return kOk;
  // A status left from an earlier run is not this run's.
  last_status_ = kOk;
  Status result = Create(flags | kDialogModal, parent, 0, 0);
  if (result == kOk) result = last_status_;
  // The object may be created again, modeless this time.
  flags_ &= ~static_cast<uint32_t>(kDialogModal);
  if ((flags | flags_) & kDialogReleaseOnClose) Release();
  return result;
}

void TDialog::Close() {
  if (window_) {
    FreeDrawingResources();
    HWND window = Hwnd(window_);
    if (active_dialog == this) {
      active_dialog = nullptr;
      for (HWND next = GetWindow(window, GW_HWNDNEXT); next; next = GetWindow(next, GW_HWNDNEXT)) {
        if (TPloObject* owner = FindTarget(next)) {
          if (next != window) {
            active_dialog = dynamic_cast<TDialog*>(owner);
            SetActiveWindow(next);
            break;
          }
        }
      }
    }
    // A modal window outlives EndDialog until its loop ends, when it no longer
    // belongs to this object: the drawing layer lets go of it now.
    ReleaseDrawingTarget(window);
    // Ended while the object still holds the window, so that its WM_DESTROY
    // reaches this dialog.
    if (flags_ & kDialogModal) {
      EndDialog(window, 0);
    } else {
      DestroyWindow(window);
    }
    window_ = nullptr;
    RequestUserInterfaceRefresh();
  }
  if ((flags_ & kDialogReleaseOnClose) && !(flags_ & kDialogModal)) RequestRelease();
}

Status TDialog::OnInitDialog() {
  if (window_) {
    HWND window = Hwnd(window_);
    LONG_PTR previous = GetWindowLongPtrA(window, GWLP_WNDPROC);
    if (previous != reinterpret_cast<LONG_PTR>(&WindowProcedure)) {
      SetPropA(window, kPreviousProcProperty, reinterpret_cast<HANDLE>(previous));
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProcedure));
      previous_proc_ = static_cast<uintptr_t>(previous);
    }
    SetIcon();  // a dialog without an icon goes on
    ApplyGuiSettings(this, template_id_);
  }
  RefreshUserInterface(true);
  if (!window_) return kOk;
  HWND window = Hwnd(window_);
  default_button_ = static_cast<int16_t>(LOWORD(SendMessageA(window, DM_GETDEFID, 0, 0)));

  HWND tip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, TTS_ALWAYSTIP, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
  tool_tip_ = tip;
  if (tip) {
    SetWindowPos(tip, HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (stay_on_top_) {
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    topmost_ = 1;
  }
  GetBounds(&remembered_bounds_);
  return kOk;
}

Status TDialog::SetIcon() {
  if (!window_) return kOk;
  HMODULE module = static_cast<HMODULE>(
      FindResourceModule(RT_GROUP_ICON, ResourceNumber(static_cast<uint16_t>(template_id_))));
  if (!module) module = GetModuleHandleA(nullptr);
  HICON icon = LoadIconA(module, MAKEINTRESOURCEA(static_cast<uint16_t>(template_id_)));
  if (!icon) return kSystemResourceUnavailable;
  SendMessageA(Hwnd(window_), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  return kOk;
}

void TDialog::Show() {
  if (!visible_) SetIcon();
  TSysDialog::Show();
}

void TDialog::Activate() {
  if (window_) SetActiveWindow(Hwnd(window_));
  Show();
}

bool TDialog::IsForeground() { return window_ && GetForegroundWindow() == Hwnd(window_); }
bool TDialog::IsModal() { return (flags_ & kDialogModal) != 0; }
uint32_t TDialog::GetFlags() { return flags_; }

Status TDialog::BringToFront() {
  if (active_dialog && active_dialog->IsModal()) {
    SignalBeep(1);
    return kCancelled;
  }
  Activate();
  return kOk;
}

TDialog* TDialog::ActiveDialog() { return active_dialog; }
uint32_t TDialog::MouseButtonState() { return mouse_buttons; }

// ---------------------------------------------------------------------------
// Positions and sizes

Status TDialog::SavePosition() {
  if (!window_ || !dialog_settings) return kOk;
  return SaveWindowRect(window_, DialogNode(template_id_, true), "Position");
}

Status TDialog::RestorePosition(bool keep_size) {
  if (!window_ || (flags_ & kDialogNoSavedPosition)) return kOk;
  SettingsTree* node = DialogNode(template_id_, false);
  bool from_settings = !anchor_ || placement_mode_ == 0 ||
                       (placement_mode_ == 1 && EntryCount(node) > 0);
  if (from_settings) {
    if (!node) return kOk;
    return RestoreWindowRect(window_, node, "Position", keep_size);
  }
  ShortRect anchor{}, own{};
  anchor_->GetBounds(&anchor);
  GetBounds(&own);
  int16_t width = static_cast<int16_t>(own.right - own.left);
  int16_t height = static_cast<int16_t>(own.bottom - own.top);
  ShortRect placed{};
  placed.top = anchor.top;
  if (anchor_side_ == 1) {
    placed.left = anchor.right;
    placed.bottom = static_cast<int16_t>(anchor.top + height + 1);
  } else {
    // Any side but the right one is the left one.
    placed.left = static_cast<int16_t>(anchor.left - 5 - width);
    placed.bottom = static_cast<int16_t>(anchor.top + height);
  }
  placed.right = static_cast<int16_t>(placed.left + width);
  SetBounds(placed);
  return kOk;
}

void TDialog::SetSizeClamped(ShortPoint size) {
  size.h = static_cast<int16_t>(ClampToRange(size.h, minimum_width_, maximum_width_));
  size.v = static_cast<int16_t>(ClampToRange(size.v, minimum_height_, maximum_height_));
  SetSize(size);
  RememberBoundsAndRedraw();
}

void TDialog::SetMinimumSize(int32_t width, int32_t height) {
  minimum_width_ = width;
  minimum_height_ = height;
}

void TDialog::SetMaximumSize(int32_t width, int32_t height) {
  maximum_width_ = width;
  maximum_height_ = height;
}

void TDialog::GetSizeLimits(ShortPoint* minimum, ShortPoint* maximum) const {
  if (minimum) *minimum = {static_cast<int16_t>(minimum_height_), static_cast<int16_t>(minimum_width_)};
  if (maximum) *maximum = {static_cast<int16_t>(maximum_height_), static_cast<int16_t>(maximum_width_)};
}

Status TDialog::RememberBoundsAndRedraw() {
  GetBounds(&remembered_bounds_);
  Redraw();
  return kOk;
}

void TDialog::AcceptDroppedFiles(bool accept) {
  if (window_) DragAcceptFiles(Hwnd(window_), accept ? TRUE : FALSE);
}

// ---------------------------------------------------------------------------
// Items

namespace {
HWND ItemWindow(void* dialog_window, int16_t item) {
  return dialog_window ? GetDlgItem(Hwnd(dialog_window), static_cast<uint16_t>(item)) : nullptr;
}
}  // namespace

bool TDialog::IsItemEnabled(int16_t item) {
  HWND w = ItemWindow(window_, item);
  return w && IsWindowEnabled(w);
}

void TDialog::EnableItem(int16_t item, bool enable) {
  if (HWND w = ItemWindow(window_, item)) EnableWindow(w, enable ? TRUE : FALSE);
}

void TDialog::ShowItem(int16_t item, bool show) {
  if (HWND w = ItemWindow(window_, item)) ShowWindow(w, show ? SW_SHOW : SW_HIDE);
}

void TDialog::SetItemText(int16_t item, const char* text, int32_t reserved) {
  HWND w = ItemWindow(window_, item);
  if (!w) return;
  Suppress();
  SetWindowTextA(w, text ? text : "");
  Unsuppress();
  DrawItemText(item, false);
}

void TDialog::GetItemText(int16_t item, char* text, int32_t size) {
  if (!text || size == 0) return;
  if (size < 0) size = kDialogTextSize;
  text[0] = '\0';
  if (HWND w = ItemWindow(window_, item)) GetWindowTextA(w, text, size);
}

void TDialog::SetItemTextColor(int16_t item, Color3 color) {
  if (!HasTableEntry(item)) return;
  item_text_color_[item] = color;
  item_text_color_set_[item] = 1;
}

void TDialog::SetItemBackgroundColor(int16_t item, Color3 color) {
  if (!HasTableEntry(item)) return;
  item_background_[item] = color;
  item_background_set_[item] = 1;
}

void TDialog::SetItemBold(int16_t item, bool bold) {
  if (HasTableEntry(item)) item_bold_[item] = bold ? 1 : 0;
}

void TDialog::SetItemPointSize(int16_t item, int16_t points) {
  if (!HasTableEntry(item)) return;
  item_point_size_[item] = points;
  item_size_set_[item] = points > 0 ? 1 : 0;
}

void TDialog::ValidateItem(int16_t item) {
  if (HWND w = ItemWindow(window_, item)) ValidateRect(w, nullptr);
}

void TDialog::SetTitle(const char* text) {
  if (window_) SetWindowTextA(Hwnd(window_), text ? text : "");
  RequestUserInterfaceRefresh();
}

void TDialog::GetTitle(char* text) {
  if (!text) return;
  text[0] = '\0';
  if (window_) GetWindowTextA(Hwnd(window_), text, kDialogTextSize);
}

Status TDialog::GetItemNumber(int16_t item, int32_t count, double* values) {
  if (count <= 0 || !values) return kCancelled;
  char text[kDialogTextSize];
  GetItemText(item, text, sizeof(text));
  if (ParseNumbers(text, nullptr, static_cast<size_t>(count), values) != kOk) return kCancelled;
  return kOk;
}

Status TDialog::SetItemNumber(int16_t item, int32_t count, const double* values,
                              const char* format) {
  if (count <= 0 || !values) return kBadArgument;
  char text[kDialogTextSize];
  Status status = FormatNumbers(static_cast<size_t>(count), values, format ? format : "%7.2f",
                                text, sizeof(text));
  if (status != kOk) return status;
  SetItemText(item, text, 0);
  return kOk;
}

void TDialog::GetBackgroundColor(Color3* color) {
  if (color) *color = has_background_color_ ? background_color_ : kDefaultDialogColor;
}

void TDialog::SetBackgroundColor(Color3 color) {
  background_color_ = color;
  has_background_color_ = 1;
}

ItemKind TDialog::GetItemKind(int16_t item) {
  HWND w = ItemWindow(window_, item);
  char name[256];
  if (!w || GetClassNameA(w, name, sizeof(name)) == 0) return kItemOther;
  return static_cast<ItemKind>(ItemKindFromClass(name));
}

int16_t TDialog::GetItemValue(int16_t item) {
  HWND w = ItemWindow(window_, item);
  if (!w) return -1;
  switch (GetItemKind(item)) {
    case kItemButton: return static_cast<int16_t>(SendMessageA(w, BM_GETCHECK, 0, 0));
    case kItemListBox: return static_cast<int16_t>(SendMessageA(w, LB_GETCURSEL, 0, 0));
    case kItemComboBox: return static_cast<int16_t>(SendMessageA(w, CB_GETCURSEL, 0, 0) + 1);
    case kItemTrackBar: {
      LRESULT position = SendMessageA(w, TBM_GETPOS, 0, 0);
      if (GetWindowLongA(w, GWL_STYLE) & TBS_VERT) {
        position = SendMessageA(w, TBM_GETRANGEMAX, 0, 0) - position;
      }
      return static_cast<int16_t>(position);
    }
    default: return -1;
  }
}

void TDialog::SetItemValue(int16_t item, int16_t value) {
  HWND w = ItemWindow(window_, item);
  if (!w) return;
  switch (GetItemKind(item)) {
    case kItemButton: SendMessageA(w, BM_SETCHECK, value, 0); break;
    case kItemListBox: SendMessageA(w, LB_SETCURSEL, value, 0); break;
    case kItemComboBox: SendMessageA(w, CB_SETCURSEL, value - 1, 0); break;
    case kItemTrackBar: {
      LPARAM position = value;
      if (GetWindowLongA(w, GWL_STYLE) & TBS_VERT) {
        position = SendMessageA(w, TBM_GETRANGEMAX, 0, 0) - value;
      }
      SendMessageA(w, TBM_SETPOS, TRUE, position);
      break;
    }
    default: break;
  }
}

void TDialog::GetItemBounds(int16_t item, ShortRect* bounds) {
  if (!bounds) return;
  *bounds = ShortRect{0, 0, 0, 0};
  HWND w = ItemWindow(window_, item);
  RECT r;
  if (!w || !GetWindowRect(w, &r)) return;
  MapWindowPoints(nullptr, Hwnd(window_), reinterpret_cast<POINT*>(&r), 2);
  *bounds = FromRect(r);
}

void TDialog::SetItemBounds(int16_t item, const ShortRect& bounds) {
  if (HWND w = ItemWindow(window_, item)) {
    MoveWindow(w, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
               TRUE);
  }
}

void TDialog::InvalidateBounds(const ShortRect& bounds) {
  RECT r{bounds.left, bounds.top, bounds.right, bounds.bottom};
  if (window_) InvalidateRect(Hwnd(window_), &r, TRUE);
}

void TDialog::ValidateBounds(const ShortRect& bounds) {
  RECT r{bounds.left, bounds.top, bounds.right, bounds.bottom};
  if (window_) ValidateRect(Hwnd(window_), &r);
}

uint32_t TDialog::DialogBaseUnits() { return static_cast<uint32_t>(GetDialogBaseUnits()); }

void TDialog::SetBackgroundPicture(int16_t item, const char* image_name) {
  SetBackgroundPicture(item, 0, image_name, nullptr, false);
}

// ---------------------------------------------------------------------------
// Events and commands

bool TDialog::IsTarget(const void* object) {
  return (window_ && object == window_) || TSysDialog::IsTarget(object);
}

Status TDialog::HandleEvent(TPloEvent& event) {
  if (event.type == kEventFileList) return OnFileList(event);
  return TSysDialog::HandleEvent(event);
}

bool TDialog::CanHandleCommand(TPloEvent& event) {
  switch (event.command) {
    case kCommandHelp:
    case kCommandApplyGuiSettings: return true;
    case kCommandOpenDialog:
    case kCommandRunDialogModally: return window_ == nullptr;
    case kCommandCloseDialog:
      return window_ && ((flags_ & kDialogClosable) || event.data == kCloseDialogForced);
    case 301:
    case 302:
    case 303:
    case 304: return false;
    case kCommandBringDialogToFront:
      return !IsForeground() && !(active_dialog && active_dialog->IsModal());
    default: return TSysDialog::CanHandleCommand(event);
  }
}

Status TDialog::HandleCommand(TPloEvent& event, uint32_t command) {
  switch (command) {
    case kCommandHelp:
      return ShowHelp(help_id_ != 0 ? help_id_ : template_id_, nullptr, window_);
    case kCommandOpenDialog:
      if (window_) return kOk;
      return Create(static_cast<uint32_t>(event.data), nullptr, 0, 0);
    case kCommandCloseDialog:
      if (!window_) return kOk;
      // A broadcast close reaches every dialog; only closable ones go.
      if (!(flags_ & kDialogClosable) && event.data != kCloseDialogForced) return kPassedOn;
      Close();
      return window_ ? kCancelled : kOk;
    case 301:
    case 302:
    case 303:
    case 304: return kPassedOn;
    case kCommandBringDialogToFront: return BringToFront();
    case kCommandRunDialogModally:
      if (window_) return kOk;
      return RunModal(static_cast<uint32_t>(event.data), nullptr);
    case kCommandApplyGuiSettings: return ApplyGuiSettings(this, template_id_);
    case kCommandFloatingTopmost:
      if (window_ && stay_on_top_ && !topmost_) {
        SetWindowPos(Hwnd(window_), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        topmost_ = 1;
      }
      return kOk;
    case kCommandFloatingNotTopmost:
      if (window_ && stay_on_top_ && topmost_) {
        SetWindowPos(Hwnd(window_), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        topmost_ = 0;
      }
      return kOk;
    default: return TSysDialog::HandleCommand(event, command);
  }
}

Status TDialog::OnActivate(TPloEvent& event) {
  if (!stay_on_top_) BroadcastCommand(nullptr, kCommandFloatingTopmost, 0);
  TDialog* previous = active_dialog;
  if (previous && previous != this && previous->window_ && previous->previous_proc_) {
    CallWindowProcA(reinterpret_cast<WNDPROC>(previous->previous_proc_), Hwnd(previous->window_),
                    WM_NCACTIVATE, FALSE, 0);
  }
  active_dialog = this;
  RequestUserInterfaceRefresh();
  if (window_) InvalidateRect(Hwnd(window_), nullptr, TRUE);
  return kOk;
}

namespace {
// Floating dialogs stop floating when another program comes to the front.
void DropTopmostIfOtherThread(void* window) {
  HWND foreground = GetForegroundWindow();
  DWORD foreground_thread = foreground ? GetWindowThreadProcessId(foreground, nullptr) : 0;
  DWORD own_thread = window ? GetWindowThreadProcessId(Hwnd(window), nullptr) : 0;
  if (foreground_thread != own_thread) BroadcastCommand(nullptr, kCommandFloatingNotTopmost, 0);
}
}  // namespace

Status TDialog::OnDeactivate(TPloEvent& event) {
  RequestUserInterfaceRefresh();
  DropTopmostIfOtherThread(window_);
  return kOk;
}

Status TDialog::OnSuspend(TPloEvent& event) {
  DropTopmostIfOtherThread(window_);
  return kOk;
}

Status TDialog::OnResume(TPloEvent& event) { return kOk; }
Status TDialog::OnEventC(TPloEvent& event) { return OnInitDialog(); }
Status TDialog::OnControlEvent(TPloEvent& event) { return kEventNotHandled; }

Status TDialog::OnItem(TPloEvent* event, int16_t item) { return kOk; }

Status TDialog::GetItemTip(int16_t item, char* text, int32_t reserved) {
  if (text) text[0] = '\0';
  return kOk;
}

Status TDialog::OpenFile(TPloEvent* event, const char* path) { return kOk; }

Status TDialog::OnFilesDropped(TPloEvent& event) {
  HDROP drop = reinterpret_cast<HDROP>(event.data);
  if (!drop) return kOk;
  UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  Status status = kOk;
  for (UINT i = 0; i < count && status == kOk; ++i) {
    char path[kDialogTextSize];
    if (DragQueryFileA(drop, i, path, sizeof(path)) == 0) continue;
    status = OpenFile(&event, path);
  }
  return status;
}

Status TDialog::OnFileList(TPloEvent& event) {
  const FileList* list = reinterpret_cast<const FileList*>(event.data);
  if (!list || !list->entries) return kOk;
  Status status = kOk;
  for (size_t i = 0; i < list->count && status == kOk; ++i) {
    status = OpenFileData(event, list->entries[i]);
  }
  return status;
}

Status TDialog::OpenFileData(TPloEvent& event, const FileListEntry& entry) {
  char path[kPathBufferSize];
  Status status = MakeTempFileName(path, sizeof(path));
  if (status != kOk) return status;
  // Making the name made the file: it goes again on every path.
  struct RemovedAtEnd {
    const char* path;
    ~RemovedAtEnd() { DeleteFileA(path); }
  } temporary{path};
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_TEMPORARY, nullptr);
  if (file == INVALID_HANDLE_VALUE) return StatusFromSystem(false);
  DWORD written = 0;
  bool ok = entry.size <= 0xFFFFFFFFu &&
            (entry.size == 0 || (entry.data && WriteFile(file, entry.data,
                                                         static_cast<DWORD>(entry.size), &written,
                                                         nullptr) &&
                                 written == entry.size));
  CloseHandle(file);
  return ok ? OpenFile(&event, path) : Status{kShortWrite};
}

}  // namespace lumetra
