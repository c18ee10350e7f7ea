// LoadTiffImage, the TIFF loader of LoadImageFile, on whole files.
#include <cstdint>

#include "framework/support/buffered_file.h"
#include "imaging/tiff_file.h"
#include "imaging/tiff_reader.h"
#include "tests/fuzz/image_loader_fuzz.h"

namespace {

// The first image's size as the TIFF structure code reads it.
lumetra::fuzz::PromisedImage Promise(const std::string& path) {
  lumetra::fuzz::PromisedImage promised = {false, 0, 0, 0};
  lumetra::SpecialPloFile file;
  file.SetName(path.c_str());
  if (file.Open(lumetra::kFileModeRead) != lumetra::kOk) return promised;
  lumetra::TiffFile* tiff = nullptr;
  lumetra::TiffImage* image = nullptr;
  if (lumetra::OpenTiffFile(&file, &tiff) == lumetra::kOk &&
      lumetra::OpenTiffImage(tiff, &image) == lumetra::kOk) {
    promised = {lumetra::CheckTiffImageSupported(*image) == lumetra::kOk, image->width, image->height,
                image->samples_per_pixel};
  }
  lumetra::CloseTiffImage(image);
  lumetra::CloseTiffFile(tiff);
  file.Close();
  return promised;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lumetra::fuzz::LoadImage(lumetra::LoadTiffImage, Promise, data, size, "input.tif");
  return 0;
}
