#include "framework/support/file_types.h"

#include <cstring>

#include "framework/support/byte_order.h"
#include "framework/support/file_access.h"
#include "framework/support/files.h"
#include "framework/support/text_utils.h"

namespace lumetra {

namespace {

constexpr size_t kProbeSize = 256;       // bytes looked at by the content tests
constexpr int32_t kLastFileType = 33;    // FileTypeByExtension tries 0 to this
constexpr size_t kMaxExtension = 16;

struct FileTypeRow {
  int32_t type;
  char mac_type[5];
  char mac_creator[5];  // "****": any creator
  const char* extension;
};

// Lookups take the first row of a type; the row of -1 ends the table.
constexpr FileTypeRow kFileTypes[] = {
    {kFileTypeTiff, "TIFF", "****", "tif"},
    {kFileTypeJpeg, "JPEG", "****", "jpg"},
    {kFileTypePict, "PICT", "****", "pct"},
    {kFileTypeIccProfile, "prof", "sync", "icm"},
    {kFileTypeIccProfile, "prof", "sync", "icc"},
    {kFileTypeText, "TEXT", "****", "txt"},
    {kFileTypePng, "PNGf", "****", "png"},
    {kFileTypeTarga, "TPIC", "****", "tga"},
    {kFileTypeJpeg, "JFIF", "****", "jpg"},
    {kFileTypeScitexCt, "..CT", "****", "sct"},
    {kFileTypeGif, "GIFf", "****", "gif"},
    {kFileTypePdf, "APDF", "****", "pdf"},
    {kFileTypePdf, "PDF ", "****", "pdf"},
    {kFileTypePostScript, "TEXT", "vgrd", "ps"},
    {kFileTypeEps, "TEXT", "****", "eps"},
    {kFileTypeEps, "EPSF", "****", "eps"},
    {kFileTypeData, "DATA", "****", ""},
    {kFileTypeData, "BINA", "****", ""},
    {kFileTypeAnyProfile, "****", "****", "icm"},
    {kFileTypeApplication, "APPL", "****", "exe"},
    {kFileTypeBmp, "BMP ", "****", "bmp"},
    {kFileTypeCsv, "CSV ", "****", "csv"},
    {kFileTypeCxf, "CXFX", "CXFX", "cxf"},
    {kFileTypeNone, "", "", ""},
};

const FileTypeRow* FirstRowOf(int32_t type) {
  for (const FileTypeRow& row : kFileTypes) {
    if (row.type == kFileTypeNone) break;
    if (row.type == type) return &row;
  }
  return nullptr;
}

// The text after the last dot of the file name; "" without one.
const char* ExtensionOf(const char* path) {
  const char* dot = std::strrchr(FileNamePart(path), '.');
  return dot ? dot + 1 : "";
}

bool HasExtension(const char* path, const char* extension) {
  return CompareNoCase(ExtensionOf(path), extension) == 0;
}

bool BeginsWith(const uint8_t* bytes, size_t n, const char* prefix, size_t length) {
  return n >= length && std::memcmp(bytes, prefix, length) == 0;
}

// Offset of the first occurrence of text in the bytes, or n when it is absent.
size_t Find(const uint8_t* bytes, size_t n, const char* text) {
  size_t length = std::strlen(text);
  for (size_t i = 0; length <= n && i <= n - length; ++i) {
    if (std::memcmp(bytes + i, text, length) == 0) return i;
  }
  return n;
}

bool IsEps(const char* path, const uint8_t* bytes, size_t n) {
  if (HasExtension(path, "eps")) return true;
  if (HasExtension(path, "ps")) return false;
  if (n > 3 && BeginsWith(bytes, n, "\xC5\xD0\xD3\xC6", 4)) return true;  // DOS EPS binary header
  // The first line; with no line end among the bytes, all of them but the last.
  size_t line = 0;
  while (line < n && bytes[line] != '\n' && bytes[line] != '\r') ++line;
  if (line == n) line = n > 0 ? n - 1 : 0;
  if (line == 0) return false;
  return Find(bytes, line, "%!PS-Adobe") < line && Find(bytes, line, "EPSF") < line;
}

bool IsPostScript(const char* path, const uint8_t* bytes, size_t n) {
  if (HasExtension(path, "ps") || HasExtension(path, "prn")) return true;
  if (HasExtension(path, "eps")) return false;
  return BeginsWith(bytes, n, "%!", 2);
}

bool AllZero(const uint8_t* bytes, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

int32_t TypeFromContent(const char* path, const uint8_t* bytes, size_t n) {
  if (n > 3 && (BeginsWith(bytes, n, "II\x2A\x00", 4) || BeginsWith(bytes, n, "MM\x00\x2A", 4))) {
    return kFileTypeTiff;  // TIFF 6.0 section 2, image file header
  }
  if (IsEps(path, bytes, n)) return kFileTypeEps;
  if (IsPostScript(path, bytes, n)) return kFileTypePostScript;
  if (HasExtension(path, "pdf") || (n > 3 && BeginsWith(bytes, n, "%PDF", 4))) return kFileTypePdf;
  if (n > 3 && BeginsWith(bytes, n, "\xFF\xD8\xFF", 3)) return kFileTypeJpeg;
  if (AllZero(bytes, n)) return kFileTypePict;  // a PICT file opens with a 512-byte zero header
  if (n >= 40 && std::memcmp(bytes + 36, "acsp", 4) == 0) return kFileTypeIccProfile;  // ICC.1:2010 7.2.9
  if (n > 81 && bytes[80] == 'C' && bytes[81] == 'T') return kFileTypeScitexCt;
  if (n >= 4 && BeginsWith(bytes, n, "\x89PNG", 4)) return kFileTypePng;
  // The reserved words at offsets 6 to 9 of a BITMAPFILEHEADER are zero;
  // all four must have been read.
  if (n >= 10 && (BeginsWith(bytes, n, "BM", 2) || BeginsWith(bytes, n, "MB", 2)) &&
      LoadLE32(bytes + 6) == 0) {
    return kFileTypeBmp;
  }
  if (n > 5 && BeginsWith(bytes, n, "GIF", 3)) return kFileTypeGif;
  size_t xml = Find(bytes, n, "xml");
  size_t cxf = Find(bytes, n, "CXF");
  if (xml < n && cxf < n && xml < cxf) return kFileTypeCxf;
  return FileTypeByExtension(path);
}

}  // namespace

Status DetectFileType(const char* path, int32_t* type) {
  if (!type) return kBadArgument;
  *type = kFileTypeNone;
  if (!path) return kNoFileName;

  uint8_t bytes[kProbeSize] = {};
  size_t n = 0;
  FileHandle file = nullptr;
  if (FileOpen(path, kFileModeRead, &file) == kOk) {
    FileRead(file, sizeof bytes, &n, bytes);  // a short read is the usual case
    FileClose(file);
  }
  *type = n == 0 ? FileTypeByExtension(path) : TypeFromContent(path, bytes, n);
  return kOk;
}

int32_t FileTypeByExtension(const char* path) {
  if (!path) return kFileTypeNone;
  const char* extension = ExtensionOf(path);
  size_t length = std::strlen(extension);
  if (length == 0 || length >= kMaxExtension) return kFileTypeNone;
  char lower[kMaxExtension];
  for (size_t i = 0; i <= length; ++i) {
    char c = extension[i];
    lower[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
  }
  for (int32_t type = 0; type <= kLastFileType; ++type) {
    const FileTypeRow* row = FirstRowOf(type);
    if (row && std::strcmp(row->extension, lower) == 0) return type;
  }
  return kFileTypeNone;
}

Status FileTypeInfo(int32_t type, uint32_t* mac_type, uint32_t* mac_creator,
                    const char** extension) {
  const FileTypeRow* row = FirstRowOf(type);
  if (!row) return kUnknownFormat;
  if (mac_type) *mac_type = Signature(row->mac_type);
  if (mac_creator) *mac_creator = Signature(row->mac_creator);
  if (extension) *extension = row->extension;
  return kOk;
}

}  // namespace lumetra
