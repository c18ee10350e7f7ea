// Keeps a window's place on the screen in the settings tree from one run to
// the next: the rectangle is stored as the text "left top right bottom" and
// restored only where it lies wholly on the primary screen.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/support/geometry.h"
#include "framework/support/settings_tree.h"
#include "framework/support/status.h"

namespace lumetra {

// Stores the window's rectangle (screen coordinates, right and bottom
// exclusive) as a text under `key`. 20003 without a window, settings or key;
// the system's status when the window has no rectangle.
Status SaveWindowRect(void* window, SettingsTree* settings, const char* key);

// Moves the window to the stored rectangle, or with `keep_size` only its
// left top corner. 20003 without a window, settings or key; otherwise 0, also
// when nothing was stored or the place was refused.
Status RestoreWindowRect(void* window, SettingsTree* settings, const char* key, bool keep_size);

// The text handling and the placement rule, shared with the platform part.
constexpr size_t kWindowRectTextSize = 48;
void FormatWindowRect(const ShortRect& rect, char (&text)[kWindowRectTextSize]);
// Four integers as "%d %d %d %d" reads them (left, top, right, bottom); each
// must fit 16 bits.
bool ParseWindowRect(const char* text, ShortRect* rect);
// The rectangle to move to, or false when it would not lie wholly on a
// primary screen of the given size.
bool PlaceRestoredRect(const ShortRect& stored, const ShortRect& current, bool keep_size,
                       int32_t screen_width, int32_t screen_height, ShortRect* placed);

}  // namespace lumetra
