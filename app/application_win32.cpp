#include "app/application.h"

#include <windows.h>

#include <cstring>

namespace lumetra {

namespace {

CWinApp* the_app = nullptr;

// The name the application goes by: its string resource, else the base name
// of the executable without its extension.
TString LoadApplicationName(HINSTANCE instance) {
  char text[256] = {};
  if (LoadStringA(instance, kApplicationNameString, text, sizeof(text)) > 0) return TString(text);
  char path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameA(instance, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return TString();
  const char* base = path;
  for (const char* p = path; *p; ++p) {
    if (*p == '\\' || *p == '/') base = p + 1;
  }
  TString name(base);
  int32_t dot = -1;
  for (int32_t at = name.Find('.'); at >= 0; at = name.Find('.', static_cast<uint32_t>(at) + 1)) dot = at;
  return dot > 0 ? name.Substring(0, static_cast<uint32_t>(dot)) : name;
}

}  // namespace

CWinApp::CWinApp() { the_app = this; }

CWinApp::~CWinApp() {
  if (the_app == this) the_app = nullptr;
}

TString CWinApp::AppRegistryPath() const {
  TString path;
  if (registry_key_.IsEmpty()) return path;
  path = "Software\\";
  path += registry_key_;
  path += "\\";
  path += app_name_;
  return path;
}

CWinApp* TheApp() { return the_app; }

int32_t RunApplication(void* instance) {
  CWinApp* app = the_app;
  if (!app) return 0;
  app->app_name_ = LoadApplicationName(static_cast<HINSTANCE>(instance));
  app->InitInstance();
  return app->ExitInstance();
}

}  // namespace lumetra
