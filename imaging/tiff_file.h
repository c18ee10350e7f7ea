// TIFF file structure (TIFF 6.0 sections 2 and 8): the header, the first
// image file directory and its tags, and the image description the TIFF
// loader and TTiffReader work from. Everything read from the file is checked
// against the file and against overflow before it is used.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/support/buffered_file.h"
#include "framework/support/memory.h"
#include "framework/support/status.h"

namespace lumetra {

// Field types (TIFF 6.0 section 2).
enum : uint16_t {
  kTiffByte = 1,
  kTiffAscii = 2,
  kTiffShort = 3,
  kTiffLong = 4,
  kTiffRational = 5,
  kTiffSByte = 6,
  kTiffUndefined = 7,
  kTiffSShort = 8,
  kTiffSLong = 9,
  kTiffSRational = 10,
  kTiffFloat = 11,
  kTiffDouble = 12,
};

// Tags the readers use.
enum : uint16_t {
  kTiffTagImageWidth = 256,
  kTiffTagImageLength = 257,
  kTiffTagBitsPerSample = 258,
  kTiffTagCompression = 259,
  kTiffTagPhotometric = 262,
  kTiffTagImageDescription = 270,
  kTiffTagStripOffsets = 273,
  kTiffTagSamplesPerPixel = 277,
  kTiffTagRowsPerStrip = 278,
  kTiffTagStripByteCounts = 279,
  kTiffTagXResolution = 282,
  kTiffTagYResolution = 283,
  kTiffTagPlanarConfiguration = 284,
  kTiffTagResolutionUnit = 296,
  kTiffTagPredictor = 317,
  kTiffTagIptc = 33723,
  kTiffTagPhotoshop = 34377,
  kTiffTagIccProfile = 34675,
};

// Compression codes. kTiffLzwDifferencing is not stored in files: it stands
// for LZW with Predictor 2 (horizontal differencing).
enum : uint32_t {
  kTiffNoCompression = 1,
  kTiffLzw = 5,
  kTiffLzwDifferencing = 7,
  kTiffPackBits = 32773,
};

constexpr uint32_t kTiffMaxSamplesPerPixel = 255;

// Bytes of one value of a field type; 1 for types TIFF 6.0 does not define.
size_t TiffTypeSize(uint16_t type);

// An opened TIFF file: its byte order and the file it reads through (not owned).
struct TiffFile {
  bool little_endian;
  uint32_t first_directory;  // offset of the first image file directory
  SpecialFile* file;
};

// Checks the header (byte-order mark "II" or "MM", then 42) and records the
// byte order; 20501 when either is wrong, a file error when it cannot be read.
// `file` is read from its start and must outlive the record.
Status OpenTiffFile(SpecialFile* file, TiffFile** tiff);
void CloseTiffFile(TiffFile* tiff);  // null is accepted

// One directory entry in host order. `value` is the value field as a number:
// the first value itself when the values fit in the entry (a BYTE as 8 bits,
// a SHORT as 16), else the offset of the values in the file.
struct TiffEntry {
  uint16_t tag;
  uint16_t type;
  uint32_t count;
  uint32_t value;
  uint8_t field[4];  // the value field as stored, for values standing in the entry
};

struct TiffDirectory {
  uint32_t entry_count;
  uint32_t next_directory;  // offset of the next directory, not followed
  TiffEntry entries[1];     // entry_count entries
};

// Reads image file directory `number`; only the first (1) is read, any other
// number gives 20003. 20501 when the directory lies outside the file.
Status ReadTiffDirectory(TiffFile* tiff, uint32_t number, TiffDirectory** directory);
void FreeTiffDirectory(TiffDirectory* directory);  // null is accepted

// Searches the entries in order; a tag number 0 ends the search. A missing
// tag gives 20502 and zeros.
Status FindTiffTag(const TiffDirectory* directory, uint16_t tag, uint16_t* type,
                   uint32_t* count, uint32_t* value);

// The first value of a tag: 8 bits for BYTE, ASCII and SBYTE, 16 for SHORT
// and SSHORT, 32 otherwise. A missing tag (or one without values) gives the
// default when there is one, else 20502.
Status GetTiffScalar(const TiffDirectory* directory, uint16_t tag, uint32_t* value,
                     bool has_default = false, uint32_t default_value = 0);

// All values of a tag in a fresh block, in host order (RATIONALs as pairs of
// 32-bit numbers). 20502 for a missing tag; 3003 when the values pass the end
// of the file; 21002 when memory is short. A tag with no values gives a null
// block and count 0.
Status GetTiffArray(TiffFile* tiff, const TiffDirectory* directory, uint16_t tag,
                    MemPtr<uint8_t>* block, size_t* element_size, uint32_t* count);

// The first value of a RATIONAL tag.
Status GetTiffRational(TiffFile* tiff, const TiffDirectory* directory, uint16_t tag,
                       uint32_t* numerator, uint32_t* denominator);

// The first image of a file, as the readers need it.
struct TiffImage {
  TiffFile* tiff;            // not owned
  bool swap_samples;         // the file's byte order differs from the host's
  uint32_t compression;      // kTiff... codes, LZW with Predictor 2 as kTiffLzwDifferencing
  uint32_t predictor;        // 1 none, 2 horizontal differencing
  uint32_t width;
  uint32_t height;
  uint32_t x_resolution[2];  // numerator, denominator; 0/0 when missing
  uint32_t y_resolution[2];
  uint32_t bits_per_sample;  // the first value
  uint32_t samples_per_pixel;
  uint32_t planar_configuration;
  uint32_t rows_per_strip;   // the image height when missing or larger
  uint32_t color_space;      // 0: a photometric interpretation not supported
  uint32_t resolution_unit;
  TiffDirectory* directory;  // owned
};

// Reads the first directory and the image's tags. 20501 when width, height or
// bits per sample are missing or the directory cannot be read.
Status OpenTiffImage(TiffFile* tiff, TiffImage** image);
void CloseTiffImage(TiffImage* image);  // frees the directory; null is accepted

// Whether this code decodes the image: 20508 for a photometric interpretation
// it does not support, 20504 for a compression or predictor, 20217 for bits
// other than 8 or 16, 20203 for separate planes, a zero size or fewer samples
// than the colour space has channels.
Status CheckTiffImageSupported(const TiffImage& image);

// Bytes of one pixel: samples per pixel x bytes per sample (bits rounded up).
size_t TiffBytesPerPixel(const TiffImage& image);

// The tags TTiffReader hands out with its format: a list sorted by tag number,
// each tag at most once.
struct TiffListedTag {
  TiffListedTag* next;
  uint16_t tag;
  uint16_t type;
  uint32_t count;
  size_t size;    // bytes of data
  uint8_t* data;  // the values in host order
};

struct TiffTagList {
  TiffListedTag* first;
};

// Adds a tag, taking the data block; a tag already listed is replaced.
// 21002 when memory is short (the block is freed then).
Status SetListedTiffTag(TiffTagList* list, uint16_t tag, uint16_t type, uint32_t count,
                        MemPtr<uint8_t> data, size_t size);
const TiffListedTag* FindListedTiffTag(const TiffTagList* list, uint16_t tag);
void ClearTiffTagList(TiffTagList* list);  // frees every listed tag

}  // namespace lumetra
