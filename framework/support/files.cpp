#include "framework/support/files.h"

#include <cstring>

#include "framework/support/byte_reader.h"
#include "framework/support/file_access.h"
#include "framework/support/files_platform.h"
#include "framework/support/text_utils.h"

namespace lumetra {

namespace {

char named_data_directory[kPathBufferSize] = "";
void* preferred_module = nullptr;
void* further_modules[kFurtherResourceModules] = {};
char module_base_name[kPathBufferSize] = "";

// Windows takes both separators, and paths built here join a backslashed
// directory and a name with a slash, so whichever comes last counts.
const char* LastSeparator(const char* path) {
  const char* backslash = std::strrchr(path, '\\');
  const char* slash = std::strrchr(path, '/');
  return backslash > slash ? backslash : slash;
}

// Copies text into a buffer; false (and "" in the buffer) when it does not fit.
bool CopyText(const char* text, size_t length, char* buffer, size_t buffer_size) {
  if (!buffer || buffer_size == 0) return false;
  if (length >= buffer_size) {
    buffer[0] = '\0';
    return false;
  }
  std::memcpy(buffer, text, length);
  buffer[length] = '\0';
  return true;
}

// True when the entry's file name, its last extension cut off, is `name`.
bool EntryNameMatches(const char* entry_path, const char* name) {
  const char* file_name = FileNamePart(entry_path);
  const char* dot = std::strrchr(file_name, '.');
  size_t stem_length = dot ? static_cast<size_t>(dot - file_name) : std::strlen(file_name);
  return std::strlen(name) == stem_length && std::memcmp(file_name, name, stem_length) == 0;
}

}  // namespace

Status ReadWholeFile(const char* path, MemBlock* block, size_t* size) {
  if (!block) return kBadArgument;
  *block = nullptr;
  if (size) *size = 0;
  if (!path) return kNoFileName;

  FileHandle file = nullptr;
  if (FileOpen(path, kFileModeRead, &file) != kOk) return kFileNotFound;
  uint32_t file_size = 0;
  Status status = FileLength(file, &file_size);
  size_t block_size = 0;
  if (status == kOk && !CheckedAdd(file_size, 1, &block_size)) status = kOutOfMemory;
  MemBlockPtr data;
  if (status == kOk) {
    data.reset(MemAllocMovable(block_size));
    if (!data) status = kOutOfMemory;
  }
  size_t count = 0;
  if (status == kOk) {
    auto* bytes = static_cast<uint8_t*>(MemLock(data.get()));
    status = FileRead(file, file_size, &count, bytes);
    bytes[count] = '\0';  // the block is zero-filled; this also ends a short read
    MemUnlock(data.get());
  }
  FileClose(file);
  // A short read still hands out what arrived.
  if (status != kOk && status != kShortRead) return status;
  *block = data.release();
  if (size) *size = count;
  return status;
}

const char* FileNamePart(const char* path) {
  if (!path) return "";
  const char* separator = LastSeparator(path);
  return separator ? separator + 1 : path;
}

Status ModuleDirectory(char* buffer, size_t buffer_size) {
  Status status = ModulePath(buffer, buffer_size);
  if (status != kOk) return status;
  char* separator = const_cast<char*>(LastSeparator(buffer));
  if (separator) *separator = '\0';
  return kOk;
}

const char* ModuleBaseName() {
  char path[kPathBufferSize];
  if (ModulePath(path, sizeof path) != kOk) {
    module_base_name[0] = '\0';
    return module_base_name;
  }
  const char* name = FileNamePart(path);
  size_t length = std::strlen(name);
  if (length >= 4 && CompareNoCase(name + length - 4, ".exe") == 0) length -= 4;
  CopyText(name, length, module_base_name, sizeof module_base_name);
  return module_base_name;
}

Status FindNamedData(void* module, int32_t kind, const char* name, char* path, size_t path_size) {
  if (path && path_size > 0) path[0] = '\0';
  if (module || !name || IsResourceNumber(name) || name[0] == '\0') return kFileNotFound;
  if (kind < kDataKindBinary || kind > kDataKindText) return kFileNotFound;
  if (!path || path_size == 0) return kBadArgument;

  // The directory and the name; an empty directory means the bare name.
  char candidate[kPathBufferSize];
  size_t directory_length = std::strlen(named_data_directory);
  size_t name_length = std::strlen(name);
  size_t length = directory_length + (directory_length ? 1 : 0) + name_length;
  if (length < sizeof candidate) {
    std::memcpy(candidate, named_data_directory, directory_length);
    if (directory_length) candidate[directory_length] = '/';
    std::memcpy(candidate + length - name_length, name, name_length + 1);
    if (FileExists(candidate)) {
      return CopyText(candidate, length, path, path_size) ? kOk : kBadArgument;
    }
  }

  DirectoryScan* scan = nullptr;
  if (OpenDirectoryScan(directory_length ? named_data_directory : ".", &scan) != kOk) {
    return kFileNotFound;
  }
  Status result = kFileNotFound;
  char entry[kPathBufferSize];
  for (;;) {
    Status status = NextDirectoryEntry(scan, entry, sizeof entry);
    if (status == kBadArgument) continue;  // a path too long for us; not ours
    if (status != kOk) break;
    if (EntryNameMatches(entry, name)) {
      result = CopyText(entry, std::strlen(entry), path, path_size) ? kOk : kBadArgument;
      break;
    }
  }
  CloseDirectoryScan(scan);
  return result;
}

Status LoadNamedData(void* module, int32_t kind, const char* name, MemBlock* block, size_t* size) {
  if (!block) return kBadArgument;
  *block = nullptr;
  if (size) *size = 0;
  char path[kPathBufferSize];
  if (FindNamedData(module, kind, name, path, sizeof path) == kOk) {
    Status status = ReadWholeFile(path, block, size);
    if (status == kOk) return kOk;
    MemFree(*block);  // a short read is no good to anyone here
    *block = nullptr;
    if (size) *size = 0;
  }
  return LoadResourceData(module, kind, name, block, size);
}

void SetNamedDataDirectory(const char* directory) {
  if (!directory || !CopyText(directory, std::strlen(directory), named_data_directory,
                              sizeof named_data_directory)) {
    named_data_directory[0] = '\0';
  }
}

void SetPreferredResourceModule(void* module) { preferred_module = module; }

void SetFurtherResourceModule(size_t slot, void* module) {
  if (slot < kFurtherResourceModules) further_modules[slot] = module;
}

void* PreferredResourceModule() { return preferred_module; }

void* FurtherResourceModule(size_t slot) {
  return slot < kFurtherResourceModules ? further_modules[slot] : nullptr;
}

}  // namespace lumetra
