// Controls and list objects on a real dialog (template 200 of controls_test.rc):
// a list box on item 3, a list view on item 4, a multiple-selection list box
// on item 5 and a static item 6 without a control object. User input comes
// from a second thread through SendInput while this thread runs the dialog.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "framework/dialogs/control.h"
#include "framework/dialogs/dialog.h"
#include "framework/dialogs/list_box.h"

namespace lumetra {
namespace {

constexpr int16_t kTemplate = 200;
constexpr int16_t kListBoxItem = 3;
constexpr int16_t kListViewItem = 4;
constexpr int16_t kMultiListItem = 5;
constexpr int16_t kPlainItem = 6;

struct ItemNote {
  int16_t item;
  bool has_event;
  uintptr_t data;       // flags of the event
  int32_t item_changed;
};

class ControlsDialog : public TDialog {
 public:
  ControlsDialog() { SetTemplateId(kTemplate); }

  Status OnInitDialog() override {
    Status status = TDialog::OnInitDialog();
    list.AttachToDialog(this, kListBoxItem);
    view.AttachToDialog(this, kListViewItem);
    multi.AttachToDialog(this, kMultiListItem);
    return status;
  }
  Status OnItem(TPloEvent* event, int16_t item) override {
    notes.push_back({item, event != nullptr, event ? event->data : 0,
                     event ? event->item_changed : 0});
    return kOk;
  }

  int NotesFor(int16_t item) const {
    int n = 0;
    for (const ItemNote& note : notes) n += note.item == item;
    return n;
  }

  TListBox list;
  TMCListBox view;
  TListBox multi;
  std::vector<ItemNote> notes;
};

// Runs this thread's messages for `ms` milliseconds, or until `done` holds.
template <typename Done>
void Pump(DWORD ms, Done done) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < ms && !done()) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
}
void Pump(DWORD ms) {
  Pump(ms, [] { return false; });
}

// Clicks `clicks` times at a screen point, as a user would, from another thread.
void ClickFromAnotherThread(POINT at, int clicks) {
  std::thread user([at, clicks] {
    SetCursorPos(at.x, at.y);
    Sleep(50);
    for (int i = 0; i < clicks; ++i) {
      INPUT input[2] = {};
      input[0].type = input[1].type = INPUT_MOUSE;
      input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
      input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
      SendInput(2, input, sizeof(INPUT));
      Sleep(30);
    }
  });
  Pump(400);  // this thread's loop handles the input while the user clicks
  user.join();
}

class Controls : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&init);
    ASSERT_EQ(dialog_.Create(0, nullptr, 0, 0), kOk);
    window_ = static_cast<HWND>(dialog_.GetWindowHandle());
    ASSERT_NE(window_, nullptr);
    Pump(50);
  }
  void TearDown() override {
    if (dialog_.GetWindowHandle()) dialog_.Close();
    Pump(20);
  }

  // The screen point in the middle of a list box row.
  POINT RowPoint(int16_t item, int32_t row) {
    HWND list = GetDlgItem(window_, item);
    RECT r = {};
    SendMessageA(list, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
    POINT p = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ClientToScreen(list, &p);
    return p;
  }
  std::string Cell(TMCListBox& list, int32_t row, int32_t column) {
    char text[64];
    Status status = list.GetCellText(row, column, text, sizeof text);
    return status == kOk ? text : "status " + std::to_string(status);
  }
  void Fill(TMCListBox& list, std::initializer_list<const char*> rows) {
    for (const char* row : rows) ASSERT_EQ(list.AddRow(row), kOk) << row;
  }

  ControlsDialog dialog_;
  HWND window_ = nullptr;
};

