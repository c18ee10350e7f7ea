// Platform seam: text of the files we read (UTF-16 in ICC v4 profiles) turned
// into the program's 8-bit text. On Windows that is the ANSI code page; the
// host stand-in keeps ASCII. Characters the target cannot represent become '?'.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumetra {

// Converts `count` UTF-16 code units (host order) into `out`, stopping at a NUL
// unit, and writes at most `capacity` - 1 bytes and a NUL; a character whose
// bytes do not fit whole is left out with everything after it. Returns the
// number of bytes written before the NUL. `capacity` 0 writes nothing.
size_t Utf16ToAnsi(const uint16_t* text, size_t count, char* out, size_t capacity);

}  // namespace lumetra
