#include "framework/support/file_access.h"

#include <climits>
#include <cstring>

#include "framework/support/file_access_platform.h"

namespace lumetra {

namespace {

const char* StreamMode(int32_t mode) {
  switch (mode) {
    case kFileModeRead:
      return "rb";
    case kFileModeWrite:
    case kFileModeCreate:
      return "wb";
    case kFileModeAppend:
      return "a+b";
    default:
      return nullptr;
  }
}

// Bytes a memory handle can serve: a block that turns out smaller than the
// described size is only read as far as it goes.
uint32_t MemoryDataSize(const MemFile* handle) {
  if (handle->block) {
    size_t block_size = MemSize(handle->block);
    return block_size < handle->size ? static_cast<uint32_t>(block_size) : handle->size;
  }
  return handle->data ? handle->size : 0;
}

Status ReadMemory(MemFile* handle, size_t length, size_t* count, void* buffer) {
  if (handle->mode == kFileModeWrite) return kMemFileWriteOnly;
  uint32_t size = MemoryDataSize(handle);
  size_t available = handle->position < size ? size - handle->position : 0;
  size_t moved = length < available ? length : available;
  if (moved > 0) {
    const uint8_t* data = handle->block ? static_cast<const uint8_t*>(MemLock(handle->block))
                                        : static_cast<const uint8_t*>(handle->data);
    if (!data) {
      moved = 0;
    } else {
      CopyBytes(data + handle->position, buffer, moved);
      if (handle->block) MemUnlock(handle->block);
    }
  }
  handle->position += static_cast<uint32_t>(moved);
  if (count) *count = moved;
  return moved < length ? kShortRead : kOk;
}

Status SeekMemory(MemFile* handle, int64_t offset, bool from_start) {
  int64_t target = offset;
  if (!from_start && __builtin_add_overflow(int64_t{handle->position}, offset, &target)) return kSeekFailed;
  if (target < 0 || target > int64_t{UINT32_MAX}) return kSeekFailed;
  handle->position = static_cast<uint32_t>(target);
  return kOk;
}

void Describe(MemFile* descriptor, uint32_t size) {
  std::memset(descriptor, 0, sizeof(MemFile));
  descriptor->magic = kMemFileMagic;
  descriptor->mode = kFileModeCreate;
  descriptor->size = size;
  std::memcpy(descriptor->name, "MemFile", 8);
}

}  // namespace

Status FileOpen(const char* path, int32_t mode, FileHandle* handle) {
  if (!handle) return kBadArgument;
  *handle = nullptr;
  if (!path) return kNoFileName;
  const char* stream_mode = StreamMode(mode);
  if (!stream_mode || path[0] == '\0') return kCannotOpenFile;
  *handle = std::fopen(path, stream_mode);
  return *handle ? kOk : kCannotOpenFile;
}

Status FileClose(FileHandle handle) {
  if (!handle) return kOk;
  return std::fclose(handle) == 0 ? kOk : kShortWrite;
}

Status FileRead(FileHandle handle, size_t length, size_t* count, void* buffer) {
  if (count) *count = 0;
  if (!buffer) return kBadArgument;
  if (!handle) return kFileNotOpen;
  size_t moved = length ? std::fread(buffer, 1, length, handle) : 0;
  if (count) *count = moved;
  return moved < length ? kShortRead : kOk;
}

Status FileWrite(FileHandle handle, size_t length, size_t* count, const void* data) {
  if (count) *count = 0;
  if (!data) return kBadArgument;
  if (!handle) return kFileNotOpen;
  size_t moved = length ? std::fwrite(data, 1, length, handle) : 0;
  if (count) *count = moved;
  return moved < length ? kShortWrite : kOk;
}

Status FileSeek(FileHandle handle, int64_t offset, bool from_start) {
  if (!handle) return kFileNotOpen;
  // fseek takes a long, 32 bits on the target.
  if (offset < LONG_MIN || offset > LONG_MAX) return kSeekFailed;
  return std::fseek(handle, static_cast<long>(offset), from_start ? SEEK_SET : SEEK_CUR) == 0 ? kOk
                                                                                              : kSeekFailed;
}

Status FileSize(FileHandle handle, uint32_t* size) {
  if (!size) return kBadArgument;
  *size = 0;
  if (!handle) return kFileNotOpen;
  long here = std::ftell(handle);
  if (here < 0) return kSizeUnknown;
  if (std::fseek(handle, 0, SEEK_END) != 0) return kSizeUnknown;
  long end = std::ftell(handle);
  if (std::fseek(handle, here, SEEK_SET) != 0 || end < 0) return kSizeUnknown;
  if (static_cast<unsigned long>(end) > UINT32_MAX) return kSizeUnknown;
  *size = static_cast<uint32_t>(end);
  return kOk;
}

Status FileLength(FileHandle handle, uint32_t* size) {
  if (!size) return kBadArgument;
  *size = 0;
  if (!handle) return kFileNotOpen;
  uint64_t length = 0;
  if (!SystemFileLength(handle, &length)) return FileSize(handle, size);
  // FileSize learns the end through a long; beyond that it fails.
  if (length > static_cast<uint64_t>(LONG_MAX) || length > UINT32_MAX) return kSizeUnknown;
  *size = static_cast<uint32_t>(length);
  return kOk;
}

Status MemFileInit(MemFile* descriptor, const void* data, size_t size) {
  if (!descriptor || (!data && size > 0) || size > UINT32_MAX) return kBadArgument;
  Describe(descriptor, static_cast<uint32_t>(size));
  descriptor->data = data;
  return kOk;
}

Status MemFileInitBlock(MemFile* descriptor, MemBlock block, size_t size) {
  if (!descriptor || !block || size > MemSize(block) || size > UINT32_MAX) return kBadArgument;
  Describe(descriptor, static_cast<uint32_t>(size));
  descriptor->block = block;
  return kOk;
}

bool IsMemFileDescriptor(const void* source) {
  if (!source) return false;
  uint8_t magic[4];
  uint32_t value = kMemFileMagic;
  std::memcpy(magic, &value, sizeof magic);
  const uint8_t* bytes = static_cast<const uint8_t*>(source);
  for (size_t i = 0; i < sizeof magic; ++i) {
    if (bytes[i] != magic[i]) return false;
  }
  return true;
}

size_t MemFileSourceLength(const void* source) {
  if (!source) return 0;
  if (IsMemFileDescriptor(source)) return kMemFileSourceSize;
  const void* end = std::memchr(source, 0, kMemFileSourceSize);
  return end ? static_cast<size_t>(static_cast<const char*>(end) - static_cast<const char*>(source)) + 1 : 0;
}

Status MemFileOpen(const void* source, int32_t mode, MemFile** handle) {
  if (!handle) return kBadArgument;
  *handle = nullptr;
  if (!source) return kBadArgument;
  MemPtr<MemFile> opened(static_cast<MemFile*>(MemAlloc(sizeof(MemFile))));
  if (!opened) return kOutOfMemory;

  if (IsMemFileDescriptor(source)) {
    // The whole descriptor, its position included; the handle takes the
    // opener's mode, and the caller's descriptor is left as it is.
    std::memcpy(opened.get(), source, sizeof(MemFile));
    opened->mode = mode;
    opened->file = nullptr;
  } else {
    // A path that fills all 1024 bytes without a terminator names no file.
    if (MemFileSourceLength(source) == 0) return kCannotOpenFile;
    FileHandle file = nullptr;
    Status status = FileOpen(static_cast<const char*>(source), mode, &file);
    if (status) return status;
    opened->mode = mode;
    std::memcpy(opened->name, "MemFile", 8);
    opened->file = file;
  }
  *handle = opened.release();
  return kOk;
}

Status MemFileRead(MemFile* handle, size_t length, size_t* count, void* buffer) {
  if (count) *count = 0;
  if (!handle) return kBadArgument;
  if (handle->file) return FileRead(handle->file, length, count, buffer);
  if (!buffer) return kBadArgument;
  return ReadMemory(handle, length, count, buffer);
}

Status MemFileSeek(MemFile* handle, int64_t offset, bool from_start) {
  if (!handle) return kBadArgument;
  if (handle->file) return FileSeek(handle->file, offset, from_start);
  return SeekMemory(handle, offset, from_start);
}

Status MemFileSize(MemFile* handle, uint32_t* size) {
  if (!handle || !size) return kBadArgument;
  if (handle->file) {
    return handle->mode == kFileModeRead ? FileLength(handle->file, size) : FileSize(handle->file, size);
  }
  *size = handle->size;
  return kOk;
}

void MemFileUnbuffered(MemFile* handle) {
  // A stream that refuses keeps its buffer; it reads the same either way.
  if (handle && handle->file) std::setvbuf(handle->file, nullptr, _IONBF, 0);
}

Status MemFileClose(MemFile* handle) {
  if (!handle) return kOk;
  Status status = FileClose(handle->file);
  MemFree(handle);
  return status;
}

}  // namespace lumetra
