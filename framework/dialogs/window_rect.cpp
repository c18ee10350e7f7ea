#include "framework/dialogs/window_rect.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace lumetra {

void FormatWindowRect(const ShortRect& rect, char (&text)[kWindowRectTextSize]) {
  std::snprintf(text, sizeof(text), "%d %d %d %d", rect.left, rect.top, rect.right, rect.bottom);
}

bool ParseWindowRect(const char* text, ShortRect* rect) {
  if (!text) return false;
  int32_t values[4];
  const char* p = text;
  for (int32_t& value : values) {
    char* end;
    errno = 0;
    long v = std::strtol(p, &end, 10);
    // A coordinate beyond 16 bits would come back somewhere else entirely.
    if (end == p || errno == ERANGE || v < std::numeric_limits<int16_t>::min() ||
        v > std::numeric_limits<int16_t>::max()) {
      return false;
    }
    value = static_cast<int32_t>(v);
    p = end;
  }
  *rect = MakeShortRect(values[0], values[1], values[2], values[3]);
  return true;
}

bool PlaceRestoredRect(const ShortRect& stored, const ShortRect& current, bool keep_size,
                       int32_t screen_width, int32_t screen_height, ShortRect* placed) {
  int32_t left = stored.left, top = stored.top, right = stored.right, bottom = stored.bottom;
  if (keep_size) {
    right = current.right + (left - current.left);
    bottom = current.bottom + (top - current.top);
  }
  if (left < 0 || top < 0 || right <= left || bottom <= top || right >= screen_width ||
      bottom >= screen_height) {
    return false;
  }
  *placed = MakeShortRect(left, top, right, bottom);
  return true;
}

}  // namespace lumetra
