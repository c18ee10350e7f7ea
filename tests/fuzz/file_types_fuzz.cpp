// File types by content: the input is the file's content, probed under names
// whose extensions steer the content tests (eps, ps, prn, pdf, none, any
// case); its first line also serves as a file name for the extension table.
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "framework/support/file_types.h"
#include "tests/fuzz/fuzz_support.h"

using namespace lumetra;

namespace {

constexpr const char* kNames[] = {"probe.dat", "probe.eps", "probe.ps", "probe.prn", "probe.PDF",
                                  "probe",     "probe.tif", "probe.",   ".eps"};

void RequireKnown(int32_t type) {
  fuzz::Require(type == kFileTypeNone || FileTypeInfo(type, nullptr, nullptr, nullptr) == kOk,
                "a detected type has a table row");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string dir = fuzz::ScratchDir() + "/types";
  std::filesystem::create_directories(dir);
  for (const char* name : kNames) {
    std::string path = dir + "/" + name;
    fuzz::WriteFile(path, data, size);
    int32_t type = -2;
    fuzz::Require(DetectFileType(path.c_str(), &type) == kOk, "a named file is always typed");
    RequireKnown(type);
  }

  // A name from the input, its separators replaced so that it stays inside
  // the scratch folder and names no file there.
  std::string name(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
  name = name.substr(0, name.find('\n'));
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  std::string missing = dir + "/absent/" + name;
  int32_t type = -2;
  fuzz::Require(DetectFileType(missing.c_str(), &type) == kOk, "a missing file is typed by name");
  fuzz::Require(type == FileTypeByExtension(missing.c_str()), "a missing file is typed by extension alone");
  RequireKnown(type);
  RequireKnown(FileTypeByExtension(name.c_str()));
  return 0;
}
