#include "imaging/tiff_decode.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>

#include "framework/support/byte_order.h"
#include "framework/support/byte_reader.h"

namespace lumetra {
namespace {

uint64_t LoadBE64(const uint8_t* p) {
  return (uint64_t{LoadBE32(p)} << 32) | LoadBE32(p + 4);
}

constexpr size_t kInputPiece = 4096;  // strip data are read from the file in pieces of this size

// Every byte the strips do not deliver. Black-is-zero gray turns it into no
// ink and RGB into white, so a damaged or cut file shows white, not ink.
constexpr uint8_t kMissingByte = 255;

// The compressed data of one strip, read piece by piece, never past the
// strip's byte count.
class StripInput {
 public:
  explicit StripInput(SpecialFile* file) : file_(file) {}

  void Start(uint32_t byte_count) {
    left_ = byte_count;
    position_ = fill_ = 0;
  }
  // Refills an empty piece; false at the strip's end or on a read failure
  // (kept in status()). A strip that runs past the end of the file ends
  // there, wherever the file's end falls among the pieces.
  bool Refill() {
    if (left_ == 0 || status_) return false;
    size_t want = std::min<size_t>(left_, kInputPiece);
    size_t count = 0;
    Status status = file_->Read(want, &count, buffer_);
    if (status && status != kEndOfData) {
      status_ = status;
      return false;
    }
    left_ = count == want ? left_ - static_cast<uint32_t>(want) : 0;
    if (count == 0) return false;
    position_ = 0;
    fill_ = count;
    return true;
  }
  bool NextByte(uint8_t* byte) {
    if (position_ == fill_ && !Refill()) return false;
    *byte = buffer_[position_++];
    return true;
  }
  Status status() const { return status_; }

  uint8_t buffer_[kInputPiece];
  size_t position_ = 0;
  size_t fill_ = 0;

 private:
  SpecialFile* file_;
  uint32_t left_ = 0;
  Status status_ = kOk;
};

class RawDecoder : public TiffDecoder {
 public:
  explicit RawDecoder(SpecialFile* file) : file_(file) {}

  void StartStrip(uint32_t byte_count) override { left_ = byte_count; }
  Status Decode(uint8_t* out, size_t capacity, size_t* produced, bool* strip_done) override {
    size_t want = std::min<size_t>(capacity, left_);
    size_t count = 0;
    *produced = 0;
    if (want) {
      Status status = file_->Read(want, &count, out);
      if (status && status != kEndOfData) return status;
    }
    // A short read is the file's end: the strip ends there, as StripInput's.
    left_ = count == want ? left_ - static_cast<uint32_t>(want) : 0;
    *produced = count;
    *strip_done = left_ == 0;
    return kOk;
  }

 private:
  SpecialFile* file_;
  uint32_t left_ = 0;
};

// TIFF 6.0 section 13 LZW: codes most significant bit first, 9 to 12 bits
// wide, 256 clears the table, 257 ends the strip, and the width grows one
// code early (when the next free code reaches 511, 1023 or 2047).
class LzwDecoder : public TiffDecoder {
 public:
  explicit LzwDecoder(SpecialFile* file) : input_(file) {
    for (uint32_t c = 0; c < 256; ++c) {
      table_[c] = Entry{{static_cast<uint8_t>(c)}, kNoCode, 1, static_cast<uint8_t>(c)};
    }
    // The clear and end codes have no string: their length 0 sends them
    // off the common path.
    table_[kClear] = Entry{{0}, kNoCode, 0, 0};
    table_[kEnd] = Entry{{0}, kNoCode, 0, 0};
  }

  void StartStrip(uint32_t byte_count) override {
    input_.Start(byte_count);
    ClearTable();
    bits_ = 0;
    accumulator_ = 0;
    pending_ = 0;
    finished_ = false;
    at_start_ = true;
  }

