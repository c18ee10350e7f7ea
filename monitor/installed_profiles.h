// The monitor profiles installed in the system's colour directory, as the
// profile lists show them (the dialog's list, the loader's menu). Windows only.
#pragma once

#include <string>
#include <vector>

#include "framework/support/status.h"

namespace lumetra {

// Full paths in the system's order (by name). Binds the colour management
// system first. 0, with no paths when none are installed; 20005 when the
// system cannot be bound; 21002 when memory runs out.
Status ListInstalledMonitorProfiles(std::vector<std::string>* paths);

}  // namespace lumetra
