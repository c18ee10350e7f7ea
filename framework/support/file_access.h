// The lowest file access: status-returning wrappers of the C stream functions,
// and memory files (MemFile), which read either a file named by a path or a
// range of memory through one interface, so readers take both alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "framework/support/memory.h"
#include "framework/support/status.h"

namespace lumetra {

using FileHandle = std::FILE*;

// Open modes, shared by files and memory files.
enum : int32_t {
  kFileModeRead = 1,    // "rb"
  kFileModeWrite = 2,   // "wb"; a memory file in this mode cannot be read
  kFileModeCreate = 3,  // "wb"; the mode a fresh memory descriptor carries
  kFileModeAppend = 4,  // "a+b"
};

// Path of a file to open: fails with 3001 when null; an empty path, an
// unknown mode or a failed open give 20204 and a null handle.
Status FileOpen(const char* path, int32_t mode, FileHandle* handle);
Status FileClose(FileHandle handle);  // null is accepted; 3004 if buffered data could not be written
// Reads up to `length` bytes; fewer than asked gives 3003 with `count` (may be
// null) still telling how many arrived.
Status FileRead(FileHandle handle, size_t length, size_t* count, void* buffer);
Status FileWrite(FileHandle handle, size_t length, size_t* count, const void* data);
// Absolute from the start, or relative to the current position; 3002 on failure.
Status FileSeek(FileHandle handle, int64_t offset, bool from_start);
// Size of the file, the position left where it was; 3005 when not learnable
// (or not representable in 32 bits).
Status FileSize(FileHandle handle, uint32_t* size);
// The same for a stream opened for reading, from the system's record of the
// open file: no seek and no data read (seeking to the end makes some C
// libraries read the file's last block). A stream on anything but a plain
// file is measured by FileSize; a length FileSize could not give (beyond a
// long or 32 bits) gives 3005 here too. Not for a stream with output waiting
// in its buffer, which the system does not count yet.
Status FileLength(FileHandle handle, uint32_t* size);

constexpr uint32_t kMemFileMagic = 0xFBDCE453;
constexpr size_t kMemFileSourceSize = 1024;  // a source: a descriptor or a NUL-terminated path

// A readable source of 1024 bytes. As a descriptor filled in by its owner
// (MemFileInit...) it stands for a range of memory; as a handle from
// MemFileOpen it also carries an open file. The magic number in the first four
// bytes tells a descriptor from a path, whose first bytes are text.
struct MemFile {
  uint32_t magic;       // kMemFileMagic
  int32_t mode;         // kFileModeCreate when described; the opener's mode in a handle
  uint32_t size;        // bytes of data
  uint32_t position;    // may lie beyond the end after a seek; reads there copy nothing
  char name[16];        // "MemFile"
  FileHandle file;      // only in handles opened from a path
  const void* data;     // the data, unless `block` is present
  MemBlock block;       // a movable block holding the data; used when present
  uint8_t reserved[kMemFileSourceSize - 32 - 3 * sizeof(void*)];
};
static_assert(sizeof(MemFile) == kMemFileSourceSize, "a MemFile source is 1024 bytes");

// Fill `descriptor` as a memory source. The data (or block) stay the caller's
// and must outlive every handle opened from it; the handle copies the
// descriptor, not the data. A block must hold at least `size` bytes.
// 20003 for a null descriptor, or null data with a non-zero size.
Status MemFileInit(MemFile* descriptor, const void* data, size_t size);
Status MemFileInitBlock(MemFile* descriptor, MemBlock block, size_t size);

// True when `source` begins with the descriptor magic. Compares byte by byte
// and stops at the first difference, so a short path string is never read past
// its terminator.
bool IsMemFileDescriptor(const void* source);

// The number of bytes of `source` that make it up: 1024 for a descriptor, the
// path and its terminator for a path, 0 for a path without a terminator in its
// 1024 bytes. Copies of a source take exactly this many bytes.
size_t MemFileSourceLength(const void* source);

// Opens a source (descriptor or path) in `mode` into a new handle; a handle of
// a descriptor is a copy of it, reading on from its position. 20003 for a
// null source or output, 21002 when memory is short, the status of FileOpen for
// a path that does not open (20204 for a path without a terminator). Every
// failure leaves no handle behind.
Status MemFileOpen(const void* source, int32_t mode, MemFile** handle);
// Memory: 20211 in write mode; otherwise copies min(length, size - position),
// 3003 when fewer than asked. A file: FileRead. 20003 without a handle.
Status MemFileRead(MemFile* handle, size_t length, size_t* count, void* buffer);
// Memory: a position before the start, or beyond 32 bits, gives 3002; beyond the
// end is allowed. A file: FileSeek.
Status MemFileSeek(MemFile* handle, int64_t offset, bool from_start);
// Memory: the described size. A file: FileLength when opened for reading,
// FileSize otherwise.
Status MemFileSize(MemFile* handle, uint32_t* size);
// Lets a file handle's reads and seeks go straight to the system, past the C
// library's buffer: for a reader that takes a few whole pieces, to which the
// buffer only adds a copy and, in some C libraries, a status query at the
// first read and a read ahead at every seek. Only before the first read or
// seek of the handle; memory handles (and null) are left as they are.
void MemFileUnbuffered(MemFile* handle);
Status MemFileClose(MemFile* handle);  // null is accepted

}  // namespace lumetra
