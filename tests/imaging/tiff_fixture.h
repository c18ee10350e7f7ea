// Small TIFF files built in code for the TIFF reader's tests: a directory of
// chosen tags over given strip data, and an LZW encoder whose code width can
// be made to grow late, to show that the decoder follows TIFF 6.0's rule.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tests/testing/paths.h"

namespace lumetra::testing {

class TiffFixture {
 public:
  // A one-strip 8-bit image of the given photometric interpretation.
  TiffFixture(bool big_endian, uint32_t width, uint32_t height, uint16_t samples,
              uint16_t photometric)
      : big_endian_(big_endian) {
    Long(256, {width});
    Long(257, {height});
    Short(258, std::vector<uint16_t>(samples, 8));
    Short(259, {1});
    Short(262, {photometric});
    Short(277, {samples});
  }

  TiffFixture& Short(uint16_t tag, const std::vector<uint16_t>& values) {
    std::vector<uint8_t> bytes;
    for (uint16_t v : values) Put(&bytes, v, 2);
    return Field(tag, 3, static_cast<uint32_t>(values.size()), bytes);
  }
  TiffFixture& Long(uint16_t tag, const std::vector<uint32_t>& values) {
    std::vector<uint8_t> bytes;
    for (uint32_t v : values) Put(&bytes, v, 4);
    return Field(tag, 4, static_cast<uint32_t>(values.size()), bytes);
  }
  TiffFixture& Rational(uint16_t tag, uint32_t numerator, uint32_t denominator) {
    std::vector<uint8_t> bytes;
    Put(&bytes, numerator, 4);
    Put(&bytes, denominator, 4);
    return Field(tag, 5, 1, bytes);
  }
  // Values of one byte each (BYTE, ASCII, UNDEFINED), as stored.
  TiffFixture& Bytes(uint16_t tag, uint16_t type, const std::vector<uint8_t>& bytes) {
    return Field(tag, type, static_cast<uint32_t>(bytes.size()), bytes);
  }
  // An entry as it stands, with a count that need not match the bytes.
  TiffFixture& Field(uint16_t tag, uint16_t type, uint32_t count, const std::vector<uint8_t>& bytes) {
    fields_[tag] = {type, count, bytes};
    return *this;
  }
  TiffFixture& Remove(uint16_t tag) {
    fields_.erase(tag);
    return *this;
  }
  // Strip data, as stored; StripOffsets and StripByteCounts follow them
  // unless set explicitly.
  TiffFixture& Strips(const std::vector<std::vector<uint8_t>>& strips) {
    strips_ = strips;
    return *this;
  }
  TiffFixture& NoStripTags() {
    strip_tags_ = false;
    return *this;
  }

  std::vector<uint8_t> Build() const {
    std::vector<uint8_t> file = {uint8_t(big_endian_ ? 'M' : 'I'), uint8_t(big_endian_ ? 'M' : 'I')};
    Put(&file, 42, 2);
    Put(&file, 0, 4);  // the directory's offset, patched below
    std::map<uint16_t, Entry> fields = fields_;
    std::vector<uint32_t> offsets, counts;
    for (const auto& strip : strips_) {
      offsets.push_back(static_cast<uint32_t>(file.size()));
      counts.push_back(static_cast<uint32_t>(strip.size()));
      file.insert(file.end(), strip.begin(), strip.end());
    }
    if (strip_tags_) {
      TiffFixture strip_fields = *this;
      if (!fields.count(273)) fields[273] = strip_fields.Long(273, offsets).fields_[273];
      if (!fields.count(279)) fields[279] = strip_fields.Long(279, counts).fields_[279];
    }
    std::vector<uint8_t> directory;
    Put(&directory, static_cast<uint32_t>(fields.size()), 2);
    std::vector<uint8_t> values;
    size_t values_at = file.size() + (file.size() & 1);
    size_t directory_at = values_at;
    for (const auto& [tag, entry] : fields) {
      if (entry.bytes.size() > 4) directory_at += entry.bytes.size() + (entry.bytes.size() & 1);
    }
    for (const auto& [tag, entry] : fields) {
      Put(&directory, tag, 2);
      Put(&directory, entry.type, 2);
      Put(&directory, entry.count, 4);
      if (entry.bytes.size() > 4) {
        Put(&directory, static_cast<uint32_t>(values_at + values.size()), 4);
        values.insert(values.end(), entry.bytes.begin(), entry.bytes.end());
        if (values.size() & 1) values.push_back(0);
      } else {
        std::vector<uint8_t> field = entry.bytes;
        field.resize(4, 0);
        directory.insert(directory.end(), field.begin(), field.end());
      }
    }
    Put(&directory, 0, 4);
    file.resize(values_at, 0);
    file.insert(file.end(), values.begin(), values.end());
    std::vector<uint8_t> offset;
    Put(&offset, static_cast<uint32_t>(directory_at), 4);
    std::copy(offset.begin(), offset.end(), file.begin() + 4);
    file.insert(file.end(), directory.begin(), directory.end());
    return file;
  }

