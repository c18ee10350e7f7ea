// Host stand-in: the ANSI code page taken as plain ASCII.
#include "framework/support/text_encoding.h"

namespace lumetra {

namespace {
bool IsHighSurrogate(uint16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(uint16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
}  // namespace

size_t Utf16ToAnsi(const uint16_t* text, size_t count, char* out, size_t capacity) {
  if (capacity == 0) return 0;
  size_t written = 0;
  for (size_t i = 0; i < count && text[i] != 0 && written + 1 < capacity; ++i) {
    uint16_t unit = text[i];
    // A surrogate pair is one character, and one '?'.
    if (IsHighSurrogate(unit) && i + 1 < count && IsLowSurrogate(text[i + 1])) ++i;
    out[written++] = unit < 0x80 ? static_cast<char>(unit) : '?';
  }
  out[written] = '\0';
  return written;
}

}  // namespace lumetra
