#include "app/pelo_app.h"

#include <windows.h>
#include <commctrl.h>

#include "app/instance_counter.h"
#include "framework/dialogs/dialog.h"
#include "framework/objects/ole_win32.h"
#include "framework/support/settings_registry.h"
#include "monitor/profile_dialog.h"

namespace lumetra {

namespace {

constexpr char kRegistryKeyName[] = "Pelo";
constexpr char kSettingsSubkey[] = "\\Framework";
// Every common-control class, the date controls included.
constexpr DWORD kAllControlClasses = 0x1FF;

}  // namespace

CPeloApp::~CPeloApp() {
  // The settings live until the process ends; the tree is the object's own.
  if (DialogSettings() == settings_) SetDialogSettings(nullptr);
  DestroyTree(settings_, true);
}

TString CPeloApp::SettingsKey() const {
  TString key = AppRegistryPath();
  if (!key.IsEmpty()) key += kSettingsSubkey;
  return key;
}

bool CPeloApp::InitInstance() {
  EnableControlContainer();
  // Without OLE the dialog still runs; nothing in it needs more than a try.
  InitOle();
  SetRegistryKey(kRegistryKeyName);

  // A second copy ends here, silently, changing nothing.
  if (!ClaimInstance()) return false;

  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = kAllControlClasses;
  InitCommonControlsEx(&controls);

  Enable3dControls();
  LoadStdProfileSettings(0);
  SetCursor(LoadCursorA(nullptr, IDC_WAIT));

  // A missing key leaves the settings empty; no memory leaves none at all.
  settings_ = CreateTree();
  if (settings_) LoadTreeFromRegistry(settings_, kRegistryCurrentUser, SettingsKey().CStr());
  // Dialogs keep their places in the same settings.
  SetDialogSettings(settings_);

  // Whatever the run's status, the program ends in order: the counter is
  // given back and the settings are saved.
  RunMonitorProfileDialog();

  ReleaseInstance();
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  ShowCursor(TRUE);
  return false;
}

int32_t CPeloApp::ExitInstance() {
  // The key is replaced wholesale, even when nothing changed.
  if (settings_) SaveTreeToRegistry(settings_, kRegistryCurrentUser, SettingsKey().CStr());
  DoneOle();
  return 0;
}

}  // namespace lumetra
