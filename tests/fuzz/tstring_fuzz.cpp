// TString: fields at a separator, substrings, and copies that read from the
// string's own storage. Input: the separator, a position, a count, then the
// text (up to its first NUL).
#include <cstdint>
#include <cstring>
#include <string>

#include "framework/support/tstring.h"
#include "tests/fuzz/fuzz_support.h"

using namespace lumetra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const char separator = static_cast<char>(data[0]);
  const uint32_t position = data[1];
  const uint32_t count = data[2];
  std::string plain(reinterpret_cast<const char*>(data + 3), size - 3);
  plain = plain.c_str();  // a TString holds text up to its NUL

  TString text(plain.c_str());
  fuzz::Require(text.Length() == plain.size() && plain == text.CStr(), "the text is held whole");

  uint32_t fields = text.FieldCount(separator);
  std::string joined;
  for (uint32_t i = 0; i < fields; ++i) {
    if (i > 0) joined += separator;
    TString field = text.Field(i, separator);
    fuzz::Require(field.Find(separator) < 0 || separator == '\0', "a field holds no separator");
    joined += field.CStr();
    TString rest = text.FieldsFrom(i, separator);
    fuzz::Require(plain.size() >= rest.Length() &&
                      plain.compare(plain.size() - rest.Length(), rest.Length(), rest.CStr()) == 0,
                  "the fields from one on are the end of the text");
  }
  fuzz::Require(joined == plain, "the fields joined again give the text");
  fuzz::Require(text.Field(fields, separator).IsEmpty(), "there is no field past the last");

  TString part = text.Substring(position, count);
  std::string expected = position < plain.size() ? plain.substr(position, count ? count : std::string::npos) : "";
  fuzz::Require(expected == part.CStr(), "a substring is the same as the standard one");

  // Copies out of the string's own storage, inline and on the heap.
  TString copy(text);
  copy = copy;
  copy = copy.CStr() + (position < copy.Length() ? position : 0);
  fuzz::Require(copy == TString(plain.c_str() + (position < plain.size() ? position : 0)), "a tail copied onto itself");
  TString doubled(text);
  doubled.Append(doubled);
  fuzz::Require(std::string(doubled.CStr()) == plain + plain, "a text appended to itself");
  doubled += TString(separator);
  int32_t found = doubled.Find(separator, position);
  fuzz::Require(found < 0 || doubled.CStr()[found] == separator, "Find points at the separator");
  return 0;
}
