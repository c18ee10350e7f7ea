// Controls and list objects on a real dialog (template 200 of controls_test.rc):
// a list box on item 3, a list view on item 4, a multiple-selection list box
// on item 5 and a static item 6 without a control object. User input comes
// from a second thread through SendInput while this thread runs the dialog.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "framework/dialogs/control.h"
#include "framework/dialogs/dialog.h"
#include "framework/dialogs/list_box.h"

namespace lumetra {
namespace {

enum : int16_t { kListBoxItem = 3, kListViewItem = 4, kMultiListItem = 5, kPlainItem = 6 };

struct ItemNote {
  int16_t item;
  bool has_event;
  uintptr_t data;  // flags of the event
  bool item_changed;
};

class ControlsDialog : public TDialog {
 public:
  ControlsDialog() { SetTemplateId(200); }
  Status OnInitDialog() override {
    Status status = TDialog::OnInitDialog();
    list.AttachToDialog(this, kListBoxItem);
    view.AttachToDialog(this, kListViewItem);
    multi.AttachToDialog(this, kMultiListItem);
    return status;
  }
  Status OnItem(TPloEvent* event, int16_t item) override {
    notes.push_back({item, event != nullptr, event ? event->data : 0,
                     event && event->item_changed != 0});
    return kOk;
  }

  TListBox list;
  TMCListBox view;
  TListBox multi;
  std::vector<ItemNote> notes;
};

// Runs this thread's messages for `ms` milliseconds.
void Pump(DWORD ms) {
  for (const DWORD start = GetTickCount(); GetTickCount() - start < ms;) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
}

class Controls : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&init);
    ASSERT_EQ(dialog_.Create(0, nullptr, 0, 0), kOk);
    window_ = static_cast<HWND>(dialog_.GetWindowHandle());
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    if (dialog_.GetWindowHandle()) dialog_.Close();
  }

  // A user clicking `clicks` times on a list box row, from another thread;
  // this thread's loop handles the input meanwhile. Returns the notes made.
  std::vector<ItemNote> UserClicks(int32_t row, int clicks) {
    HWND list = GetDlgItem(window_, kListBoxItem);
    RECT r = {};
    SendMessageA(list, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
    POINT at = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ClientToScreen(list, &at);
    dialog_.notes.clear();
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
    Pump(600);
    user.join();
    return dialog_.notes;
  }
  std::string Cell(TMCListBox& list, int32_t row, int32_t column) {
    char text[64];
    Status status = list.GetCellText(row, column, text, sizeof text);
    return status == kOk ? text : "status " + std::to_string(status);
  }

  ControlsDialog dialog_;
  HWND window_ = nullptr;
};

TEST_F(Controls, AttachingNamesTheControlAndRegistersItsTip) {
  EXPECT_STREQ(dialog_.list.Name(), "control item 3");
  HWND tip = static_cast<HWND>(dialog_.ToolTipWindow());
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
  EXPECT_EQ(loose.GetSelectedRow(), -1) << "an unattached list is harmless";
}

// A list filled before its item joins the tool tip, as a long list is.
class LateTipDialog : public TDialog {
 public:
  LateTipDialog() { SetTemplateId(200); }
  Status OnInitDialog() override {
    Status status = TDialog::OnInitDialog();
    HWND tip = static_cast<HWND>(ToolTipWindow());
    attached = list.AttachWithoutTip(this, kListBoxItem);
    for (int i = 0; i < 50; ++i) list.AddRow(("row " + std::to_string(i)).c_str());
    tools_while_filling = SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0);
    list.RegisterTip();
    return status;
  }
  Status GetItemTip(int16_t item, char* text, int32_t) override {
    std::snprintf(text, kItemTipSize, "tip of item %d", item);
    return kOk;
  }

  TListBox list;
  Status attached = -1;
  LRESULT tools_while_filling = -1;
};

// The tool the tip window holds for `item` of `dialog`, and the text it shows
// for it (the tip asks the dialog each time).
struct ItemTool {
  bool found = false;
  TOOLINFOA info = {};
  std::string text;
};

ItemTool ToolOf(HWND tip, HWND dialog, int16_t item) {
  ItemTool tool;
  tool.info.cbSize = 44;
  tool.info.hwnd = dialog;
  tool.info.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(dialog, item));
  tool.found = SendMessageA(tip, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&tool.info)) != 0;
  char text[kItemTipSize] = {};
  TOOLINFOA ask = tool.info;
  ask.lpszText = text;
  SendMessageA(tip, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&ask));
  tool.text = text;
  return tool;
}