  Status Decode(uint8_t* out, size_t capacity, size_t* produced, bool* strip_done) override {
    size_t o = 0;
    while (pending_ > 0 && o < capacity) out[o++] = stack_[--pending_];
    if (at_start_ && !finished_) {
      at_start_ = false;
      if (!input_.Refill()) {
        finished_ = true;
      } else if (input_.buffer_[0] == 0 && input_.fill_ > 1 && (input_.buffer_[1] & 1)) {
        // The bit order of LZW data written before TIFF 6.0, which has no
        // clear code up front; not decoded here.
        return kTiffUnsupportedCompression;
      }
    }
    if (!finished_) {
      // First while a head's 8 bytes fit, then the output's last bytes.
      uint8_t* const end = out + capacity;
      uint8_t* const heads_end = capacity - o >= kHeadSize ? end - (kHeadSize - 1) : out + o;
      o += DecodeCodes<false>(out + o, heads_end, heads_end, end);
      if (!finished_) o += DecodeCodes<true>(out + o, end, heads_end, end);
    }
    *produced = o;
    *strip_done = finished_ && pending_ == 0;
    return input_.status();
  }

 private:
  static constexpr uint32_t kClear = 256;
  static constexpr uint32_t kEnd = 257;
  static constexpr uint32_t kFirstFree = 258;
  static constexpr uint32_t kTableSize = 4096;
  static constexpr uint16_t kNoCode = 0xFFFF;

  // A table entry: its string is the string of `prefix` followed by
  // `suffix`, `length` bytes long; `head` holds its first 8 bytes (or all of
  // a shorter one, then zeros), so that most strings are written with one
  // 8-byte copy and longer ones walk only the bytes after their head. 16
  // bytes, so that no head straddles two cache lines.
  static constexpr size_t kHeadSize = 8;
  // The bits a batch decodes from one 8-byte word read at any bit position.
  static constexpr uint32_t kWordBits = 56;
  static constexpr uint32_t kMostInBatch = kWordBits / 9;  // codes in a batch, at 9 bits
  struct alignas(16) Entry {
    uint8_t head[kHeadSize];
    uint16_t prefix;
    uint16_t length;
    uint8_t suffix;
  };

  // A head as a number whose lowest byte is the string's first.
  static uint64_t LoadHead(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return HostIsLittleEndian() ? v : Swap64(v);
  }
  static void StoreHead(uint8_t* p, uint64_t v) {
    if (!HostIsLittleEndian()) v = Swap64(v);
    std::memcpy(p, &v, sizeof v);
  }
  // The head of a string of `length` bytes (1 or more) with `byte` appended.
  // A head's bytes past its string are 0, so the byte is simply added in.
  static uint64_t Append(uint64_t head, uint32_t length, uint8_t byte) {
    return length >= kHeadSize ? head : head | (uint64_t{byte} << (8 * length));
  }

  void ClearTable() {
    next_ = kFirstFree;
    width_ = 9;
    old_ = kNoCode;
  }

