#include "monitor/profile_dialog.h"

#include <windows.h>
#include <icm.h>

#include <cstring>
#include <memory>
#include <new>

#include "app/color_management.h"
#include "framework/support/byte_order.h"
#include "framework/support/messages.h"
#include "framework/support/tstring.h"
#include "icc/description.h"
#include "icc/profile.h"
#include "icc/video_card_gamma.h"
#include "monitor/device_services.h"
#include "monitor/screens.h"

namespace lumetra {

namespace {

constexpr size_t kColorDirectorySize = 256;
constexpr uint32_t kColorDirectoryLimit = 254;  // leaves room for the separator we add
constexpr uint32_t kMonitorClass = 0x6D6E7472;  // 'mntr'
constexpr char kPathSeparator = '\\';

static_assert(sizeof(ENUMTYPEA) == 88, "the selection record EnumColorProfilesA takes");

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

void AppendText(char* destination, size_t size, const char* text) {
  size_t used = std::strlen(destination);
  if (used + 1 < size) CopyText(destination + used, size - used, text);
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
  char directory[kColorDirectorySize] = {};
  uint32_t directory_size = kColorDirectoryLimit;
  Status directory_status =
      StatusFromSystem(CmsGetColorDirectory(nullptr, directory, &directory_size));
  if (directory_status == kOk) {
    directory[kColorDirectoryLimit] = '\0';
    size_t length = std::strlen(directory);
    if (length > 0 && directory[length - 1] != '\\' && directory[length - 1] != '/') {
      directory[length] = '\\';
      directory[length + 1] = '\0';
    }
  }

  ENUMTYPEA selection{};
  selection.dwSize = sizeof(selection);
  selection.dwVersion = ENUM_TYPE_VERSION;
  selection.dwFields = ET_CLASS;
  selection.dwClass = kMonitorClass;
  // The sizing call answers false by design; only the size it leaves counts.
  uint32_t names_size = 0;
  uint32_t count = 0;
  CmsEnumColorProfiles(nullptr, &selection, nullptr, &names_size, &count);
  if (names_size == 0 || directory_status != kOk) return;

  MemPtr<uint8_t> names(static_cast<uint8_t*>(MemAlloc(names_size)));
  if (!names) return;
  uint32_t filled_size = names_size;
  count = 0;
  if (!CmsEnumColorProfiles(nullptr, &selection, names.get(), &filled_size, &count)) return;

  // The names as the buffer holds them, never beyond its end nor beyond the
  // count the system gave: a list that disagrees with either is cut there.
  const char* text = reinterpret_cast<const char*>(names.get());
  const char* end = text + names_size;
  int32_t found = 0;
  for (const char* name = text; found < static_cast<int32_t>(count) && name < end;) {
    const char* stop = static_cast<const char*>(std::memchr(name, '\0', end - name));
    if (!stop || stop == name) break;
    ++found;
    name = stop + 1;
  }
  if (found == 0) return;

  MemPtr<int32_t> marks(static_cast<int32_t*>(MemAlloc(sizeof(int32_t) * found)));
  MemPtr<char> entries(static_cast<char*>(MemAlloc(kProfileEntrySize * found)));
  if (!marks || !entries) return;
  const char* name = text;
  for (int32_t k = 0; k < found; ++k) {
    marks.get()[k] = -1;
    char* entry = entries.get() + static_cast<size_t>(k) * kProfileEntrySize;
    // A path too long for its entry is cut; it then fails to open like any
    // missing file and is listed by what remains of its name.
    CopyText(entry, kProfileEntrySize, directory);
    AppendText(entry, kProfileEntrySize, name);
    name += std::strlen(name) + 1;
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
    const char* path = ProfileEntry(k);
    char line[kProfileLineSize];
    CopyText(line, sizeof(line), FileNameOf(path));

    IccProfile* profile = nullptr;
    if (OpenProfile(&profile, path) == kOk) {
      char description[kDescriptionBufferSize] = {};
      if (show_file_names_ == 0 && GetProfileDescription(profile, description) == kOk) {
        CopyText(line, sizeof(line), description);
      }
      bool has_table = false;
      if (HasTag(profile, Signature("vcgt"), &has_table) == kOk && has_table) {
        AppendText(line, sizeof(line), kProfileLineMark);
      }
      CloseProfile(profile);
    }

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
