// The Scitex CT reader, driven through the reader protocol.
#include <cstdint>

#include "framework/support/file_types.h"
#include "tests/fuzz/image_reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lumetra::fuzz::ReadImage(lumetra::kFileTypeScitexCt, data, size, "input.sct");
  return 0;
}
