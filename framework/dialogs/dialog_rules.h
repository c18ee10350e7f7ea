// Internal to the dialog framework: the decisions of the message handlers that
// need no window (key codes, cursor shapes, size limits, font descriptions,
// the Japanese rescaling, hook statuses), kept portable so they are tested on
// the host as well.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/support/geometry.h"
#include "framework/support/status.h"

namespace lumetra {

// The framework key code of a virtual-key code; 0 for keys without one.
uint8_t FrameworkKeyCode(uintptr_t virtual_key);

// What ApplyCursor shows for a shape number.
enum CursorSource : int32_t {
  kShowArrow,
  kShowCross,
  kShowMove,
  kShowWait,
  kShowNoCursor,
  kShowResource,  // a cursor resource of the main module
};
struct CursorChoice {
  CursorSource source;
  uint16_t resource;   // for kShowResource
  int32_t shape;       // the shape number to keep: unknown numbers become 0
};
CursorChoice ChooseCursor(int32_t shape);

// A sizing rectangle (left, top, right, bottom as the platform's RECT) kept
// within the limits by moving the edge being dragged (WMSZ_* 1..8).
struct SizingRect {
  int32_t left, top, right, bottom;
};
void ClampSizingRect(int32_t edge, int32_t min_width, int32_t min_height, int32_t max_width,
                     int32_t max_height, SizingRect* rect);

int32_t ClampToRange(int32_t value, int32_t minimum, int32_t maximum);

// LOGFONTA layout: 28 bytes of numbers, then a 32-byte face name.
constexpr size_t kFontFaceOffset = 28;
constexpr size_t kFontFaceSize = 32;
// Zero-fills the face name beyond its end (and terminates a full one) so that
// equal fonts compare equal byte for byte.
void NormaliseFontDescription(uint8_t* description /* kLogFontSize bytes */);

// The designed dialog units: 6 pixels per 4 horizontal and 13 per 8 vertical.
// Scales a rectangle measured with x pixels per 4 and y per 8 dialog units;
// false when the measure is unusable (0), leaving the rectangle alone.
bool RescaleRect(int32_t x, int32_t y, ShortRect* rect);

// The height of an item font (a LOGFONTA's lfHeight: negative, a character
// height in pixels) of `points` on a screen of `pixels_per_inch`.
int32_t ItemFontHeight(int32_t points, int32_t pixels_per_inch);

// What becomes of a hook's status after a message: kept as the last status,
// and shown in an error report.
struct StatusOutcome {
  bool keep;
  bool report;
};
StatusOutcome ClassifyHookStatus(Status status);

// Menu and item numbers of a menu command id (menu * 100 + item), packed as
// a framework event's item: item in the low 16 bits, menu in the high.
uint32_t MenuCommandItem(uint32_t command_id);

// Copies at most `limit` characters and a NUL (the destination holds limit + 1).
void CopyCutText(const char* source, char* destination, size_t limit);

// Item kind (ItemKind of dialog.h) from the item window's class name.
int32_t ItemKindFromClass(const char* class_name);

}  // namespace lumetra
