#include "framework/support/settings_registry.h"

#include <windows.h>

#include <cstring>

#include "framework/support/byte_reader.h"
#include "framework/support/memory.h"

namespace lumetra {

namespace {

constexpr DWORD kNameBufferSize = 512;   // key names are at most 255 characters
constexpr size_t kFirstValueBuffer = 512;

Status RegistryStatus(LONG error) { return StatusFromSystemError(static_cast<uint32_t>(error)); }

HKEY AsKey(RegistryKey key) { return reinterpret_cast<HKEY>(key); }

// An empty path names root itself; treated as none, so that deleting "" never
// reaches the key above.
bool HasPath(const char* path) { return path && path[0] != '\0'; }

// Opens `path` below `root`, or lends root itself; closes only what it opened.
class KeyScope {
 public:
  KeyScope(HKEY root, const char* path, REGSAM access) : key_(root) {
    if (HasPath(path)) {
      opened_ = true;
      error_ = RegOpenKeyExA(root, path, 0, access, &key_);
      if (error_ != ERROR_SUCCESS) key_ = nullptr;
    }
  }
  KeyScope(const KeyScope&) = delete;
  KeyScope& operator=(const KeyScope&) = delete;
  ~KeyScope() { Close(); }

  void Close() {
    if (opened_ && key_) RegCloseKey(key_);
    key_ = nullptr;
  }
  void Adopt(HKEY created) {
    key_ = created;
    opened_ = true;
  }

  HKEY key() const { return key_; }
  LONG error() const { return error_; }

 private:
  HKEY key_;
  bool opened_ = false;
  LONG error_ = ERROR_SUCCESS;
};

Status StoreValue(SettingsTree* tree, const char* name, DWORD type, const uint8_t* data,
                  DWORD size) {
  switch (type) {
    case REG_SZ:
      // The buffer holds a NUL past the data, so an unterminated text ends there.
      return SetText(tree, name, reinterpret_cast<const char*>(data));
    case REG_DWORD:
      if (size < 4) return kOk;
      return SetNumber(tree, name, static_cast<int32_t>(LoadLE32(data)));
    case REG_DWORD_BIG_ENDIAN:
      if (size < 4) return kOk;
      return SetNumber(tree, name, static_cast<int32_t>(LoadBE32(data)));
    default:
      return kOk;
  }
}

Status LoadValues(SettingsTree* tree, HKEY key) {
  size_t capacity = kFirstValueBuffer;  // one byte more than offered to the registry
  MemPtr<uint8_t> buffer(static_cast<uint8_t*>(MemAlloc(capacity)));
  if (!buffer) return kOutOfMemory;

  char name[kNameBufferSize];
  for (DWORD index = 0;;) {
    DWORD name_length = kNameBufferSize;
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(capacity - 1);
    LONG error = RegEnumValueA(key, index, name, &name_length, nullptr, &type, buffer.get(), &size);
    if (error == ERROR_MORE_DATA) {
      size_t needed;
      if (size > capacity - 1 && CheckedAdd(size, 1, &needed)) {
        buffer.reset(static_cast<uint8_t*>(MemAlloc(needed)));
        if (!buffer) return kOutOfMemory;
        capacity = needed;
        continue;  // the same value again
      }
      // The data fit, so the name did not: this value cannot be named here.
      ++index;
      continue;
    }
    if (error != ERROR_SUCCESS) return kOk;  // ERROR_NO_MORE_ITEMS, or nothing more to learn
    if (size > capacity - 1) size = static_cast<DWORD>(capacity - 1);
    buffer.get()[size] = 0;
    Status status = StoreValue(tree, name, type, buffer.get(), size);
    if (status != kOk) return status;
    ++index;
  }
}

Status LoadSubkeys(SettingsTree* tree, HKEY key) {
  char name[kNameBufferSize];
  for (DWORD index = 0;; ++index) {
    DWORD name_length = kNameBufferSize;
    LONG error = RegEnumKeyExA(key, index, name, &name_length, nullptr, nullptr, nullptr, nullptr);
    if (error == ERROR_MORE_DATA) continue;
    if (error != ERROR_SUCCESS) return kOk;
    SettingsTree* subtree = CreateTree();
    if (!subtree) return kOutOfMemory;
    Status status = LoadTreeFromRegistry(subtree, reinterpret_cast<RegistryKey>(key), name);
    // What was read is kept even when the load of the sub-key failed.
    Status stored = SetEntry(tree, name, kSubtreeEntry, SubtreeValue(subtree));
    if (stored != kOk) {
      DestroyTree(subtree, true);
      return stored;
    }
    if (status != kOk) return status;
  }
}

struct Writer {
  HKEY key;
};

Status WriteEntry(void* context, const char* name, SettingType type, SettingValue value) {
  HKEY key = static_cast<Writer*>(context)->key;
  LONG error;
  switch (type) {
    case kTextEntry:
      error = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.text),
                             static_cast<DWORD>(std::strlen(value.text) + 1));
      break;
    case kFlagEntry:
    case kNumberEntry: {
      DWORD number = static_cast<DWORD>(value.number);
      error = RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                             sizeof(number));
      break;
    }
    case kSubtreeEntry:
      // A sub-key without a name would be the key itself.
      if (name[0] == '\0') return kRefused;
      return SaveTreeToRegistry(value.subtree, reinterpret_cast<RegistryKey>(key), name);
    default:
      return kRefused;
  }
  return error == ERROR_SUCCESS ? Status{kOk} : RegistryStatus(error);
}

}  // namespace

Status LoadTreeFromRegistry(SettingsTree* tree, RegistryKey root, const char* path) {
  if (!tree) return kBadArgument;
  // Reading needs no more than read access.
  KeyScope scope(AsKey(root), path, KEY_READ);
  if (!scope.key()) return RegistryStatus(scope.error());
  Status status = LoadValues(tree, scope.key());
  if (status == kOk) status = LoadSubkeys(tree, scope.key());
  return status;
}

Status SaveTreeToRegistry(const SettingsTree* tree, RegistryKey root, const char* path) {
  DeleteRegistryTree(root, path);
  KeyScope scope(AsKey(root), nullptr, 0);
  if (HasPath(path)) {
    HKEY created = nullptr;
    LONG error = RegCreateKeyA(AsKey(root), path, &created);
    if (error != ERROR_SUCCESS) return RegistryStatus(error);
    scope.Adopt(created);
  }
  Writer writer{scope.key()};
  return ForEachEntry(tree, WriteEntry, &writer);
}

Status DeleteRegistryTree(RegistryKey root, const char* path) {
  Status status = kOk;
  {
    KeyScope scope(AsKey(root), path, KEY_ALL_ACCESS);
    if (!scope.key()) return RegistryStatus(scope.error());
    char name[kNameBufferSize];
    for (;;) {
      DWORD name_length = kNameBufferSize;
      LONG error = RegEnumKeyExA(scope.key(), 0, name, &name_length, nullptr, nullptr, nullptr,
                                 nullptr);
      if (error == ERROR_NO_MORE_ITEMS) break;
      if (error != ERROR_SUCCESS) {
        status = RegistryStatus(error);
        break;
      }
      // A sub-key that stays would come back at index 0 for ever.
      status = DeleteRegistryTree(reinterpret_cast<RegistryKey>(scope.key()), name);
      if (status != kOk) break;
    }
  }
  if (HasPath(path)) {
    LONG error = RegDeleteKeyA(AsKey(root), path);
    if (status == kOk && error != ERROR_SUCCESS) status = RegistryStatus(error);
  }
  return status;
}

}  // namespace lumetra
