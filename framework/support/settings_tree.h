// The settings tree: the ordered name/value tree that holds the framework's
// configuration (texts, flags, numbers and nested trees), and the reader of
// the settings text format that fills it from GUI settings and language files.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/support/file_access.h"
#include "framework/support/memory.h"
#include "framework/support/status.h"

namespace lumetra {

struct SettingsTree;

enum SettingType : int32_t {
  kNoEntry = 0,
  kTextEntry = 1,
  kFlagEntry = 2,     // 0 or 1
  kNumberEntry = 3,
  kSubtreeEntry = 4,  // a tree owned by the entry
};

union SettingValue {
  const char* text;
  int32_t number;  // flags and numbers
  SettingsTree* subtree;
};

inline SettingValue TextValue(const char* text) {
  SettingValue v;
  v.text = text;
  return v;
}
inline SettingValue NumberValue(int32_t number) {
  SettingValue v;
  v.number = number;
  return v;
}
inline SettingValue SubtreeValue(SettingsTree* subtree) {
  SettingValue v;
  v.subtree = subtree;
  return v;
}

constexpr int32_t kTreeSlotGrowth = 20;  // slots of a new tree, and added at each growth

// Every operation accepts a null tree and treats it as an empty one, except
// where it says otherwise.

SettingsTree* CreateTree();  // null when memory is short
// Frees names, texts, slots and the tree; with `deep`, the subtrees as well.
void DestroyTree(SettingsTree* tree, bool deep);

// A line-mode tree reads each value as the rest of its line (language files).
void SetLineMode(SettingsTree* tree, bool line_mode);
bool IsLineMode(const SettingsTree* tree);

int32_t EntryCount(const SettingsTree* tree);
int32_t EntryCapacity(const SettingsTree* tree);
// By slot index; kNoEntry, null or a zero value for an index out of range.
SettingType EntryTypeAt(const SettingsTree* tree, int32_t index);
const char* EntryNameAt(const SettingsTree* tree, int32_t index);
SettingValue EntryValueAt(const SettingsTree* tree, int32_t index);
SettingsTree* SubtreeAt(const SettingsTree* tree, int32_t index);  // null unless a subtree

// Names are compared exactly; lookups find the first entry of a name.
int32_t FindEntry(const SettingsTree* tree, const char* name);  // -1 when absent
SettingType EntryType(const SettingsTree* tree, const char* name);
bool HasEntry(const SettingsTree* tree, const char* name);

// Stores a copy of the name and, for a text, of the text. An existing entry of
// the name is rewritten in its place; the text or subtree it held is freed
// (unless the same subtree is stored again). 20003 for a null tree, name, text
// or subtree or an unknown type, and for a subtree that holds `tree` or lies
// inside the subtree it would replace (nothing changes); 21002 when memory is
// short (nothing changes).
Status SetEntry(SettingsTree* tree, const char* name, SettingType type, SettingValue value);
Status SetText(SettingsTree* tree, const char* name, const char* text);
Status SetFlag(SettingsTree* tree, const char* name, bool flag);
Status SetNumber(SettingsTree* tree, const char* name, int32_t number);

// The entry's text; `fallback` when absent or not a text.
const char* GetText(const SettingsTree* tree, const char* name, const char* fallback);
// A flag or number, or a text that is wholly an integer (ParseInteger);
// `fallback` otherwise.
int32_t GetNumber(const SettingsTree* tree, const char* name, int32_t fallback);
// The entry's subtree; null when absent or not a subtree.
SettingsTree* GetSubtree(const SettingsTree* tree, const char* name);
// The entry's subtree. A new empty one is stored under the name when there is
// none, and replaces an entry of the name that is not a subtree. Null for a
// null tree (a tree nobody would own is not made) and when memory is short.
SettingsTree* GetOrCreateSubtree(SettingsTree* tree, const char* name);

// Calls `visit` for every entry in order while it returns 0; the last result.
using EntryVisitor = Status (*)(void* context, const char* name, SettingType type,
                                SettingValue value);
Status ForEachEntry(const SettingsTree* tree, EntryVisitor visit, void* context);

// Optional blanks (space, tab, line feed, carriage return), one optional sign,
// decimal digits, optional blanks, nothing else. A value outside 32 bits is
// still a number, taken modulo 2^32.
bool ParseInteger(const char* text, int32_t* result);

// The settings text format.
//   key = value         a number, "true"/"false" (any case) as a flag, else a text
//   key = "a \"b\""     quoted: always a text; a backslash makes the next character literal
//   key = {  ...  }     a subtree; an existing subtree of the name is extended
//   # comment           where a token could start
// In a line-mode tree every line is a key followed by the rest of the line as
// its text. A pair cut off by the end of the data is not stored; the data end
// at their first NUL byte. "}" at the top level ends the parse. 20214 when "="
// is missing (the pairs before it stay), 20215 when a token finds no memory,
// 20003 for a null tree or nesting deeper than kMaxSettingsDepth.

constexpr int32_t kMaxSettingsDepth = 64;

// Hands out one byte: a status other than 0, or `read` other than 1, is the
// end of the data.
using SettingsReader = Status (*)(void* context, int32_t count, int32_t* read, void* buffer);

Status ParseSettings(SettingsTree* tree, SettingsReader reader, void* context);
Status ParseSettingsMemory(SettingsTree* tree, const void* data, size_t size);
Status ParseSettingsBlock(SettingsTree* tree, MemBlock block);  // the block's whole size
Status ParseSettingsStream(SettingsTree* tree, FileHandle file);
// The open failure (FileOpen), or the result of the parse.
Status ParseSettingsFile(SettingsTree* tree, const char* path);

}  // namespace lumetra
