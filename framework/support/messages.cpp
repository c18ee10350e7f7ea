#include "framework/support/messages.h"

#include <cstdio>
#include <cstring>

#include "framework/support/catalogue.h"
#include "framework/support/files.h"
#include "framework/support/message_box.h"

namespace lumetra {

namespace {

MessagePresenter presenter = nullptr;
void* presenter_context = nullptr;

uint32_t StyleOfKind(int32_t kind) {
  switch (kind) {
    case kStopMessage:
      return kBoxOk | kBoxIconHand | kBoxTaskModal;
    case kOkCancelMessage:
      return kBoxOkCancel | kBoxIconQuestion;
    case kYesNoMessage:
      return kBoxYesNo | kBoxIconQuestion;
    case kYesNoCancelMessage:
    case kYesNoCancelMessage + 1:
      return kBoxYesNoCancel | kBoxIconQuestion;
    default:
      return kBoxOk | kBoxIconInformation;
  }
}

}  // namespace

void SetMessagePresenter(MessagePresenter new_presenter, void* context) {
  presenter = new_presenter;
  presenter_context = context;
}

Status ShowMessageBox(const char* text, int32_t kind, const char* caption, void* owner) {
  if (!text) text = "";
  if (!caption) caption = ModuleBaseName();
  uint32_t style = StyleOfKind(kind);
  int32_t answer = presenter ? presenter(presenter_context, text, caption, style, owner)
                             : PresentMessageBox(text, caption, style, owner);
  if (answer == kAnswerCancel) return kCancelled;
  if (answer == kAnswerNo) return kRefused;
  return kOk;
}

bool FormatErrorReport(Status code, char (&report)[kReportSize]) {
  std::memset(report, 0, sizeof(report));
  if (code == kOk || code == kCancelled) return false;
  if (code < 0) {
    std::snprintf(report, sizeof(report), "System error: %hd", code);
    return true;
  }
  if (GetMessageText(code, report, sizeof(report)) != kOk) {
    std::snprintf(report, sizeof(report), "Unknown error: %hd", code);
    return true;
  }
  // The number always shows: a long text gives way to it.
  char suffix[24];
  int suffix_length = std::snprintf(suffix, sizeof(suffix), " (Error %d)", static_cast<int>(code));
  size_t room = sizeof(report) - 1 - static_cast<size_t>(suffix_length);
  size_t length = std::strlen(report);
  if (length > room) length = room;
  std::memcpy(report + length, suffix, static_cast<size_t>(suffix_length) + 1);
  return true;
}

Status ReportError(Status code, void* owner) {
  char report[kReportSize];
  if (!FormatErrorReport(code, report)) return kOk;
  return ShowMessageBox(report, kStopMessage, nullptr, owner);
}

void SignalBeep(int32_t count) {
  if (count <= 0) return;
  // Beyond a minute a beep is no longer a signal.
  uint32_t milliseconds = count > 600 ? 60000u : static_cast<uint32_t>(count) * 100u;
  PlayBeep(1000, milliseconds);
}

}  // namespace lumetra
