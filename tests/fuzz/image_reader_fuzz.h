// The image readers' fuzz targets share this driver: the input is written to a
// file and read through the reader protocol the way the loader does (Open,
// ReadHeader, one ReadRows per row into a buffer of exactly one row,
// FinishReading, Close). A header promising more than kMaxSamples samples
// stops after the header, so the fuzzer spends its time in the decoders
// rather than in allocating gigapixel images.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "framework/support/buffered_file.h"
#include "framework/support/byte_reader.h"
#include "framework/support/file_access.h"
#include "imaging/image_reader.h"
#include "tests/fuzz/fuzz_support.h"

namespace lumetra::fuzz {

constexpr uint64_t kMaxSamples = uint64_t{1} << 22;

inline void ReadMessages(void*, const char* text) {
  volatile size_t length = std::strlen(text);
  (void)length;
}

inline void ReadImage(int32_t file_type, const uint8_t* data, size_t size, const char* file_name) {
  const std::string path = ScratchDir() + "/" + file_name;
  WriteFile(path, data, size);

  TImageReader* reader = nullptr;
  if (CreateReader(file_type, &reader) != kOk || !reader) return;
  SpecialPloFile file;
  file.SetName(path.c_str());
  Status status = file.SetBuffer(nullptr, 32768);
  if (status == kOk) status = file.Open(kFileModeRead);
  ImageFormat format = {kImageFormatNone, nullptr};
  ImageInfo info = {};
  if (status == kOk) status = reader->Open(&file, &format);
  if (status == kOk) status = reader->SetMessageSink(ReadMessages, nullptr);
  if (status == kOk) status = reader->ReadHeader(&info);

  if (status == kOk) {
    Require(info.channels >= 1, "a pixel has samples");
    volatile uint8_t sink = 0;
    for (uint32_t i = 0; i < info.icc_size; ++i) sink = sink + info.icc_profile[i];  // the whole profile is there
    const size_t sample_bytes = info.bits_per_sample > 8 ? 2 : 1;
    size_t row_bytes = 0;
    size_t samples = 0;
    bool small = info.bits_per_sample >= 1 && info.bits_per_sample <= 16 &&
                 CheckedMul(info.width, info.channels, &row_bytes) &&
                 CheckedMul(row_bytes, info.height, &samples) && samples <= kMaxSamples;
    if (small) {
      row_bytes *= sample_bytes;
      std::unique_ptr<uint8_t[]> row(new uint8_t[row_bytes ? row_bytes : 1]);
      for (uint32_t r = 0; r < info.height && status == kOk; ++r) status = reader->ReadRows(row.get(), 1);
      if (status == kOk) status = reader->FinishReading();
    }
  }
  file.Close();
  reader->Close();
  reader->Release();
}

}  // namespace lumetra::fuzz
