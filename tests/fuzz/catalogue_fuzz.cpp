// Language files: the input is written as the language file of a language
// whose name asks for every byte repair, and as the English file; the
// catalogue is built from them and each numbered text looked up again. The
// repair must keep every length, leave no backslash-n and no Macintosh letter.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "framework/support/catalogue.h"
#include "framework/support/files.h"
#include "framework/support/settings_tree.h"
#include "tests/fuzz/fuzz_support.h"

using namespace lumetra;

namespace {

constexpr char kLanguage[] = "GermanFrenchSpanish";
constexpr uint8_t kMacLetters[] = {0x80, 0x85, 0x86, 0x8A, 0x9A, 0x9F, 0xA7, 0x88, 0x8E, 0x97};

bool IsDecimalKey(const char* name, int32_t* number) {
  char* end = nullptr;
  long value = std::strtol(name, &end, 10);
  if (*name == '\0' || *end != '\0' || value < INT32_MIN || value > INT32_MAX) return false;
  char again[16];
  std::snprintf(again, sizeof again, "%ld", value);
  *number = static_cast<int32_t>(value);
  return std::strcmp(again, name) == 0;  // only the form "%d" writes can be looked up
}

void CheckRepaired(const char* original, const char* repaired) {
  fuzz::Require(std::strlen(original) == std::strlen(repaired), "the repair keeps the length");
  fuzz::Require(std::strstr(repaired, "\\n") == nullptr, "no backslash-n is left");
  for (const char* p = repaired; *p; ++p) {
    fuzz::Require(std::memchr(kMacLetters, static_cast<uint8_t>(*p), sizeof kMacLetters) == nullptr,
                  "no Macintosh letter is left");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string dir = fuzz::ScratchDir();
  fuzz::WriteFile(dir + "/" + kLanguage + "Language", data, size);
  fuzz::WriteFile(dir + "/EnglishLanguage", data, size);
  SetNamedDataDirectory(dir.c_str());
  LoadLanguage(kLanguage);

  // The same text read as the catalogue reads it, before any repair.
  SettingsTree* plain = CreateTree();
  SetLineMode(plain, true);
  ParseSettingsMemory(plain, data, size);
  for (int32_t i = 0; i < EntryCount(plain); ++i) {
    int32_t number = 0;
    if (EntryTypeAt(plain, i) != kTextEntry || !IsDecimalKey(EntryNameAt(plain, i), &number)) continue;
    const char* original = GetText(plain, EntryNameAt(plain, i), "");
    const char* repaired = LookupMessage(number);
    fuzz::Require(repaired != kMissingMessage, "every numbered line is found");
    CheckRepaired(original, repaired);
  }
  DestroyTree(plain, true);
  char buffer[8];
  GetMessageText(20206, buffer, sizeof buffer);
  fuzz::Require(std::strlen(buffer) < sizeof buffer, "the message text fits its buffer");
  FreeCatalogue();
  SetNamedDataDirectory(nullptr);
  return 0;
}
