#include "framework/dialogs/list_box.h"

namespace lumetra {

char* NextTabField(char** cursor) {
  char* p = *cursor;
  if (!p) return nullptr;
  while (*p == '\t') ++p;
  if (*p == '\0') {
    *cursor = p;
    return nullptr;
  }
  char* field = p;
  while (*p != '\0' && *p != '\t') ++p;
  if (*p == '\t') *p++ = '\0';
  *cursor = p;
  return field;
}

int32_t ColumnWidth(int32_t control_width, int32_t percent) {
  return static_cast<int32_t>(static_cast<int64_t>(control_width) * percent / 100);
}

}  // namespace lumetra
