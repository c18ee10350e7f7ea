// Host stand-ins for the files seam: the module path from /proc/self/exe,
// POSIX files and directories, and no resources at all.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "framework/support/files.h"
#include "framework/support/system_error.h"

namespace lumetra {

namespace {

// The Windows error codes the callers may see for the usual errno values.
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorInsufficientBuffer = 122;
constexpr uint32_t kErrorResourceNameNotFound = 1814;

Status StatusFromErrno(int error) {
  switch (error) {
    case ENOENT: SetLastSystemError(kErrorFileNotFound); break;
    case ENOTDIR: SetLastSystemError(kErrorPathNotFound); break;
    case EACCES:
    case EPERM: SetLastSystemError(kErrorAccessDenied); break;
    case ERANGE:
    case ENAMETOOLONG: SetLastSystemError(kErrorInsufficientBuffer); break;
    default: SetLastSystemError(0); break;  // becomes kSystemCallFailed
  }
  return StatusFromSystem(false);
}

}  // namespace

struct DirectoryScan {
  DIR* dir;
  char directory[kPathBufferSize];      // full path of the scanned directory
  char previous_cwd[kPathBufferSize];   // restored by CloseDirectoryScan
};

Status ModulePath(char* buffer, size_t buffer_size) {
  if (!buffer || buffer_size == 0) return kBadArgument;
  buffer[0] = '\0';
  ssize_t length = readlink("/proc/self/exe", buffer, buffer_size);
  if (length < 0) return StatusFromErrno(errno);
  if (static_cast<size_t>(length) >= buffer_size) {
    buffer[0] = '\0';
    return StatusFromErrno(ERANGE);
  }
  buffer[length] = '\0';
  return kOk;
}

bool FileExists(const char* path) { return path && access(path, F_OK) == 0; }

Status DeleteFileForced(const char* path) {
  if (!path) return kNoFileName;
  // Unix ties deletion to the folder's permissions, not the file's; the
  // read-only bit is cleared anyway so the contract reads the same.
  struct stat st;
  if (stat(path, &st) == 0 && !(st.st_mode & S_IWUSR)) chmod(path, st.st_mode | S_IWUSR);
  if (unlink(path) == 0) return kOk;
  if (unlink(path) == 0) return kOk;
  return StatusFromErrno(errno);
}

Status MakeTempFileName(char* buffer, size_t buffer_size) {
  if (!buffer || buffer_size == 0) return kBadArgument;
  buffer[0] = '\0';
  const char* directory = std::getenv("TMPDIR");
  if (!directory || !*directory) directory = "/tmp";
  char name[kPathBufferSize];
  int length = std::snprintf(name, sizeof name, "%s/ploXXXXXX", directory);
  if (length < 0 || static_cast<size_t>(length) >= sizeof name) return kSizeUnknown;
  int fd = mkstemp(name);
  if (fd < 0) return kSizeUnknown;
  close(fd);
  if (static_cast<size_t>(length) >= buffer_size) {
    unlink(name);
    return kBadArgument;
  }
  std::memcpy(buffer, name, static_cast<size_t>(length) + 1);
  return kOk;
}

Status OpenDirectoryScan(const char* directory, DirectoryScan** scan) {
  if (!scan) return kBadArgument;
  *scan = nullptr;
  if (!directory) return kNoFileName;
  auto* s = new (std::nothrow) DirectoryScan{};
  if (!s) return kOutOfMemory;
  if (!getcwd(s->previous_cwd, sizeof s->previous_cwd)) {
    Status status = StatusFromErrno(errno);
    delete s;
    return status;
  }
  if (chdir(directory) != 0) {
    Status status = StatusFromErrno(errno);
    delete s;
    return status;
  }
  if (!getcwd(s->directory, sizeof s->directory) || !(s->dir = opendir("."))) {
    Status status = StatusFromErrno(errno);
    if (chdir(s->previous_cwd) != 0) {
      // Nothing more can be done; the failure already on its way matters more.
    }
    delete s;
    return status;
  }
  *scan = s;
  return kOk;
}

Status NextDirectoryEntry(DirectoryScan* scan, char* path, size_t path_size) {
  if (!scan || !path || path_size == 0) return kBadArgument;
  path[0] = '\0';
  for (;;) {
    errno = 0;
    dirent* entry = readdir(scan->dir);
    if (!entry) {
      if (errno != 0) return StatusFromErrno(errno);
      return kNoMoreFiles;
    }
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    size_t directory_length = std::strlen(scan->directory);
    bool needs_separator = directory_length == 0 || scan->directory[directory_length - 1] != '/';
    int length = std::snprintf(path, path_size, "%s%s%s", scan->directory,
                               needs_separator ? "/" : "", entry->d_name);
    if (length < 0 || static_cast<size_t>(length) >= path_size) {
      path[0] = '\0';
      return kBadArgument;
    }
    return kOk;
  }
}

void CloseDirectoryScan(DirectoryScan* scan) {
  if (!scan) return;
  closedir(scan->dir);
  if (chdir(scan->previous_cwd) != 0) {
    // The previous directory has gone; there is nowhere better to be.
  }
  delete scan;
}

Status LoadResourceData(void*, int32_t, const char*, MemBlock* block, size_t* size) {
  if (block) *block = nullptr;
  if (size) *size = 0;
  if (!block) return kBadArgument;
  SetLastSystemError(kErrorResourceNameNotFound);
  return StatusFromSystem(false);
}

void* FindResourceModule(const char*, const char*) { return nullptr; }

}  // namespace lumetra
