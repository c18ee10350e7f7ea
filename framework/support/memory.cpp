#include "framework/support/memory.h"

#include <cstring>

namespace lumetra {

void CopyBytes(const void* source, void* destination, size_t length) {
  if (length == 0) return;
  std::memmove(destination, source, length);
}

}  // namespace lumetra
