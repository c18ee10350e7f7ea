#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include "framework/dialogs/control.h"
#include "framework/dialogs/dialog.h"
#include "framework/dialogs/dialog_internal.h"
#include "framework/dialogs/dialog_rules.h"
#include "framework/support/messages.h"

namespace lumetra {

namespace {

HWND Hwnd(void* window) { return static_cast<HWND>(window); }

// Notification codes of WM_COMMAND (Win32 docs: BN_*, LBN_*, CBN_*, EN_*).
enum : uint16_t {
  kClicked = 0,         // BN_CLICKED, and menu commands
  kSelectionChange = 1, // LBN_SELCHANGE, CBN_SELCHANGE; accelerators
  kDoubleClick = 2,     // LBN_DBLCLK
  kComboFocus = 3,      // CBN_SETFOCUS
  kButtonFocus = 6,     // BN_SETFOCUS
  kButtonUnfocus = 7,   // BN_KILLFOCUS
  kComboAccepted = 9,   // CBN_SELENDOK
  kEditChanged = 0x300, // EN_CHANGE
};

COLORREF ToColorRef(Color3 c) { return RGB(c.red, c.green, c.blue); }

// The item id under a point of the dialog's client area; 0 for the dialog itself.
int16_t ItemAtPoint(HWND window, LPARAM lparam) {
  POINT point{static_cast<int16_t>(LOWORD(lparam)), static_cast<int16_t>(HIWORD(lparam))};
  HWND child = ChildWindowFromPoint(window, point);
  if (!child || child == window) return 0;
  return static_cast<int16_t>(GetDlgCtrlID(child));
}

struct ControlVisit {
  void* window;
  void (*call)(void* context, TControl* control);
  void* context;
};

Status VisitControl(void* context, TPloObject* object, TPloEvent*) {
  ControlVisit* visit = static_cast<ControlVisit*>(context);
  TControl* control = AsControl(object);
  if (control && control->IsControlOf(visit->window, 0)) visit->call(visit->context, control);
  return kOk;
}

// The first framework control of the item whose type `as` accepts.
template <typename Cast>
TControl* FindControlOfType(void* window, int16_t item, Cast as) {
  for (TPloObject* o = FirstObject(); o; o = NextObject(o)) {
    TControl* control = as(o);
    if (control && control->IsControlOf(window, item)) return control;
  }
  return nullptr;
}

}  // namespace

void TDialog::ForEachControl(ControlCall call, void* context) {
  if (!window_) return;
  ControlVisit visit{window_, call, context};
  ForEachObject(&VisitControl, &visit, nullptr);
}

bool TDialog::StillExists() { return FindTarget(this) == this; }

void TDialog::NoteStatus(Status status) {
  StatusOutcome outcome = ClassifyHookStatus(status);
  if (!outcome.keep) return;
  last_status_ = status;
  if (!outcome.report || !report_errors_) return;
  // One box at a time; timers may run while it is up.
  report_errors_ = 0;
  int32_t in_timer = in_timer_;
  in_timer_ = 0;
  ReportError(status, window_);
  if (!StillExists()) return;
  in_timer_ = in_timer;
  report_errors_ = 1;
}

// ---------------------------------------------------------------------------
// The dialog message handler

intptr_t TDialog::HandleDialogMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  if (suppression_ != 0) return 1;
  TPloEvent event;
  Status status = kOk;
  intptr_t result = 0;
  HWND window = Hwnd(window_);

