#include <direct.h>
#include <process.h>

#include <string>

#include "tests/testing/paths.h"

namespace lumetra::testing {

// Wine maps the Unix root to drive Z:.
std::string SystemPath(const std::string& unix_path) {
  if (unix_path.empty() || unix_path[0] != '/') return unix_path;
  std::string path = "Z:" + unix_path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

void MakeDirectory(const std::string& system_path) { _mkdir(system_path.c_str()); }

unsigned long ProcessId() { return static_cast<unsigned long>(_getpid()); }

}  // namespace lumetra::testing
