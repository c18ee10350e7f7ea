// Memory blocks. On Windows these are blocks of the global heap: fixed blocks
// serve as ordinary memory, movable blocks carry whole files and resources
// (one byte longer than the data, that byte a NUL). The host build has a small
// stand-in with the same contract.
#pragma once

#include <cstddef>
#include <memory>

namespace lumetra {

struct MemBlockHandle;
using MemBlock = MemBlockHandle*;  // a movable block (an HGLOBAL on Windows)

// Fixed blocks, zero-filled; null when memory is short.
void* MemAlloc(size_t size);
void MemFree(void* fixed);                 // null is accepted
size_t MemSize(const void* fixed);         // 0 for null

// Movable blocks, zero-filled; null when memory is short.
MemBlock MemAllocMovable(size_t size);
// A movable block whose bytes are left as they come, for a caller that writes
// every one of them itself; null when memory is short.
MemBlock MemAllocMovableUnfilled(size_t size);
void MemFree(MemBlock block);              // null is accepted
size_t MemSize(MemBlock block);            // 0 for null
void* MemLock(MemBlock block);             // null for a null block
void MemUnlock(MemBlock block);
void MemUnlockAll(MemBlock block);         // drops every lock held

// Overlapping ranges are allowed.
void CopyBytes(const void* source, void* destination, size_t length);

// Owners for use inside implementations.
struct MemFreeFixed {
  void operator()(void* p) const { MemFree(p); }
};
template <typename T>
using MemPtr = std::unique_ptr<T, MemFreeFixed>;

struct MemFreeBlock {
  void operator()(MemBlock b) const { MemFree(b); }
};
using MemBlockPtr = std::unique_ptr<MemBlockHandle, MemFreeBlock>;

}  // namespace lumetra
