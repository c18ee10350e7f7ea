#include "framework/dialogs/template_font.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "framework/support/memory.h"

namespace lumetra {
namespace {

constexpr uint32_t kStyle = 0x80C800C0;  // WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT
constexpr uint32_t kSetFont = 0x40;

// A template after the Win32 DLGTEMPLATE or DLGTEMPLATEEX layout with two
// button items; records where the font block and the first item start.
struct Template {
  Template(bool extended, uint32_t style, const char* face) {
    if (extended) {
      U16(1), U16(0xFFFF), U32(77), U32(0), U32(style);  // version, signature, help id, ex style
    } else {
      U32(style), U32(0);
    }
    U16(2), U16(0), U16(0), U16(200), U16(100);  // items, x, y, cx, cy
    if (extended) U16(0xFFFF), U16(5), Text("MyClass");  // menu 5 by ordinal, class by name
    else U16(0), U16(0);
    Text("Profiles");
    font = bytes.size();
    if (style & kSetFont) {
      U16(9);
      if (extended) U16(700), U16(0x8001);  // weight, italic 1, charset 128
      Text(face);
    }
    for (uint16_t id : {1, 3}) {
      while (bytes.size() % 4) bytes.push_back(0);
      if (id == 1) items = bytes.size();
      U32(0x50010000), U32(0), U16(7), U16(7), U16(50), U16(14), U16(id);
      U16(0xFFFF), U16(0x0080), Text(id == 1 ? "OK" : "List"), U16(0);
    }
  }
  void U16(uint16_t v) { bytes.push_back(uint8_t(v)), bytes.push_back(uint8_t(v >> 8)); }
  void U32(uint32_t v) { U16(uint16_t(v)), U16(uint16_t(v >> 16)); }
  void Text(const char* s) {
    for (; *s; ++s) U16(uint8_t(*s));
    U16(0);
  }

  std::vector<uint8_t> bytes;
  size_t font = 0, items = 0;
};

size_t Aligned(size_t v) { return (v + 3) & ~size_t{3}; }

// Rewrites the first `length` bytes from an exactly sized heap copy, so that
// the sanitizer sees any read past the template's end.
Status Rewrite(const std::vector<uint8_t>& tmpl, size_t length, const char* face, int16_t size,
               std::vector<uint8_t>* result = nullptr) {
  std::unique_ptr<uint8_t[]> exact(new uint8_t[length + 1]);
  std::copy(tmpl.begin(), tmpl.begin() + length, exact.get());
  void* out = &out;
  Status status = RewriteTemplateFont(exact.get(), face, size, &out, uint32_t(length));
  if (status != kOk) {
    EXPECT_EQ(out, nullptr) << "a refused template leaves no block";
    return status;
  }
  const uint8_t* p = static_cast<const uint8_t*>(out);
  if (result) result->assign(p, p + MemSize(out));
  MemFree(out);
  return status;
}

void ExpectRewrite(bool extended, const char* face, int16_t size, uint16_t expected_size) {
  SCOPED_TRACE(std::string(extended ? "DLGTEMPLATEEX, " : "DLGTEMPLATE, ") + face);
  const Template t(extended, kStyle, "Tahoma");
  const size_t fixed = extended ? 6 : 2;  // fields before the face
  std::vector<uint8_t> r;
  ASSERT_EQ(Rewrite(t.bytes, t.bytes.size(), face, size, &r), kOk);
  const size_t new_items = Aligned(t.font + fixed + 2 * (std::strlen(face) + 1));
  ASSERT_EQ(r.size(), new_items + t.bytes.size() - t.items);
  EXPECT_TRUE(std::equal(t.bytes.begin(), t.bytes.begin() + t.font, r.begin()))
      << "header, menu, class and title unchanged";
  EXPECT_EQ(r[t.font] | (r[t.font + 1] << 8), expected_size);
  EXPECT_TRUE(std::equal(t.bytes.begin() + t.font + 2, t.bytes.begin() + t.font + fixed,
                         r.begin() + t.font + 2))
      << "weight, italic and character set kept";
  std::string written;
  for (size_t i = t.font + fixed; r[i] || r[i + 1]; i += 2) written += char(r[i]);
  EXPECT_EQ(written, face);
  EXPECT_TRUE(std::equal(t.bytes.begin() + t.items, t.bytes.end(), r.begin() + new_items))
      << "items follow at the aligned offset, byte for byte";
}

TEST(RewriteTemplateFont, ReplacesTheFontBlockAndMovesTheItemsInBothLayouts) {
  for (bool extended : {false, true}) {
    ExpectRewrite(extended, "MS Shell Dlg", 8, 8);
    ExpectRewrite(extended, "A Much Longer Face Name", 8, 8);
    ExpectRewrite(extended, "", 0, 9);  // size 0 keeps the template's own
  }
  // One more character after "Tahoma" crosses a DWORD boundary: the items
  // move by a whole DWORD.
  const Template t(false, kStyle, "Tahoma");
  std::vector<uint8_t> a, b;
  Rewrite(t.bytes, t.bytes.size(), "Tahoma", 8, &a);
  Rewrite(t.bytes, t.bytes.size(), "Tahoma7", 8, &b);
  EXPECT_EQ(b.size(), a.size() + 4);
}

TEST(RewriteTemplateFont, RefusesTemplatesWithoutFontOrCutShort) {
  for (bool extended : {false, true}) {
    SCOPED_TRACE(extended ? "DLGTEMPLATEEX" : "DLGTEMPLATE");
    const Template no_font(extended, kStyle & ~kSetFont, "");
    EXPECT_EQ(Rewrite(no_font.bytes, no_font.bytes.size(), "MS Shell Dlg", 8), kNotAvailable);

    // Every cut up to the first item (inside the header, the title or the
    // face) is refused; later cuts lose only item bytes, copied as far as
    // they reach.
    const Template t(extended, kStyle, "Tahoma");
    for (size_t length = 0; length < t.bytes.size(); ++length) {
      EXPECT_EQ(Rewrite(t.bytes, length, "MS Shell Dlg", 8), length <= t.items ? kBadArgument : kOk)
          << "cut at " << length;
    }
  }
  void* out = nullptr;
  const Template t(false, kStyle, "Tahoma");
  EXPECT_EQ(RewriteTemplateFont(nullptr, "x", 8, &out, 100), kBadArgument);
  EXPECT_EQ(RewriteTemplateFont(t.bytes.data(), nullptr, 8, &out, 100), kBadArgument);
}

}  // namespace
}  // namespace lumetra