TEST_F(Controls, ARegistrationAfterFillingGivesTheToolOfAnAttachment) {
  LateTipDialog late;
  ASSERT_EQ(late.Create(0, nullptr, 0, 0), kOk);
  HWND late_window = static_cast<HWND>(late.GetWindowHandle());
  HWND late_tip = static_cast<HWND>(late.ToolTipWindow());
  EXPECT_EQ(late.attached, kOk);
  EXPECT_STREQ(late.list.Name(), "control item 3");
  EXPECT_EQ(late.tools_while_filling, 0) << "the list joined the tip before it was filled";
  EXPECT_EQ(late.list.GetRowCount(), 50) << "an attachment without the tip drives the list";
  EXPECT_EQ(SendMessageA(late_tip, TTM_GETTOOLCOUNT, 0, 0), 1);

  ItemTool now = ToolOf(static_cast<HWND>(dialog_.ToolTipWindow()), window_, kListBoxItem);
  ItemTool later = ToolOf(late_tip, late_window, kListBoxItem);
  ASSERT_TRUE(now.found);
  ASSERT_TRUE(later.found);
  EXPECT_EQ(later.info.uFlags, now.info.uFlags);
  EXPECT_EQ(later.text, "tip of item 3") << "the tip asks the dialog for its text";
  EXPECT_EQ(now.text, "") << "a dialog without tips gives none";
  late.list.RegisterTip();
  EXPECT_EQ(SendMessageA(late_tip, TTM_GETTOOLCOUNT, 0, 0), 1) << "registering again adds no second tool";

  TListBox loose;
  EXPECT_EQ(loose.AttachWithoutTip(nullptr, 7), kBadArgument);
  EXPECT_STREQ(loose.Name(), "control item 7") << "named even without a dialog";
  loose.RegisterTip();  // unattached: nothing to register, nothing happens
  late.Close();
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
  EXPECT_TRUE(dialog_.list.IsControlOf(nullptr, 0x70000 | kListBoxItem)) << "low 16 bits only";
  EXPECT_FALSE(dialog_.view.IsControlOf(window_, kListBoxItem));

  EXPECT_EQ(FindControl(window_, kListViewItem), &dialog_.view);
  EXPECT_EQ(FindControl(other_window, kListBoxItem), &other.list);
  EXPECT_EQ(FindControl(window_, kPlainItem), nullptr) << "a plain platform item";
  EXPECT_EQ(FindControl(nullptr, 0), &dialog_.list) << "the first control constructed";
  TListBox second;
  second.AttachToDialog(&dialog_, kListBoxItem);
  EXPECT_EQ(FindControl(window_, kListBoxItem), &dialog_.list) << "the first constructed wins";

  TButton button;
  EXPECT_EQ(AsButton(FindTarget(&button)), &button) << "buttons are known by type";
  EXPECT_EQ(AsButton(&dialog_.list), nullptr);
  other.Close();
}

TEST_F(Controls, ListViewRowsFillColumnsFromTabs) {
  TMCListBox& view = dialog_.view;
  HWND control = GetDlgItem(window_, kListViewItem);
  HWND header = reinterpret_cast<HWND>(SendMessageA(control, LVM_GETHEADER, 0, 0));
  ShortRect bounds;
  dialog_.GetItemBounds(kListViewItem, &bounds);
  const int width = bounds.right - bounds.left;
  ASSERT_GT(width, 0);

  const char* titles[] = {"Name", "Gamma", "Class"};
  ASSERT_EQ(view.SetColumns(3, nullptr, titles, 0), kOk);
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
  EXPECT_EQ(view.SetRowText(0, nullptr), kBadArgument);
  EXPECT_EQ(view.AddRow(""), kOk);
  EXPECT_EQ(view.AddRow("\t\t"), kOk);
  EXPECT_EQ(view.GetRowCount(), 3) << "a text without fields sets nothing";
  EXPECT_EQ(view.SetRowText(0, ""), kOk);
  EXPECT_EQ(Cell(view, 0, 0), "sRGB") << "not even column 0";

  EXPECT_EQ(view.GetCheckState(0), -1) << "no check boxes";
  view.SelectRow(2, true);
  EXPECT_EQ(view.GetSelectedRow(), 2);
  view.SelectRow(2, false);
  EXPECT_EQ(view.GetSelectedRow(), -1);
  EXPECT_FALSE(view.IsRowSelected(4));
}

