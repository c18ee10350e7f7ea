// Platform seam of the message box and the beep: MessageBoxA and Beep on
// Windows; on the host a stand-in without a screen. Everything above it
// (kinds, captions, answers, error reports) is portable, in messages.h.
#pragma once

#include <cstdint>

namespace lumetra {

// Styles and answers with their values from the Win32 MessageBoxA documentation.
enum : uint32_t {
  kBoxOk = 0x0,
  kBoxOkCancel = 0x1,
  kBoxYesNoCancel = 0x3,
  kBoxYesNo = 0x4,
  kBoxIconHand = 0x10,
  kBoxIconQuestion = 0x20,
  kBoxIconInformation = 0x40,
  kBoxTaskModal = 0x2000,
};
enum : int32_t {
  kAnswerOk = 1,
  kAnswerCancel = 2,
  kAnswerYes = 6,
  kAnswerNo = 7,
};

// Shows the box and returns the button pressed (0 when the box could not be
// shown). The host stand-in writes the box to the error stream and answers
// with the box's first button.
int32_t PresentMessageBox(const char* text, const char* caption, uint32_t style, void* owner);

void PlayBeep(uint32_t frequency, uint32_t milliseconds);

}  // namespace lumetra