  // Decodes codes from `out` on while the output is below `limit` and the
  // strip goes on (its end sets finished_); returns the bytes written, none
  // past `end`. Below `heads_end` a head's 8 bytes fit the output; with
  // kNearEnd false the limit is heads_end, so the common path need not ask.
  // The state lives in locals while decoding. A code on the common path, a
  // single byte or a short string, passes two tests: it is in the table,
  // and its length is 1 to 8. Everything else (a clear, the end, the code
  // being defined, a long string, the output's last bytes) takes the rare
  // path below it.
  template <bool kNearEnd>
  size_t DecodeCodes(uint8_t* const out, uint8_t* const limit, uint8_t* const heads_end,
                     uint8_t* const end) {
    uint8_t* op = out;
    uint64_t accumulator = accumulator_;
    uint32_t bits = bits_, width = width_, old = old_;
    // The next free code; 0 after a clear, until the first code after it
    // (which must be a single byte) has come: every code then takes the
    // rare path, and no entry is made from a previous code.
    uint32_t next = old == kNoCode ? 0 : next_;
    // Of the codes' width; also where the codes widen, or at 12 bits fill
    // the table: when the next free code reaches it.
    uint32_t mask = (1u << width) - 1;
    const uint8_t* in = input_.buffer_ + input_.position_;
    const uint8_t* in_end = input_.buffer_ + input_.fill_;
    // The previous code's string, so that the next entry is made from
    // registers rather than read back from the table.
    uint64_t old_head = old == kNoCode ? 0 : LoadHead(table_[old].head);
    uint32_t old_length = old == kNoCode ? 0 : table_[old].length;
    bool finished = false;
    // The batches' end: below it a batch's heads fit.
    uint8_t* const batch_end =
        static_cast<size_t>(end - out) > kMostInBatch * kHeadSize ? end - kMostInBatch * kHeadSize : out;
    while (op < limit) {
      // Batches of the codes 56 bits hold (4 to 6) on the common path, while
      // the table is not within a batch of a width change, the output has
      // room for a batch's heads and the piece holds a word: one refill and
      // one test of each of these per batch, and shifts by constants. A code
      // off the common path is left unread for the code by code path below.
      if (!kNearEnd) {
        auto batches = [&](auto width_constant) {
          constexpr uint32_t kWidth = decltype(width_constant)::value;
          constexpr uint32_t kMask = (1u << kWidth) - 1;
          constexpr uint32_t kBatch = kWordBits / kWidth;
          constexpr uint32_t kBatchBits = kBatch * kWidth;
          const uint8_t* const base = input_.buffer_;
          Entry* const table = table_;
          const size_t fill = static_cast<size_t>(in_end - base);
          // Batches go by the position of the next unread bit in the piece;
          // bits the accumulator holds from the piece before leave them out.
          if (static_cast<size_t>(in - base) * 8 < bits || fill < 8) return;
          size_t position = static_cast<size_t>(in - base) * 8 - bits;
          bool stopped = false;
          while (!stopped) {
            // The batches that the table, the output and the piece allow.
            size_t count = next + kBatch < kMask ? (kMask - 1 - next) / kBatch : 0;
            count = std::min<size_t>(
                count, op < batch_end ? static_cast<size_t>(batch_end - op - 1) / (kBatch * kHeadSize) + 1 : 0);
            const size_t last = (fill - 8) * 8 + 7;  // the last position a whole word follows
            count = std::min<size_t>(count, position <= last ? (last - position) / kBatchBits + 1 : 0);
            if (count == 0) break;
            uint64_t place = Place(old_length);
            // The next entry's prefix and length, as SetEntryFast's one store lays them out.
            uint64_t rest = old | uint64_t{old_length + 1} << 16;
            do {
              // The unread bits at the top of a word, where each code's place is known.
              const uint64_t word = LoadBE64(base + (position >> 3)) << (position & 7);
              // The batch's entries at fixed offsets from its first.
              Entry* const entries = table + next;
              uint32_t i = 0;
#pragma GCC unroll 6
              for (; i < kBatch; ++i) {
                const uint32_t code = static_cast<uint32_t>(word >> (64 - kWidth * (i + 1))) & kMask;
                if (__builtin_expect(code >= next + i, 0)) break;
                const uint64_t head = LoadHead(table[code].head);
                const uint32_t length = table[code].length;
                if (__builtin_expect(length - 1 >= kHeadSize, 0)) break;
                SetEntryFast(&entries[i], old_head | place * static_cast<uint8_t>(head),
                             rest | uint64_t{static_cast<uint8_t>(head)} << 32);
                StoreHead(op, head);
                op += length;
                old_head = head;
                place = kPlaces[length];
                rest = code | uint64_t{length + 1} << 16;
              }
              position += kWidth * i;
              next += i;
              if (i < kBatch) {
                stopped = true;
                break;
              }
            } while (--count);
            old = static_cast<uint32_t>(rest & 0xFFFF);
            old_length = static_cast<uint32_t>(rest >> 16) - 1;
          }
          // Back to the accumulator: the bytes from the position's on, the
          // partly used one in its low bits.
          in = base + ((position + 7) >> 3);
          bits = static_cast<uint32_t>(static_cast<size_t>(in - base) * 8 - position);
          accumulator = bits ? in[-1] : 0;
        };
        switch (width) {
          case 9: batches(std::integral_constant<uint32_t, 9>()); break;
          case 10: batches(std::integral_constant<uint32_t, 10>()); break;
          case 11: batches(std::integral_constant<uint32_t, 11>()); break;
          default: batches(std::integral_constant<uint32_t, 12>()); break;
        }
      }
      if (op >= limit) break;
      if (bits < width) {
        if (__builtin_expect(in_end - in >= 8, 1)) {
          // Whole bytes up to 56 bits at once, read as one big-endian word.
          uint32_t take = (63 - bits) >> 3;
          accumulator = (accumulator << (8 * take)) | (LoadBE64(in) >> (64 - 8 * take));
          in += take;
          bits += 8 * take;
        } else {
          accumulator_ = accumulator;
          bits_ = bits;
          input_.position_ = static_cast<size_t>(in - input_.buffer_);
          bool topped = TopUpBits(width);
          accumulator = accumulator_;
          bits = bits_;
          in = input_.buffer_ + input_.position_;
          in_end = input_.buffer_ + input_.fill_;
          if (!topped) {  // the data end without an end code
            finished = true;
            break;
          }
        }
      }
      bits -= width;
      const uint32_t code = static_cast<uint32_t>(accumulator >> bits) & mask;
      uint64_t head;    // the string's first 8 bytes, or all of a shorter one
      uint32_t length;  // of the string
      // Told to the compiler, so that the common path keeps the state in
      // registers and the rare ones pay for what they save.
      if (__builtin_expect(code < next, 1)) {
        head = LoadHead(table_[code].head);
        length = table_[code].length;
        if (__builtin_expect(length - 1 < kHeadSize && (!kNearEnd || op < heads_end), 1)) {
          AddEntry(next, old, old_head, old_length, static_cast<uint8_t>(head));
          if (__builtin_expect(++next >= mask, 0)) Grow(&next, &width, &mask);
          StoreHead(op, head);  // what it writes past the string is overwritten later
          op += length;
          old = code;
          old_head = head;
          old_length = length;
          continue;
        }
        if (code == kClear) {
          next = 0;
          width = 9;
          mask = (1u << width) - 1;
          continue;
        }
        if (code == kEnd) {
          finished = true;
          break;
        }
      } else if (next == 0 && code < kClear) {  // the first code after a clear
        *op++ = static_cast<uint8_t>(code);
        next = kFirstFree;
        old = code;
        old_head = code;
        old_length = 1;
        continue;
      } else if (next == 0 && code == kClear) {
        continue;
      } else if (code == next && next != 0) {
        // The code being defined: the previous string and its own first byte.
        head = Append(old_head, old_length, static_cast<uint8_t>(old_head));
        length = old_length + 1;
      } else {  // the end code, and codes not in the table yet, end the strip
        finished = true;
        break;
      }
      // A long string, the code being defined, or near the output's end.
      AddEntry(next, old, old_head, old_length, static_cast<uint8_t>(head));
      if (++next >= mask) Grow(&next, &width, &mask);
      if (length <= kHeadSize && op < heads_end) {
        StoreHead(op, head);
        op += length;
      } else {  // a code being defined is in the table by now
        op += Emit(code, op, static_cast<size_t>(end - op));
      }
      old = code;
      old_head = head;
      old_length = length;
    }
    if (finished) finished_ = true;
    accumulator_ = accumulator;
    bits_ = bits;
    width_ = width;
    next_ = next == 0 ? kFirstFree : next;
    old_ = next == 0 ? kNoCode : old;
    input_.position_ = static_cast<size_t>(in - input_.buffer_);
    return static_cast<size_t>(op - out);
  }

