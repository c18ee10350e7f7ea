#include "framework/dialogs/dialog_rules.h"

#include <cstring>

#include "framework/dialogs/dialog.h"

namespace lumetra {

namespace {

// Virtual-key codes (Win32 docs, "Virtual-Key Codes").
enum : uintptr_t {
  kVkTab = 0x09,
  kVkPrior = 0x21,
  kVkNext = 0x22,
  kVkLeft = 0x25,
  kVkUp = 0x26,
  kVkRight = 0x27,
  kVkDown = 0x28,
  kVkDelete = 0x2E,
  kVkHelp = 0x2F,
  kVkF1 = 0x70,
  kVkF12 = 0x7B,
};

// Sizing edges (WM_SIZING's wParam).
enum : int32_t {
  kEdgeLeft = 1,
  kEdgeRight = 2,
  kEdgeTop = 3,
  kEdgeTopLeft = 4,
  kEdgeTopRight = 5,
  kEdgeBottom = 6,
  kEdgeBottomLeft = 7,
  kEdgeBottomRight = 8,
};

// Shapes 3 to 17 name the cursor resources of the main module; 11 is the
// system's four-headed arrow and has no entry.
struct ShapeResource {
  int32_t shape;
  uint16_t resource;
};
constexpr ShapeResource kShapeResources[] = {
    {3, 901},  {12, 901}, {4, 904},  {13, 904}, {5, 902},  {14, 902}, {6, 903}, {15, 903},
    {7, 908},  {8, 905},  {9, 906},  {10, 907}, {16, 909}, {17, 910},
};

constexpr int32_t kDesignedX = 6;   // pixels of 4 horizontal dialog units
constexpr int32_t kDesignedY = 13;  // pixels of 8 vertical dialog units

}  // namespace

uint8_t FrameworkKeyCode(uintptr_t virtual_key) {
  switch (virtual_key) {
    case kVkTab: return 34;
    case kVkPrior: return 18;
    case kVkNext: return 19;
    case kVkLeft: return 14;
    case kVkUp: return 16;
    case kVkRight: return 15;
    case kVkDown: return 17;
    case kVkDelete: return 20;
    case kVkHelp: return 22;
    default: break;
  }
  if (virtual_key >= kVkF1 && virtual_key <= kVkF12) {
    return static_cast<uint8_t>(22 + (virtual_key - kVkF1));
  }
  return 0;
}

CursorChoice ChooseCursor(int32_t shape) {
  switch (shape) {
    case 0:
    case 1: return {kShowArrow, 0, shape};
    case kCursorCross: return {kShowCross, 0, shape};
    case kCursorMove: return {kShowMove, 0, shape};
    case kCursorWait: return {kShowWait, 0, shape};
    case kCursorNone: return {kShowNoCursor, 0, shape};
    default: break;
  }
  for (const ShapeResource& entry : kShapeResources) {
    if (entry.shape == shape) return {kShowResource, entry.resource, shape};
  }
  return {kShowArrow, 0, kCursorArrow};
}

int32_t ClampToRange(int32_t value, int32_t minimum, int32_t maximum) {
  // With limits that cross, the maximum wins: a window never grows past it.
  if (value < minimum) value = minimum;
  if (value > maximum) value = maximum;
  return value;
}

void ClampSizingRect(int32_t edge, int32_t min_width, int32_t min_height, int32_t max_width,
                     int32_t max_height, SizingRect* rect) {
  int32_t width = ClampToRange(rect->right - rect->left, min_width, max_width);
  int32_t height = ClampToRange(rect->bottom - rect->top, min_height, max_height);
  if (edge == kEdgeBottom || edge == kEdgeBottomLeft || edge == kEdgeBottomRight) {
    rect->bottom = rect->top + height;
  }
  if (edge == kEdgeTop || edge == kEdgeTopLeft || edge == kEdgeTopRight) {
    rect->top = rect->bottom - height;
  }
  if (edge == kEdgeLeft || edge == kEdgeTopLeft || edge == kEdgeBottomLeft) {
    rect->left = rect->right - width;
  }
  if (edge == kEdgeRight || edge == kEdgeTopRight || edge == kEdgeBottomRight) {
    rect->right = rect->left + width;
  }
}

void NormaliseFontDescription(uint8_t* description) {
  uint8_t* face = description + kFontFaceOffset;
  size_t length = 0;
  while (length < kFontFaceSize && face[length] != 0) ++length;
  if (length == kFontFaceSize) length = kFontFaceSize - 1;
  std::memset(face + length, 0, kFontFaceSize - length);
}

bool RescaleRect(int32_t x, int32_t y, ShortRect* rect) {
  if (x <= 0 || y <= 0) return false;
  rect->left = static_cast<int16_t>(rect->left * kDesignedX / x);
  rect->right = static_cast<int16_t>(rect->right * kDesignedX / x);
  rect->top = static_cast<int16_t>(rect->top * kDesignedY / y);
  rect->bottom = static_cast<int16_t>(rect->bottom * kDesignedY / y);
  return true;
}

int32_t ItemFontHeight(int32_t points, int32_t pixels_per_inch) {
  // Integer arithmetic as written: 8 points at 96 dpi are 10 pixels, not 11.
  return -(points * pixels_per_inch / 72);
}

StatusOutcome ClassifyHookStatus(Status status) {
  if (status == kOk || status == kPassedOn) return {false, false};
  return {true, status != kCancelled};
}

uint32_t MenuCommandItem(uint32_t command_id) {
  uint32_t id = command_id & 0xFFFF;
  return ((id / 100) << 16) | (id % 100);
}

void CopyCutText(const char* source, char* destination, size_t limit) {
  size_t length = 0;
  if (source) {
    while (length < limit && source[length] != '\0') ++length;
    std::memcpy(destination, source, length);
  }
  destination[length] = '\0';
}

int32_t ItemKindFromClass(const char* class_name) {
  struct KindName {
    const char* name;
    int32_t kind;
  };
  static const KindName kKinds[] = {
      {"Button", kItemButton}, {"ListBox", kItemListBox}, {"ComboBox", kItemComboBox},
      {"Static", kItemStatic}, {"Edit", kItemEdit},       {"msctls_trackbar32", kItemTrackBar},
  };
  if (!class_name) return kItemOther;
  for (const KindName& k : kKinds) {
    if (std::strcmp(k.name, class_name) == 0) return k.kind;
  }
  return kItemOther;
}

}  // namespace lumetra