TEST_F(Controls, ListBoxRowsSelectionAndSetOrAdd) {
  TListBox& list = dialog_.list;
  EXPECT_EQ(list.GetSelectedRow(), -1) << "empty list";
  ASSERT_EQ(list.SetOrAddRow(0, 0, "first"), kOk);
  ASSERT_EQ(list.SetOrAddRow(7, 0, "second"), kOk);
  ASSERT_EQ(list.SetOrAddRow(2, 0, "third"), kOk);
  ASSERT_EQ(list.GetRowCount(), 3) << "rows at or past the count are appended";
  ASSERT_EQ(list.SetOrAddRow(1, 0, "SECOND"), kOk);
  ASSERT_EQ(list.GetRowCount(), 3);
  EXPECT_EQ(Cell(list, 1, 0), "SECOND") << "replaced in place";
  EXPECT_EQ(Cell(list, 2, 0), "third");
  EXPECT_EQ(list.SetOrAddRow(-1, 0, "x"), kIndexOutOfRange) << "row -1 is no row to set";
  char small[4];
  EXPECT_EQ(list.GetCellText(1, 0, small, sizeof small), kOk);
  EXPECT_STREQ(small, "SEC") << "cut to the buffer";

  list.SelectRow(2, true);
  EXPECT_EQ(list.GetSelectedRow(), 2);
  list.SelectRow(0, false);
  EXPECT_EQ(list.GetSelectedRow(), -1) << "nothing selected, whatever row is given";

  TListBox& multi = dialog_.multi;
  for (const char* row : {"a", "b", "c"}) multi.AddRow(row);
  multi.SelectRow(0, true);
  multi.SelectRow(2, true);
  multi.SelectRow(0, false);
  EXPECT_FALSE(multi.IsRowSelected(0));
  EXPECT_TRUE(multi.IsRowSelected(2));
}

TEST_F(Controls, UserSelectionReachesOnItemOnceAndADoubleClickIsMarked) {
  TListBox& list = dialog_.list;
  for (const char* row : {"Display A", "Display B", "Display C"}) list.AddRow(row);
  SetForegroundWindow(window_);

  std::vector<ItemNote> notes = UserClicks(1, 1);
  EXPECT_EQ(list.GetSelectedRow(), 1);
  ASSERT_EQ(notes.size(), 1u) << "one notification for one selection change";
  EXPECT_EQ(notes[0].item, kListBoxItem);
  EXPECT_FALSE(notes[0].has_event) << "a selection change carries no event";

  int double_clicks = 0;
  for (const ItemNote& note : UserClicks(0, 2)) {
    double_clicks += note.item == kListBoxItem && note.has_event && (note.data & kEventDoubleClick);
  }
  EXPECT_EQ(double_clicks, 1) << "the second click arrives marked as a double click";

  EnableWindow(GetDlgItem(window_, kListBoxItem), FALSE);
  dialog_.notes.clear();
  SendMessageA(window_, WM_COMMAND, MAKEWPARAM(kListBoxItem, LBN_DBLCLK),
               reinterpret_cast<LPARAM>(GetDlgItem(window_, kListBoxItem)));
  EXPECT_TRUE(dialog_.notes.empty()) << "a disabled list box's double click reaches no hook";
}

TEST_F(Controls, ASelectionMadeByCodeComesBackOnlyAsAListViewItemChange) {
  for (const char* row : {"a", "b", "c"}) {
    dialog_.list.AddRow(row);
    dialog_.view.AddRow(row);
  }
  Pump(100);
  dialog_.notes.clear();
  dialog_.list.SelectRow(1, true);
  dialog_.view.SelectRow(2, true);
  Pump(200);
  EXPECT_EQ(dialog_.list.GetSelectedRow(), 1);
  EXPECT_EQ(dialog_.view.GetSelectedRow(), 2);
  ASSERT_FALSE(dialog_.notes.empty()) << "the list view reports the change of its row's state";
  for (const ItemNote& note : dialog_.notes) {
    EXPECT_EQ(note.item, kListViewItem) << "a list box reports no change made by code";
    EXPECT_TRUE(note.has_event);
    EXPECT_TRUE(note.item_changed) << "the event is marked item-changed";
  }
}

// A list view whose cells of one column cannot be set.
class RefusingView : public TMCListBox {
 public:
  Status SetCellText(int32_t row, int32_t column, const char* text) override {
    columns.push_back(column);
    if (column == refused) return kRefused;
    return TMCListBox::SetCellText(row, column, text);
  }
  int32_t refused = -1;
  std::vector<int32_t> columns;
};