  // Entry `index`: the string of `old` (whose head and length are given)
  // followed by `first`.
  void AddEntry(uint32_t index, uint32_t old, uint64_t old_head, uint32_t old_length, uint8_t first) {
    SetEntry(&table_[index], Append(old_head, old_length, first), old, old_length + 1, first);
  }
  static void SetEntry(Entry* entry, uint64_t head, uint32_t prefix, uint32_t length, uint8_t suffix) {
    SetEntryFast(entry, head, prefix | uint64_t{length} << 16 | uint64_t{suffix} << 32);
  }
  // `rest` holds the prefix in its bits 0 to 15, the length in 16 to 31 and
  // the suffix in 32 to 39; on a little-endian host they go in one store.
  static void SetEntryFast(Entry* entry, uint64_t head, uint64_t rest) {
    StoreHead(entry->head, head);
    if (HostIsLittleEndian()) {
      static_assert(offsetof(Entry, prefix) == kHeadSize && offsetof(Entry, length) == kHeadSize + 2 &&
                        offsetof(Entry, suffix) == kHeadSize + 4 && sizeof(Entry) == kHeadSize + 8,
                    "Entry's layout");
      std::memcpy(reinterpret_cast<uint8_t*>(entry) + kHeadSize, &rest, sizeof rest);
    } else {
      entry->prefix = static_cast<uint16_t>(rest);
      entry->length = static_cast<uint16_t>(rest >> 16);
      entry->suffix = static_cast<uint8_t>(rest >> 32);
    }
  }
  // What a byte is multiplied by to be appended to a head of a string of
  // `length` bytes: 0 once the head is full.
  static uint64_t Place(uint32_t length) { return length < kHeadSize ? kPlaces[length] : 0; }
  // By length, 0 to 8, without a branch.
  static constexpr uint64_t kPlaces[kHeadSize + 1] = {
      1, 1ull << 8, 1ull << 16, 1ull << 24, 1ull << 32, 1ull << 40, 1ull << 48, 1ull << 56, 0};

