#include "tests/testing/icc_builder.h"

#include <cmath>
#include <cstdio>

namespace lumetra::testing {

BigEndianBytes& BigEndianBytes::U8(uint8_t v) {
  bytes_.push_back(v);
  return *this;
}

BigEndianBytes& BigEndianBytes::U16(uint16_t v) {
  bytes_.push_back(static_cast<uint8_t>(v >> 8));
  bytes_.push_back(static_cast<uint8_t>(v));
  return *this;
}

BigEndianBytes& BigEndianBytes::U32(uint32_t v) {
  U16(static_cast<uint16_t>(v >> 16));
  return U16(static_cast<uint16_t>(v));
}

BigEndianBytes& BigEndianBytes::U64(uint64_t v) {
  U32(static_cast<uint32_t>(v >> 32));
  return U32(static_cast<uint32_t>(v));
}

BigEndianBytes& BigEndianBytes::S15Fixed16(double v) {
  return U32(static_cast<uint32_t>(static_cast<int32_t>(std::lround(v * 65536.0))));
}

BigEndianBytes& BigEndianBytes::Bytes(const void* data, size_t size) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  bytes_.insert(bytes_.end(), p, p + size);
  return *this;
}

BigEndianBytes& BigEndianBytes::Ascii(const std::string& text, bool terminator) {
  Bytes(text.data(), text.size());
  if (terminator) U8(0);
  return *this;
}

BigEndianBytes& BigEndianBytes::Zeros(size_t count) {
  bytes_.insert(bytes_.end(), count, 0);
  return *this;
}

BigEndianBytes& BigEndianBytes::PadTo4() { return Zeros((4 - bytes_.size() % 4) % 4); }

size_t IccBuilder::AddTag(uint32_t signature, const std::vector<uint8_t>& data) {
  data_.push_back(data);
  entries_.push_back(Entry{signature, static_cast<int>(data_.size() - 1), 0, 0, std::nullopt});
  return entries_.size() - 1;
}

size_t IccBuilder::ShareTag(uint32_t signature, size_t index, std::optional<uint32_t> size) {
  Entry shared = entries_.at(index);
  shared.signature = signature;
  if (size) shared.shared_size = size;
  entries_.push_back(shared);
  return entries_.size() - 1;
}

size_t IccBuilder::AddRawEntry(uint32_t signature, uint32_t offset, uint32_t size) {
  entries_.push_back(Entry{signature, -1, offset, size, std::nullopt});
  return entries_.size() - 1;
}

uint32_t IccBuilder::OffsetOf(size_t index) const {
  const Entry& entry = entries_.at(index);
  if (entry.data_index < 0) return entry.offset;
  size_t offset = 128 + 4 + 12 * entries_.size();
  for (int i = 0; i < entry.data_index; ++i) offset += (data_[i].size() + 3) / 4 * 4;
  return static_cast<uint32_t>(offset);
}

std::vector<uint8_t> IccBuilder::Build() const {
  BigEndianBytes body;  // directory and tag data, after the header
  body.U32(declared_tag_count ? *declared_tag_count : static_cast<uint32_t>(entries_.size()));
  for (size_t i = 0; i < entries_.size(); ++i) {
    const Entry& entry = entries_[i];
    uint32_t size = entry.data_index < 0 ? entry.size
                    : entry.shared_size ? *entry.shared_size
                                        : static_cast<uint32_t>(data_[entry.data_index].size());
    body.U32(entry.signature).U32(OffsetOf(i)).U32(size);
  }
  for (const std::vector<uint8_t>& data : data_) body.Bytes(data.data(), data.size()).PadTo4();

  uint32_t total = static_cast<uint32_t>(128 + body.size());
  BigEndianBytes out;
  out.U32(declared_size ? *declared_size : total)
      .U32(cmm_type)
      .U32(version)
      .U32(device_class)
      .U32(color_space)
      .U32(connection_space);
  for (uint16_t v : created) out.U16(v);
  out.U32(file_signature).U32(platform).U32(flags).U32(manufacturer).U32(model).U64(attributes);
  out.U32(rendering_intent);
  for (int32_t v : illuminant) out.U32(static_cast<uint32_t>(v));
  out.U32(creator).Zeros(44);
  out.Bytes(body.bytes().data(), body.size());
  return out.bytes();
}

