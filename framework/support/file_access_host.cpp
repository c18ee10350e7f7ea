// Host stand-in for the file access seam: the length from fstat.
#include <sys/stat.h>

#include <cstdio>

#include "framework/support/file_access_platform.h"

namespace lumetra {

bool SystemFileLength(FileHandle handle, uint64_t* length) {
  struct stat status;
  int descriptor = fileno(handle);
  if (descriptor < 0 || fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) return false;
  *length = static_cast<uint64_t>(status.st_size);
  return true;
}

}  // namespace lumetra
