#include "framework/support/catalogue.h"

#include <cstdio>
#include <cstring>

#include "framework/support/files.h"
#include "framework/support/memory.h"
#include "framework/support/settings_tree.h"

namespace lumetra {

const char kMissingMessage[] = "-";

namespace {

// One subtree per loaded language, the requested one first.
SettingsTree* catalogue = nullptr;

constexpr size_t kFileNameSize = 64;
constexpr char kEnglish[] = "English";

// Language files are often written on a Macintosh; these are the letters
// they use, from Mac OS Roman to Windows Latin-1.
struct ByteRepair {
  const char* language;
  uint8_t from;
  uint8_t to;
};
constexpr ByteRepair kRepairs[] = {
    {"German", 0x80, 0xC4},  {"German", 0x85, 0xD6}, {"German", 0x86, 0xDC},
    {"German", 0x8A, 0xE4},  {"German", 0x9A, 0xF6}, {"German", 0x9F, 0xFC},
    {"German", 0xA7, 0xDF},  {"French", 0x88, 0xE0}, {"French", 0x8E, 0xE9},
    {"Spanish", 0x97, 0xF3},
};

// Two characters stay two characters, so the repair never changes a length.
void RepairText(char* text, const char* language) {
  for (char* p = text; *p; ++p) {
    if (p[0] == '\\' && p[1] == 'n') {
      p[0] = ' ';
      p[1] = '\n';
      ++p;
      continue;
    }
    for (const ByteRepair& repair : kRepairs) {
      if (static_cast<uint8_t>(*p) == repair.from && std::strstr(language, repair.language)) {
        *p = static_cast<char>(repair.to);
        break;
      }
    }
  }
}

SettingsTree* ParseLanguageText(MemBlock text, const char* language) {
  SettingsTree* tree = CreateTree();
  if (!tree) return nullptr;
  SetLineMode(tree, true);
  // Whatever was read before a fault is kept.
  ParseSettingsBlock(tree, text);

  for (int32_t i = 0; i < EntryCount(tree); ++i) {
    if (EntryTypeAt(tree, i) != kTextEntry) continue;
    const char* original = EntryValueAt(tree, i).text;
    size_t bytes = std::strlen(original) + 1;
    MemPtr<char> repaired(static_cast<char*>(MemAlloc(bytes)));
    if (!repaired) continue;  // the text stays as written
    CopyBytes(original, repaired.get(), bytes);
    RepairText(repaired.get(), language);
    SetText(tree, EntryNameAt(tree, i), repaired.get());
  }
  return tree;
}

Status LoadLanguageText(const char* file_name, MemBlock* block) {
  *block = nullptr;
  Status status = LoadNamedData(nullptr, kDataKindText, file_name, block);
  if (status != kOk && *block) {
    MemFree(*block);
    *block = nullptr;
  }
  return status;
}

void AddSection(const char* language, SettingsTree* section) {
  if (!section) return;
  if (!catalogue || SetEntry(catalogue, language, kSubtreeEntry, SubtreeValue(section)) != kOk) {
    DestroyTree(section, true);
  }
}

}  // namespace

Status LoadLanguage(const char* language) {
  FreeCatalogue();
  if (!language) return kBadArgument;
  char file_name[kFileNameSize];
  int length = std::snprintf(file_name, sizeof(file_name), "%sLanguage", language);
  if (length < 0 || static_cast<size_t>(length) >= sizeof(file_name)) return kBadArgument;

  MemBlock primary = nullptr;
  MemBlock fallback = nullptr;
  Status result = LoadLanguageText(file_name, &primary);
  if (result != kOk) result = LoadLanguageText("DefaultLanguage", &primary);
  if (result != kOk || !std::strstr(language, kEnglish)) {
    result = LoadLanguageText("EnglishLanguage", &fallback);
  }

  SettingsTree* primary_tree = primary ? ParseLanguageText(primary, language) : nullptr;
  SettingsTree* fallback_tree = fallback ? ParseLanguageText(fallback, kEnglish) : nullptr;
  MemFree(primary);
  MemFree(fallback);

  catalogue = CreateTree();
  AddSection(language, primary_tree);
  AddSection(kEnglish, fallback_tree);
  return result;
}

const char* LookupMessage(int32_t number) {
  if (!catalogue) LoadLanguage(kEnglish);
  char key[16];
  std::snprintf(key, sizeof(key), "%d", static_cast<int>(number));
  for (int32_t i = 0; i < EntryCount(catalogue); ++i) {
    const char* text = GetText(SubtreeAt(catalogue, i), key, nullptr);
    if (text) return text;
  }
  return kMissingMessage;
}

Status GetMessageText(int32_t code, char* buffer, size_t buffer_size) {
  const char* text = LookupMessage(code);
  if (buffer && buffer_size > 0) {
    size_t length = std::strlen(text);
    if (length >= buffer_size) length = buffer_size - 1;
    CopyBytes(text, buffer, length);
    buffer[length] = '\0';
  }
  return text == kMissingMessage ? kNoMessageText : kOk;
}

bool CatalogueHasLanguage(const char* language) {
  return GetSubtree(catalogue, language) != nullptr;
}

void FreeCatalogue() {
  DestroyTree(catalogue, true);
  catalogue = nullptr;
}

}  // namespace lumetra
