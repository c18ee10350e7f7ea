// The settings text format: a token reader with five states over a source
// that hands out one byte at a time, and the parser of key/value pairs above it.
#include <cstring>

#include "framework/support/byte_reader.h"
#include "framework/support/settings_tree.h"
#include "framework/support/text_utils.h"

namespace lumetra {

namespace {

enum class TokenMode { kWord, kLine };

enum class TokenState { kSkipping, kPlain, kQuoted, kEscape, kComment };

struct Token {
  char* text = nullptr;  // NUL-terminated once read
  size_t capacity = 0;
  size_t length = 0;
  bool quoted = false;
  bool ended_by_line_end = false;

  ~Token() { MemFree(text); }
};

class ByteSource {
 public:
  ByteSource(SettingsReader reader, void* context) : reader_(reader), context_(context) {}

  // False at the end of the data, which also comes at the first NUL byte: a
  // memory block may hold more than its text.
  bool Next(char* c) {
    if (ended_) return false;
    int32_t read = 0;
    char byte = 0;
    if (reader_(context_, 1, &read, &byte) != kOk || read != 1 || byte == '\0') {
      ended_ = true;
      return false;
    }
    *c = byte;
    return true;
  }

 private:
  SettingsReader reader_;
  void* context_;
  bool ended_ = false;
};

// Keeps room for one more character and the NUL.
bool MakeRoom(Token* token) {
  if (token->length + 1 < token->capacity) return true;
  size_t doubled, capacity;
  if (!CheckedMul(token->capacity, 2, &doubled) || !CheckedAdd(doubled, 100, &capacity)) {
    return false;
  }
  auto* text = static_cast<char*>(MemAlloc(capacity));
  if (!text) return false;
  if (token->length > 0) CopyBytes(token->text, text, token->length);
  MemFree(token->text);
  token->text = text;
  token->capacity = capacity;
  return true;
}

Status ReadToken(ByteSource* source, Token* token, TokenMode mode) {
  const bool word = mode == TokenMode::kWord;
  token->length = 0;
  token->quoted = false;
  token->ended_by_line_end = false;
  TokenState state = TokenState::kSkipping;
  Status status = kOk;

  for (bool done = false; !done;) {
    char c;
    if (!source->Next(&c)) {
      status = kEndOfData;
      break;
    }
    const bool line_end = c == '\n' || c == '\r';
    bool store = false;
    switch (state) {
      case TokenState::kSkipping:
        if (c == ' ' || c == '\t') {
        } else if (line_end) {
          if (!word) done = token->ended_by_line_end = true;
        } else if (c == '"') {
          token->quoted = true;
          if (word) {
            state = TokenState::kQuoted;
          } else {
            store = true;
            state = TokenState::kPlain;
          }
        } else if (c == '#') {
          state = word ? TokenState::kComment : TokenState::kPlain;
        } else {
          store = true;
          state = TokenState::kPlain;
        }
        break;
      case TokenState::kPlain:
        if (line_end) {
          done = token->ended_by_line_end = true;
        } else if (word && (c == ' ' || c == '\t')) {
          done = true;
        } else {
          store = true;
        }
        break;
      case TokenState::kQuoted:
        if (c == '"') {
          done = true;
        } else if (c == '\\') {
          state = TokenState::kEscape;
        } else {
          store = true;
        }
        break;
      case TokenState::kEscape:
        store = true;
        state = TokenState::kQuoted;
        break;
      case TokenState::kComment:
        if (line_end) state = TokenState::kSkipping;
        break;
    }
    if (store) {
      if (!MakeRoom(token)) {
        status = kSettingsTokenNoMemory;
        break;
      }
      token->text[token->length++] = c;
    }
  }

  if (token->capacity == 0 && !MakeRoom(token)) return kSettingsTokenNoMemory;
  token->text[token->length] = '\0';
  return status;
}

bool IsWord(const Token& token, const char* word) {
  return !token.quoted && std::strcmp(token.text, word) == 0;
}

struct Tokens {
  Token key, equals, value;
};

Status ParseLevel(SettingsTree* tree, ByteSource* source, Tokens* tokens, int32_t depth);

Status StorePair(SettingsTree* tree, ByteSource* source, Tokens* tokens, int32_t depth) {
  const char* key = tokens->key.text;
  const Token& value = tokens->value;
  if (IsLineMode(tree) || value.quoted) return SetText(tree, key, value.text);
  if (IsWord(value, "{")) {
    if (depth + 1 >= kMaxSettingsDepth) return kBadArgument;
    SettingsTree* subtree = GetOrCreateSubtree(tree, key);
    if (!subtree) return kOutOfMemory;
    // The key's text is not needed past this point; the level below reuses it.
    return ParseLevel(subtree, source, tokens, depth + 1);
  }
  if (CompareNoCase(value.text, "true") == 0) return SetFlag(tree, key, true);
  if (CompareNoCase(value.text, "false") == 0) return SetFlag(tree, key, false);
  int32_t number;
  if (ParseInteger(value.text, &number)) return SetNumber(tree, key, number);
  return SetText(tree, key, value.text);
}

// Reads pairs into `tree` up to its closing "}" (0) or the end of the data
// (20207), or the first failure.
Status ParseLevel(SettingsTree* tree, ByteSource* source, Tokens* tokens, int32_t depth) {
  for (;;) {
    Status status = ReadToken(source, &tokens->key, TokenMode::kWord);
    if (status != kOk) return status;
    if (IsWord(tokens->key, "}")) return kOk;

    if (!IsLineMode(tree)) {
      status = ReadToken(source, &tokens->equals, TokenMode::kWord);
      if (status != kOk) return status;
      if (std::strcmp(tokens->equals.text, "=") != 0) return kSettingsEqualsExpected;
      status = ReadToken(source, &tokens->value, TokenMode::kWord);
    } else if (tokens->key.ended_by_line_end) {
      // A key alone on its line has an empty text; the next line is its own.
      tokens->value.length = 0;
      tokens->value.quoted = false;
      if (tokens->value.capacity == 0 && !MakeRoom(&tokens->value)) return kSettingsTokenNoMemory;
      tokens->value.text[0] = '\0';
    } else {
      status = ReadToken(source, &tokens->value, TokenMode::kLine);
    }
    // A pair cut off by the end of the data is not stored.
    if (status != kOk) return status;

    status = StorePair(tree, source, tokens, depth);
    if (status != kOk) return status;
  }
}

struct MemoryCursor {
  const uint8_t* data;
  size_t size;
  size_t position;
};

Status ReadFromMemory(void* context, int32_t count, int32_t* read, void* buffer) {
  auto* cursor = static_cast<MemoryCursor*>(context);
  size_t wanted = count > 0 ? static_cast<size_t>(count) : 0;
  size_t available = cursor->size - cursor->position;
  size_t taken = wanted < available ? wanted : available;
  if (taken > 0) CopyBytes(cursor->data + cursor->position, buffer, taken);
  cursor->position += taken;
  *read = static_cast<int32_t>(taken);
  return taken == wanted ? kOk : kEndOfData;
}

Status ReadFromStream(void* context, int32_t count, int32_t* read, void* buffer) {
  size_t got = 0;
  Status status = FileRead(static_cast<FileHandle>(context), count > 0 ? count : 0, &got, buffer);
  *read = static_cast<int32_t>(got);
  return status;
}

}  // namespace

Status ParseSettings(SettingsTree* tree, SettingsReader reader, void* context) {
  if (!tree || !reader) return kBadArgument;
  ByteSource source(reader, context);
  Tokens tokens;
  Status status = ParseLevel(tree, &source, &tokens, 0);
  if (status == kEndOfData) status = kOk;
  return status;
}

Status ParseSettingsMemory(SettingsTree* tree, const void* data, size_t size) {
  MemoryCursor cursor{static_cast<const uint8_t*>(data), data ? size : 0, 0};
  return ParseSettings(tree, ReadFromMemory, &cursor);
}

Status ParseSettingsBlock(SettingsTree* tree, MemBlock block) {
  if (!block) return kBadArgument;
  const void* data = MemLock(block);
  Status status = ParseSettingsMemory(tree, data, MemSize(block));
  MemUnlock(block);
  return status;
}

Status ParseSettingsStream(SettingsTree* tree, FileHandle file) {
  if (!file) return kFileNotOpen;
  return ParseSettings(tree, ReadFromStream, file);
}

Status ParseSettingsFile(SettingsTree* tree, const char* path) {
  FileHandle file = nullptr;
  Status status = FileOpen(path, kFileModeRead, &file);
  if (status != kOk) return status;
  status = ParseSettingsStream(tree, file);
  FileClose(file);
  return status;
}

}  // namespace lumetra
