// Host stand-ins: a millisecond tick count, and no drag and drop.
#include <chrono>

#include "framework/objects/objects_platform.h"

namespace lumetra {

uint32_t TickCount() {
  auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

void FinishDrop(uintptr_t) {}

}  // namespace lumetra
