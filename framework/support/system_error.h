// Platform seam: the error source behind StatusFromSystem. On Windows it is
// GetLastError; the host stand-in keeps its own value, set by the host
// stand-ins of other seams (and by tests).
#pragma once

#include <cstdint>

namespace lumetra {

uint32_t LastSystemError();
void SetLastSystemError(uint32_t error);

}  // namespace lumetra
