#include <windows.h>
#include <io.h>

#include <cstring>
#include <new>

#include "framework/support/byte_reader.h"
#include "framework/support/files.h"
#include "framework/support/files_platform.h"
#include "framework/support/system_error.h"

namespace lumetra {

namespace {

// GetTempPathA's documented maximum, and the unique number that makes
// GetTempFileNameA create the file.
constexpr DWORD kTempPathSize = MAX_PATH + 1;
constexpr UINT kCreateUniqueFile = 0;

// The resource type of a data kind.
const char* ResourceTypeOf(int32_t kind) {
  if (kind == kDataKindBinary || kind == kDataKindBinaryAlt) return RT_RCDATA;
  if (kind == kDataKindText) return "TEXT";
  return MAKEINTRESOURCEA(static_cast<WORD>(kind));
}

// The module holding the resource, or null with the last error set.
HMODULE ModuleWithResource(HMODULE first, const char* type, const char* name, HRSRC* found) {
  HMODULE candidates[2 + kFurtherResourceModules + 1];
  size_t count = 0;
  candidates[count++] = first;
  candidates[count++] = static_cast<HMODULE>(PreferredResourceModule());
  for (size_t i = 0; i < kFurtherResourceModules; ++i) {
    candidates[count++] = static_cast<HMODULE>(FurtherResourceModule(i));
  }
  candidates[count++] = GetModuleHandleA(nullptr);
  for (size_t i = 0; i < count; ++i) {
    if (!candidates[i]) continue;
    HRSRC resource = FindResourceA(candidates[i], name, type);
    if (resource) {
      if (found) *found = resource;
      return candidates[i];
    }
  }
  return nullptr;
}

}  // namespace

struct DirectoryScan {
  HANDLE find;
  bool first_delivered;
  char directory[kPathBufferSize];     // full path of the scanned directory
  WIN32_FIND_DATAA data;
  char previous_cwd[kPathBufferSize];  // restored by CloseDirectoryScan
};

Status ModulePath(char* buffer, size_t buffer_size) {
  if (!buffer || buffer_size == 0) return kBadArgument;
  buffer[0] = '\0';
  DWORD size = buffer_size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(buffer_size);
  DWORD length = GetModuleFileNameA(nullptr, buffer, size);
  if (length == 0) return StatusFromSystem(false);
  // A full buffer means the path was cut (older systems do not even end it).
  if (length >= size) {
    buffer[0] = '\0';
    SetLastSystemError(ERROR_INSUFFICIENT_BUFFER);
    return StatusFromSystem(false);
  }
  return kOk;
}

bool FileExists(const char* path) { return path && _access(path, 0) == 0; }

Status DeleteFileForced(const char* path) {
  if (!path) return kNoFileName;
  DWORD attributes = GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
  }
  if (DeleteFileA(path)) return kOk;
  return StatusFromSystem(DeleteFileA(path) != 0);
}

Status MakeTempFileName(char* buffer, size_t buffer_size) {
  if (!buffer || buffer_size == 0) return kBadArgument;
  buffer[0] = '\0';
  char directory[kTempPathSize];
  DWORD length = GetTempPathA(sizeof directory, directory);
  if (length == 0 || length >= sizeof directory) return kSizeUnknown;
  char name[MAX_PATH];
  if (GetTempFileNameA(directory, "plo", kCreateUniqueFile, name) == 0) return kSizeUnknown;
  size_t name_length = std::strlen(name);
  if (name_length >= buffer_size) {
    DeleteFileA(name);
    return kBadArgument;
  }
  std::memcpy(buffer, name, name_length + 1);
  return kOk;
}

Status OpenDirectoryScan(const char* directory, DirectoryScan** scan) {
  if (!scan) return kBadArgument;
  *scan = nullptr;
  if (!directory) return kNoFileName;
  auto* s = new (std::nothrow) DirectoryScan{};
  if (!s) return kOutOfMemory;
  DWORD length = GetCurrentDirectoryA(sizeof s->previous_cwd, s->previous_cwd);
  if (length == 0 || length >= sizeof s->previous_cwd) {
    delete s;
    return length == 0 ? StatusFromSystem(false) : Status{kBadArgument};
  }
  if (!SetCurrentDirectoryA(directory)) {
    Status status = StatusFromSystem(false);
    delete s;
    return status;
  }
  length = GetCurrentDirectoryA(sizeof s->directory, s->directory);
  Status status = kOk;
  if (length == 0 || length >= sizeof s->directory) {
    status = length == 0 ? StatusFromSystem(false) : Status{kBadArgument};
  } else {
    s->find = FindFirstFileA("*.*", &s->data);
    if (s->find == INVALID_HANDLE_VALUE) status = StatusFromSystem(false);
  }
  if (status != kOk) {
    SetCurrentDirectoryA(s->previous_cwd);
    delete s;
    return status;
  }
  *scan = s;
  return kOk;
}

Status NextDirectoryEntry(DirectoryScan* scan, char* path, size_t path_size) {
  if (!scan || !path || path_size == 0) return kBadArgument;
  path[0] = '\0';
  for (;;) {
    if (scan->first_delivered) {
      if (!FindNextFileA(scan->find, &scan->data)) return StatusFromSystem(false);
    }
    scan->first_delivered = true;
    const char* name = scan->data.cFileName;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    size_t directory_length = std::strlen(scan->directory);
    // A drive's root already ends in a backslash.
    bool needs_separator = directory_length == 0 || scan->directory[directory_length - 1] != '\\';
    size_t name_length = std::strlen(name);
    size_t length = directory_length + (needs_separator ? 1 : 0) + name_length;
    if (length >= path_size) return kBadArgument;
    std::memcpy(path, scan->directory, directory_length);
    if (needs_separator) path[directory_length] = '\\';
    std::memcpy(path + length - name_length, name, name_length + 1);
    return kOk;
  }
}

void CloseDirectoryScan(DirectoryScan* scan) {
  if (!scan) return;
  FindClose(scan->find);
  SetCurrentDirectoryA(scan->previous_cwd);
  delete scan;
}

Status LoadResourceData(void* module, int32_t kind, const char* name, MemBlock* block,
                        size_t* size) {
  if (block) *block = nullptr;
  if (size) *size = 0;
  if (!block) return kBadArgument;
  if (!name) return kFileNotFound;
  const char* type = ResourceTypeOf(kind);
  HRSRC resource = nullptr;
  HMODULE holder = ModuleWithResource(static_cast<HMODULE>(module), type, name, &resource);
  if (!holder) return StatusFromSystem(false);
  HGLOBAL loaded = LoadResource(holder, resource);
  if (!loaded) return StatusFromSystem(false);
  DWORD resource_size = SizeofResource(holder, resource);
  const void* bytes = LockResource(loaded);
  if (!bytes && resource_size > 0) return StatusFromSystem(false);
  size_t block_size = 0;
  if (!CheckedAdd(resource_size, 1, &block_size)) return kOutOfMemory;
  MemBlockPtr data(MemAllocMovable(block_size));
  if (!data) return kOutOfMemory;
  auto* out = static_cast<uint8_t*>(MemLock(data.get()));
  CopyBytes(bytes, out, resource_size);
  out[resource_size] = '\0';
  MemUnlock(data.get());
  *block = data.release();
  if (size) *size = resource_size;
  return kOk;
}

void* FindResourceModule(const char* type, const char* name) {
  HMODULE holder = ModuleWithResource(nullptr, type, name, nullptr);
  return holder ? holder : GetModuleHandleA(nullptr);
}

}  // namespace lumetra
