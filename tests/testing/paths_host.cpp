#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "tests/testing/paths.h"

namespace lumetra::testing {

std::string SystemPath(const std::string& unix_path) { return unix_path; }

void MakeDirectory(const std::string& system_path) { mkdir(system_path.c_str(), 0777); }

unsigned long ProcessId() { return static_cast<unsigned long>(getpid()); }

}  // namespace lumetra::testing
