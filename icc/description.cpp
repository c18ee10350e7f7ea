#include "icc/description.h"

#include "framework/support/byte_reader.h"
#include "framework/support/text_encoding.h"

namespace lumetra {

namespace {

constexpr uint32_t kDescTag = Signature("desc");
constexpr uint32_t kTextDescriptionType = Signature("desc");
constexpr uint32_t kMultiLocalizedType = Signature("mluc");
constexpr uint32_t kMaxDescriptionLength = kDescriptionBufferSize - 1;

// ICC.1:2010 section 10.15: count and size of the records at 8, the records
// from 16, each language (2), country (2), length (4), offset (4).
constexpr size_t kMlucRecordsOffset = 16;
constexpr uint32_t kMlucMinRecordSize = 12;
// Each character gives at least one byte and takes at most two units.
constexpr size_t kMaxUnits = 2 * kMaxDescriptionLength;

// textDescriptionType (ICC.1:2001-04 section 6.5.17): the ASCII count at 8,
// converted to host order when the tag was loaded, and the text from 12.
Status ReadTextDescription(IccProfile* profile, char* buffer) {
  const uint32_t count_length = 4;
  uint32_t count = 0;  // ASCII bytes, the terminating NUL included
  Status status = ReadTagBytes(profile, kDescTag, 8, &count_length, &count);
  if (status == kOk) {
    if (count > kMaxDescriptionLength) count = kMaxDescriptionLength;
    status = ReadTagBytes(profile, kDescTag, 12, &count, buffer);
    if (status == kOk) {
      buffer[count] = '\0';
      return kOk;
    }
  }
  buffer[0] = '\0';
  return status;
}

bool IsLanguage(const uint8_t* record, const char (&language)[3]) {
  return record[0] == language[0] && record[1] == language[1];
}

bool IsCountry(const uint8_t* record, const char (&country)[3]) {
  return record[2] == country[0] && record[3] == country[1];
}

// The record to show: US English, else any English, else the first.
const uint8_t* ChooseRecord(const ByteReader& tag, uint32_t records, uint32_t record_size) {
  const uint8_t* english = nullptr;
  for (uint32_t i = 0; i < records; ++i) {
    const uint8_t* record = tag.At(kMlucRecordsOffset + size_t{i} * record_size, kMlucMinRecordSize);
    if (IsLanguage(record, "en")) {
      if (IsCountry(record, "US")) return record;
      if (!english) english = record;
    }
  }
  return english ? english : tag.At(kMlucRecordsOffset, kMlucMinRecordSize);
}

// multiLocalizedUnicodeType: the loader leaves everything after the type
// signature big-endian.
Status ReadMultiLocalized(const uint8_t* data, uint32_t size, char* buffer) {
  ByteReader tag(data, size);
  tag.Seek(8);
  uint32_t records = tag.BE32();
  uint32_t record_size = tag.BE32();
  size_t table_size = 0;
  if (tag.failed() || records == 0 || record_size < kMlucMinRecordSize ||
      !CheckedMul(records, record_size, &table_size) ||
      !RangeFits(kMlucRecordsOffset, table_size, size)) {
    return kTagOutsideProfile;
  }

  const uint8_t* record = ChooseRecord(tag, records, record_size);
  uint32_t length = LoadBE32(record + 4);  // bytes of UTF-16BE text
  uint32_t offset = LoadBE32(record + 8);  // from the start of the tag
  if (length % 2 != 0 || !RangeFits(offset, length, size)) return kTagOutsideProfile;

  uint16_t units[kMaxUnits];
  size_t unit_count = length / 2;
  if (unit_count > kMaxUnits) unit_count = kMaxUnits;
  tag.Seek(offset);
  for (size_t i = 0; i < unit_count; ++i) units[i] = tag.BE16();
  Utf16ToAnsi(units, unit_count, buffer, kDescriptionBufferSize);
  return kOk;
}

}  // namespace

Status GetProfileDescription(IccProfile* profile, char* buffer) {
  if (!profile) return kIndexOutOfRange;
  if (!buffer) return kMissingObject;
  buffer[0] = '\0';

  const uint32_t type_length = 4;
  uint32_t type = 0;  // converted to host order by the loader
  Status status = ReadTagBytes(profile, kDescTag, 0, &type_length, &type);
  if (status != kOk) return status;
  if (type == kTextDescriptionType) return ReadTextDescription(profile, buffer);
  if (type != kMultiLocalizedType) return kNotAvailable;

  const uint8_t* data = GetTagData(profile, kDescTag);
  if (!data) return kTagNotFound;
  return ReadMultiLocalized(data, GetTagSize(profile, kDescTag), buffer);
}

}  // namespace lumetra