  // The next free code reached the mask: below 12 bits the codes widen
  // (TIFF 6.0 section 13: one code early); at 12 bits, once the table is
  // full it stays so, and entries go to the spare one past its end, where
  // no code reaches them.
  static void Grow(uint32_t* next, uint32_t* width, uint32_t* mask) {
    if (*width < 12) {
      ++*width;
      *mask = (1u << *width) - 1;
    } else if (*next > kTableSize) {
      *next = kTableSize;
    }
  }

  // Adds the strip's bytes one at a time, across its pieces, until the
  // accumulator holds `width` bits; false when the strip's data end first.
  [[gnu::noinline]] bool TopUpBits(uint32_t width) {
    while (bits_ < width) {
      uint8_t byte;
      if (!input_.NextByte(&byte)) return false;
      accumulator_ = (accumulator_ << 8) | byte;
      bits_ += 8;
    }
    return true;
  }

  // Writes the string of `code` into `out` as far as `room` allows; the
  // rest waits on the stack for the next call. Returns the bytes written.
  size_t Emit(uint32_t code, uint8_t* out, size_t room) {
    const Entry& entry = table_[code];
    const size_t length = entry.length;
    if (length > room || room < kHeadSize) return EmitInPart(code, out, room);
    // The bytes after the head, back to front, then the head in one copy.
    uint8_t* p = out + length;
    for (uint32_t c = code; p > out + kHeadSize; c = table_[c].prefix) *--p = table_[c].suffix;
    std::memcpy(out, entry.head, kHeadSize);
    return length;
  }