TEST_F(Controls, ListViewRowTextSetsEveryFieldWhateverACellAnswers) {
  RefusingView view;
  ASSERT_EQ(view.AttachToDialog(&dialog_, kListViewItem), kOk);
  const char* titles[] = {"0", "1", "2"};
  ASSERT_EQ(view.SetColumns(3, nullptr, titles, 0), kOk);
  ASSERT_EQ(view.AddRow("zero\tone\ttwo"), kOk);

  view.refused = 1;
  view.columns.clear();
  EXPECT_EQ(view.SetRowText(0, "A\tB\tC"), kOk) << "a failing cell is not the row's status";
  EXPECT_EQ(view.columns, (std::vector<int32_t>{0, 1, 2})) << "each field goes through SetCellText";
  EXPECT_EQ(Cell(view, 0, 0), "A");
  EXPECT_EQ(Cell(view, 0, 1), "one") << "the refused cell keeps its text";
  EXPECT_EQ(Cell(view, 0, 2), "C") << "the cells after a failing one are set";

  view.refused = -1;
  EXPECT_EQ(view.SetRowText(0, "a\tb\tc\tno such column"), kOk);
  EXPECT_EQ(Cell(view, 0, 2), "c");
}

TEST_F(Controls, RowsAreClearedDeletedAndInsertedEmpty) {
  TListBox& list = dialog_.list;
  for (const char* row : {"a", "b", "c"}) list.AddRow(row);
  EXPECT_EQ(list.DeleteRow(1), kOk);
  ASSERT_EQ(list.GetRowCount(), 2);
  EXPECT_EQ(Cell(list, 1, 0), "c");
  EXPECT_EQ(list.InsertEmptyRow(0), kOk);
  EXPECT_EQ(list.InsertEmptyRow(3), kOk) << "the end of the list is a place to insert";
  ASSERT_EQ(list.GetRowCount(), 4);
  EXPECT_EQ(Cell(list, 0, 0), "status 20001") << "an empty row copies nothing";
  EXPECT_EQ(Cell(list, 1, 0), "a");
  EXPECT_EQ(list.Clear(), kOk);
  EXPECT_EQ(list.GetRowCount(), 0);
  EXPECT_EQ(list.GetSelectedRow(), -1);

  TMCListBox& view = dialog_.view;
  const char* titles[] = {"0", "1"};
  ASSERT_EQ(view.SetColumns(2, nullptr, titles, 0), kOk);
  for (const char* row : {"a\t1", "b\t2", "c\t3"}) view.AddRow(row);
  EXPECT_EQ(view.DeleteRow(0), kOk);
  ASSERT_EQ(view.GetRowCount(), 2);
  EXPECT_EQ(Cell(view, 0, 0), "b");
  EXPECT_EQ(view.InsertEmptyRow(1), kOk);
  ASSERT_EQ(view.GetRowCount(), 3);
  EXPECT_EQ(Cell(view, 1, 0), "");
  EXPECT_EQ(Cell(view, 2, 1), "3");
  EXPECT_EQ(view.Clear(), kOk);
  EXPECT_EQ(view.GetRowCount(), 0);
}

TEST_F(Controls, AListBoxRowOutsideTheListIsRefusedAlikeEverywhere) {
  TListBox& list = dialog_.list;
  for (const char* row : {"a", "b", "c"}) list.AddRow(row);
  char text[8];
  for (int32_t row : {-1, 3, 9}) {
    EXPECT_EQ(list.DeleteRow(row), kIndexOutOfRange) << "DeleteRow " << row;
    EXPECT_EQ(list.GetCellText(row, 0, text, sizeof text), kIndexOutOfRange) << "GetCellText " << row;
    EXPECT_EQ(list.SetRowText(row, "x"), kIndexOutOfRange) << "SetRowText " << row;
  }
  for (int32_t row : {-1, 4, 9}) {
    EXPECT_EQ(list.InsertEmptyRow(row), kIndexOutOfRange) << "InsertEmptyRow " << row;
  }
  ASSERT_EQ(list.GetRowCount(), 3) << "and nothing changed";
  EXPECT_EQ(Cell(list, 0, 0), "a");
  EXPECT_EQ(Cell(list, 2, 0), "c");
}

}  // namespace
}  // namespace lumetra
