// The small shared value types of the dialogs and the settings that place
// them: 16-bit rectangles and points in pixels, and three-byte colours.
#pragma once

#include <cstdint>

namespace lumetra {

// Member order is part of the contract: top, left, bottom, right.
struct ShortRect {
  int16_t top;
  int16_t left;
  int16_t bottom;
  int16_t right;
};

// A point or a size: vertical, then horizontal.
struct ShortPoint {
  int16_t v;
  int16_t h;
};

struct Color3 {
  uint8_t red;
  uint8_t green;
  uint8_t blue;
};

inline bool operator==(const Color3& a, const Color3& b) {
  return a.red == b.red && a.green == b.green && a.blue == b.blue;
}
inline bool operator!=(const Color3& a, const Color3& b) { return !(a == b); }

inline bool operator==(const ShortRect& a, const ShortRect& b) {
  return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
}
inline bool operator!=(const ShortRect& a, const ShortRect& b) { return !(a == b); }

constexpr Color3 kDefaultDialogColor = {212, 208, 200};

// Coordinates that do not fit 16 bits are truncated, as the conversion from a
// platform rectangle does.
inline ShortRect MakeShortRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return ShortRect{static_cast<int16_t>(top), static_cast<int16_t>(left),
                   static_cast<int16_t>(bottom), static_cast<int16_t>(right)};
}

}  // namespace lumetra
