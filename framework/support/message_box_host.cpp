#include <cstdio>

#include "framework/support/message_box.h"

namespace lumetra {

int32_t PresentMessageBox(const char* text, const char* caption, uint32_t style, void*) {
  std::fprintf(stderr, "[%s] %s\n", caption ? caption : "", text ? text : "");
  switch (style & 0xF) {
    case kBoxYesNo:
    case kBoxYesNoCancel:
      return kAnswerYes;
    default:
      return kAnswerOk;
  }
}

void PlayBeep(uint32_t, uint32_t) {}

}  // namespace lumetra
