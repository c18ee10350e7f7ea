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

// Builds dialog templates after the Win32 DLGTEMPLATE / DLGTEMPLATEEX layouts.
class TemplateBuilder {
 public:
  void U8(uint8_t v) { bytes.push_back(v); }
  void U16(uint16_t v) {
    U8(static_cast<uint8_t>(v));
    U8(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    U16(static_cast<uint16_t>(v));
    U16(static_cast<uint16_t>(v >> 16));
  }
  void Text(const char* s) {
    for (; *s; ++s) U16(static_cast<uint8_t>(*s));
    U16(0);
  }
  void Align() {
    while (bytes.size() % 4) U8(0);
  }
  // A button item with a recognisable id and title.
  void Item(uint16_t id, const char* title) {
    Align();
    U32(0x50010000);  // style
    U32(0);           // extended style
    U16(7), U16(7), U16(50), U16(14);
    U16(id);
    U16(0xFFFF), U16(0x0080);  // class: button atom
    Text(title);
    U16(0);  // no creation data
  }

  std::vector<uint8_t> bytes;
};

constexpr uint32_t kStyleWithFont = 0x80C800C0;  // WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT

// DLGTEMPLATE: no menu, no class, a title, the font, two items.
std::vector<uint8_t> PlainTemplate(uint32_t style, const char* face, size_t* font_offset,
                                   size_t* items_offset) {
  TemplateBuilder b;
  b.U32(style), b.U32(0), b.U16(2);
  b.U16(0), b.U16(0), b.U16(200), b.U16(100);
  b.U16(0);  // menu
  b.U16(0);  // class
  b.Text("Profiles");
  *font_offset = b.bytes.size();
  if (style & 0x40) b.U16(9), b.Text(face);
  b.Align();
  *items_offset = b.bytes.size();
  b.Item(1, "OK");
  b.Item(3, "List");
  return b.bytes;
}

// DLGTEMPLATEEX: a menu by ordinal, a class by name, a title, the font, two items.
std::vector<uint8_t> ExtendedTemplate(uint32_t style, const char* face, size_t* font_offset,
                                      size_t* items_offset) {
  TemplateBuilder b;
  b.U16(1), b.U16(0xFFFF), b.U32(77), b.U32(0), b.U32(style), b.U16(2);
  b.U16(0), b.U16(0), b.U16(200), b.U16(100);
  b.U16(0xFFFF), b.U16(5);  // menu 5
  b.Text("MyClass");
  b.Text("Ex");
  *font_offset = b.bytes.size();
  if (style & 0x40) b.U16(9), b.U16(700), b.U8(1), b.U8(128), b.Text(face);
  b.Align();
  *items_offset = b.bytes.size();
  b.Item(1, "OK");
  b.Item(3, "List");
  return b.bytes;
}

std::string FaceAt(const uint8_t* p) {
  std::string s;
  for (; p[0] || p[1]; p += 2) s += static_cast<char>(p[0] | (p[1] << 8));
  return s;
}

size_t Aligned(size_t v) { return (v + 3) & ~size_t{3}; }

struct Rewritten {
  Status status = -1;
  std::vector<uint8_t> bytes;
};

// Rewrites from an exactly sized heap copy, so that the sanitizer sees any
// read past the template's end.
Rewritten Rewrite(const std::vector<uint8_t>& tmpl, const char* face, int16_t size,
                  size_t length) {
  std::unique_ptr<uint8_t[]> exact(new uint8_t[length ? length : 1]);
  if (length) std::memcpy(exact.get(), tmpl.data(), length);
  void* out = reinterpret_cast<void*>(1);
  Rewritten r;
  r.status = RewriteTemplateFont(exact.get(), face, size, &out, static_cast<uint32_t>(length));
  if (r.status == kOk) {
    const uint8_t* p = static_cast<const uint8_t*>(out);
    r.bytes.assign(p, p + MemSize(out));
    MemFree(out);
  } else {
    EXPECT_EQ(out, nullptr) << "a refused template leaves no block";
  }
  return r;
}

// The rewrite of each layout: the header up to the font block, the new font
// block and the item bytes behind the aligned offset.
void ExpectRewrite(const std::vector<uint8_t>& tmpl, size_t font, size_t items, size_t fixed,
                   const char* face, int16_t size, uint16_t expected_size) {
  SCOPED_TRACE(face);
  Rewritten r = Rewrite(tmpl, face, size, tmpl.size());
  ASSERT_EQ(r.status, kOk);
  const size_t new_items = Aligned(font + fixed + 2 * (std::strlen(face) + 1));
  ASSERT_EQ(r.bytes.size(), new_items + (tmpl.size() - items));
  EXPECT_TRUE(std::equal(tmpl.begin(), tmpl.begin() + font, r.bytes.begin()))
      << "header, menu, class and title unchanged";
  EXPECT_EQ(r.bytes[font] | (r.bytes[font + 1] << 8), expected_size);
  EXPECT_TRUE(std::equal(tmpl.begin() + font + 2, tmpl.begin() + font + fixed,
                         r.bytes.begin() + font + 2))
      << "weight, italic and character set kept";
  EXPECT_EQ(FaceAt(&r.bytes[font + fixed]), face);
  EXPECT_TRUE(std::equal(tmpl.begin() + items, tmpl.end(), r.bytes.begin() + new_items))
      << "items follow at the aligned offset, byte for byte";
}

TEST(RewriteTemplateFont, PlainLayoutReplacesTheFontBlockAndMovesTheItems) {
  size_t font = 0, items = 0;
  const std::vector<uint8_t> tmpl = PlainTemplate(kStyleWithFont, "Tahoma", &font, &items);
  ExpectRewrite(tmpl, font, items, 2, "MS Shell Dlg", 8, 8);
  ExpectRewrite(tmpl, font, items, 2, "Tahoma", 8, 8);
  ExpectRewrite(tmpl, font, items, 2, "A Much Longer Face Name", 8, 8);
  ExpectRewrite(tmpl, font, items, 2, "", 0, 9);  // size 0 keeps the template's

  // "Tahoma" ends its font block at an offset that needs padding; one more
  // character moves the items by a whole DWORD.
  const Rewritten a = Rewrite(tmpl, "Tahoma", 8, tmpl.size());
  const Rewritten b = Rewrite(tmpl, "Tahoma7", 8, tmpl.size());
  const size_t shift = Aligned(font + 2 + 16) - Aligned(font + 2 + 14);
  EXPECT_EQ(b.bytes.size(), a.bytes.size() + shift);
}

TEST(RewriteTemplateFont, ExtendedLayoutKeepsWeightItalicAndCharset) {
  size_t font = 0, items = 0;
  const std::vector<uint8_t> tmpl = ExtendedTemplate(kStyleWithFont, "Tahoma", &font, &items);
  ExpectRewrite(tmpl, font, items, 6, "MS Shell Dlg", 8, 8);
  ExpectRewrite(tmpl, font, items, 6, "X", -3, 9);
}

TEST(RewriteTemplateFont, RefusesTemplatesWithoutFontOrCutShort) {
  size_t font = 0, items = 0;
  for (bool extended : {false, true}) {
    SCOPED_TRACE(extended ? "DLGTEMPLATEEX" : "DLGTEMPLATE");
    const auto no_font = extended ? ExtendedTemplate(kStyleWithFont & ~0x40u, "", &font, &items)
                                  : PlainTemplate(kStyleWithFont & ~0x40u, "", &font, &items);
    EXPECT_EQ(Rewrite(no_font, "MS Shell Dlg", 8, no_font.size()).status, kNotAvailable);

    const auto tmpl = extended ? ExtendedTemplate(kStyleWithFont, "Tahoma", &font, &items)
                               : PlainTemplate(kStyleWithFont, "Tahoma", &font, &items);
    // Every cut before the first item, including inside the title and the
    // face, is refused; later cuts lose only item bytes, which are copied as
    // far as they reach.
    for (size_t length = 0; length < tmpl.size(); ++length) {
      const Status status = Rewrite(tmpl, "MS Shell Dlg", 8, length).status;
      if (length <= items) {
        EXPECT_EQ(status, kBadArgument) << "cut at " << length;
      } else {
        EXPECT_EQ(status, kOk) << "cut at " << length;
      }
    }
  }

  // A font block that ends the template exactly needs no padding when there
  // are no items.
  TemplateBuilder b;
  b.U32(kStyleWithFont), b.U32(0), b.U16(0), b.U16(0), b.U16(0), b.U16(9), b.U16(9);
  b.U16(0), b.U16(0), b.U16(0), b.U16(8), b.Text("A");
  ASSERT_NE(b.bytes.size() % 4, 0u);
  Rewritten r = Rewrite(b.bytes, "MS Shell Dlg", 8, b.bytes.size());
  EXPECT_EQ(r.status, kOk);

  void* out = nullptr;
  EXPECT_EQ(RewriteTemplateFont(nullptr, "x", 8, &out, 100), kBadArgument);
  EXPECT_EQ(RewriteTemplateFont(b.bytes.data(), nullptr, 8, &out, 100), kBadArgument);
  EXPECT_EQ(RewriteTemplateFont(b.bytes.data(), "x", 8, nullptr, 100), kBadArgument);
}

}  // namespace
}  // namespace lumetra
