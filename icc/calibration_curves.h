// The loader's decoding of a profile's video card gamma table: every form a
// calibration program writes (tables of one or three channels with any entry
// count from 2 up and 1- or 2-byte entries, and the formula form) becomes the
// 256-entry, three-channel ramp a graphics card takes. The dialog keeps its
// own, stricter decoding (video_card_gamma.h); for every table both accept
// they give the same ramp, bit for bit.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/support/status.h"
#include "icc/profile.h"
#include "monitor/gamma_ramp.h"

namespace lumetra {

// Decodes a `vcgt` tag block of `size` bytes, big-endian from offset 8 on (the
// type signature at 0 is the caller's to check). 0 with the ramp filled;
// 20005, leaving the ramp as it was, for a form not understood, a tag too
// short for its own counts or a formula with a gamma that is not positive.
Status DecodeVcgtTag(const uint8_t* tag, size_t size, GammaRamp* ramp);

// The calibration a profile asks for. 0 with the ramp filled; 5005 when the
// profile has no `vcgt` tag (the ramp is left as it was: a display without a
// calibration should be linear, which CreateGammaRamp gives); 20005 for a tag
// that cannot be loaded, is of another type or is refused by DecodeVcgtTag;
// 2001 without a profile or ramp.
Status DecodeProfileCalibration(IccProfile* profile, GammaRamp* ramp);

}  // namespace lumetra
