#include "framework/support/message_box.h"

#include <windows.h>

namespace lumetra {

int32_t PresentMessageBox(const char* text, const char* caption, uint32_t style, void* owner) {
  return MessageBoxA(static_cast<HWND>(owner), text, caption, style);
}

void PlayBeep(uint32_t frequency, uint32_t milliseconds) { Beep(frequency, milliseconds); }

}  // namespace lumetra