  // Writes the file into the scratch folder; the path as the program sees it.
  std::string Write(const std::string& name) const { return WriteFile(name, Build()); }

  static std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::string path = ScratchDir("tiff") + "/" + name;
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
      std::fwrite(bytes.data(), 1, bytes.size(), f);
      std::fclose(f);
    }
    return SystemPath(path);
  }

 private:
  struct Entry {
    uint16_t type;
    uint32_t count;
    std::vector<uint8_t> bytes;
  };

  void Put(std::vector<uint8_t>* out, uint32_t value, int size) const {
    for (int i = 0; i < size; ++i) {
      int shift = big_endian_ ? 8 * (size - 1 - i) : 8 * i;
      out->push_back(static_cast<uint8_t>(value >> shift));
    }
  }

  bool big_endian_;
  bool strip_tags_ = true;
  std::map<uint16_t, Entry> fields_;
  std::vector<std::vector<uint8_t>> strips_;
};

// TIFF 6.0 LZW: a clear code first, codes most significant bit first, the
// width growing as the decoder will read them (when its next free code
// reaches 511, 1023, 2047). `late` grows one code later, as some old writers
// did. `clears` counts the clear codes written. A full table starts over
// with a clear code, or with `keep_full_table` stays full: no more entries,
// 12-bit codes from the table as it is. `clear_at` starts over earlier, once
// the next free code reaches it.
inline std::vector<uint8_t> LzwEncode(const std::vector<uint8_t>& data, bool late = false,
                                      int* clears = nullptr, bool keep_full_table = false,
                                      uint32_t clear_at = 4094) {
  std::vector<uint8_t> out;
  uint32_t accumulator = 0, bits = 0, width = 9, next = 258;
  auto put = [&](uint32_t code) {
    accumulator = (accumulator << width) | code;
    bits += width;
    while (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<uint8_t>(accumulator >> bits));
    }
  };
  // The decoder's next free code runs one behind the encoder's.
  auto grow = [&](uint32_t decoder_next) {
    uint32_t at = decoder_next - (late ? 1 : 0);
    if (at == 511 || at == 1023 || at == 2047) ++width;
  };
  std::map<std::pair<uint32_t, uint8_t>, uint32_t> table;
  put(256);
  if (clears) *clears = 1;
  int32_t string = -1;
  for (uint8_t c : data) {
    if (string < 0) {
      string = c;
      continue;
    }
    auto found = table.find({uint32_t(string), c});
    if (found != table.end()) {
      string = static_cast<int32_t>(found->second);
      continue;
    }
    put(static_cast<uint32_t>(string));
    if (next < 4096) {
      table[{uint32_t(string), c}] = next++;
      grow(next - 1);
    }
    if (next == clear_at && !keep_full_table) {  // full: start over, as TIFF writers do
      put(256);
      if (clears) ++*clears;
      table.clear();
      next = 258;
      width = 9;
    }
    string = c;
  }
  if (string >= 0) {
    put(static_cast<uint32_t>(string));
    grow(next);
  }
  put(257);
  if (bits) out.push_back(static_cast<uint8_t>(accumulator << (8 - bits)));
  return out;
}

}  // namespace lumetra::testing
