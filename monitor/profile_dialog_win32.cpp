#include "monitor/profile_dialog.h"

#include <windows.h>

#include <cstring>
#include <memory>
#include <new>

#include "app/color_management.h"
#include "framework/support/byte_order.h"
#include "framework/support/messages.h"
#include "framework/support/tstring.h"
#include "icc/description.h"
#include "icc/profile_line.h"
#include "icc/profile.h"
#include "icc/video_card_gamma.h"
#include "monitor/device_services.h"
#include "monitor/installed_profiles.h"
#include "monitor/screens.h"

namespace lumetra {

namespace {

constexpr char kPathSeparator = '\\';

// The text after the last "\", else after the last "/", else all of it.
const char* FileNameOf(const char* path) {
  const char* backslash = std::strrchr(path, '\\');
  if (backslash) return backslash + 1;
  const char* slash = std::strrchr(path, '/');
  return slash ? slash + 1 : path;
}

// Bounded copy that always terminates; returns the length copied.
size_t CopyText(char* destination, size_t size, const char* text) {
  size_t length = std::strlen(text);
  if (length >= size) length = size - 1;
  std::memcpy(destination, text, length);
  destination[length] = '\0';
  return length;
}

}  // namespace

TLumetraDialog::TLumetraDialog() { SetTemplateId(kProfileDialogTemplate); }

TLumetraDialog::~TLumetraDialog() = default;

const char* TLumetraDialog::ProfileEntry(int32_t index) const {
  if (index < 0 || index >= entry_count_) return nullptr;
  return entries_.get() + static_cast<size_t>(index) * kProfileEntrySize;
}

int32_t TLumetraDialog::ScreenMark(int32_t index) const {
  if (index < 0 || index >= entry_count_) return -1;
  return screen_marks_.get()[index];
}

int32_t TLumetraDialog::DialogScreen() const {
  return Tu4MultiScreenHandler().ScreenOfWindow(window_);
}

intptr_t TLumetraDialog::WindowProc(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  if (message == WM_MOVE) SelectActiveProfile();
  return TDialog::WindowProc(message, wparam, lparam);
}

Status TLumetraDialog::OnInitDialog() {
  Status status = TDialog::OnInitDialog();
  // The list joins the tool tip only once it is filled: registered, the list
  // box would pass every message of the filling (a few per profile) through
  // the tool tip's subclass, each costing server round trips under Wine. No
  // tip can show before the dialog does, so the tips stay the same.
  list_.AttachWithoutTip(this, kProfileListItem);
  LoadProfileEntries();
  FillProfileList();
  list_.RegisterTip();
  SelectActiveProfile();
  EnableItem(kFileNamesItem, false);
  ShowItem(kFileNamesItem, false);
  return status;
}

void TLumetraDialog::LoadProfileEntries() {
  std::vector<std::string> paths;
  if (ListInstalledMonitorProfiles(&paths) != kOk || paths.empty()) return;
  const int32_t found = static_cast<int32_t>(paths.size());

  MemPtr<int32_t> marks(static_cast<int32_t*>(MemAlloc(sizeof(int32_t) * found)));
  MemPtr<char> entries(static_cast<char*>(MemAlloc(kProfileEntrySize * found)));
  if (!marks || !entries) return;
  for (int32_t k = 0; k < found; ++k) {
    marks.get()[k] = -1;
    // A path too long for its entry is cut; it then fails to open like any
    // missing file and is listed by what remains of its name.
    CopyText(entries.get() + static_cast<size_t>(k) * kProfileEntrySize, kProfileEntrySize, paths[k].c_str());
  }
  screen_marks_ = std::move(marks);
  entries_ = std::move(entries);
  entry_count_ = found;
}

Status TLumetraDialog::FillProfileList() {
  // The lines change only through the replacing and appending below, so the
  // count is asked once and kept; each question is a message to the list box.
  int32_t rows = list_.GetRowCount();
  if (rows > entry_count_) {
    list_.Clear();
    rows = list_.GetRowCount();
  }
  for (int32_t k = 0; k < entry_count_; ++k) {
    char line[kProfileLineSize];
    CopyText(line, sizeof(line), ProfileListLine(ProfileEntry(k), show_file_names_ != 0).c_str());

    // A replaced line keeps the count and an appended one adds to it; after
    // a failure the list box is asked again.
    if (k < rows) {
      if (list_.SetRowText(k, line) != kOk) rows = list_.GetRowCount();
    } else if (list_.AddRow(line) == kOk) {
      ++rows;
    } else {
      rows = list_.GetRowCount();
    }
  }
  return kOk;
}

Status TLumetraDialog::SelectActiveProfile() {
  int32_t screen = DialogScreen();
  for (int32_t k = 0; k < entry_count_; ++k) {
    if (screen_marks_.get()[k] == screen) {
      list_.SelectRow(k, true);
      return kOk;
    }
  }

  TString active = GetScreenProfilePath(screen);
  uint32_t fields = active.FieldCount(kPathSeparator);
  if (fields > 1) active = active.Field(fields - 1, kPathSeparator);
  for (int32_t k = 0; k < entry_count_; ++k) {
    // File names compare without case, as the file system does: the system
    // may report a name in another case than the directory lists it.
    if (_stricmp(FileNameOf(ProfileEntry(k)), active.CStr()) == 0) {
      list_.SelectRow(k, true);
      return kOk;
    }
  }
  return kOk;
}

Status TLumetraDialog::OnItem(TPloEvent* event, int16_t item) {
  if (item == kProfileListItem) return ActivateProfile();
  return TDialog::OnItem(event, item);
}

// The dialog has no cancel button, so the dialog manager's cancel command for
// the Escape key comes without a control and travels as menu 0, item 2.
Status TLumetraDialog::OnMenuCommand(TPloEvent& event) {
  if (event.item == IDCANCEL && GetWindowHandle()) {
    Close();
    return kOk;
  }
  return TDialog::OnMenuCommand(event);
}

Status TLumetraDialog::ActivateProfile() {
  int32_t row = list_.GetSelectedRow();
  int32_t screen = DialogScreen();
  for (int32_t k = 0; k < entry_count_; ++k) {
    if (screen_marks_.get()[k] == screen) screen_marks_.get()[k] = -1;
  }
  if (row < 0 || row >= entry_count_) return kOk;

  Tu4MultiScreenHandler screens;
  const char* path = ProfileEntry(row);
  // A refused association is silent: the gamma table is still loaded.
  AssociateProfileWithScreen(path, screen);
  screen_marks_.get()[row] = screen;

  IccProfile* profile = nullptr;
  Status status = OpenProfile(&profile, path);
  if (status != kOk) return status;
  status = ApplyVideoCardGamma(profile, screen);
  if (status != kOk && status != kTagNotFound) {
    ShowMessageBox(kUnknownGammaTableText, kInformationMessage, nullptr, window_);
  }
  CloseProfile(profile);
  return kOk;
}

Status RunMonitorProfileDialog() {
  BindColorManagement();
  // Without memory for the dialog there is nothing to show; the caller goes
  // on to its orderly end.
  std::unique_ptr<TLumetraDialog> dialog(new (std::nothrow) TLumetraDialog());
  if (!dialog) return kOutOfMemory;
  return dialog->RunModal(0, nullptr);
}

}  // namespace lumetra
