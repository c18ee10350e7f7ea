// Host stand-in for the global heap: a fixed block carries its size in a
// header before the data; a movable block is a handle holding the data
// pointer, the size and a lock count.
#include "framework/support/memory.h"

#include <cstdlib>

namespace lumetra {

namespace {

struct alignas(std::max_align_t) FixedHeader {
  size_t size;
};

}  // namespace

struct MemBlockHandle {
  void* data;
  size_t size;
  unsigned locks;
};

void* MemAlloc(size_t size) {
  if (size > static_cast<size_t>(-1) - sizeof(FixedHeader)) return nullptr;
  auto* header = static_cast<FixedHeader*>(std::calloc(1, sizeof(FixedHeader) + size));
  if (!header) return nullptr;
  header->size = size;
  return header + 1;
}

void MemFree(void* fixed) {
  if (fixed) std::free(static_cast<FixedHeader*>(fixed) - 1);
}

size_t MemSize(const void* fixed) {
  return fixed ? (static_cast<const FixedHeader*>(fixed) - 1)->size : 0;
}

namespace {

MemBlock MovableAround(void* data, size_t size) {
  if (!data) return nullptr;
  auto* block = static_cast<MemBlockHandle*>(std::malloc(sizeof(MemBlockHandle)));
  if (!block) {
    std::free(data);
    return nullptr;
  }
  *block = MemBlockHandle{data, size, 0};
  return block;
}

}  // namespace

MemBlock MemAllocMovable(size_t size) { return MovableAround(std::calloc(1, size ? size : 1), size); }

MemBlock MemAllocMovableUnfilled(size_t size) { return MovableAround(std::malloc(size ? size : 1), size); }

void MemFree(MemBlock block) {
  if (!block) return;
  std::free(block->data);
  std::free(block);
}

size_t MemSize(MemBlock block) { return block ? block->size : 0; }

void* MemLock(MemBlock block) {
  if (!block) return nullptr;
  ++block->locks;
  return block->data;
}

void MemUnlock(MemBlock block) {
  if (block && block->locks > 0) --block->locks;
}

void MemUnlockAll(MemBlock block) {
  if (block) block->locks = 0;
}

}  // namespace lumetra