  switch (message) {
    case WM_INITDIALOG:
      initialising_ = 1;
      RescaleForJapanese(this);
      initialising_ = 0;
      status = OnInitDialog();
      if (status == kOk && !(flags_ & (kDialogNoAutoShow | kDialogDeferred))) Show();
      break;

    case WM_COMMAND: {
      int16_t id = static_cast<int16_t>(LOWORD(wparam));
      uint16_t code = HIWORD(wparam);
      if (lparam == 0 && (code == kClicked || code == kSelectionChange)) {
        event.type = kEventMenuCommand;
        event.item = MenuCommandItem(LOWORD(wparam));
        status = BroadcastEvent(event);
      } else {
        switch (code) {
          case kClicked: status = OnItem(nullptr, id); break;
          case kSelectionChange:
            // A combo box reports its choice when the list closes (kComboAccepted).
            if (GetItemKind(id) != kItemComboBox) status = OnItem(nullptr, id);
            break;
          case kDoubleClick:
            event.data |= kEventDoubleClick;
            if (GetItemKind(id) == kItemListBox && IsItemEnabled(id)) status = OnItem(&event, id);
            break;
          case kComboFocus:
            combo_id_ = id;
            combo_selection_ = static_cast<int16_t>(SendMessageA(Hwnd(reinterpret_cast<void*>(lparam)),
                                                                 CB_GETCURSEL, 0, 0));
            break;
          case kComboAccepted: {
            HWND combo = reinterpret_cast<HWND>(lparam);
            if (id == combo_id_) {
              LRESULT selection = SendMessageA(combo, CB_GETCURSEL, 0, 0);
              LRESULT data = selection >= 0 ? SendMessageA(combo, CB_GETITEMDATA, selection, 0) : 0;
              if (selection >= 0 && data != CB_ERR && (data & 1)) {
                // A disabled entry: the previous choice comes back.
                SendMessageA(combo, CB_SETCURSEL, combo_selection_, 0);
              } else {
                combo_selection_ = static_cast<int16_t>(selection);
              }
            }
            SendMessageA(combo, CB_SHOWDROPDOWN, FALSE, 0);
            status = OnItem(nullptr, id);
            break;
          }
          case kEditChanged: status = OnItem(nullptr, id); break;
          default: break;
        }
      }
      if (!StillExists()) return result;
      RefreshUserInterface(true);
      break;
    }

    case WM_NOTIFY: {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lparam);
      if (!header) break;
      int16_t id = static_cast<int16_t>(header->idFrom);
      switch (header->code) {
        case NM_CLICK: status = OnItem(nullptr, id); break;
        case NM_RCLICK:
          event.data |= kEventRightClick;
          status = OnItem(&event, id);
          break;
        case NM_DBLCLK:
          event.data |= kEventDoubleClick;
          status = OnItem(&event, id);
          break;
        case LVN_ITEMCHANGED:
          event.item_changed = 1;
          status = OnItem(&event, id);
          break;
        case UDN_DELTAPOS: {
          const NMUPDOWN* updown = reinterpret_cast<const NMUPDOWN*>(lparam);
          uintptr_t direction = updown->iDelta > 0 ? kUpDownUp : kUpDownDown;
          event.data = (event.data & ~kUpDownDirectionMask) | (direction << kUpDownDirectionShift);
          status = OnItem(&event, id);
          break;
        }
        case TVN_ENDLABELEDITA: {
          const NMTVDISPINFOA* info = reinterpret_cast<const NMTVDISPINFOA*>(lparam);
          if (!info->item.pszText) break;  // editing was cancelled
          TVITEMA item = info->item;
          item.mask = TVIF_TEXT;
          SendMessageA(GetDlgItem(window, static_cast<uint16_t>(id)), TVM_SETITEMA, 0,
                       reinterpret_cast<LPARAM>(&item));
          status = OnItem(&event, id);
          break;
        }
        case TVN_SELCHANGEDA: status = OnItem(&event, id); break;
        case TTN_GETDISPINFOA: result = ToolTipText(lparam); break;
        default: break;
      }
      break;
    }

    case WM_SETCURSOR:
      if (LOWORD(lparam) == HTCLIENT) {
        ApplyCursor();
        result = 1;
      }
      break;

    case WM_DESTROY:
      ReleaseDrawingTarget(window);
      tool_tip_ = nullptr;  // destroyed with its owner
      SetWindowHandle(nullptr);
      break;

    case WM_SIZE:
      if (wparam == SIZE_RESTORED || wparam == SIZE_MAXIMIZED) {
        InvalidateRect(window, nullptr, TRUE);
        if (!initialising_) status = RememberBoundsAndRedraw();
      }
      break;

