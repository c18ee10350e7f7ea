#include "framework/support/text_utils.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace lumetra {

namespace {

constexpr size_t kMaxFormatLength = 200;  // longer formats are refused
constexpr double kExponentFormThreshold = 1000000.0;

unsigned char FoldCase(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

enum class FormatUse { kScan, kPrint };

// True when the format holds exactly one conversion of a floating value and
// nothing else that would read or write through an argument: the caller
// passes exactly one float (scan) or double (print).
bool IsSingleFloatFormat(const char* format, FormatUse use) {
  if (std::strlen(format) > kMaxFormatLength) return false;
  int conversions = 0;
  for (const char* p = format; *p; ++p) {
    if (*p != '%') continue;
    ++p;
    if (*p == '%') continue;
    if (use == FormatUse::kPrint) {
      while (*p && std::strchr("-+ #0", *p)) ++p;
    }
    while (IsDigit(*p)) ++p;  // width; '*' would take an argument
    if (use == FormatUse::kPrint && *p == '.') {
      ++p;
      while (IsDigit(*p)) ++p;
    }
    // A scanned number is a float, so no length modifier; "l" is harmless in print.
    if (use == FormatUse::kPrint && *p == 'l') ++p;
    if (*p == '\0' || !std::strchr("fFeEgGaA", *p)) return false;
    ++conversions;
  }
  return conversions == 1;
}

}  // namespace

int CompareNoCase(const char* a, const char* b) {
  const auto* x = reinterpret_cast<const unsigned char*>(a ? a : "");
  const auto* y = reinterpret_cast<const unsigned char*>(b ? b : "");
  for (;; ++x, ++y) {
    int difference = FoldCase(*x) - FoldCase(*y);
    if (difference != 0 || *x == '\0') return difference;
  }
}

Status FormatInteger(int32_t value, char* buffer, size_t buffer_size, int radix) {
  if (!buffer || buffer_size == 0) return kBadArgument;
  buffer[0] = '\0';
  if (radix < 2 || radix > 36) return kBadArgument;

  bool negative = radix == 10 && value < 0;
  // The magnitude of INT32_MIN does not fit in int32_t, but does in uint32_t.
  uint32_t magnitude = negative ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);

  char digits[kIntegerTextSize];  // reversed
  size_t count = 0;
  do {
    uint32_t digit = magnitude % static_cast<uint32_t>(radix);
    digits[count++] = static_cast<char>(digit < 10 ? '0' + digit : 'a' + digit - 10);
    magnitude /= static_cast<uint32_t>(radix);
  } while (magnitude != 0);

  size_t needed = count + (negative ? 1 : 0) + 1;
  if (needed > buffer_size) return kBadArgument;
  char* out = buffer;
  if (negative) *out++ = '-';
  while (count > 0) *out++ = digits[--count];
  *out = '\0';
  return kOk;
}

Status ParseNumbers(const char* text, const char* format, size_t count, double* values) {
  if (!text || (count > 0 && !values)) return kBadArgument;
  if (!format) format = "%f";
  if (!IsSingleFloatFormat(format, FormatUse::kScan)) return kBadArgument;

  char scan_format[kMaxFormatLength + 3];
  std::snprintf(scan_format, sizeof scan_format, "%s%%n", format);

  size_t length = std::strlen(text);
  size_t offset = 0;
  for (size_t i = 0; i < count; ++i) {
    if (offset > length) return kBadArgument;
    float number = 0;
    int consumed = -1;
    if (std::sscanf(text + offset, scan_format, &number, &consumed) != 1) return kBadArgument;
    // The number matched but literal text after it did not, so %n was never
    // reached: the rest of the text counts as used.
    if (consumed < 0 || static_cast<size_t>(consumed) > length - offset) {
      offset = length;
    } else {
      offset += static_cast<size_t>(consumed);
    }
    values[i] = number;
  }
  return kOk;
}

Status FormatNumbers(size_t count, const double* values, const char* format, char* buffer,
                     size_t buffer_size) {
  if (!buffer || buffer_size == 0) return kBadArgument;
  buffer[0] = '\0';
  if (count > 0 && !values) return kBadArgument;
  if (!format) format = "%7.2f";
  if (!IsSingleFloatFormat(format, FormatUse::kPrint)) return kBadArgument;
  bool fixed_point = std::strchr(format, 'f') != nullptr;

  size_t length = 0;
  for (size_t i = 0; i < count; ++i) {
    const char* this_format =
        (fixed_point && std::fabs(values[i]) > kExponentFormThreshold) ? "%.2e" : format;
    int written = std::snprintf(buffer + length, buffer_size - length, this_format, values[i]);
    if (written < 0) {
      buffer[length] = '\0';
      return kBadArgument;
    }
    if (static_cast<size_t>(written) >= buffer_size - length) {
      // snprintf kept what fitted and its terminator.
      return kBadArgument;
    }
    length += static_cast<size_t>(written);
  }
  return kOk;
}

}  // namespace lumetra
