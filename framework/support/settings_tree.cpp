#include "framework/support/settings_tree.h"

#include <cstring>
#include <limits>

#include "framework/support/byte_reader.h"

namespace lumetra {

namespace {

struct Entry {
  char* name;         // owned
  SettingType type;
  union {
    char* text;       // owned, for kTextEntry
    int32_t number;   // kFlagEntry, kNumberEntry
    SettingsTree* subtree;  // owned, for kSubtreeEntry
  };
};

}  // namespace

struct SettingsTree {
  bool line_mode;
  int32_t count;
  int32_t capacity;
  Entry* entries;  // insertion order; lookups take the first match
};

namespace {

char* CopyText(const char* text) {
  size_t length = std::strlen(text);
  size_t bytes;
  if (!CheckedAdd(length, 1, &bytes)) return nullptr;
  auto* copy = static_cast<char*>(MemAlloc(bytes));
  if (copy) CopyBytes(text, copy, bytes);
  return copy;
}

// Frees what the entry owns, the name aside.
void ReleaseValue(Entry* entry, bool deep) {
  if (entry->type == kTextEntry) {
    MemFree(entry->text);
  } else if (entry->type == kSubtreeEntry && deep) {
    DestroyTree(entry->subtree, true);
  }
  entry->type = kNoEntry;
  entry->subtree = nullptr;
}

bool Grow(SettingsTree* tree) {
  size_t new_capacity = static_cast<size_t>(tree->capacity) + kTreeSlotGrowth;
  size_t bytes;
  if (new_capacity > static_cast<size_t>(std::numeric_limits<int32_t>::max()) ||
      !CheckedMul(new_capacity, sizeof(Entry), &bytes)) {
    return false;
  }
  auto* slots = static_cast<Entry*>(MemAlloc(bytes));
  if (!slots) return false;
  CopyBytes(tree->entries, slots, static_cast<size_t>(tree->count) * sizeof(Entry));
  MemFree(tree->entries);
  tree->entries = slots;
  tree->capacity = static_cast<int32_t>(new_capacity);
  return true;
}

const Entry* EntryAt(const SettingsTree* tree, int32_t index) {
  if (!tree || index < 0 || index >= tree->count) return nullptr;
  return &tree->entries[index];
}

const Entry* FindNamed(const SettingsTree* tree, const char* name) {
  return EntryAt(tree, FindEntry(tree, name));
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The two's-complement reading of 32 bits.
int32_t ToSigned32(uint32_t bits) {
  return bits <= static_cast<uint32_t>(INT32_MAX) ? static_cast<int32_t>(bits)
                                                  : -static_cast<int32_t>(~bits) - 1;
}

// True when `inner` is `outer` itself or a tree anywhere below it.
bool Holds(const SettingsTree* outer, const SettingsTree* inner) {
  if (outer == inner) return true;
  for (int32_t i = 0; i < outer->count; ++i) {
    const Entry& entry = outer->entries[i];
    if (entry.type == kSubtreeEntry && Holds(entry.subtree, inner)) return true;
  }
  return false;
}

}  // namespace

SettingsTree* CreateTree() {
  auto* tree = static_cast<SettingsTree*>(MemAlloc(sizeof(SettingsTree)));
  if (!tree) return nullptr;
  tree->entries = static_cast<Entry*>(MemAlloc(kTreeSlotGrowth * sizeof(Entry)));
  if (!tree->entries) {
    MemFree(tree);
    return nullptr;
  }
  tree->line_mode = false;
  tree->count = 0;
  tree->capacity = kTreeSlotGrowth;
  return tree;
}

void DestroyTree(SettingsTree* tree, bool deep) {
  if (!tree) return;
  for (int32_t i = 0; i < tree->count; ++i) {
    MemFree(tree->entries[i].name);
    ReleaseValue(&tree->entries[i], deep);
  }
  MemFree(tree->entries);
  MemFree(tree);
}

void SetLineMode(SettingsTree* tree, bool line_mode) {
  if (tree) tree->line_mode = line_mode;
}

bool IsLineMode(const SettingsTree* tree) { return tree && tree->line_mode; }

int32_t EntryCount(const SettingsTree* tree) { return tree ? tree->count : 0; }

int32_t EntryCapacity(const SettingsTree* tree) { return tree ? tree->capacity : 0; }

SettingType EntryTypeAt(const SettingsTree* tree, int32_t index) {
  const Entry* entry = EntryAt(tree, index);
  return entry ? entry->type : kNoEntry;
}

const char* EntryNameAt(const SettingsTree* tree, int32_t index) {
  const Entry* entry = EntryAt(tree, index);
  return entry ? entry->name : nullptr;
}

SettingValue EntryValueAt(const SettingsTree* tree, int32_t index) {
  const Entry* entry = EntryAt(tree, index);
  if (!entry) return SubtreeValue(nullptr);
  switch (entry->type) {
    case kTextEntry:
      return TextValue(entry->text);
    case kFlagEntry:
    case kNumberEntry:
      return NumberValue(entry->number);
    default:
      return SubtreeValue(entry->subtree);
  }
}

SettingsTree* SubtreeAt(const SettingsTree* tree, int32_t index) {
  const Entry* entry = EntryAt(tree, index);
  return entry && entry->type == kSubtreeEntry ? entry->subtree : nullptr;
}

int32_t FindEntry(const SettingsTree* tree, const char* name) {
  if (!tree || !name) return -1;
  for (int32_t i = 0; i < tree->count; ++i) {
    if (std::strcmp(tree->entries[i].name, name) == 0) return i;
  }
  return -1;
}

SettingType EntryType(const SettingsTree* tree, const char* name) {
  const Entry* entry = FindNamed(tree, name);
  return entry ? entry->type : kNoEntry;
}

bool HasEntry(const SettingsTree* tree, const char* name) { return FindEntry(tree, name) >= 0; }

Status SetEntry(SettingsTree* tree, const char* name, SettingType type, SettingValue value) {
  if (!tree || !name) return kBadArgument;
  if (type < kTextEntry || type > kSubtreeEntry) return kBadArgument;
  if (type == kTextEntry && !value.text) return kBadArgument;
  if (type == kSubtreeEntry && !value.subtree) return kBadArgument;
  // A tree that held itself would be freed twice; so would a subtree stored in
  // the place of the subtree that holds it, which the replacement frees.
  if (type == kSubtreeEntry && Holds(value.subtree, tree)) return kBadArgument;
  const int32_t existing = FindEntry(tree, name);
  if (type == kSubtreeEntry && existing >= 0) {
    const Entry& old = tree->entries[existing];
    if (old.type == kSubtreeEntry && old.subtree != value.subtree &&
        Holds(old.subtree, value.subtree)) {
      return kBadArgument;
    }
  }

  // Copies first, so that a failure changes nothing and a text may be
  // replaced by (a part of) itself.
  char* text = nullptr;
  if (type == kTextEntry) {
    text = CopyText(value.text);
    if (!text) return kOutOfMemory;
  }

  Entry* entry;
  if (existing >= 0) {
    entry = &tree->entries[existing];
    bool same_subtree = entry->type == kSubtreeEntry && type == kSubtreeEntry &&
                        entry->subtree == value.subtree;
    // The entry owns its subtree: one that is no longer stored would leak.
    if (!same_subtree) ReleaseValue(entry, true);
  } else {
    char* name_copy = CopyText(name);
    if (!name_copy || (tree->count == tree->capacity && !Grow(tree))) {
      MemFree(name_copy);
      MemFree(text);
      return kOutOfMemory;
    }
    entry = &tree->entries[tree->count++];
    entry->name = name_copy;
  }

  entry->type = type;
  switch (type) {
    case kTextEntry:
      entry->text = text;
      break;
    case kFlagEntry:
      entry->number = value.number ? 1 : 0;
      break;
    case kNumberEntry:
      entry->number = value.number;
      break;
    default:
      entry->subtree = value.subtree;
      break;
  }
  return kOk;
}

Status SetText(SettingsTree* tree, const char* name, const char* text) {
  return SetEntry(tree, name, kTextEntry, TextValue(text));
}

Status SetFlag(SettingsTree* tree, const char* name, bool flag) {
  return SetEntry(tree, name, kFlagEntry, NumberValue(flag ? 1 : 0));
}

Status SetNumber(SettingsTree* tree, const char* name, int32_t number) {
  return SetEntry(tree, name, kNumberEntry, NumberValue(number));
}

const char* GetText(const SettingsTree* tree, const char* name, const char* fallback) {
  const Entry* entry = FindNamed(tree, name);
  return entry && entry->type == kTextEntry ? entry->text : fallback;
}

int32_t GetNumber(const SettingsTree* tree, const char* name, int32_t fallback) {
  const Entry* entry = FindNamed(tree, name);
  if (!entry) return fallback;
  switch (entry->type) {
    case kFlagEntry:
    case kNumberEntry:
      return entry->number;
    case kTextEntry: {
      int32_t number;
      return ParseInteger(entry->text, &number) ? number : fallback;
    }
    default:
      return fallback;
  }
}

SettingsTree* GetSubtree(const SettingsTree* tree, const char* name) {
  const Entry* entry = FindNamed(tree, name);
  return entry && entry->type == kSubtreeEntry ? entry->subtree : nullptr;
}

SettingsTree* GetOrCreateSubtree(SettingsTree* tree, const char* name) {
  if (!tree || !name) return nullptr;
  if (SettingsTree* existing = GetSubtree(tree, name)) return existing;
  SettingsTree* subtree = CreateTree();
  if (!subtree) return nullptr;
  if (SetEntry(tree, name, kSubtreeEntry, SubtreeValue(subtree)) != kOk) {
    DestroyTree(subtree, true);
    return nullptr;
  }
  return subtree;
}

Status ForEachEntry(const SettingsTree* tree, EntryVisitor visit, void* context) {
  if (!visit) return kBadArgument;
  Status status = kOk;
  for (int32_t i = 0; i < EntryCount(tree) && status == kOk; ++i) {
    status = visit(context, tree->entries[i].name, tree->entries[i].type, EntryValueAt(tree, i));
  }
  return status;
}

bool ParseInteger(const char* text, int32_t* result) {
  if (!text) return false;
  const char* p = text;
  while (IsBlank(*p)) ++p;
  bool negative = *p == '-';
  if (*p == '+' || *p == '-') ++p;
  if (*p < '0' || *p > '9') return false;

  // Unsigned arithmetic wraps, so any number of digits gives the value
  // modulo 2^32 without overflow.
  uint32_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) value = value * 10u + static_cast<uint32_t>(*p - '0');
  while (IsBlank(*p)) ++p;
  if (*p != '\0') return false;
  if (negative) value = 0u - value;
  if (result) *result = ToSigned32(value);
  return true;
}

}  // namespace lumetra
