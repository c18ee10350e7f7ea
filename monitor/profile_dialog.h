// The program's window: a modal dialog listing the installed monitor profiles
// by description (" (*)" marks a video card gamma table), selecting the one
// active on the monitor under it, and activating the one the user picks on
// that monitor: association with the display device, gamma table into the
// graphics card. Windows only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/dialogs/dialog.h"
#include "framework/dialogs/list_box.h"
#include "framework/support/memory.h"
#include "framework/support/status.h"

namespace lumetra {

constexpr int16_t kProfileDialogTemplate = 883;
constexpr int16_t kProfileListItem = 3;
constexpr int16_t kFileNamesItem = 4;
constexpr size_t kProfileEntrySize = 1024;  // one NUL-terminated full path
constexpr size_t kProfileLineSize = 1000;   // a list line
constexpr char kUnknownGammaTableText[] =
    "This profile contains a vcgt tag, but I could not activate it, because I don't "
    "understand it (see list of known bugs).";

class TLumetraDialog : public TDialog {
 public:
  TLumetraDialog();
  ~TLumetraDialog() override;

  // Hooks of TDialog.
  // Reselects the profile of the monitor the window moved to, then passes on.
  intptr_t WindowProc(uint32_t message, uintptr_t wparam, intptr_t lparam) override;
  // Lists the profiles of the colour directory and selects the active one.
  Status OnInitDialog() override;
  // A selection or double click in the list activates the selected profile.
  Status OnItem(TPloEvent* event, int16_t item) override;
  // The cancel key closes the dialog, as the close box does.
  Status OnMenuCommand(TPloEvent& event) override;

  // Fixed operations.
  // One line per entry, replacing lines in place and appending the rest.
  Status FillProfileList();
  // The line of the profile last activated on the dialog's screen in this run,
  // else of the profile the system reports for that screen; else unchanged.
  Status SelectActiveProfile();
  // Activates the selected profile on the dialog's screen (the screen marks
  // follow); only a failure to open it comes back as a status.
  Status ActivateProfile();

  int32_t EntryCount() const { return entry_count_; }
  const char* ProfileEntry(int32_t index) const;  // null out of range
  int32_t ScreenMark(int32_t index) const;        // -1 out of range

 private:
  // The screen of the monitor nearest to the window, computed afresh.
  int32_t DialogScreen() const;
  // Reads the colour directory and the monitor profiles' names into the entry
  // table; no entries on any failure.
  void LoadProfileEntries();

  TListBox list_;
  MemPtr<char> entries_;       // entry_count_ paths of kProfileEntrySize bytes
  int32_t entry_count_ = 0;
  int32_t show_file_names_ = 0;  // nothing sets it: its check box stays hidden
  MemPtr<int32_t> screen_marks_;  // per entry: screen of its last activation, or -1
};

// The program's user interface: binds the colour management system, then
// runs the dialog until the user closes it. The status of the run, or 21002
// when there is no memory for the dialog.
Status RunMonitorProfileDialog();

}  // namespace lumetra
