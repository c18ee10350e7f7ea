// The video card gamma table of a monitor profile (the `vcgt` tag, table
// form) decoded into a gamma ramp and loaded into a screen's graphics card.
#pragma once

#include <cstdint>

#include "framework/support/status.h"
#include "icc/profile.h"

namespace lumetra {

// Loads the profile's table into the graphics card of `screen`. Codes: 0;
// 5005 no `vcgt` tag (nothing to load); 20005 a tag of a form not handled
// (formula, not 3 channels of 256 entries of 1 or 2 bytes, shorter than its
// table, or not loadable); 21002 no memory; 2001 no profile; otherwise the
// status of LoadGammaRamp. Only a successful or refused load touches the card.
Status ApplyVideoCardGamma(IccProfile* profile, int32_t screen);

}  // namespace lumetra
