// The language catalogue: the texts of status codes and of help topics, kept
// outside the program in language files ("<Language>Language", the settings
// text format in line mode, keyed by decimal numbers), with English as the
// fallback. Lookups build the catalogue for English on first use.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/support/status.h"

namespace lumetra {

// The one text every failed lookup returns; callers compare the pointer.
extern const char kMissingMessage[];

// Number space of the help entries: kHelpBase holds the help folder's name,
// kHelpBase + n the topic of help context n.
constexpr int32_t kHelpBase = 2000000;

// Rebuilds the catalogue: the language's file ("DefaultLanguage" standing in
// when it has none) searched first, then "EnglishLanguage" unless the name
// contains "English". 0, or the status of the failed load; the catalogue
// exists afterwards either way, perhaps empty. 20003 for a missing name or
// one too long for a file name of 64 characters.
Status LoadLanguage(const char* language);

// The text for the number, or kMissingMessage. Valid until the catalogue is
// rebuilt or freed.
const char* LookupMessage(int32_t number);

// Copies LookupMessage(code) into the buffer, cut to fit. 20004 when there was
// no text (the buffer then holds "-"), else 0.
Status GetMessageText(int32_t code, char* buffer, size_t buffer_size);

// Whether the catalogue holds a section of that language.
bool CatalogueHasLanguage(const char* language);

void FreeCatalogue();

}  // namespace lumetra
