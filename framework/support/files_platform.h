// Internal to the files module: the resource search places kept by the
// portable part and read by the platform's resource lookup.
#pragma once

#include <cstddef>

namespace lumetra {

void* PreferredResourceModule();
void* FurtherResourceModule(size_t slot);  // null beyond the list or in an empty slot

}  // namespace lumetra