std::vector<uint8_t> TextTagData(const std::string& text) {
  BigEndianBytes b;
  b.Sig("text").U32(0).Ascii(text, true);
  return b.bytes();
}

std::vector<uint8_t> DescTagData(const std::string& ascii, const std::u16string& unicode,
                                 uint32_t unicode_language, const std::string& mac_text) {
  BigEndianBytes b;
  b.Sig("desc").U32(0).U32(static_cast<uint32_t>(ascii.size() + 1)).Ascii(ascii, true);
  b.U32(unicode_language).U32(unicode.empty() ? 0 : static_cast<uint32_t>(unicode.size() + 1));
  if (!unicode.empty()) {
    for (char16_t c : unicode) b.U16(c);
    b.U16(0);
  }
  // ScriptCode code, count and its fixed 67-byte field.
  std::string mac = mac_text.substr(0, 66);
  b.U16(0).U8(mac.empty() ? 0 : static_cast<uint8_t>(mac.size() + 1));
  b.Ascii(mac, !mac.empty()).Zeros(67 - (mac.empty() ? 0 : mac.size() + 1));
  return b.bytes();
}

std::vector<uint8_t> MlucTagData(const std::vector<MlucRecord>& records) {
  BigEndianBytes b;
  b.Sig("mluc").U32(0).U32(static_cast<uint32_t>(records.size())).U32(12);
  uint32_t offset = static_cast<uint32_t>(16 + 12 * records.size());
  for (const MlucRecord& r : records) {
    uint16_t language = static_cast<uint16_t>((uint8_t(r.language[0]) << 8) | uint8_t(r.language[1]));
    uint16_t country = static_cast<uint16_t>((uint8_t(r.country[0]) << 8) | uint8_t(r.country[1]));
    uint32_t length = static_cast<uint32_t>(2 * r.text.size());
    b.U16(language).U16(country).U32(length).U32(offset);
    offset += length;
  }
  for (const MlucRecord& r : records) {
    for (char16_t c : r.text) b.U16(c);
  }
  return b.bytes();
}

std::vector<uint8_t> CurvTagData(const std::vector<uint16_t>& values) {
  BigEndianBytes b;
  b.Sig("curv").U32(0).U32(static_cast<uint32_t>(values.size()));
  for (uint16_t v : values) b.U16(v);
  return b.bytes();
}

std::vector<uint8_t> XyzTagData(const std::vector<double>& xyz) {
  BigEndianBytes b;
  b.Sig("XYZ ").U32(0);
  for (double v : xyz) b.S15Fixed16(v);
  return b.bytes();
}

std::vector<uint8_t> VcgtTableTagData(uint16_t channels, uint16_t entries, uint16_t entry_size,
                                      const std::vector<uint16_t>& values) {
  BigEndianBytes b;
  b.Sig("vcgt").U32(0).U32(0).U16(channels).U16(entries).U16(entry_size);
  for (uint16_t v : values) {
    if (entry_size == 1) {
      b.U8(static_cast<uint8_t>(v));
    } else {
      b.U16(v);
    }
  }
  return b.bytes();
}

std::vector<uint8_t> VcgtFormulaTagData(const double (&gamma)[3], const double (&minimum)[3],
                                        const double (&maximum)[3]) {
  BigEndianBytes b;
  b.Sig("vcgt").U32(0).U32(1);
  for (int c = 0; c < 3; ++c) b.S15Fixed16(gamma[c]).S15Fixed16(minimum[c]).S15Fixed16(maximum[c]);
  return b.bytes();
}

bool WriteFileBytes(const std::string& system_path, const std::vector<uint8_t>& bytes) {
  std::FILE* f = std::fopen(system_path.c_str(), "wb");
  if (!f) return false;
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace lumetra::testing
