// Internal to the file access module: what the system records about an open
// stream's file, asked without moving its position or reading from it.
#pragma once

#include <cstdint>

#include "framework/support/file_access.h"

namespace lumetra {

// The length of the stream's file when it is a plain file on a disk; false
// for anything else (pipes, devices) and when the system cannot tell.
bool SystemFileLength(FileHandle handle, uint64_t* length);

}  // namespace lumetra
