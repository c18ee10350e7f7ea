// File types: small numbers naming file formats, found from a file's first
// bytes and, failing that, from its extension.
#pragma once

#include <cstdint>

#include "framework/support/status.h"

namespace lumetra {

enum FileType : int32_t {
  kFileTypeNone = -1,
  kFileTypeTiff = 0,
  kFileTypePostScript = 1,
  kFileTypeJpeg = 2,
  kFileTypePict = 3,
  kFileTypeIccProfile = 4,
  kFileTypeText = 5,
  kFileTypeData = 7,
  kFileTypeScitexCt = 12,
  kFileTypePng = 15,
  kFileTypeTarga = 16,
  kFileTypeGif = 17,
  kFileTypeBmp = 18,
  kFileTypePdf = 20,
  kFileTypeEps = 24,
  kFileTypeApplication = 25,
  kFileTypeAnyProfile = 28,
  kFileTypeCsv = 30,
  kFileTypeCxf = 32,
};

// The type from the first 256 bytes; from the extension when the file cannot
// be read or no content test matches. 3001 without a path, else 0.
Status DetectFileType(const char* path, int32_t* type);

// The type whose first table row carries the path's extension (any case), or
// kFileTypeNone, also for a path without an extension.
int32_t FileTypeByExtension(const char* path);

// The first table row of a type: Macintosh type and creator codes ("****" is
// any) and the extension ("" for none). Each output may be null. 21506 when
// the type has no row.
Status FileTypeInfo(int32_t type, uint32_t* mac_type, uint32_t* mac_creator,
                    const char** extension);

}  // namespace lumetra