    case WM_PAINT:
    case WM_SYNCPAINT: status = PaintWindow(); break;

    case WM_NCPAINT: break;

    case WM_ERASEBKGND: result = has_background_color_; break;

    case WM_ACTIVATEAPP:
      status = wparam ? OnResume(event) : OnSuspend(event);
      break;

    case WM_DRAWITEM:
      DrawComboEntry(lparam);
      return 1;

    case WM_SYSCOMMAND:
      if ((wparam & 0xFFF0) == SC_CLOSE) {
        Close();
        RefreshUserInterface(true);
        // Handled: the platform's own close would send a cancel command to a
        // window that is already gone.
        return 1;
      }
      break;

    case WM_TIMER:
      if (!in_timer_) {
        in_timer_ = 1;
        DeletedDialogMarker() = nullptr;
        status = OnIdle(event);
        // The hook may have deleted this dialog, or closed it and run a sweep
        // that released it after another dialog: then nothing of it is touched.
        if (DeletedDialogMarker() == this || !StillExists()) return result;
        in_timer_ = 0;
      }
      break;

    case WM_HSCROLL:
    case WM_VSCROLL: {
      HWND bar = reinterpret_cast<HWND>(lparam);
      if (!bar) break;  // the window's own scroll bars belong to no item
      int16_t id = static_cast<int16_t>(GetDlgCtrlID(bar));
      if (TControl* control = FindControlOfType(window_, id, AsScrollBar)) {
        TPloEvent control_event;
        control_event.type = kEventControl;
        control_event.message = message;
        control_event.wparam = wparam;
        control_event.lparam = static_cast<uintptr_t>(lparam);
        static_cast<TScrollBar*>(control)->OnScroll(control_event, id);
        if (!StillExists()) return result;
      }
      status = OnItem(nullptr, id);
      break;
    }

    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX: result = ColorItem(wparam, lparam, false); break;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: result = ColorItem(wparam, lparam, true); break;
    case WM_CTLCOLORDLG:
      if (has_background_color_) {
        SetBkColor(reinterpret_cast<HDC>(wparam), ToColorRef(background_color_));
        result = reinterpret_cast<intptr_t>(BrushForColor(background_color_));
      }
      break;

    case WM_MOUSEMOVE:
      if (mouse_tracking_) status = OnMouseMoved(event);
      break;

    case WM_LBUTTONDOWN:
      SetCapture(window);
      MouseButtonWord() |= 1;
      if (mouse_tracking_) {
        event.type = kEventMouseDown;
        status = OnMouseDown(event);
        if (!StillExists()) return result;
        int16_t id = ItemAtPoint(window, lparam);
        event.item = static_cast<uint16_t>(id);
        if (IsItemEnabled(id)) status = OnItem(&event, id);
      }
      break;

    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
      ReleaseCapture();
      MouseButtonWord() &= ~1u;
      if (mouse_tracking_) {
        status = OnMouseUp(event);  // no event: only the controls hear of it
        if (!StillExists()) return result;
        event.type = kEventMouseUp;
        if (message == WM_LBUTTONDBLCLK) event.data |= kEventDoubleClick;
        int16_t id = ItemAtPoint(window, lparam);
        event.item = static_cast<uint16_t>(id);
        if (IsItemEnabled(id)) status = OnItem(&event, id);
      }
      break;

    case WM_DROPFILES:
      event.type = kEventFilesDropped;
      event.data = wparam;  // finished by the event's destructor
      status = OnFilesDropped(event);
      break;

    default: break;
  }

  if (status != kOk && status != kPassedOn && StillExists()) NoteStatus(status);
  return result;
}

// ---------------------------------------------------------------------------
// The subclassed window procedure

