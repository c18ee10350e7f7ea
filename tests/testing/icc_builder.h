// Generates ICC profile bytes in memory for tests: a header with settable
// fields, a tag directory and tag data, with knobs to break exactly the rule a
// test is about (declared size, file signature, tag count, shared offsets).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "framework/support/byte_order.h"

namespace lumetra::testing {

// Appends big-endian fields, for tag data and hand-made fixtures.
class BigEndianBytes {
 public:
  BigEndianBytes& U8(uint8_t v);
  BigEndianBytes& U16(uint16_t v);
  BigEndianBytes& U32(uint32_t v);
  BigEndianBytes& U64(uint64_t v);
  BigEndianBytes& S15Fixed16(double v);
  BigEndianBytes& Sig(const char (&s)[5]) { return U32(Signature(s)); }
  BigEndianBytes& Bytes(const void* data, size_t size);
  BigEndianBytes& Ascii(const std::string& text, bool terminator);
  BigEndianBytes& Zeros(size_t count);
  BigEndianBytes& PadTo4();  // zeros up to a multiple of 4

  const std::vector<uint8_t>& bytes() const { return bytes_; }
  size_t size() const { return bytes_.size(); }

 private:
  std::vector<uint8_t> bytes_;
};

// A profile under construction. Header fields are host values written
// big-endian; unset overrides take the values that make a valid profile.
struct IccBuilder {
  uint32_t cmm_type = Signature("lcms");
  uint32_t version = 0x02100000;
  uint32_t device_class = Signature("mntr");
  uint32_t color_space = Signature("RGB ");
  uint32_t connection_space = Signature("XYZ ");
  uint16_t created[6] = {2024, 1, 2, 3, 4, 5};
  uint32_t file_signature = Signature("acsp");
  uint32_t platform = Signature("MSFT");
  uint32_t flags = 0;
  uint32_t manufacturer = 0;
  uint32_t model = 0;
  uint64_t attributes = 0;
  uint32_t rendering_intent = 0;
  int32_t illuminant[3] = {0xF6D6, 0x10000, 0xD32D};  // D50 in s15Fixed16
  uint32_t creator = 0;
  std::optional<uint32_t> declared_size;       // default: the built size
  std::optional<uint32_t> declared_tag_count;  // default: the number of entries

  // A tag whose data follow the directory, 4-byte aligned. Returns its entry index.
  size_t AddTag(uint32_t signature, const std::vector<uint8_t>& data);
  // A second entry pointing at the data of entry `index`: same offset, and the
  // same size unless one is given.
  size_t ShareTag(uint32_t signature, size_t index, std::optional<uint32_t> size = std::nullopt);
  // An entry with an arbitrary offset and size, backed by no data of its own.
  size_t AddRawEntry(uint32_t signature, uint32_t offset, uint32_t size);

  std::vector<uint8_t> Build() const;
  // Offset of entry `index`'s data in the built bytes; final only once
  // every entry is added, since the directory grows with each.
  uint32_t OffsetOf(size_t index) const;

 private:
  struct Entry {
    uint32_t signature;
    int data_index;   // into data_, or -1 for a raw entry
    uint32_t offset;                      // raw entries only
    uint32_t size;                        // raw entries only
    std::optional<uint32_t> shared_size;  // a sharing entry's own size
  };
  std::vector<Entry> entries_;
  std::vector<std::vector<uint8_t>> data_;
};

// Tag data of the common types (ICC.1:2010 section 10; textDescriptionType
// from ICC.1:2001-04 section 6.5.17).
std::vector<uint8_t> TextTagData(const std::string& text);
std::vector<uint8_t> DescTagData(const std::string& ascii, const std::u16string& unicode = u"",
                                 uint32_t unicode_language = 0, const std::string& mac_text = "");
struct MlucRecord {
  std::string language;  // two letters, e.g. "en"
  std::string country;   // two letters, e.g. "US"
  std::u16string text;
};
std::vector<uint8_t> MlucTagData(const std::vector<MlucRecord>& records);
std::vector<uint8_t> CurvTagData(const std::vector<uint16_t>& values);
std::vector<uint8_t> XyzTagData(const std::vector<double>& xyz);  // a multiple of 3 numbers
// The video card gamma table tag: type 0 (table) with `entry_size` 1 or 2
// bytes per value, channel after channel...
std::vector<uint8_t> VcgtTableTagData(uint16_t channels, uint16_t entries, uint16_t entry_size,
                                      const std::vector<uint16_t>& values);
// ...or type 1 (formula): gamma, minimum and maximum per channel, red to blue.
std::vector<uint8_t> VcgtFormulaTagData(const double (&gamma)[3], const double (&minimum)[3],
                                        const double (&maximum)[3]);

// Writes bytes to a file named as the program sees it; false on failure.
bool WriteFileBytes(const std::string& system_path, const std::vector<uint8_t>& bytes);

}  // namespace lumetra::testing
