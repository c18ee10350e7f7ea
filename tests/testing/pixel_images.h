// Pixel images in tests: ownership, their samples as bytes, images made from
// given samples, and image files loaded or read through the reader protocol.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/support/buffered_file.h"
#include "imaging/image_reader.h"
#include "tests/testing/icc_builder.h"
#include "tests/testing/paths.h"

namespace lumetra::testing {

struct FreeImage {
  void operator()(PixelImage* image) const { FreePixelImage(image); }
};
using ImagePtr = std::unique_ptr<PixelImage, FreeImage>;

// Every row of the pixel block, padding included.
inline std::vector<uint8_t> Samples(PixelImage* image) {
  size_t bytes = BytesPerRow(*image) * image->rows;
  const uint8_t* p = LockPixels(image);
  std::vector<uint8_t> out(p, p + bytes);
  UnlockPixels(image);
  return out;
}

inline ImagePtr MakeImage(uint32_t rows, uint32_t columns, uint32_t color_space, uint32_t extra,
                          uint32_t bits, const std::vector<uint8_t>& samples) {
  PixelImage* image = nullptr;
  EXPECT_EQ(CreatePixelImage(&image, rows, columns, extra, color_space, bits), kOk);
  if (!image) return nullptr;
  std::memcpy(LockPixels(image), samples.data(), samples.size());
  UnlockPixels(image);
  return ImagePtr(image);
}

// Writes a generated file into the suite's scratch folder; the path as the
// program sees it.
inline std::string WriteFixture(const std::string& folder, const std::string& name,
                                const std::vector<uint8_t>& bytes) {
  std::string path = SystemPath(ScratchDir(folder) + "/" + name);
  EXPECT_TRUE(WriteFileBytes(path, bytes));
  return path;
}

// A file that no one here wrote (another project's test image, an installed
// profile), by its Unix path, as the program sees it. A missing one fails the
// test that wanted it, by name, rather than letting it pass unchecked.
inline std::string ReferenceFile(const std::string& unix_path) {
  if (!UnixFileExists(unix_path)) {
    ADD_FAILURE() << "missing reference file " << unix_path
                  << " (tools/build-win32-deps.sh unpacks the dependencies' test images; "
                     "tools/install-packages.sh installs the profiles)";
  }
  return SystemPath(unix_path);
}

inline Status LoadImage(const std::string& path, ImagePtr* image) {
  PixelImage* raw = nullptr;
  Status status = LoadImageFile(path.c_str(), &raw, nullptr, nullptr);
  image->reset(raw);
  return status;
}

struct ReleaseReader {
  void operator()(TImageReader* reader) const { reader->Release(); }
};
using ReaderPtr = std::unique_ptr<TImageReader, ReleaseReader>;

// The reader of a file type over the file opened as LoadImageFile opens it.
// The reader goes before the file it reads.
struct ReaderOnFile {
  ReaderOnFile(int32_t file_type, const std::string& path) {
    TImageReader* made = nullptr;
    created = CreateReader(file_type, &made);
    reader.reset(made);
    file.SetName(path.c_str());
    file.SetBuffer(nullptr, kReaderBufferSize);
    opened = file.Open(kFileModeRead);
  }
  bool ok() const { return created == kOk && opened == kOk; }

  SpecialPloFile file;
  ReaderPtr reader;
  Status created = kOk;
  Status opened = kOk;
};

}  // namespace lumetra::testing
