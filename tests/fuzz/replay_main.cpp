// Replays inputs through a fuzz target without libFuzzer: every file of the
// directories (or the files) named on the command line is fed once to
// LLVMFuzzerTestOneInput, in name order, so a committed corpus runs as an
// ordinary test under the sanitizers of the host build.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

// A single allocation above 1 GiB fails, as it would in the 32-bit program
// (tools/fuzz.sh runs libFuzzer the same way), so an input kept for asking too
// much replays the out-of-memory path instead of stopping the run.
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1:max_allocation_size_mb=1024";
}

namespace {

std::vector<std::filesystem::path> InputsOf(const char* argument) {
  std::vector<std::filesystem::path> inputs;
  std::error_code error;
  if (std::filesystem::is_directory(argument, error)) {
    for (const auto& entry : std::filesystem::directory_iterator(argument)) {
      if (entry.is_regular_file()) inputs.push_back(entry.path());
    }
    std::sort(inputs.begin(), inputs.end());
  } else {
    inputs.emplace_back(argument);
  }
  return inputs;
}

}  // namespace

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    for (const auto& path : InputsOf(argv[i])) {
      std::ifstream file(path, std::ios::binary);
      if (!file) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 1;
      }
      std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
      // An exact-size heap copy, so that a read one byte past the input is caught.
      std::unique_ptr<uint8_t[]> input(new uint8_t[bytes.size() + (bytes.empty() ? 1 : 0)]);
      std::copy(bytes.begin(), bytes.end(), input.get());
      std::fprintf(stderr, "%s\n", path.filename().c_str());
      LLVMFuzzerTestOneInput(input.get(), bytes.size());
      ++replayed;
    }
  }
  std::printf("replayed %zu inputs\n", replayed);
  // No input at all means a corpus that went missing, not a pass.
  return replayed > 0 ? 0 : 1;
}