TEST_F(Controls, AttachingNamesTheControlAndRegistersItsTip) {
  EXPECT_STREQ(dialog_.list.Name(), "control item 3");
  EXPECT_EQ(dialog_.list.GetItemId(), kListBoxItem);
  EXPECT_EQ(dialog_.list.Dialog(), &dialog_);
  EXPECT_EQ(dialog_.list.DialogWindow(), window_);

  HWND tip = static_cast<HWND>(dialog_.ToolTipWindow());
  ASSERT_NE(tip, nullptr);
  EXPECT_EQ(SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0), 3);
  TOOLINFOA info = {};
  info.cbSize = 44;
  ASSERT_TRUE(SendMessageA(tip, TTM_ENUMTOOLSA, 0, reinterpret_cast<LPARAM>(&info)));
  EXPECT_EQ(info.hwnd, window_);
  EXPECT_EQ(reinterpret_cast<HWND>(info.uId), GetDlgItem(window_, kListBoxItem));
  EXPECT_EQ(info.uFlags & (TTF_IDISHWND | TTF_SUBCLASS), UINT{TTF_IDISHWND | TTF_SUBCLASS});

  EXPECT_EQ(dialog_.list.AttachToDialog(&dialog_, kListBoxItem), kOk);
  EXPECT_EQ(SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0), 3) << "attaching again adds no second tool";

  TListBox loose;
  EXPECT_EQ(loose.AttachToDialog(nullptr, 7), kBadArgument);
  EXPECT_STREQ(loose.Name(), "control item 7") << "named even without a dialog";
  EXPECT_EQ(loose.Dialog(), nullptr);
  EXPECT_EQ(loose.GetRowCount(), 0) << "an unattached list is harmless";
  EXPECT_EQ(loose.GetSelectedRow(), -1);
  EXPECT_EQ(loose.AddRow("x"), kOk);
}

TEST_F(Controls, FindsControlsByDialogWindowAndItem) {
  ControlsDialog other;
  ASSERT_EQ(other.Create(0, nullptr, 0, 0), kOk);
  HWND other_window = static_cast<HWND>(other.GetWindowHandle());

  for (TControl* c : {static_cast<TControl*>(&dialog_.list), static_cast<TControl*>(&dialog_.view)}) {
    EXPECT_TRUE(c->IsControlOf(nullptr, 0)) << c->Name();
    EXPECT_TRUE(c->IsControlOf(window_, 0)) << c->Name();
    EXPECT_FALSE(c->IsControlOf(other_window, 0)) << c->Name();
  }
  EXPECT_TRUE(dialog_.list.IsControlOf(window_, kListBoxItem));
  EXPECT_TRUE(dialog_.list.IsControlOf(nullptr, 0x70000 | kListBoxItem)) << "low 16 bits only";
  EXPECT_FALSE(dialog_.view.IsControlOf(window_, kListBoxItem));

  EXPECT_EQ(FindControl(window_, kListBoxItem), &dialog_.list);
  EXPECT_EQ(FindControl(window_, kListViewItem), &dialog_.view);
  EXPECT_EQ(FindControl(other_window, kListBoxItem), &other.list);
  EXPECT_EQ(FindControl(window_, kPlainItem), nullptr) << "a plain platform item";
  EXPECT_EQ(FindControl(nullptr, 0), &dialog_.list) << "the first control constructed";

  TListBox second;
  second.AttachToDialog(&dialog_, kListBoxItem);
  EXPECT_EQ(FindControl(window_, kListBoxItem), &dialog_.list) << "the first constructed wins";

  TButton button;
  TScrollBar scroll_bar;
  TMenu menu;
  EXPECT_EQ(AsButton(&button), &button);
  EXPECT_EQ(AsControl(&button), &button);
  EXPECT_EQ(AsButton(&dialog_.list), nullptr);
  EXPECT_EQ(AsScrollBar(&scroll_bar), &scroll_bar);
  EXPECT_EQ(AsTabControl(&scroll_bar), nullptr);
  EXPECT_EQ(AsControl(&menu), nullptr);
  EXPECT_EQ(AsMenu(&menu), &menu);
  EXPECT_EQ(AsControl(&dialog_), nullptr);
  other.Close();
}