intptr_t TDialog::WindowProc(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  if (suppression_ != 0) return 0;
  HWND window = Hwnd(window_);
  WNDPROC previous = reinterpret_cast<WNDPROC>(previous_proc_);
  TPloEvent event;

  switch (message) {
    case WM_COMMAND: {
      uint16_t code = HIWORD(wparam);
      int16_t id = static_cast<int16_t>(LOWORD(wparam));
      if ((code != kButtonFocus && code != kButtonUnfocus) || lparam == 0) break;
      if (!FindControlOfType(window_, id, AsButton)) break;
      HWND button = reinterpret_cast<HWND>(lparam);
      if (SendMessageA(button, BM_GETSTATE, 0, 0) & BST_FOCUS) {
        SendMessageA(window, DM_SETDEFID, static_cast<uint16_t>(id), 0);
      } else if (default_button_ > 0) {
        SendMessageA(window, DM_SETDEFID, static_cast<uint16_t>(default_button_), 0);
      }
      ShortRect bounds;
      GetItemBounds(id, &bounds);
      InvalidateBounds(bounds);
      return 1;
    }

    case WM_ACTIVATE:
      if (LOWORD(wparam) != WA_INACTIVE) {
        OnActivate(event);
        if (!StillExists()) return 0;
        if (previous) CallWindowProcA(previous, window, WM_NCACTIVATE, TRUE, 0);
      } else {
        HWND other = reinterpret_cast<HWND>(lparam);
        if (previous && (!other || DialogOfWindow(other))) {
          CallWindowProcA(previous, window, WM_NCACTIVATE, FALSE, 0);
        }
        OnDeactivate(event);
        if (!StillExists()) return 0;
      }
      break;

    case WM_NCACTIVATE: return 1;

    case WM_ERASEBKGND:
      if (has_background_color_) return 0;
      break;

    case WM_CTLCOLORDLG:
      if (has_background_color_) {
        if (previous) CallWindowProcA(previous, window, message, wparam, lparam);
        SetBkColor(reinterpret_cast<HDC>(wparam), ToColorRef(background_color_));
        return reinterpret_cast<intptr_t>(BrushForColor(background_color_));
      }
      break;

    case WM_DRAWITEM: {
      const DRAWITEMSTRUCT* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      if (!draw) break;
      int16_t id = static_cast<int16_t>(draw->CtlID);
      TControl* control = (draw->CtlType == ODT_BUTTON || draw->CtlType == ODT_STATIC)
                              ? FindControl(window_, id)
                              : FindControlOfType(window_, id, AsTabControl);
      if (!control) break;  // the dialog draws it (combo box entries)
      FocusDrawing();
      TPloEvent update;
      update.type = kEventUpdate;
      control->OnUpdate(update);
      return 1;
    }

    case WM_HELP:
      SendCommand(this, kCommandHelp, 0);
      return 0;

    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: {
      bool dialog_color = message != WM_CTLCOLOREDIT && message != WM_CTLCOLORLISTBOX;
      intptr_t brush = ColorItem(wparam, lparam, dialog_color);
      if (brush) return brush;
      break;
    }

    case WM_SIZING: {
      RECT* rect = reinterpret_cast<RECT*>(lparam);
      if (!rect) break;
      SizingRect sizing{rect->left, rect->top, rect->right, rect->bottom};
      ClampSizingRect(static_cast<int32_t>(wparam), minimum_width_, minimum_height_,
                      maximum_width_, maximum_height_, &sizing);
      *rect = RECT{sizing.left, sizing.top, sizing.right, sizing.bottom};
      return 1;
    }

    default: break;
  }

  LRESULT answer = previous ? CallWindowProcA(previous, window, message, wparam, lparam)
                            : DefDlgProcA(window, message, wparam, lparam);
  RefreshUserInterface(false);
  return answer;
}

// ---------------------------------------------------------------------------
// Colours, tips, keys, cursors

intptr_t TDialog::ColorItem(uintptr_t dc_handle, intptr_t control, bool dialog_color_too) {
  HDC dc = reinterpret_cast<HDC>(dc_handle);
  int32_t id = GetDlgCtrlID(reinterpret_cast<HWND>(control));
  if (id < 0 || id >= kDialogItemLimit) return 0;
  if (item_text_color_set_[id]) SetTextColor(dc, ToColorRef(item_text_color_[id]));
  if (item_background_set_[id]) {
    SetBkColor(dc, ToColorRef(item_background_[id]));
    return reinterpret_cast<intptr_t>(BrushForColor(item_background_[id]));
  }
  if (dialog_color_too && has_background_color_) {
    SetBkColor(dc, ToColorRef(background_color_));
    return reinterpret_cast<intptr_t>(BrushForColor(background_color_));
  }
  return 0;
}

