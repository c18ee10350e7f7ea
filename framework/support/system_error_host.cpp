#include "framework/support/system_error.h"

namespace lumetra {

namespace {
thread_local uint32_t last_error = 0;
}

uint32_t LastSystemError() { return last_error; }
void SetLastSystemError(uint32_t error) { last_error = error; }

}  // namespace lumetra
