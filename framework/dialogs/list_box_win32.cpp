#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include "framework/dialogs/dialog.h"
#include "framework/dialogs/list_box.h"
#include "framework/support/geometry.h"
#include "framework/support/memory.h"

namespace lumetra {
namespace {

constexpr int32_t kColumnsToDelete = 101;  // columns 100 down to 0, however many exist
constexpr UINT kSelectedAndFocused = LVIS_SELECTED | LVIS_FOCUSED;
constexpr UINT kStateImageUnit = 0x1000;   // state image index 1 (Win32 docs, INDEXTOSTATEIMAGEMASK)

LPARAM Pointer(const void* p) { return reinterpret_cast<LPARAM>(p); }

// LB_ADDSTRING and LB_INSERTSTRING answer an index, LB_ERR or LB_ERRSPACE.
Status ListBoxAnswer(LRESULT answer) {
  if (answer == LB_ERRSPACE) return kOutOfMemory;
  if (answer < 0) return kBadArgument;
  return kOk;
}

}  // namespace

// ---- TMCListBox: a list view in report view ----

void* TMCListBox::LiveWindow() {
  // A closed dialog's handle may be reused by another window; only the window
  // the dialog still holds is addressed.
  if (!dialog_ || !dialog_window_ || dialog_->GetWindowHandle() != dialog_window_) return nullptr;
  return dialog_window_;
}

intptr_t TMCListBox::Send(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  HWND window = static_cast<HWND>(LiveWindow());
  if (!window) return 0;
  return SendDlgItemMessageA(window, item_, message, wparam, lparam);
}

Status TMCListBox::Clear() {
  Send(LVM_DELETEALLITEMS, 0, 0);
  return kOk;
}

Status TMCListBox::AddRow(const char* text) { return SetRowText(GetRowCount(), text); }

Status TMCListBox::DeleteRow(int32_t row) {
  Send(LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
  return kOk;
}

int32_t TMCListBox::GetSelectedRow() {
  const int32_t count = GetRowCount();
  for (int32_t row = 0; row < count; ++row) {
    if (IsRowSelected(row)) return row;
  }
  return -1;
}

Status TMCListBox::SelectRow(int32_t row, bool select) {
  LVITEMA item = {};
  item.stateMask = kSelectedAndFocused;
  item.state = select ? kSelectedAndFocused : 0;
  Send(LVM_SETITEMSTATE, static_cast<WPARAM>(row), Pointer(&item));
  Send(LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
  return kOk;
}

bool TMCListBox::IsRowSelected(int32_t row) {
  if (row < 0 || row >= GetRowCount()) return false;
  return Send(LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) != 0;
}

Status TMCListBox::SetFullRowSelect(bool on) {
  Send(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, on ? LVS_EX_FULLROWSELECT : 0);
  return kOk;
}

int32_t TMCListBox::GetRowCount() { return static_cast<int32_t>(Send(LVM_GETITEMCOUNT, 0, 0)); }

Status TMCListBox::SetRowText(int32_t row, const char* text) {
  if (!text) return kBadArgument;
  const size_t length = std::strlen(text);
  MemPtr<char> copy(static_cast<char*>(MemAlloc(length + 1)));
  if (!copy) return kOutOfMemory;
  CopyBytes(text, copy.get(), length);

  // Column 0 of a row past the end appends it at the end, where the other
  // columns must follow it.
  const int32_t count = GetRowCount();
  if (row > count) row = count;
  // Every field is set, whatever the cells before it answered; a text
  // without fields sets nothing.
  char* cursor = copy.get();
  int32_t column = 0;
  while (char* field = NextTabField(&cursor)) SetCellText(row, column++, field);
  return kOk;
}

Status TMCListBox::InsertEmptyRow(int32_t row) {
  LVITEMA item = {};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.pszText = const_cast<char*>("");
  if (Send(LVM_INSERTITEMA, 0, Pointer(&item)) < 0) return kOutOfMemory;
  return kOk;
}

Status TMCListBox::SetColumns(int32_t count, const int32_t* widths, const char* const* titles,
                              int32_t) {
  for (int32_t column = kColumnsToDelete - 1; column >= 0; --column) {
    Send(LVM_DELETECOLUMN, static_cast<WPARAM>(column), 0);
  }
  ShortRect bounds = {0, 0, 0, 0};
  if (dialog_) dialog_->GetItemBounds(item_, &bounds);
  const int32_t control_width = bounds.right - bounds.left;

  for (int32_t i = 0; i < count; ++i) {
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_SUBITEM | (titles ? LVCF_TEXT : 0);
    column.fmt = LVCFMT_LEFT;
    column.cx = ColumnWidth(control_width, widths ? widths[i] : kDefaultColumnPercent);
    column.pszText = titles ? const_cast<char*>(titles[i]) : nullptr;
    column.iSubItem = i;
    Send(LVM_INSERTCOLUMNA, static_cast<WPARAM>(i), Pointer(&column));
  }
  return kOk;
}

Status TMCListBox::SetCellText(int32_t row, int32_t column, const char* text) {
  if (!text) return kBadArgument;
  LVITEMA item = {};
  item.mask = LVIF_TEXT | LVIF_STATE;
  item.iItem = row;
  item.iSubItem = column;
  item.pszText = const_cast<char*>(text);
  if (!LiveWindow()) return kOk;

  if (column != 0 || row < GetRowCount()) {
    if (!Send(LVM_SETITEMA, 0, Pointer(&item))) return kBadArgument;  // no such row or column
    return kOk;
  }
  if (Send(LVM_INSERTITEMA, 0, Pointer(&item)) < 0) return kOutOfMemory;
  return kOk;
}

Status TMCListBox::GetCellText(int32_t row, int32_t column, char* buffer, int32_t size) {
  if (!buffer || size <= 0) return kBadArgument;
  buffer[0] = '\0';
  LVITEMA item = {};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = size;
  if (!Send(LVM_GETITEMA, 0, Pointer(&item))) return kRefused;
  // The control may point at its own copy instead of filling the buffer
  // (Win32 docs, LVM_GETITEM).
  if (item.pszText && item.pszText != buffer) {
    const size_t length = strnlen(item.pszText, static_cast<size_t>(size) - 1);
    CopyBytes(item.pszText, buffer, length);
    buffer[length] = '\0';
  }
  buffer[size - 1] = '\0';
  return kOk;
}

Status TMCListBox::ReservedListHook(TPloEvent*, int32_t) { return kOk; }
void TMCListBox::ReservedListHook2() {}
void TMCListBox::ReservedListHook3() {}

Status TMCListBox::SetCheckBoxes(bool on) {
  Send(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, on ? LVS_EX_CHECKBOXES : 0);
  return kOk;
}

Status TMCListBox::ReservedList() { return kNotAvailable; }

int32_t TMCListBox::GetCheckState(int32_t row) {
  const auto state = static_cast<UINT>(Send(LVM_GETITEMSTATE, static_cast<WPARAM>(row),
                                            LVIS_STATEIMAGEMASK));
  return static_cast<int32_t>(state / kStateImageUnit) - 1;
}

Status TMCListBox::ReservedListHook4() { return kOk; }

Status TMCListBox::SetRowImage(int32_t row, int32_t image) {
  LVITEMA item = {};
  item.mask = LVIF_IMAGE;
  item.iItem = row;
  item.iImage = image;
  // LVM_INSERTITEMA is LVM_SETITEMA + 1.
  const UINT message = row >= GetRowCount() ? LVM_INSERTITEMA : LVM_SETITEMA;
  Send(message, 0, Pointer(&item));
  return kOk;
}

// ---- TListBox: a plain list box ----

Status TListBox::Clear() {
  Send(LB_RESETCONTENT, 0, 0);
  return kOk;
}

Status TListBox::AddRow(const char* text) {
  if (!text) return kBadArgument;
  if (!LiveWindow()) return kOk;
  return ListBoxAnswer(Send(LB_ADDSTRING, 0, Pointer(text)));
}

bool TListBox::HasRow(int32_t row) { return row >= 0 && row < GetRowCount(); }

Status TListBox::DeleteRow(int32_t row) {
  if (!LiveWindow()) return kOk;
  if (!HasRow(row)) return kIndexOutOfRange;
  Send(LB_DELETESTRING, static_cast<WPARAM>(row), 0);
  return kOk;
}

int32_t TListBox::GetSelectedRow() {
  if (!LiveWindow()) return -1;
  return dialog_->GetItemValue(item_);
}

Status TListBox::SelectRow(int32_t row, bool select) {
  if (!LiveWindow()) return kOk;
  if (Send(LB_GETSELCOUNT, 0, 0) == LB_ERR) {  // a single-selection list box
    Send(LB_SETCURSEL, select ? static_cast<WPARAM>(row) : static_cast<WPARAM>(-1), 0);
  } else {
    Send(LB_SETSEL, select ? TRUE : FALSE, static_cast<LPARAM>(row));
  }
  return kOk;
}

bool TListBox::IsRowSelected(int32_t row) {
  if (row < 0 || row >= GetRowCount()) return false;
  return Send(LB_GETSEL, static_cast<WPARAM>(row), 0) > 0;
}

int32_t TListBox::GetRowCount() {
  const intptr_t count = Send(LB_GETCOUNT, 0, 0);
  return count > 0 ? static_cast<int32_t>(count) : 0;
}

Status TListBox::SetRowText(int32_t row, const char* text) {
  if (!text) return kBadArgument;
  if (!LiveWindow()) return kOk;
  // Deleting a row that is not there and inserting at -1 would append.
  if (!HasRow(row)) return kIndexOutOfRange;
  Send(LB_DELETESTRING, static_cast<WPARAM>(row), 0);
  return ListBoxAnswer(Send(LB_INSERTSTRING, static_cast<WPARAM>(row), Pointer(text)));
}

Status TListBox::InsertEmptyRow(int32_t row) {
  if (!LiveWindow()) return kOk;
  // The end of the list is a place to insert at too; -1 would append.
  if (row != GetRowCount() && !HasRow(row)) return kIndexOutOfRange;
  return ListBoxAnswer(Send(LB_INSERTSTRING, static_cast<WPARAM>(row), Pointer("")));
}

Status TListBox::SetColumns(int32_t, const int32_t*, const char* const*, int32_t) { return kOk; }

Status TListBox::GetCellText(int32_t row, int32_t, char* buffer, int32_t size) {
  if (!buffer || size <= 0) return kBadArgument;
  buffer[0] = '\0';
  if (!LiveWindow()) return kRefused;
  if (!HasRow(row)) return kIndexOutOfRange;
  // LB_GETTEXT writes the whole text, however small the buffer.
  const intptr_t length = Send(LB_GETTEXTLEN, static_cast<WPARAM>(row), 0);
  if (length == LB_ERR) return kIndexOutOfRange;
  MemPtr<char> text(static_cast<char*>(MemAlloc(static_cast<size_t>(length) + 1)));
  if (!text) return kOutOfMemory;
  const intptr_t copied = Send(LB_GETTEXT, static_cast<WPARAM>(row), Pointer(text.get()));
  if (copied == LB_ERR) return kIndexOutOfRange;
  if (copied == 0) return kRefused;
  const size_t kept = static_cast<size_t>(copied) < static_cast<size_t>(size) - 1
                          ? static_cast<size_t>(copied)
                          : static_cast<size_t>(size) - 1;
  CopyBytes(text.get(), buffer, kept);
  buffer[kept] = '\0';
  return kOk;
}

Status TListBox::SetFullRowSelect(bool) { return kOk; }
Status TListBox::SetCellText(int32_t, int32_t, const char*) { return kNotAvailable; }
Status TListBox::SetCheckBoxes(bool) { return kOk; }
int32_t TListBox::GetCheckState(int32_t) { return -1; }
Status TListBox::SetRowImage(int32_t, int32_t) { return kNotAvailable; }

Status TListBox::SetOrAddRow(int32_t row, int32_t, const char* text) {
  return row < GetRowCount() ? SetRowText(row, text) : AddRow(text);
}

}  // namespace lumetra
