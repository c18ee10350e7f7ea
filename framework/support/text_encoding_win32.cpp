#include "framework/support/text_encoding.h"

#include <windows.h>

#include <cstring>

namespace lumetra {

namespace {

bool IsHighSurrogate(uint16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(uint16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// One character (one or two UTF-16 units) in the ANSI code page; a character
// the page lacks becomes one '?', never a look-alike ("best fit").
int ConvertCharacter(const wchar_t* units, int unit_count, char* bytes, int capacity) {
  static const char kReplacement[] = "?";
  BOOL replaced = FALSE;
  int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, units, unit_count, bytes,
                                   capacity, kReplacement, &replaced);
  if (length == 0 && GetLastError() == ERROR_INVALID_PARAMETER) {
    // Code pages such as UTF-8 take no flags or replacement, and need none.
    return WideCharToMultiByte(CP_ACP, 0, units, unit_count, bytes, capacity, nullptr, nullptr);
  }
  if (replaced) {
    bytes[0] = '?';
    return 1;
  }
  return length;
}

}  // namespace

size_t Utf16ToAnsi(const uint16_t* text, size_t count, char* out, size_t capacity) {
  if (capacity == 0) return 0;
  size_t written = 0;
  // Character by character, so that a text cut at the capacity never ends in
  // half a multi-byte character.
  for (size_t i = 0; i < count && text[i] != 0;) {
    wchar_t units[2] = {static_cast<wchar_t>(text[i]), 0};
    int unit_count = 1;
    if (IsHighSurrogate(text[i]) && i + 1 < count && IsLowSurrogate(text[i + 1])) {
      units[1] = static_cast<wchar_t>(text[i + 1]);
      unit_count = 2;
    }
    char bytes[8];
    int length = ConvertCharacter(units, unit_count, bytes, sizeof(bytes));
    if (length <= 0) {
      bytes[0] = '?';
      length = 1;
    }
    if (written + static_cast<size_t>(length) + 1 > capacity) break;
    std::memcpy(out + written, bytes, static_cast<size_t>(length));
    written += static_cast<size_t>(length);
    i += static_cast<size_t>(unit_count);
  }
  out[written] = '\0';
  return written;
}

}  // namespace lumetra
