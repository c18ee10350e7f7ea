// The description of a profile: the human-readable name in its `desc` tag,
// from the textDescriptionType of ICC v2 profiles (its ASCII part) or the
// multiLocalizedUnicodeType of ICC v4 profiles (English, else the first text).
#pragma once

#include <cstddef>

#include "framework/support/status.h"
#include "icc/profile.h"

namespace lumetra {

constexpr size_t kDescriptionBufferSize = 255;  // at most 254 characters and a NUL

// Fills `buffer` (kDescriptionBufferSize bytes) with the description. Codes:
// 0; 20703 no profile (the buffer is left alone); 2001 no buffer; 5005 no
// `desc` tag or its data cannot be loaded; 5015 the text reaches beyond the
// tag or the tag is malformed; 20005 a tag type that holds no description.
// On every failure with a buffer, the buffer holds the empty string.
Status GetProfileDescription(IccProfile* profile, char* buffer);

}  // namespace lumetra
