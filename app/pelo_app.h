// The program's application object: its whole life is the start-up routine,
// which prepares the platform, keeps to one running copy, loads the framework
// settings and runs the monitor profile dialog; the exit routine writes the
// settings back. Windows only.
#pragma once

#include <cstdint>

#include "app/application.h"
#include "framework/support/settings_tree.h"
#include "framework/support/tstring.h"

namespace lumetra {

class CPeloApp : public CWinApp {
 public:
  CPeloApp() = default;
  ~CPeloApp() override;

  // Hooks of the application framework.
  // Runs the dialog to its end; false on every path, so that the process ends.
  bool InitInstance() override;
  // Saves the settings and ends OLE; 0.
  int32_t ExitInstance() override;

  // Fixed operations.
  // The framework settings, loaded at start-up; null before, or without memory.
  SettingsTree* Settings() const { return settings_; }
  // "Software\Pelo\<application name>\Framework" under HKEY_CURRENT_USER.
  TString SettingsKey() const;

 private:
  SettingsTree* settings_ = nullptr;
};

}  // namespace lumetra
