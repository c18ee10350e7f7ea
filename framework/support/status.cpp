#include "framework/support/status.h"

#include "framework/support/system_error.h"

namespace lumetra {

Status StatusFromSystemError(uint32_t error) {
  // Only values that survive negation in 16 bits keep their own number.
  if (error > 0 && error < 0x7FFF) return static_cast<Status>(-static_cast<int32_t>(error));
  return kSystemCallFailed;
}

Status StatusFromSystem(bool succeeded) {
  if (succeeded) return kOk;
  return StatusFromSystemError(LastSystemError());
}

}  // namespace lumetra
