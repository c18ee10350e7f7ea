// Writes the monitor profiles the run command installs beside the system's
// own: two calibrations with video card gamma tables, one of 8-bit and one of
// 16-bit entries, as .icm files into the folder given.
// usage: make-profiles <folder>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/testing/icc_builder.h"

namespace {

using lumetra::Signature;
using namespace lumetra::testing;

// Red, green and blue curves of a warm calibration, each from 0 to `top`.
std::vector<uint16_t> Table(double top) {
  std::vector<uint16_t> values;
  const double gamma[3] = {1.0, 1.08, 1.2};
  const double white[3] = {1.0, 0.96, 0.88};
  for (int c = 0; c < 3; ++c) {
    for (int i = 0; i < 256; ++i) {
      values.push_back(static_cast<uint16_t>(std::lround(top * white[c] * std::pow(i / 255.0, gamma[c]))));
    }
  }
  return values;
}

bool Write(const std::string& path, const char* description, const std::vector<uint8_t>& vcgt) {
  IccBuilder profile;
  profile.AddTag(Signature("desc"), DescTagData(description));
  profile.AddTag(Signature("wtpt"), XyzTagData({0.9642, 1.0, 0.8249}));
  profile.AddTag(Signature("vcgt"), vcgt);
  if (WriteFileBytes(path, profile.Build())) return true;
  std::fprintf(stderr, "make-profiles: cannot write %s\n", path.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-profiles <folder>\n");
    return 2;
  }
  std::string folder = argv[1];
  bool ok = Write(folder + "/Lumetra-Calibrated-8bit.icm", "Lumetra calibration, 8-bit table",
                  VcgtTableTagData(3, 256, 1, Table(255)));
  ok = Write(folder + "/Lumetra-Calibrated-16bit.icm", "Lumetra calibration, 16-bit table",
             VcgtTableTagData(3, 256, 2, Table(65535))) && ok;
  return ok ? 0 : 1;
}