intptr_t TDialog::ToolTipText(intptr_t info_address) {
  NMTTDISPINFOA* info = reinterpret_cast<NMTTDISPINFOA*>(info_address);
  info->szText[0] = '\0';
  info->lpszText = info->szText;
  int16_t item = (info->uFlags & TTF_IDISHWND)
                     ? static_cast<int16_t>(GetDlgCtrlID(reinterpret_cast<HWND>(info->hdr.idFrom)))
                     : static_cast<int16_t>(info->hdr.idFrom);
  char tip[kItemTipSize] = {};
  if (GetItemTip(item, tip, 0) == kOk) {
    tip[kItemTipSize - 1] = '\0';  // whatever the hook wrote, it ends here
    static_assert(sizeof(info->szText) > kToolTipTextLimit, "the tip's own buffer");
    CopyCutText(tip, info->szText, kToolTipTextLimit);
  }
  return 1;
}

Status TDialog::HandleKey(uint32_t message, uintptr_t key) {
  TPloEvent event;
  event.key_code = FrameworkKeyCode(key);
  switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      event.type = kEventKeyDown;
      return OnKeyDown(event);
    case WM_CHAR:
      event.type = kEventKeyDown;
      event.data = key;
      return OnKeyDown(event);
    case WM_KEYUP:
    case WM_SYSKEYUP:
      event.type = kEventKeyUp;
      return OnKeyUp(event);
    default: return kOk;
  }
}

void TDialog::ApplyCursor() {
  CursorChoice choice = ChooseCursor(cursor_shape_);
  cursor_shape_ = choice.shape;
  HCURSOR cursor = nullptr;
  switch (choice.source) {
    case kShowArrow: cursor = LoadCursorA(nullptr, IDC_ARROW); break;
    case kShowCross: cursor = LoadCursorA(nullptr, IDC_CROSS); break;
    case kShowMove: cursor = LoadCursorA(nullptr, IDC_SIZEALL); break;
    case kShowWait: cursor = LoadCursorA(nullptr, IDC_WAIT); break;
    case kShowNoCursor: break;
    case kShowResource:
      cursor = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(choice.resource));
      break;
  }
  SetCursor(cursor);
}

void TDialog::SetCursorShape(int32_t number) {
  cursor_shape_ = number;
  ApplyCursor();
}

// ---------------------------------------------------------------------------
// Forwarding to the controls

Status TDialog::OnMouseDown(TPloEvent& event) {
  if (window_) {
    ForEachControl([](void* e, TControl* c) { c->OnMouseDown(*static_cast<TPloEvent*>(e)); }, &event);
  }
  return kOk;
}

Status TDialog::OnMouseUp(TPloEvent& event) {
  Status status = kOk;
  if (event.type == kEventMouseUp) {
    status = OnItem(&event, static_cast<int16_t>(event.item & 0xFFFF));
    if (!StillExists()) return status;
  }
  if (window_ && !(flags_ & kDialogDeferred) && status != kPassedOn) {
    ForEachControl([](void* e, TControl* c) { c->OnMouseUp(*static_cast<TPloEvent*>(e)); }, &event);
  }
  return status;
}

Status TDialog::OnMouseMoved(TPloEvent& event) {
  if (!(flags_ & kDialogDeferred)) {
    ForEachControl([](void* e, TControl* c) { c->OnMouseMoved(*static_cast<TPloEvent*>(e)); },
                   &event);
  }
  return kOk;
}

Status TDialog::OnKeyDown(TPloEvent& event) {
  int16_t item = static_cast<int16_t>(event.item & 0xFFFF);
  if (item >= 1) {
    Status status = OnItem(&event, item);
    if (status != kOk) return status;
  }
  return TSysDialog::OnKeyDown(event);
}

}  // namespace lumetra
