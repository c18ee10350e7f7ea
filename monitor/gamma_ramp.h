// The gamma ramp record: one graphics card lookup table of 256 16-bit levels
// per channel, in the layout SetDeviceGammaRamp takes, with the functions that
// fill it and move it into and out of a screen's graphics card.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/support/memory.h"
#include "framework/support/status.h"

namespace lumetra {

constexpr uint32_t kGammaRampEntries = 256;

// A fixed memory block (MemAlloc), released with FreeGammaRamp. `table` is
// exactly the 768-word table of Get/SetDeviceGammaRamp: red, green, blue.
struct GammaRamp {
  uint32_t count;  // entries per channel, 256 for every ramp made here
  uint16_t table[3][kGammaRampEntries];
};
static_assert(sizeof(GammaRamp) == 1540, "the record is 1540 bytes");
static_assert(offsetof(GammaRamp, table) == 4, "the channel table follows the count");
static_assert(sizeof(GammaRamp::table) == 768 * sizeof(uint16_t), "768 words, red, green, blue");

// The identity ramp (entry i = i * 256 in every channel); null when memory is short.
GammaRamp* CreateGammaRamp();
void FreeGammaRamp(GammaRamp* ramp);  // null is accepted
using GammaRampPtr = MemPtr<GammaRamp>;

// Stores the low 16 bits of value; ignored for an absent ramp, a channel
// outside 0..2 or an index outside the ramp.
void SetGammaRampEntry(GammaRamp* ramp, int channel, int32_t index, uint32_t value);
// 0 for an absent ramp or a position outside it.
uint16_t GammaRampEntry(const GammaRamp* ramp, int channel, int32_t index);
uint32_t GammaRampCount(const GammaRamp* ramp);  // 0 for an absent ramp

// Loads the ramp into the graphics card of a screen (an index into the
// process-wide monitor list). A card that refuses the ramp while already
// holding exactly its values counts as success.
Status LoadGammaRamp(const GammaRamp* ramp, int32_t screen);
// Reads a screen's current lookup table into the ramp's channel table.
Status ReadGammaRamp(GammaRamp* ramp, int32_t screen);

}  // namespace lumetra
