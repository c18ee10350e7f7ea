// Platform seam of the object layer (internal): the tick count for event time
// stamps and the end of a files-dropped event's drop.
#pragma once

#include <cstdint>

namespace lumetra {

uint32_t TickCount();
void FinishDrop(uintptr_t drop);  // DragFinish on Windows

}  // namespace lumetra
