// LoadJpegImage, the JPEG loader of LoadImageFile, on whole files.
#include <cstdint>
#include <cstdio>

#include "framework/support/file_access.h"
#include "imaging/jpeg_reader.h"
#include "imaging/jpeg_source.h"
#include "tests/fuzz/image_loader_fuzz.h"

namespace {

int NextByte(void* context) {
  int byte = std::fgetc(static_cast<std::FILE*>(context));
  return byte == EOF ? -1 : byte;
}

// The header as the JPEG source reads it for the loader.
lumetra::fuzz::PromisedImage Promise(const std::string& path) {
  lumetra::fuzz::PromisedImage promised = {false, 0, 0, 0};
  std::FILE* file = std::fopen(path.c_str(), "rb");
  lumetra::fuzz::Require(file != nullptr, "the scratch file can be read");
  lumetra::JpegSource* source = nullptr;
  if (lumetra::CreateJpegSource(&source, NextByte, file, nullptr, nullptr, nullptr, nullptr, nullptr) ==
          lumetra::kOk &&
      lumetra::ReadJpegScanline(source) == lumetra::kOk) {
    lumetra::JpegHeader header;
    lumetra::GetJpegHeader(source, &header);
    promised = {header.color_space != 0, header.width, header.height, header.components};
  }
  lumetra::FreeJpegSource(source);
  std::fclose(file);
  return promised;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lumetra::fuzz::LoadImage(lumetra::LoadJpegImage, Promise, data, size, "input.jpg");
  return 0;
}
