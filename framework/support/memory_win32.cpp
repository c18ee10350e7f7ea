#include "framework/support/memory.h"

#include <windows.h>

namespace lumetra {

void* MemAlloc(size_t size) { return GlobalAlloc(GPTR, size); }

void MemFree(void* fixed) {
  if (fixed) GlobalFree(fixed);
}

size_t MemSize(const void* fixed) { return fixed ? GlobalSize(const_cast<void*>(fixed)) : 0; }

MemBlock MemAllocMovable(size_t size) {
  return reinterpret_cast<MemBlock>(GlobalAlloc(GHND, size));
}

MemBlock MemAllocMovableUnfilled(size_t size) {
  return reinterpret_cast<MemBlock>(GlobalAlloc(GMEM_MOVEABLE, size));
}

void MemFree(MemBlock block) {
  if (block) GlobalFree(reinterpret_cast<HGLOBAL>(block));
}

size_t MemSize(MemBlock block) { return block ? GlobalSize(reinterpret_cast<HGLOBAL>(block)) : 0; }

void* MemLock(MemBlock block) { return block ? GlobalLock(reinterpret_cast<HGLOBAL>(block)) : nullptr; }

void MemUnlock(MemBlock block) {
  if (block) GlobalUnlock(reinterpret_cast<HGLOBAL>(block));
}

void MemUnlockAll(MemBlock block) {
  if (!block) return;
  HGLOBAL handle = reinterpret_cast<HGLOBAL>(block);
  UINT locks = GlobalFlags(handle) & GMEM_LOCKCOUNT;
  while (locks-- > 0) GlobalUnlock(handle);
}

}  // namespace lumetra
