// Font substitution in in-memory dialog templates: a copy of a DLGTEMPLATE or
// DLGTEMPLATEEX block whose font block names another face (and point size),
// with the items moved to keep their 4-byte alignment. Portable byte work; the
// loading of templates and the creation of dialogs live elsewhere.
#pragma once

#include <cstdint>

#include "framework/support/status.h"

namespace lumetra {

// Writes a new template to *new_template (a MemAlloc block the caller frees
// with MemFree) whose font block holds `face` and `point_size` (a size of 0 or
// less keeps the template's own); `face` is widened byte by byte to UTF-16.
// The extended layout keeps its weight, italic and character-set fields.
// Returns 0; 20005 when the style lacks DS_SETFONT; 20003 for null arguments
// or a template that does not fit in `template_size` bytes; 21002 when memory
// is short. On failure *new_template is null.
Status RewriteTemplateFont(const void* tmpl, const char* face, int16_t point_size,
                           void** new_template, uint32_t template_size);

}  // namespace lumetra
