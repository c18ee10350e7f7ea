#include "framework/support/tstring.h"

#include <cstring>

#include "framework/support/memory.h"

namespace lumetra {

namespace {

uint32_t TextLength(const char* text) {
  if (!text) return 0;
  size_t length = std::strlen(text);
  // Longer texts cannot be counted in 32 bits; keep what can.
  return length < UINT32_MAX ? static_cast<uint32_t>(length) : UINT32_MAX - 1;
}

}  // namespace

TString::TString() : text_(inline_) {}

TString::TString(const char* text) : text_(inline_) { Assign(text, TextLength(text)); }

TString::TString(char c) : text_(inline_) {
  if (c != '\0') Assign(&c, 1);
}

TString::TString(const TString& other) : text_(inline_) { Assign(other.text_, other.length_); }

TString& TString::operator=(const TString& other) {
  if (this != &other) Assign(other.text_, other.length_);
  return *this;
}

TString& TString::operator=(const char* text) {
  Assign(text, TextLength(text));
  return *this;
}

TString::~TString() { Release(); }

bool TString::operator==(const TString& other) const {
  return length_ == other.length_ && std::memcmp(text_, other.text_, length_) == 0;
}

int32_t TString::Find(char c, uint32_t from) const {
  for (uint32_t i = from; i < length_; ++i) {
    if (text_[i] == c) return static_cast<int32_t>(i);
  }
  return -1;
}

bool TString::Append(const TString& other) {
  if (other.length_ == 0) return true;
  if (other.length_ > UINT32_MAX - 1 - length_) return false;
  uint32_t joined = length_ + other.length_;
  if (joined < kInlineSize) {
    // Both texts are inline here, and the appended bytes land past the end
    // of this one, so even appending a string to itself copies cleanly.
    std::memcpy(inline_ + length_, other.text_, other.length_);
    inline_[joined] = '\0';
    length_ = joined;
    return true;
  }
  char* block = static_cast<char*>(MemAlloc(size_t{joined} + 1));
  if (!block) return false;
  std::memcpy(block, text_, length_);
  std::memcpy(block + length_, other.text_, other.length_);
  block[joined] = '\0';
  Release();
  text_ = block;
  length_ = joined;
  return true;
}

TString TString::Substring(uint32_t position, uint32_t count) const {
  TString result;
  if (position >= length_) return result;
  uint32_t rest = length_ - position;
  if (count == 0 || count > rest) count = rest;
  result.Assign(text_ + position, count);
  return result;
}

uint32_t TString::FieldCount(char separator) const {
  if (length_ == 0) return 0;
  uint32_t count = 1;
  for (uint32_t i = 0; i < length_; ++i) {
    if (text_[i] == separator) ++count;
  }
  return count;
}

bool TString::FieldBegin(uint32_t index, char separator, uint32_t* begin) const {
  if (length_ == 0) return false;
  uint32_t position = 0;
  for (uint32_t field = 0; field < index; ++field) {
    int32_t next = Find(separator, position);
    if (next < 0) return false;
    position = static_cast<uint32_t>(next) + 1;
  }
  *begin = position;
  return true;
}

TString TString::Field(uint32_t index, char separator) const {
  uint32_t begin = 0;
  if (!FieldBegin(index, separator, &begin)) return TString();
  int32_t end = Find(separator, begin);
  uint32_t stop = end < 0 ? length_ : static_cast<uint32_t>(end);
  TString result;
  result.Assign(text_ + begin, stop - begin);
  return result;
}

TString TString::FieldsFrom(uint32_t start, char separator) const {
  uint32_t begin = 0;
  if (!FieldBegin(start, separator, &begin)) return TString();
  TString result;
  result.Assign(text_ + begin, length_ - begin);
  return result;
}

bool TString::Assign(const char* text, uint32_t length) {
  if (length < kInlineSize) {
    // The text may lie in this string's own inline buffer or heap block:
    // move it first, free the block afterwards.
    if (length > 0) std::memmove(inline_, text, length);
    inline_[length] = '\0';
    if (text_ != inline_) MemFree(text_);
    text_ = inline_;
    length_ = length;
    return true;
  }
  char* block = static_cast<char*>(MemAlloc(size_t{length} + 1));
  if (!block) return false;
  std::memcpy(block, text, length);
  block[length] = '\0';
  Release();
  text_ = block;
  length_ = length;
  return true;
}

void TString::Release() {
  if (text_ != inline_) MemFree(text_);
  text_ = inline_;
  inline_[0] = '\0';
  length_ = 0;
}

}  // namespace lumetra
