// TString: the small text value of the program's own code (profile file names,
// display device names, device ids), with splitting at a separator character.
// Short texts live inline; longer ones in a fixed memory block the string owns.
#pragma once

#include <cstdint>

namespace lumetra {

class TString {
 public:
  static constexpr uint32_t kInlineSize = 20;  // bytes, the NUL included

  TString();
  TString(const char* text);  // null gives the empty string
  explicit TString(char c);   // the NUL character gives the empty string
  TString(const TString& other);
  TString& operator=(const TString& other);
  TString& operator=(const char* text);
  ~TString();

  uint32_t Length() const { return length_; }
  bool IsEmpty() const { return length_ == 0; }
  const char* CStr() const { return text_; }  // valid until the string changes
  bool IsInline() const { return text_ == inline_; }

  bool operator==(const TString& other) const;
  bool operator!=(const TString& other) const { return !(*this == other); }

  // The first position >= from holding c, or -1.
  int32_t Find(char c, uint32_t from = 0) const;

  // False, with the string unchanged, when memory is short.
  bool Append(const TString& other);
  TString& operator+=(const TString& other) {
    Append(other);
    return *this;
  }

  // From position, count characters; a count of 0 or one reaching past the
  // end takes the rest.
  TString Substring(uint32_t position, uint32_t count = 0) const;

  // Fields are the texts between separators (or a separator and either end).
  uint32_t FieldCount(char separator) const;
  TString Field(uint32_t index, char separator) const;
  // Fields start to the last, joined again with the separator.
  TString FieldsFrom(uint32_t start, char separator) const;

 private:
  // Replaces the text with `length` bytes from `text` (which may lie inside
  // this string). False, with the string unchanged, when memory is short.
  bool Assign(const char* text, uint32_t length);
  void Release();
  // Where field `index` begins; false when there are fewer fields.
  bool FieldBegin(uint32_t index, char separator, uint32_t* begin) const;

  char* text_;
  uint32_t length_ = 0;
  char inline_[kInlineSize] = {};
};

}  // namespace lumetra
