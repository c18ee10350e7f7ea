// How the program talks to the user: the one message box, the error report
// that turns a status into a message (texts from the language catalogue), and
// the beep of a refused action.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/support/status.h"

namespace lumetra {

enum MessageKind : int32_t {
  kInformationMessage = 0,  // OK, information icon; also every unknown kind
  kStopMessage = 1,         // OK, stop icon, task-modal
  kOkCancelMessage = 2,     // question icon from here on
  kYesNoMessage = 3,
  kYesNoCancelMessage = 4,  // 5 as well
};

// Shows a message box; a null caption gives the executable's base name.
// Cancel gives 20002, No gives 20001, every other answer 0.
Status ShowMessageBox(const char* text, int32_t kind, const char* caption, void* owner);

// The report of a status, as ReportError shows it, cut to fit 255 characters.
constexpr size_t kReportSize = 256;
// False, with an empty buffer, for 0 and 20002, which are never shown.
bool FormatErrorReport(Status code, char (&report)[kReportSize]);

// Shows the report in a stop box. 0 when nothing was shown, otherwise what
// ShowMessageBox returns.
Status ReportError(Status code, void* owner);

// `count` beeps' worth of a 1000 Hz tone, 100 ms each.
void SignalBeep(int32_t count);

// Where boxes go instead of the screen while set (null: the screen again), for
// runs without anyone to answer. Returns the button pressed, as the screen's
// box does.
using MessagePresenter = int32_t (*)(void* context, const char* text, const char* caption,
                                     uint32_t style, void* owner);
void SetMessagePresenter(MessagePresenter presenter, void* context);

}  // namespace lumetra
