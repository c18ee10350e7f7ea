// The one bounds-checked reader over a block of untrusted bytes (profile tags,
// image headers, dialog templates, settings texts). A read that would pass the
// end of the block fails, delivers zeros, and leaves the reader failed for
// good, so a parser may read a whole record and check once.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/support/byte_order.h"

namespace lumetra {

// Overflow-checked arithmetic for sizes taken from files.
inline bool CheckedAdd(size_t a, size_t b, size_t* sum) { return !__builtin_add_overflow(a, b, sum); }
inline bool CheckedMul(size_t a, size_t b, size_t* product) {
  return !__builtin_mul_overflow(a, b, product);
}

// True when [offset, offset + length) lies inside a block of `size` bytes.
inline bool RangeFits(size_t offset, size_t length, size_t size) {
  return offset <= size && length <= size - offset;
}

// The cursor both views share: a position inside a block that only moves
// forward through whole fields. Reaching past the end fails it for good.
template <typename Byte>
class ByteCursor {
 public:
  ByteCursor(Byte* base, size_t size) : base_(base), size_(base ? size : 0) {}

  size_t size() const { return size_; }
  size_t position() const { return position_; }
  size_t remaining() const { return size_ - position_; }
  bool failed() const { return failed_; }
  bool ok() const { return !failed_; }

  // Moves to an absolute offset; an offset past the end fails.
  bool Seek(size_t offset) {
    if (failed_ || offset > size_) return Fail();
    position_ = offset;
    return true;
  }
  bool Skip(size_t count) {
    Take(count);
    return !failed_;
  }

  // The next `count` bytes in place, advancing past them; null on failure.
  Byte* Take(size_t count) {
    if (failed_ || count > size_ - position_) {
      Fail();
      return nullptr;
    }
    Byte* p = base_ + position_;
    position_ += count;
    return p;
  }

  // Bytes at an absolute offset, without moving; null when they do not fit.
  // Does not make the cursor fail.
  Byte* At(size_t offset, size_t count) const {
    return RangeFits(offset, count, size_) ? base_ + offset : nullptr;
  }

 protected:
  bool Fail() {
    failed_ = true;
    return false;
  }

 private:
  Byte* base_;
  size_t size_;
  size_t position_ = 0;
  bool failed_ = false;
};

class ByteReader : public ByteCursor<const uint8_t> {
 public:
  ByteReader(const void* base, size_t size)
      : ByteCursor(static_cast<const uint8_t*>(base), size) {}

  uint8_t U8() {
    const uint8_t* p = Take(1);
    return p ? p[0] : 0;
  }
  uint16_t BE16() {
    const uint8_t* p = Take(2);
    return p ? LoadBE16(p) : 0;
  }
  uint32_t BE32() {
    const uint8_t* p = Take(4);
    return p ? LoadBE32(p) : 0;
  }
  uint16_t LE16() {
    const uint8_t* p = Take(2);
    return p ? LoadLE16(p) : 0;
  }
  uint32_t LE32() {
    const uint8_t* p = Take(4);
    return p ? LoadLE32(p) : 0;
  }
  uint16_t U16(bool big_endian) { return big_endian ? BE16() : LE16(); }
  uint32_t U32(bool big_endian) { return big_endian ? BE32() : LE32(); }
  // Fields already converted to host order (see ByteSwapper).
  uint16_t Host16() { return U16(!HostIsLittleEndian()); }
  uint32_t Host32() { return U32(!HostIsLittleEndian()); }

  // Copies `count` bytes out; on failure the destination is zero-filled.
  bool Bytes(void* destination, size_t count) {
    uint8_t* out = static_cast<uint8_t*>(destination);
    const uint8_t* p = Take(count);
    for (size_t i = 0; i < count; ++i) out[i] = p ? p[i] : 0;
    return p != nullptr;
  }
};

// Converts big-endian fields of a mutable block to host order in place, under
// ByteReader's rule: a field that does not fit whole fails the swapper for good
// and is left untouched, so a record converts as far as it reaches and no
// further. Each conversion returns the field's host value (0 on failure).
class ByteSwapper : public ByteCursor<uint8_t> {
 public:
  ByteSwapper(void* base, size_t size) : ByteCursor(static_cast<uint8_t*>(base), size) {}

  uint16_t Swap16() {
    uint8_t* p = Take(2);
    if (!p) return 0;
    uint16_t v = LoadBE16(p);
    StoreHost(p, &v, 2);
    return v;
  }
  uint32_t Swap32() {
    uint8_t* p = Take(4);
    if (!p) return 0;
    uint32_t v = LoadBE32(p);
    StoreHost(p, &v, 4);
    return v;
  }
  uint64_t Swap64() {
    uint8_t* p = Take(8);
    if (!p) return 0;
    uint64_t v = (uint64_t{LoadBE32(p)} << 32) | LoadBE32(p + 4);
    StoreHost(p, &v, 8);
    return v;
  }
  // Converts `count` consecutive fields, or those that fit before failing.
  bool Swap16s(size_t count) {
    for (; count > 0 && !failed(); --count) Swap16();
    return !failed();
  }
  bool Swap32s(size_t count) {
    for (; count > 0 && !failed(); --count) Swap32();
    return !failed();
  }

 private:
  static void StoreHost(uint8_t* p, const void* value, size_t width) {
    const uint8_t* v = static_cast<const uint8_t*>(value);
    for (size_t i = 0; i < width; ++i) p[i] = v[i];
  }
};

}  // namespace lumetra
