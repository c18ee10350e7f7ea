// The single-instance rule: a counter that every process running this
// executable image sees, because it lives in a data section the image marks
// as shared. Windows only.
#pragma once

namespace lumetra {

// Takes the counter from 0 to 1 in one interlocked step; false, changing
// nothing, when another copy holds it. Two copies started at the same moment
// cannot both win.
bool ClaimInstance();
// Gives the counter back (sets it to 0).
void ReleaseInstance();

}  // namespace lumetra
