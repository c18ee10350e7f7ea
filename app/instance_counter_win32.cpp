#include "app/instance_counter.h"

#include <windows.h>

#include <cstdint>

namespace lumetra {

namespace {

// The shared section's layout: the counter first, then a window-handle slot
// and a text slot that nothing fills. The section is initialised data, read,
// write and shared (the "shared" attribute sets IMAGE_SCN_MEM_SHARED), so one
// copy of it exists for all processes of the image while any of them runs.
struct SharedData {
  volatile LONG instance_counter;
  uint32_t window_slot;
  char text_slot[4096];
};
static_assert(sizeof(SharedData) == 4104, "the shared section holds 4104 bytes");

// Explicitly placed, the object stays in its own section (never .bss) and
// the linker keeps it even where nothing but the interlocked calls use it.
__attribute__((section("Shared"), shared, used, aligned(4))) SharedData shared_data = {0, 0, {0}};

}  // namespace

bool ClaimInstance() {
  return InterlockedCompareExchange(&shared_data.instance_counter, 1, 0) == 0;
}

void ReleaseInstance() { InterlockedExchange(&shared_data.instance_counter, 0); }

}  // namespace lumetra
