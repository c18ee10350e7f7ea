// The file access seam on Windows: the length of the stream's file handle.
#include <windows.h>
#include <io.h>

#include <cstdio>

#include "framework/support/file_access_platform.h"

namespace lumetra {

bool SystemFileLength(FileHandle handle, uint64_t* length) {
  int descriptor = _fileno(handle);
  if (descriptor < 0) return false;
  HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
  if (file == INVALID_HANDLE_VALUE || GetFileType(file) != FILE_TYPE_DISK) return false;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size) || size.QuadPart < 0) return false;
  *length = static_cast<uint64_t>(size.QuadPart);
  return true;
}

}  // namespace lumetra
