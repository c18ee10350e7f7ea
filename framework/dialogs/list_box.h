// List controls of a dialog: TMCListBox drives a list view in report view
// whose rows are tab-separated texts split into columns; TListBox maps the
// same row operations onto a plain list box with one text per row. Neither
// receives window messages: user actions reach the dialog's OnItem, which then
// asks the list object. Rows are numbered from 0.
#pragma once

#include <cstdint>

#include "framework/dialogs/control.h"
#include "framework/support/status.h"

namespace lumetra {

// Percent of the control's width a column gets when no widths are given.
constexpr int32_t kDefaultColumnPercent = 85;

class TMCListBox : public TControl {
 public:
  TMCListBox() = default;

  // Operations, continuing TControl's list. Every one addresses the item by
  // (dialog window, item id); before AttachToDialog, or once the dialog's
  // window is gone, they change nothing and return 0 (counts 0, rows -1,
  // GetCellText 20001).
  virtual Status Clear();
  virtual Status AddRow(const char* text);  // SetRowText(GetRowCount(), text)
  virtual Status DeleteRow(int32_t row);
  // The first selected row, or -1.
  virtual int32_t GetSelectedRow();
  // Selects and focuses the row, or clears both, and scrolls it into view.
  virtual Status SelectRow(int32_t row, bool select);
  virtual bool IsRowSelected(int32_t row);  // false outside the list
  virtual Status SetFullRowSelect(bool on);
  virtual int32_t GetRowCount();
  // Fields between tabs fill columns 0, 1, ... through SetCellText; runs of
  // tabs count as one separator, and a text without fields sets nothing. A
  // row at or past the end is appended. 0 whatever the cells answer; 20003
  // for a null text, 21002 when the text cannot be copied.
  virtual Status SetRowText(int32_t row, const char* text);
  virtual Status InsertEmptyRow(int32_t row);
  // Replaces the columns by `count` left-aligned ones; widths in percent of
  // the control's width (null: kDefaultColumnPercent each); titles may be null.
  virtual Status SetColumns(int32_t count, const int32_t* widths, const char* const* titles,
                            int32_t reserved);
  // Column 0 of a row at or past the end appends a row.
  virtual Status SetCellText(int32_t row, int32_t column, const char* text);
  // Copies at most size - 1 bytes and a NUL. 20001 when the platform copies
  // nothing; 20003 without a buffer.
  virtual Status GetCellText(int32_t row, int32_t column, char* buffer, int32_t size);
  virtual Status ReservedListHook(TPloEvent* event, int32_t value);  // 0
  virtual void ReservedListHook2();
  virtual void ReservedListHook3();
  virtual Status SetCheckBoxes(bool on);
  virtual Status ReservedList();  // 20005
  // 0 unchecked, 1 checked, -1 without a check box.
  virtual int32_t GetCheckState(int32_t row);
  virtual Status ReservedListHook4();  // 0
  // A row at or past the end is appended with the image.
  virtual Status SetRowImage(int32_t row, int32_t image);

 protected:
  // Platform wrappers.
  // The dialog window the item lives in while it is alive, else null.
  void* LiveWindow();
  intptr_t Send(uint32_t message, uintptr_t wparam, intptr_t lparam);
};

// Rows of a TListBox: an operation given a row that is not in the list (an
// insertion also takes the end of the list) answers 20703 and changes
// nothing, where the platform would append or do nothing quietly.
class TListBox : public TMCListBox {
 public:
  TListBox() = default;

  Status Clear() override;
  Status AddRow(const char* text) override;
  Status DeleteRow(int32_t row) override;
  int32_t GetSelectedRow() override;  // the dialog's item value: -1 for none
  // Single selection: the row, or no row at all when select is false.
  Status SelectRow(int32_t row, bool select) override;
  bool IsRowSelected(int32_t row) override;
  int32_t GetRowCount() override;
  // Replaces the text of an existing row.
  Status SetRowText(int32_t row, const char* text) override;
  Status InsertEmptyRow(int32_t row) override;
  Status SetColumns(int32_t count, const int32_t* widths, const char* const* titles,
                    int32_t reserved) override;  // nothing to do: 0
  // The row's text; the column is ignored. 20001 for an empty row.
  Status GetCellText(int32_t row, int32_t column, char* buffer, int32_t size) override;
  // List-view features a list box does not have: they do nothing.
  Status SetFullRowSelect(bool on) override;     // 0
  Status SetCellText(int32_t row, int32_t column, const char* text) override;  // 20005
  Status SetCheckBoxes(bool on) override;        // 0
  int32_t GetCheckState(int32_t row) override;   // -1
  Status SetRowImage(int32_t row, int32_t image) override;  // 20005

  // Added after TMCListBox's operations.
  virtual Status SetOrAddRow(int32_t row, int32_t reserved, const char* text);

 private:
  bool HasRow(int32_t row);  // 0 <= row < GetRowCount()
};

// Shared with the platform part: the next tab-separated field of a text
// being split in place (tabs become NULs), skipping runs of tabs as strtok
// does; null when no field is left.
char* NextTabField(char** cursor);

// The width of a column: control_width x percent / 100, truncated.
int32_t ColumnWidth(int32_t control_width, int32_t percent);

}  // namespace lumetra
