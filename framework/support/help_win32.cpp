#include <windows.h>

#include <shellapi.h>

#include "framework/support/files.h"
#include "framework/support/gui_settings.h"
#include "framework/support/messages.h"

namespace lumetra {

Status ShowHelp(int32_t context, const char* topic, void* owner) {
  char folder[kPathBufferSize];
  Status status = ModuleDirectory(folder, sizeof(folder));
  if (status != kOk) {
    ReportError(status, owner);
    return kOk;
  }
  HelpRequest request;
  if (!PrepareHelp(folder, context, topic, &request)) return kOk;

  // ShellExecute's result is a pseudo-handle: a value of 32 or less is its
  // error number (SE_ERR_*), which the catalogue words.
  auto result = reinterpret_cast<intptr_t>(ShellExecuteA(static_cast<HWND>(owner), "open", "hh.exe",
                                                         request.argument, ".", SW_SHOW));
  if (result <= 32) ReportError(static_cast<Status>(result), owner);
  return kOk;
}

}  // namespace lumetra
