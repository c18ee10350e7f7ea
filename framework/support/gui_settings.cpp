#include "framework/support/gui_settings.h"

#include <cstdio>
#include <cstring>
#include <limits>

#include "framework/support/catalogue.h"

namespace lumetra {

namespace {

// Read once, on first use, and kept for the rest of the run.
SettingsTree* gui_settings = nullptr;

constexpr char kWhite[] = "255 255 255";
constexpr char kBlack[] = "0 0 0";

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Reads an integer as atoi does (leading blanks, a sign, digits, whatever
// follows ignored, 0 when there are no digits), saturating instead of
// overflowing.
int32_t ReadInteger(const char* text) {
  const char* p = text;
  while (IsSpace(*p)) ++p;
  bool negative = *p == '-';
  if (*p == '+' || *p == '-') ++p;
  int64_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    if (value <= std::numeric_limits<int32_t>::max()) value = value * 10 + (*p - '0');
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

// One decimal integer as "%d" reads it (leading blanks, a sign, digits), kept
// as its lowest byte, which is what a Color3 member keeps of it: the value
// modulo 256, which unsigned arithmetic gives for any number of digits.
// False, with `end` left alone, where no digits follow.
bool ReadColorChannel(const char* text, const char** end, uint8_t* channel) {
  const char* p = text;
  while (IsSpace(*p)) ++p;
  const bool negative = *p == '-';
  if (*p == '+' || *p == '-') ++p;
  if (*p < '0' || *p > '9') return false;
  unsigned value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = (value * 10u + static_cast<unsigned>(*p - '0')) & 0xFFu;
  }
  *channel = static_cast<uint8_t>(negative ? 0u - value : value);
  *end = p;
  return true;
}

// Three integers separated by blanks: red, green, blue, as "%d %d %d" reads
// them, each truncated to its byte. Fewer than three numbers make no colour.
bool ParseColor(const char* text, Color3* color) {
  uint8_t channels[3];
  const char* p = text;
  for (uint8_t& channel : channels) {
    if (!ReadColorChannel(p, &p, &channel)) return false;
  }
  *color = Color3{channels[0], channels[1], channels[2]};
  return true;
}

// A non-empty text naming a top-level entry stands for that entry. Dialog
// sections are not constants.
const char* ConstantName(const SettingsTree* settings, const SettingsTree* holder,
                         const char* key) {
  const char* name = GetText(holder, key, nullptr);
  if (!name || !*name || !HasEntry(settings, name) || GetSubtree(settings, name)) return nullptr;
  return name;
}

const char* ResolveText(const SettingsTree* settings, const SettingsTree* holder, const char* key,
                        const char* fallback) {
  if (const char* constant = ConstantName(settings, holder, key)) {
    return GetText(settings, constant, fallback);
  }
  return GetText(holder, key, fallback);
}

// The entry's number, if it has one: a flag, a number, or a text that is wholly
// an integer.
bool NumberOf(const SettingsTree* tree, const char* key, int32_t* value) {
  switch (EntryType(tree, key)) {
    case kFlagEntry:
    case kNumberEntry:
      *value = GetNumber(tree, key, 0);
      return true;
    case kTextEntry:
      return ParseInteger(GetText(tree, key, ""), value);
    default:
      return false;
  }
}

// As NumberOf, through a named constant where the entry names one.
bool ResolveNumber(const SettingsTree* settings, const SettingsTree* holder, const char* key,
                   int32_t* value) {
  if (const char* constant = ConstantName(settings, holder, key)) {
    return NumberOf(settings, constant, value);
  }
  return NumberOf(holder, key, value);
}

bool ResolveColor(const SettingsTree* settings, const SettingsTree* holder, const char* key,
                  const char* fallback, Color3* color) {
  return ParseColor(ResolveText(settings, holder, key, fallback), color);
}

int16_t ToShort(int64_t v) {
  if (v > std::numeric_limits<int16_t>::max()) return std::numeric_limits<int16_t>::max();
  if (v < std::numeric_limits<int16_t>::min()) return std::numeric_limits<int16_t>::min();
  return static_cast<int16_t>(v);
}

struct Scale {
  int32_t base;  // pixels per `unit`
  int32_t unit;  // 0 or less: values are pixels
  int64_t operator()(int64_t v) const { return unit > 0 ? v * base / unit : v; }
};

struct Context {
  const SettingsTree* settings;
  GuiSettingsTarget* dialog;
  Scale horizontal;
  Scale vertical;
};

// One edge and the extent from it. A value the settings give is in units; one
// they do not give (absent, or no number) keeps the control's present pixels:
// scaling a pixel value by the units would move or stretch the control.
void Place(const Scale& scale, bool has_start, int32_t start, bool has_extent, int32_t extent,
           int16_t present_start, int16_t present_end, int16_t* new_start, int16_t* new_end) {
  int64_t first = has_start ? scale(start) : present_start;
  int64_t second;
  if (has_start && has_extent) {
    second = scale(int64_t{start} + extent);
  } else {
    second = first + (has_extent ? scale(extent) : int64_t{present_end} - present_start);
  }
  *new_start = ToShort(first);
  *new_end = ToShort(second);
}

void ApplyToControl(const Context& c, const SettingsTree* control, int16_t item) {
  if (HasEntry(control, "x") || HasEntry(control, "y") || HasEntry(control, "w") ||
      HasEntry(control, "h")) {
    ShortRect present{};
    c.dialog->GetItemBounds(item, &present);
    ShortRect bounds = present;
    int32_t x = 0, y = 0, w = 0, h = 0;
    // x and y may name constants; w and h are read as they stand.
    const bool has_x = ResolveNumber(c.settings, control, "x", &x);
    const bool has_y = ResolveNumber(c.settings, control, "y", &y);
    const bool has_w = NumberOf(control, "w", &w);
    const bool has_h = NumberOf(control, "h", &h);
    Place(c.horizontal, has_x, x, has_w, w, present.left, present.right, &bounds.left,
          &bounds.right);
    Place(c.vertical, has_y, y, has_h, h, present.top, present.bottom, &bounds.top,
          &bounds.bottom);
    c.dialog->SetItemBounds(item, bounds);
  }
  Color3 color;
  // The dialog's background colour table has no entries past kGuiItemLimit.
  if (item < kGuiItemLimit && HasEntry(control, "bgcolor") &&
      ResolveColor(c.settings, control, "bgcolor", kWhite, &color)) {
    c.dialog->SetItemBackgroundColor(item, color);
  }
  if (HasEntry(control, "fgcolor") &&
      ResolveColor(c.settings, control, "fgcolor", kBlack, &color)) {
    c.dialog->SetItemTextColor(item, color);
  }
}

// A name such as "1-5,7": items and ranges of item numbers, each 1 or more.
// Anything else stops at its first item; numbers past the 16-bit item ids
// name no item.
void ApplyControlList(const Context& c, const char* list, const SettingsTree* control) {
  for (const char* item = list;;) {
    const char* comma = std::strchr(item, ',');
    const char* item_end = comma ? comma : item + std::strlen(item);
    const char* dash = static_cast<const char*>(std::memchr(item, '-', item_end - item));

    // Digits stop at "-" and ",", so each number is read where it stands.
    int32_t first = ReadInteger(item);
    int32_t last = dash ? ReadInteger(dash + 1) : first;
    if (first < 1 || last < 1) return;
    for (int32_t n = first; n <= last && n <= std::numeric_limits<int16_t>::max(); ++n) {
      ApplyToControl(c, control, static_cast<int16_t>(n));
    }
    if (!comma) return;
    item = comma + 1;
  }
}

}  // namespace

Status ApplyGuiSettingsFrom(const SettingsTree* settings, GuiSettingsTarget* dialog,
                            int32_t dialog_number) {
  if (!dialog) return kBadArgument;
  char key[16];
  std::snprintf(key, sizeof(key), "%d", static_cast<int>(dialog_number));
  // A dialog without a section stays as designed.
  const SettingsTree* section = GetSubtree(settings, key);
  if (!section) return kOk;

  uint32_t base = dialog->DialogBaseUnits();
  Context c{settings, dialog,
            Scale{static_cast<int32_t>(base & 0xFFFF),
                  GetNumber(section, "unitx", GetNumber(settings, "unitx", 0))},
            Scale{static_cast<int32_t>(base >> 16),
                  GetNumber(section, "unity", GetNumber(settings, "unity", 0))}};

  Color3 color;
  if (HasEntry(section, "bgcolor") && ResolveColor(settings, section, "bgcolor", kWhite, &color)) {
    dialog->SetBackgroundColor(color);
  }
  if (HasEntry(section, "bgimage")) {
    dialog->SetBackgroundPicture(kBackgroundPictureItem,
                                 ResolveText(settings, section, "bgimage", ""));
  }
  for (int32_t i = 0; i < EntryCount(section); ++i) {
    // Only a subtree holds control settings; any other value under a list name is passed over.
    if (const SettingsTree* control = SubtreeAt(section, i)) {
      ApplyControlList(c, EntryNameAt(section, i), control);
    }
  }
  return kOk;
}

Status ApplyGuiSettings(GuiSettingsTarget* dialog, int32_t dialog_number) {
  if (!gui_settings) {
    gui_settings = CreateTree();
    // Whatever was read before a fault applies.
    ParseSettingsFile(gui_settings, kGuiSettingsFile);
  }
  return ApplyGuiSettingsFrom(gui_settings, dialog, dialog_number);
}

bool PrepareHelp(const char* program_folder, int32_t context, const char* topic,
                 HelpRequest* request) {
  if (!program_folder || !request) return false;
  const bool has_topic = topic && *topic;
  int length = std::snprintf(request->file, sizeof(request->file), "%s/%s/winhelp.chm",
                             program_folder, LookupMessage(kHelpBase));
  if (length < 0 || static_cast<size_t>(length) >= sizeof(request->file)) return false;
  if (!FileExists(request->file)) return false;

  const char* anchor = nullptr;
  if (context != 0) {
    anchor = LookupMessage(kHelpBase + context);
    // A context without a topic of its own falls back on the given topic;
    // without either there is nothing to show.
    if (anchor == kMissingMessage) {
      if (!has_topic) return false;
      anchor = topic;
    }
  } else if (has_topic) {
    anchor = topic;
  }
  char* argument = request->argument;
  const size_t size = sizeof(request->argument);
  length = anchor ? std::snprintf(argument, size, "%s::%s", request->file, anchor)
                  : std::snprintf(argument, size, "%s", request->file);
  return length >= 0 && static_cast<size_t>(length) < size;
}

}  // namespace lumetra
