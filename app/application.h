// The least application-object layer the program needs: the one application
// object, constructed before the program starts, whose start-up routine runs
// once before anything else of the program, then its exit routine, whose
// result becomes the process exit code. Windows only.
#pragma once

#include <cstdint>

#include "framework/support/tstring.h"

namespace lumetra {

// The string resource that names the application.
constexpr uint16_t kApplicationNameString = 57344;

class CWinApp {
 public:
  // Hooks to override.
  // Start-up. A false result ends the program: the exit routine runs next.
  // This layer has no message loop of its own, so true ends it the same way.
  virtual bool InitInstance() { return false; }
  // Exit; the result is the process exit code.
  virtual int32_t ExitInstance() { return 0; }

  // Fixed operations of the framework.
  // The program hosts no embedded controls, uses the system's own control
  // look and keeps no recent-file list, so these three record the request only.
  void EnableControlContainer() { control_container_ = true; }
  void Enable3dControls() { three_d_controls_ = true; }
  void LoadStdProfileSettings(uint32_t recent_files) { recent_files_ = recent_files; }
  // The framework's own settings live under "Software\<key>\<application name>".
  void SetRegistryKey(const char* key) { registry_key_ = key; }

  const TString& AppName() const { return app_name_; }
  const TString& RegistryKeyName() const { return registry_key_; }
  // "Software\<registry key>\<application name>", or empty before SetRegistryKey.
  TString AppRegistryPath() const;

  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

 protected:
  // Registers the object as the application; there is one per process.
  CWinApp();
  virtual ~CWinApp();

 private:
  friend int32_t RunApplication(void* instance);

  TString app_name_;
  TString registry_key_;
  bool control_container_ = false;
  bool three_d_controls_ = false;
  uint32_t recent_files_ = 0;
};

// The one application object, or null.
CWinApp* TheApp();

// The life of the process, called by the entry point with the module instance
// (an HINSTANCE): names the application after its string resource (else the
// executable's base name), runs the start-up and exit routines and returns the
// exit routine's result. Without an application object, 0.
int32_t RunApplication(void* instance);

}  // namespace lumetra
