// Small text utilities: comparing without regard to case, and numbers to and
// from text.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/support/status.h"

namespace lumetra {

// Compares byte by byte, folding only A to Z to lower case; the difference of
// the first differing folded bytes, 0 when equal.
int CompareNoCase(const char* a, const char* b);

// Enough for any 32-bit value in any radix: 32 binary digits and a NUL.
constexpr size_t kIntegerTextSize = 34;

// Radix 10 writes a negative value as "-" and its magnitude; other radixes take
// the value as unsigned. Digits 0-9 then a-z. 20003 for a radix outside 2..36
// or a buffer too small (the buffer then holds "").
Status FormatInteger(int32_t value, char* buffer, size_t buffer_size, int radix);

// Reads `count` numbers with `format` ("%f" when null), each from where the
// previous one ended. The format holds exactly one floating conversion (f, e,
// g, a in either case, no '*', no length modifier) besides "%%"; anything else
// gives 20003. Each number is read as a float and stored as a double. A
// conversion that does not yield one number (also: running out of text)
// gives 20003. Nothing past the text's NUL is read.
Status ParseNumbers(const char* text, const char* format, size_t count, double* values);

// Writes `count` numbers one after the other with `format` ("%7.2f" when null),
// nothing between them. When the format contains 'f', a magnitude above
// 1000000 is written with "%.2e" instead. The format holds exactly one
// floating conversion (as for ParseNumbers, "l" allowed). 20003 for a bad
// format or when the text does not fit; the buffer then holds what fitted.
Status FormatNumbers(size_t count, const double* values, const char* format, char* buffer,
                     size_t buffer_size);

}  // namespace lumetra
