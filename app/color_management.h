// The Windows colour management system (mscms.dll), bound at run time once per
// process instead of imported: the colour directory and the enumeration of
// installed profiles. Windows only.
#pragma once

#include <cstdint>

#include "framework/support/status.h"

struct tagENUMTYPEA;  // ENUMTYPEA of <icm.h>

namespace lumetra {

// Loads the library and looks up its entry points; 0 when all were found,
// 20005 otherwise. Once the library is loaded, later calls return 0 at once.
Status BindColorManagement();

// GetColorDirectoryA and EnumColorProfilesA through the binding, with their
// arguments and results; false, touching nothing, when the entry point is not
// bound. `size` is in and out (bytes); `count` may be null.
bool CmsGetColorDirectory(const char* machine, char* buffer, uint32_t* size);
bool CmsEnumColorProfiles(const char* machine, tagENUMTYPEA* selection, uint8_t* buffer,
                          uint32_t* size, uint32_t* count);

}  // namespace lumetra
