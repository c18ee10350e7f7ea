#include "framework/dialogs/template_font.h"

#include <cstring>

#include "framework/support/byte_reader.h"
#include "framework/support/memory.h"

namespace lumetra {
namespace {

// Win32 docs, "DLGTEMPLATE" and "DLGTEMPLATEEX structure".
constexpr uint32_t kDsSetFont = 0x40;
constexpr uint16_t kOrdinalMarker = 0xFFFF;      // sz_Or_Ord: an ordinal follows
constexpr size_t kHeaderSize = 18;               // style .. cy
constexpr size_t kHeaderItemCountOffset = 8;
constexpr size_t kExSignatureOffset = 2;         // dlgVer, then 0xFFFF
constexpr size_t kExStyleOffset = 12;            // after helpID and exStyle
constexpr size_t kExHeaderSize = 26;             // dlgVer .. cy
constexpr size_t kExHeaderItemCountOffset = 16;
constexpr size_t kFontFixedSize = 2;             // pointsize
constexpr size_t kExFontFixedSize = 6;           // pointsize, weight, italic, charset

struct FontBlock {
  size_t offset = 0;      // where the point size starts
  size_t size = 0;        // fixed fields plus the face and its NUL
  size_t fixed_size = 0;  // fields before the face
  uint16_t point_size = 0;
  uint16_t item_count = 0;
};

inline void StoreLE16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

// Items start on DWORD boundaries; false when rounding would overflow.
bool AlignUp4(size_t value, size_t* aligned) {
  if (!CheckedAdd(value, 3, aligned)) return false;
  *aligned &= ~size_t{3};
  return true;
}

// A NUL-terminated UTF-16 string; a missing terminator fails the reader.
void SkipString(ByteReader& reader) {
  while (reader.ok() && reader.LE16() != 0) {
  }
}

// sz_Or_Ord: 0 for none, 0xFFFF and an ordinal, or a string.
void SkipNameOrOrdinal(ByteReader& reader) {
  const uint16_t first = reader.LE16();
  if (first == kOrdinalMarker) {
    reader.LE16();
  } else if (first != 0) {
    SkipString(reader);
  }
}

// Finds the font block of either layout. The title is always a string in the
// published layout, never an ordinal.
Status FindFontBlock(const void* tmpl, size_t size, FontBlock* block) {
  ByteReader reader(tmpl, size);
  const uint8_t* signature = reader.At(kExSignatureOffset, 2);
  const bool extended = signature && LoadLE16(signature) == kOrdinalMarker;
  const size_t header_size = extended ? kExHeaderSize : kHeaderSize;
  const uint8_t* header = reader.At(0, header_size);
  if (!header) return kBadArgument;

  const uint32_t style = LoadLE32(header + (extended ? kExStyleOffset : 0));
  if ((style & kDsSetFont) == 0) return kNotAvailable;
  block->item_count =
      LoadLE16(header + (extended ? kExHeaderItemCountOffset : kHeaderItemCountOffset));

  reader.Seek(header_size);
  SkipNameOrOrdinal(reader);  // menu
  SkipNameOrOrdinal(reader);  // window class
  SkipString(reader);         // title
  block->offset = reader.position();
  block->fixed_size = extended ? kExFontFixedSize : kFontFixedSize;
  block->point_size = reader.LE16();
  reader.Skip(block->fixed_size - kFontFixedSize);
  SkipString(reader);  // face
  if (reader.failed()) return kBadArgument;
  block->size = reader.position() - block->offset;
  return kOk;
}

}  // namespace

Status RewriteTemplateFont(const void* tmpl, const char* face, int16_t point_size,
                           void** new_template, uint32_t template_size) {
  if (new_template) *new_template = nullptr;
  if (!tmpl || !face || !new_template) return kBadArgument;

  const size_t total = template_size;
  FontBlock block;
  Status status = FindFontBlock(tmpl, total, &block);
  if (status) return status;

  size_t old_items = 0;  // first item in the template as stored
  if (!AlignUp4(block.offset + block.size, &old_items)) return kBadArgument;
  // The padding before the first item may be missing at the very end of a
  // template without items; with items it must be there.
  const size_t tail = old_items < total ? total - old_items : 0;  // item bytes
  if (block.item_count > 0 && tail == 0) return kBadArgument;

  const size_t face_length = std::strlen(face);
  size_t face_bytes = 0;  // UTF-16 face with its NUL
  size_t new_block_size = 0;
  size_t new_items = 0;  // first item in the rewritten template
  size_t new_total = 0;
  if (!CheckedAdd(face_length, 1, &face_bytes) || !CheckedMul(face_bytes, 2, &face_bytes) ||
      !CheckedAdd(block.fixed_size, face_bytes, &new_block_size) ||
      !CheckedAdd(block.offset, new_block_size, &new_items) || !AlignUp4(new_items, &new_items) ||
      !CheckedAdd(new_items, tail, &new_total)) {
    return kOutOfMemory;
  }

  MemPtr<uint8_t> out(static_cast<uint8_t*>(MemAlloc(new_total)));  // zero-filled
  if (!out) return kOutOfMemory;
  const uint8_t* in = static_cast<const uint8_t*>(tmpl);

  CopyBytes(in, out.get(), block.offset + block.fixed_size);  // up to the face
  uint8_t* font = out.get() + block.offset;
  StoreLE16(font, point_size > 0 ? static_cast<uint16_t>(point_size) : block.point_size);
  uint8_t* units = font + block.fixed_size;
  for (size_t i = 0; i < face_length; ++i) {
    StoreLE16(units + 2 * i, static_cast<uint8_t>(face[i]));
  }
  // The terminating NUL and the padding up to new_items are already zero.
  if (tail > 0) CopyBytes(in + old_items, out.get() + new_items, tail);

  *new_template = out.release();
  return kOk;
}

}  // namespace lumetra