  // Emit near the end of the output: the string is stacked last byte first,
  // so that popping gives the bytes in order, and popped as far as `room`
  // allows.
  [[gnu::noinline]] size_t EmitInPart(uint32_t code, uint8_t* out, size_t room) {
    size_t n = 0;
    for (uint32_t c = code; c != kNoCode && n < sizeof stack_; c = table_[c].prefix) stack_[n++] = table_[c].suffix;
    pending_ = n;
    size_t written = 0;
    while (pending_ > 0 && written < room) out[written++] = stack_[--pending_];
    return written;
  }

  Entry table_[kTableSize + 1];  // and the spare entry of a full table; first, for short addresses
  StripInput input_;
  uint64_t accumulator_ = 0;  // bits not yet used, in its low `bits_` bits
  uint32_t bits_ = 0;
  uint32_t width_ = 9;        // bits of the next code
  uint32_t next_ = kFirstFree;
  uint32_t old_ = kNoCode;    // the previous code; none after a clear
  bool finished_ = true;
  bool at_start_ = false;
  size_t pending_ = 0;        // bytes of a string still on the stack
  uint8_t stack_[kTableSize + 1];
};

// TIFF 6.0 section 9 PackBits: a header byte n, 0 to 127 copies the next
// n + 1 bytes, 129 to 255 repeats the next byte 257 - n times, 128 is a no-op.
class PackBitsDecoder : public TiffDecoder {
 public:
  explicit PackBitsDecoder(SpecialFile* file) : input_(file) {}

  void StartStrip(uint32_t byte_count) override {
    input_.Start(byte_count);
    literal_left_ = run_left_ = 0;
    finished_ = false;
  }

  Status Decode(uint8_t* out, size_t capacity, size_t* produced, bool* strip_done) override {
    size_t o = 0;
    while (o < capacity && !finished_) {
      if (run_left_) {
        size_t n = std::min<size_t>(run_left_, capacity - o);
        std::memset(out + o, run_value_, n);
        o += n;
        run_left_ -= static_cast<uint32_t>(n);
      } else if (literal_left_) {
        if (input_.position_ == input_.fill_ && !input_.Refill()) {
          finished_ = true;
          break;
        }
        size_t n = std::min({size_t{literal_left_}, capacity - o, input_.fill_ - input_.position_});
        std::memcpy(out + o, input_.buffer_ + input_.position_, n);
        input_.position_ += n;
        o += n;
        literal_left_ -= static_cast<uint32_t>(n);
      } else {
        uint8_t header;
        if (!input_.NextByte(&header)) {
          finished_ = true;
        } else if (header < 128) {
          literal_left_ = header + 1u;
        } else if (header > 128) {
          if (!input_.NextByte(&run_value_)) finished_ = true;
          else run_left_ = 257u - header;
        }
      }
    }
    *produced = o;
    *strip_done = finished_;
    return input_.status();
  }

