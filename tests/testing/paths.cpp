#include "tests/testing/paths.h"

#include <sys/stat.h>

#include <string>

namespace lumetra::testing {

void MakeDirectory(const std::string& system_path);  // per platform
unsigned long ProcessId();                           // per platform

std::string SourcePath(const std::string& relative) {
  return SystemPath(std::string(LUMETRA_SOURCE_DIR) + "/" + relative);
}

std::string BinaryPath(const std::string& relative) {
  return SystemPath(std::string(LUMETRA_BINARY_DIR) + "/" + relative);
}

std::string DependencySource(const std::string& relative) {
  return std::string(LUMETRA_DEPS_WORK_DIR) + "/" + relative;
}

bool UnixFileExists(const std::string& unix_path) {
  struct stat st;
  return stat(SystemPath(unix_path).c_str(), &st) == 0;
}

// One folder per process: ctest runs the cases of a suite in parallel processes.
std::string ScratchDir(const std::string& name) {
  std::string scratch = std::string(LUMETRA_BINARY_DIR) + "/scratch";
  MakeDirectory(SystemPath(scratch));
  scratch += "/" + std::to_string(ProcessId());
  MakeDirectory(SystemPath(scratch));
  MakeDirectory(SystemPath(scratch + "/" + name));
  return scratch + "/" + name;
}

}  // namespace lumetra::testing