TEST_F(Controls, ListViewRowsFillColumnsFromTabs) {
  TMCListBox& view = dialog_.view;
  HWND control = GetDlgItem(window_, kListViewItem);
  ShortRect bounds;
  dialog_.GetItemBounds(kListViewItem, &bounds);
  const int width = bounds.right - bounds.left;
  ASSERT_GT(width, 0);

  const char* titles[] = {"Name", "Gamma", "Class"};
  ASSERT_EQ(view.SetColumns(3, nullptr, titles, 0), kOk);
  HWND header = reinterpret_cast<HWND>(SendMessageA(control, LVM_GETHEADER, 0, 0));
  EXPECT_EQ(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(SendMessageA(control, LVM_GETCOLUMNWIDTH, i, 0), width * 85 / 100) << "column " << i;
  }
  const int32_t percent[] = {30, 50};
  ASSERT_EQ(view.SetColumns(2, percent, nullptr, 0), kOk);
  EXPECT_EQ(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0), 2) << "old columns are gone";
  EXPECT_EQ(SendMessageA(control, LVM_GETCOLUMNWIDTH, 1, 0), width * 50 / 100);

  EXPECT_EQ(view.GetSelectedRow(), -1) << "empty list";
  ASSERT_EQ(view.SetRowText(0, "sRGB\t\t(*)"), kOk);
  EXPECT_EQ(Cell(view, 0, 0), "sRGB");
  EXPECT_EQ(Cell(view, 0, 1), "(*)") << "the empty field between two tabs is skipped";
  ASSERT_EQ(view.SetRowText(5, "far\tpast"), kOk);
  ASSERT_EQ(view.AddRow("added\tend"), kOk);
  ASSERT_EQ(view.GetRowCount(), 3);
  EXPECT_EQ(Cell(view, 1, 0), "far") << "a row past the end is appended";
  EXPECT_EQ(Cell(view, 1, 1), "past") << "its other columns follow it";
  EXPECT_EQ(Cell(view, 2, 1), "end");
  ASSERT_EQ(view.SetRowText(0, "renamed"), kOk);
  EXPECT_EQ(Cell(view, 0, 0), "renamed");
  EXPECT_EQ(view.SetRowText(0, nullptr), kBadArgument);
  EXPECT_EQ(view.AddRow(""), kOk);
  EXPECT_EQ(view.GetRowCount(), 4) << "an empty text still makes a row";

  char small[4];
  EXPECT_EQ(view.GetCellText(0, 0, small, sizeof small), kOk);
  EXPECT_STREQ(small, "ren");

  EXPECT_EQ(view.GetCheckState(0), -1) << "no check boxes";
  EXPECT_EQ(view.GetSelectedRow(), -1);
  view.SelectRow(2, true);
  EXPECT_TRUE(view.IsRowSelected(2));
  EXPECT_EQ(view.GetSelectedRow(), 2);
  view.SelectRow(2, false);
  EXPECT_EQ(view.GetSelectedRow(), -1);
  EXPECT_FALSE(view.IsRowSelected(-1));
  EXPECT_FALSE(view.IsRowSelected(4));
  view.DeleteRow(0);
  EXPECT_EQ(view.GetRowCount(), 3);
  view.Clear();
  EXPECT_EQ(view.GetRowCount(), 0);
}

