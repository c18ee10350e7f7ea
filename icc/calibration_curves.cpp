#include "icc/calibration_curves.h"

#include <cmath>
#include <cstring>

#include "framework/support/byte_reader.h"

namespace lumetra {

namespace {

constexpr uint32_t kVcgt = Signature("vcgt");
constexpr uint32_t kTableForm = 0;
constexpr uint32_t kFormulaForm = 1;
constexpr size_t kTableOffset = 18;
constexpr uint32_t kMaxLevel = 65535;
constexpr uint32_t kLastEntry = kGammaRampEntries - 1;  // 255

using RampTable = uint16_t[3][kGammaRampEntries];

// Table form: a channel count (1 or 3), an entry count (2 or more) and an
// entry size (1 or 2 bytes) at 12, then the entries channel by channel.
Status DecodeTable(ByteReader& tag, RampTable& out) {
  uint16_t channels = tag.BE16();
  uint16_t count = tag.BE16();       // entries per channel
  uint16_t entry_size = tag.BE16();  // bytes per entry
  if (tag.failed()) return kNotAvailable;
  if (channels != 1 && channels != 3) return kNotAvailable;
  if (count < 2) return kNotAvailable;
  if (entry_size != 1 && entry_size != 2) return kNotAvailable;
  size_t entries = 0;
  size_t table_bytes = 0;
  if (!CheckedMul(channels, count, &entries) || !CheckedMul(entries, entry_size, &table_bytes) ||
      !RangeFits(kTableOffset, table_bytes, tag.size())) {
    return kNotAvailable;
  }

  const uint8_t* table = tag.At(kTableOffset, table_bytes);
  // Widened to 16 bits as the dialog does it: a 1-byte entry fills the high
  // byte only, so 0xFF gives 0xFF00.
  auto widened = [&](size_t channel, uint32_t index) -> uint32_t {
    size_t at = channel * count + index;
    return entry_size == 2 ? LoadBE16(table + 2 * at) : uint32_t{table[at]} << 8;
  };
  for (int c = 0; c < 3; ++c) {
    const size_t channel = channels == 1 ? 0 : static_cast<size_t>(c);
    for (uint32_t i = 0; i <= kLastEntry; ++i) {
      // Entry i sits at i * (count - 1) / 255 of the table; between two stored
      // entries the value is interpolated linearly and rounded to nearest.
      // Exact in integers: at most 255 * 65534 and 65535 * 255.
      uint32_t position = i * (count - 1u);
      uint32_t below = position / kLastEntry;
      uint32_t fraction = position % kLastEntry;  // in 255ths
      uint32_t value = widened(channel, below);
      if (fraction != 0) {
        uint32_t above = widened(channel, below + 1);
        value = (value * (kLastEntry - fraction) + above * fraction + kLastEntry / 2) / kLastEntry;
      }
      out[c][i] = static_cast<uint16_t>(value);
    }
  }
  return kOk;
}

double FromS15Fixed16(uint32_t stored) { return static_cast<int32_t>(stored) / 65536.0; }

// Formula form: gamma, minimum and maximum for red, green and blue at 12, each
// an s15Fixed16Number; entry i = 65535 * (min + (max - min) * (i / 255)^gamma).
Status DecodeFormula(ByteReader& tag, RampTable& out) {
  double gamma[3], minimum[3], maximum[3];
  for (int c = 0; c < 3; ++c) {
    gamma[c] = FromS15Fixed16(tag.BE32());
    minimum[c] = FromS15Fixed16(tag.BE32());
    maximum[c] = FromS15Fixed16(tag.BE32());
  }
  if (tag.failed()) return kNotAvailable;
  for (double g : gamma) {
    if (!(g > 0)) return kNotAvailable;  // no curve from black to white
  }
  for (int c = 0; c < 3; ++c) {
    for (uint32_t i = 0; i <= kLastEntry; ++i) {
      double level = minimum[c] + (maximum[c] - minimum[c]) * std::pow(i / 255.0, gamma[c]);
      double scaled = std::floor(kMaxLevel * level + 0.5);
      if (scaled < 0) scaled = 0;
      if (scaled > kMaxLevel) scaled = kMaxLevel;
      out[c][i] = static_cast<uint16_t>(scaled);
    }
  }
  return kOk;
}

}  // namespace

Status DecodeVcgtTag(const uint8_t* tag, size_t size, GammaRamp* ramp) {
  if (!ramp) return kMissingObject;
  ByteReader reader(tag, size);
  reader.Seek(8);
  uint32_t gamma_type = reader.BE32();  // 0 table, 1 formula
  if (reader.failed()) return kNotAvailable;

  RampTable decoded;
  Status status = kNotAvailable;
  if (gamma_type == kTableForm) status = DecodeTable(reader, decoded);
  if (gamma_type == kFormulaForm) status = DecodeFormula(reader, decoded);
  if (status != kOk) return status;
  ramp->count = kGammaRampEntries;
  std::memcpy(ramp->table, decoded, sizeof(decoded));
  return kOk;
}

Status DecodeProfileCalibration(IccProfile* profile, GammaRamp* ramp) {
  bool present = false;
  Status status = HasTag(profile, kVcgt, &present);
  if (status != kOk) return status;
  if (!ramp) return kMissingObject;
  if (!present) return kTagNotFound;
  const uint8_t* data = GetTagData(profile, kVcgt);
  if (!data) return kNotAvailable;  // listed, but its data cannot be read
  const uint32_t size = GetTagSize(profile, kVcgt);
  ByteReader type(data, size);
  if (type.Host32() != kVcgt || type.failed()) return kNotAvailable;  // converted on load
  return DecodeVcgtTag(data, size, ramp);
}

}  // namespace lumetra
