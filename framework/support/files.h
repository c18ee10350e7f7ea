// Files and paths around the executable: whole-file reading, path utilities,
// forced deletion and temporary names, directory scans, and named data that is
// found as a file or else as a resource of the executable.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/support/memory.h"
#include "framework/support/status.h"

namespace lumetra {

constexpr size_t kPathBufferSize = 1024;  // what callers give for a full path

// The end of a directory scan: the negated ERROR_NO_MORE_FILES.
constexpr Status kNoMoreFiles = -18;

// Reads a whole file into a new movable block one byte longer than the file,
// that byte a NUL. 20206 when it does not open, 21002 when memory is short.
// After a short read the block is still handed out, with 3003. `size` may be null.
Status ReadWholeFile(const char* path, MemBlock* block, size_t* size);

// The text after the last backslash or slash, whichever comes last, else the path.
const char* FileNamePart(const char* path);

// The executable's full path; a buffer too small for it fails (nothing truncated).
Status ModulePath(char* buffer, size_t buffer_size);
// ModulePath cut before its last path separator.
Status ModuleDirectory(char* buffer, size_t buffer_size);
// The executable's file name without a final ".exe" (any case), in one
// process-wide buffer valid until the next call.
const char* ModuleBaseName();

bool FileExists(const char* path);
// Clears a read-only attribute, deletes, and tries once more on failure; the
// status of the last attempt.
Status DeleteFileForced(const char* path);
// Creates a new empty file of a unique name in the temporary directory and
// gives its path; 3005 when no name can be made, 20003 when the buffer is too small.
Status MakeTempFileName(char* buffer, size_t buffer_size);

// A scan of one directory. It makes the directory current for its whole
// duration; CloseDirectoryScan restores the previous current directory.
struct DirectoryScan;
Status OpenDirectoryScan(const char* directory, DirectoryScan** scan);
// The next entry other than "." and "..", files and folders alike, as a full
// path (the directory, a separator, the name); kNoMoreFiles at the end; 20003
// when the path does not fit the buffer (the entry is skipped).
Status NextDirectoryEntry(DirectoryScan* scan, char* path, size_t path_size);
void CloseDirectoryScan(DirectoryScan* scan);  // null is accepted

// Kinds of named data. Any other kind given to LoadResourceData is itself the
// resource type number.
enum : int32_t {
  kDataKindBinary = 100,     // RT_RCDATA resources
  kDataKindBinaryAlt = 101,  // RT_RCDATA resources
  kDataKindText = 102,       // "TEXT" resources (language files)
};

// A resource named by number (MAKEINTRESOURCE); refused where a text name is needed.
inline const char* ResourceNumber(uint16_t number) {
  return reinterpret_cast<const char*>(static_cast<uintptr_t>(number));
}
inline bool IsResourceNumber(const char* name) {
  return (reinterpret_cast<uintptr_t>(name) >> 16) == 0;
}

// Finds named data as a file: "<search directory>/name", then any entry of the
// search directory whose name without its last extension equals name (case
// matters). Only text names, kinds 100 to 102 and no module; else 20206.
Status FindNamedData(void* module, int32_t kind, const char* name, char* path, size_t path_size);
// FindNamedData and ReadWholeFile; failing that, LoadResourceData. The block
// holds the data and a trailing NUL; `size` (may be null) the data's length.
Status LoadNamedData(void* module, int32_t kind, const char* name, MemBlock* block,
                     size_t* size = nullptr);
// The resource from the module, the preferred module, the further modules, then
// the executable, copied into a movable block with a trailing NUL. Not found:
// the system status and no block.
Status LoadResourceData(void* module, int32_t kind, const char* name, MemBlock* block,
                        size_t* size = nullptr);
// The first resource module holding the resource (type and name may be
// numbers); the executable's module when none does.
void* FindResourceModule(const char* type, const char* name);

// Process-wide search places, empty unless set: the search directory of
// FindNamedData ("" means the current directory) and the resource modules.
constexpr size_t kFurtherResourceModules = 10;
void SetNamedDataDirectory(const char* directory);  // null or "" clears
void SetPreferredResourceModule(void* module);
void SetFurtherResourceModule(size_t slot, void* module);  // slots beyond the list are ignored

}  // namespace lumetra