TEST_F(Controls, ListBoxRowsSelectionAndSetOrAdd) {
  TListBox& list = dialog_.list;
  EXPECT_EQ(list.GetSelectedRow(), -1) << "empty list";
  EXPECT_EQ(dialog_.multi.GetSelectedRow(), -1) << "empty list";

  ASSERT_EQ(list.SetOrAddRow(0, 0, "first"), kOk);
  ASSERT_EQ(list.SetOrAddRow(1, 0, "second"), kOk);
  ASSERT_EQ(list.SetOrAddRow(7, 0, "third"), kOk);
  ASSERT_EQ(list.GetRowCount(), 3) << "rows at or past the count are appended";
  ASSERT_EQ(list.SetOrAddRow(1, 0, "SECOND"), kOk);
  ASSERT_EQ(list.GetRowCount(), 3);
  EXPECT_EQ(Cell(list, 0, 0), "first");
  EXPECT_EQ(Cell(list, 1, 0), "SECOND") << "replaced in place";
  EXPECT_EQ(Cell(list, 2, 0), "third");
  EXPECT_EQ(list.SetOrAddRow(-1, 0, "x"), kBadArgument);
  EXPECT_EQ(list.SetRowText(3, "x"), kBadArgument) << "would delete nothing and insert nowhere";
  EXPECT_EQ(list.GetCellText(9, 0, nullptr, 0), kBadArgument);
  char small[4];
  EXPECT_EQ(list.GetCellText(1, 0, small, sizeof small), kOk);
  EXPECT_STREQ(small, "SEC") << "cut to the buffer";
  EXPECT_EQ(list.GetCellText(9, 0, small, sizeof small), kIndexOutOfRange);

  list.SelectRow(2, true);
  EXPECT_EQ(list.GetSelectedRow(), 2);
  EXPECT_TRUE(list.IsRowSelected(2));
  list.SelectRow(0, false);
  EXPECT_EQ(list.GetSelectedRow(), -1) << "nothing selected, whatever row is given";
  EXPECT_FALSE(list.IsRowSelected(3));

  TListBox& multi = dialog_.multi;
  Fill(multi, {"a", "b", "c"});
  multi.SelectRow(0, true);
  multi.SelectRow(2, true);
  multi.SelectRow(0, false);
  EXPECT_FALSE(multi.IsRowSelected(0));
  EXPECT_TRUE(multi.IsRowSelected(2));
  EXPECT_EQ(multi.GetCheckState(0), -1);
  EXPECT_EQ(multi.SetCellText(0, 1, "x"), kNotAvailable);
  multi.InsertEmptyRow(1);
  EXPECT_EQ(multi.GetRowCount(), 4);
  EXPECT_EQ(multi.GetCellText(1, 0, small, sizeof small), kRefused) << "an empty row copies nothing";
  multi.DeleteRow(1);
  multi.Clear();
  EXPECT_EQ(multi.GetRowCount(), 0);
}

TEST_F(Controls, UserSelectionReachesOnItemOnceAndCodeSelectionDoesNot) {
  TListBox& list = dialog_.list;
  Fill(list, {"Display A", "Display B", "Display C"});
  SetForegroundWindow(window_);
  Pump(100);

  ClickFromAnotherThread(RowPoint(kListBoxItem, 1), 1);
  Pump(300);
  EXPECT_EQ(list.GetSelectedRow(), 1);
  ASSERT_EQ(dialog_.NotesFor(kListBoxItem), 1) << "one notification for one selection change";
  EXPECT_FALSE(dialog_.notes[0].has_event) << "a selection change carries no event";

  dialog_.notes.clear();
  list.SelectRow(2, true);
  Pump(200);
  EXPECT_EQ(list.GetSelectedRow(), 2);
  EXPECT_EQ(dialog_.NotesFor(kListBoxItem), 0) << "a selection made by code is no user action";

  dialog_.notes.clear();
  ClickFromAnotherThread(RowPoint(kListBoxItem, 0), 2);
  Pump(300);
  int double_clicks = 0;
  for (const ItemNote& note : dialog_.notes) {
    if (note.item == kListBoxItem && note.has_event && (note.data & kEventDoubleClick)) {
      ++double_clicks;
    }
  }
  EXPECT_EQ(double_clicks, 1) << "the second click arrives marked as a double click";
}

}  // namespace
}  // namespace lumetra