 private:
  StripInput input_;
  uint32_t literal_left_ = 0;
  uint32_t run_left_ = 0;
  uint8_t run_value_ = 0;
  bool finished_ = true;
};

}  // namespace

Status CreateTiffDecoder(uint32_t compression, SpecialFile* file,
                         std::unique_ptr<TiffDecoder>* decoder) {
  if (!decoder || !file) return kBadArgument;
  decoder->reset();
  switch (compression) {
    case kTiffNoCompression: decoder->reset(new (std::nothrow) RawDecoder(file)); break;
    case kTiffLzw:
    case kTiffLzwDifferencing: decoder->reset(new (std::nothrow) LzwDecoder(file)); break;
    case kTiffPackBits: decoder->reset(new (std::nothrow) PackBitsDecoder(file)); break;
    default: return kTiffUnsupportedCompression;
  }
  return *decoder ? kOk : kOutOfMemory;
}

Status TiffPixelStream::Start(TiffImage* image) {
  Finish();
  if (!image || !image->tiff) return kBadArgument;
  if (image->rows_per_strip == 0 || image->width == 0) return kUnsupportedImageData;
  image_ = image;
  status_ = kOk;
  bytes_per_pixel_ = TiffBytesPerPixel(*image);
  uint32_t offset_count = 0, byte_count_count = 0;
  Status status = GetTiffArray(image->tiff, image->directory, kTiffTagStripOffsets, &offsets_,
                               &offset_size_, &offset_count);
  if (!status) {
    status = GetTiffArray(image->tiff, image->directory, kTiffTagStripByteCounts, &byte_counts_,
                          &byte_count_size_, &byte_count_count);
  }
  if (status == kTiffTagMissing) status = kTiffBadHeader;
  if (!status && ((offset_size_ != 2 && offset_size_ != 4) ||
                  (byte_count_size_ != 2 && byte_count_size_ != 4))) {
    status = kTiffBadHeader;
  }
  if (!status) status = CreateTiffDecoder(image->compression, image->tiff->file, &decoder_);
  if (!status) {
    previous_pixel_.reset(static_cast<uint8_t*>(MemAlloc(bytes_per_pixel_)));
    if (!previous_pixel_) status = kOutOfMemory;
  }
  if (status) {
    Finish();
    return status;
  }
  strips_in_arrays_ = std::min(offset_count, byte_count_count);
  uint32_t rows = image->rows_per_strip;
  strips_in_image_ = image->height / rows + (image->height % rows ? 1 : 0);
  next_strip_ = 0;
  strip_pixels_left_ = 0;
  strip_done_ = true;
  return kOk;
}

void TiffPixelStream::Finish() {
  decoder_.reset();
  offsets_.reset();
  byte_counts_.reset();
  previous_pixel_.reset();
  strips_in_arrays_ = strips_in_image_ = next_strip_ = 0;
  strip_pixels_left_ = 0;
  strip_done_ = true;
}

uint32_t TiffPixelStream::StripValue(const MemPtr<uint8_t>& array, size_t element_size,
                                     uint32_t index) const {
  ByteReader reader(array.get(), element_size * strips_in_arrays_);
  reader.Seek(element_size * index);
  return element_size == 2 ? reader.Host16() : reader.Host32();
}

Status TiffPixelStream::NextStrip() {
  uint32_t strip = next_strip_++;
  uint64_t first_row = uint64_t{strip} * image_->rows_per_strip;
  uint64_t rows = std::min<uint64_t>(image_->rows_per_strip, image_->height - first_row);
  strip_pixels_left_ = rows * image_->width;
  column_ = 0;
  strip_done_ = true;
  if (strip >= strips_in_arrays_) return kOk;  // no data: filled
  uint32_t offset = StripValue(offsets_, offset_size_, strip);
  uint32_t byte_count = StripValue(byte_counts_, byte_count_size_, strip);
  // A strip that starts outside the file is a damaged directory; one that
  // starts inside ends where the file ends.
  if (byte_count > 0 && offset >= image_->tiff->file->GetSize()) return kShortRead;
  Status status = image_->tiff->file->Seek(offset, kSeekFromStart);
  if (status) return status;
  decoder_->StartStrip(byte_count);
  strip_done_ = false;
  return kOk;
}

Status TiffPixelStream::ReadPixels(uint8_t* out, uint64_t count) {
  if (!out && count) return kBadArgument;
  if (status_) return status_;
  if (!decoder_) return kBadArgument;
  while (count > 0) {
    if (strip_pixels_left_ == 0) {
      if (next_strip_ >= strips_in_image_) {  // past the image
        std::memset(out, kMissingByte, static_cast<size_t>(count) * bytes_per_pixel_);
        return kOk;
      }
      status_ = NextStrip();
      if (status_) return status_;
      continue;
    }
    // Whole pixels that fit in memory at once.
    size_t pixels = static_cast<size_t>(
        std::min<uint64_t>({count, strip_pixels_left_, SIZE_MAX / bytes_per_pixel_}));
    size_t capacity = pixels * bytes_per_pixel_;
    size_t produced = 0;
    if (strip_done_) {
      pixels = 0;
    } else {
      status_ = decoder_->Decode(out, capacity, &produced, &strip_done_);
      if (status_) return status_;
      pixels = produced / bytes_per_pixel_;
      if (pixels == 0 && !strip_done_) {  // cannot happen with a decoder that fills its output
        status_ = kDecoderFailed;
        return status_;
      }
    }
    if (strip_done_ && pixels * bytes_per_pixel_ < capacity) {
      // The strip ended early: the rest of its rows are filled.
      size_t filled = static_cast<size_t>(std::min<uint64_t>(count, strip_pixels_left_));
      std::memset(out + pixels * bytes_per_pixel_, kMissingByte, (filled - pixels) * bytes_per_pixel_);
      FinishPixels(out, pixels);
      pixels = filled;
    } else {
      FinishPixels(out, pixels);
    }
    out += pixels * bytes_per_pixel_;
    count -= pixels;
    strip_pixels_left_ -= pixels;
  }
  return kOk;
}

// Turns decoded samples into host order and undoes the predictor.
void TiffPixelStream::FinishPixels(uint8_t* pixels, size_t count) {
  if (image_->bits_per_sample == 16 && image_->swap_samples) {
    for (size_t i = 0; i + 1 < count * bytes_per_pixel_; i += 2) std::swap(pixels[i], pixels[i + 1]);
  }
  if (image_->compression != kTiffLzwDifferencing || count == 0) return;
  // TIFF 6.0 section 14: each sample after a row's first pixel is stored as
  // the difference to the same sample of the pixel before it.
  const size_t bpp = bytes_per_pixel_;
  const bool wide = image_->bits_per_sample == 16;
  // Adds `from`'s samples to `to`'s, sample by sample.
  auto add = [bpp, wide](uint8_t* to, const uint8_t* from) {
    if (!wide) {
      for (size_t k = 0; k < bpp; ++k) to[k] = static_cast<uint8_t>(to[k] + from[k]);
      return;
    }
    for (size_t k = 0; k + 1 < bpp; k += 2) {
      uint16_t a, b;
      std::memcpy(&a, to + k, 2);
      std::memcpy(&b, from + k, 2);
      a = static_cast<uint16_t>(a + b);
      std::memcpy(to + k, &a, 2);
    }
  };
  const uint8_t* before = previous_pixel_.get();  // the pixel before `p`
  uint8_t* p = pixels;
  for (size_t left = count; left > 0;) {
    // The pixels up to the end of this row, or of the chunk.
    size_t run = std::min<size_t>(left, image_->width - column_);
    uint8_t* q = p;
    if (column_ != 0) add(q, before);
    q += bpp;
    uint8_t* end = p + run * bpp;
    if (!wide && bpp == 3) {
      // RGB, the usual case: the running sums stay in registers.
      uint8_t r = q[-3], g = q[-2], b = q[-1];
      for (; q < end; q += 3) {
        q[0] = r = static_cast<uint8_t>(r + q[0]);
        q[1] = g = static_cast<uint8_t>(g + q[1]);
        q[2] = b = static_cast<uint8_t>(b + q[2]);
      }
    } else if (!wide) {
      // Within the run every pixel's predecessor is the one just before it.
      for (; q < end; ++q) *q = static_cast<uint8_t>(*q + q[-static_cast<ptrdiff_t>(bpp)]);
    } else {
      for (size_t i = 1; i < run; ++i, q += bpp) add(q, q - bpp);
    }
    before = p + (run - 1) * bpp;
    p += run * bpp;
    left -= run;
    column_ = static_cast<uint32_t>((column_ + run) % image_->width);
  }
  std::memmove(previous_pixel_.get(), before, bpp);
}

}  // namespace lumetra
