#include "icc/video_card_gamma.h"

#include "framework/support/byte_reader.h"
#include "monitor/gamma_ramp.h"

namespace lumetra {

namespace {

constexpr uint32_t kVcgtTag = Signature("vcgt");
constexpr uint32_t kVcgtType = Signature("vcgt");
constexpr uint32_t kTableForm = 0;
constexpr uint16_t kChannels = 3;
constexpr size_t kTableOffset = 18;

}  // namespace

Status ApplyVideoCardGamma(IccProfile* profile, int32_t screen) {
  bool present = false;
  Status status = HasTag(profile, kVcgtTag, &present);
  if (status != kOk) return status;
  if (!present) return kTagNotFound;

  const uint8_t* data = GetTagData(profile, kVcgtTag);
  if (!data) return kNotAvailable;  // listed, but its data cannot be read
  ByteReader tag(data, GetTagSize(profile, kVcgtTag));
  uint32_t type = tag.Host32();  // only the type signature was converted
  if (tag.failed() || type != kVcgtType) return kNotAvailable;

  GammaRampPtr ramp(CreateGammaRamp());
  if (!ramp) return kOutOfMemory;
  const uint32_t entries = GammaRampCount(ramp.get());

  tag.Seek(8);
  uint32_t gamma_type = tag.BE32();    // 0 table, 1 formula
  uint16_t channels = tag.BE16();
  uint16_t per_channel = tag.BE16();   // entries per channel
  uint16_t entry_size = tag.BE16();    // bytes per entry
  if (tag.failed() || gamma_type != kTableForm) return kNotAvailable;
  if (entry_size != 2 && entry_size != 1) return kNotAvailable;
  if (per_channel != entries) return kNotAvailable;
  if (channels != kChannels) return kNotAvailable;
  // The table is taken as it stands: no resampling, no interpolation.
  size_t table_size = 0;
  size_t tag_needs = 0;
  if (!CheckedMul(size_t{kChannels} * entries, entry_size, &table_size) ||
      !CheckedAdd(kTableOffset, table_size, &tag_needs) || tag_needs > tag.size()) {
    return kNotAvailable;
  }

  tag.Seek(kTableOffset);
  for (int c = 0; c < kChannels; ++c) {
    for (uint32_t j = 0; j < entries; ++j) {
      // One-byte entries fill the high byte only: 0xFF gives 0xFF00.
      uint32_t value = entry_size == 2 ? tag.BE16() : uint32_t{tag.U8()} << 8;
      SetGammaRampEntry(ramp.get(), c, static_cast<int32_t>(j), value);
    }
  }
  return LoadGammaRamp(ramp.get(), screen);
}

}  // namespace lumetra
