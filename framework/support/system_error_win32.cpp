#include "framework/support/system_error.h"

#include <windows.h>

namespace lumetra {

uint32_t LastSystemError() { return GetLastError(); }
void SetLastSystemError(uint32_t error) { SetLastError(error); }

}  // namespace lumetra
