// The registry store of the settings tree (Windows only): the application's
// settings are loaded from a key at start and written back, replacing the
// key wholesale, at exit.
#pragma once

#include <cstdint>

#include "framework/support/settings_tree.h"
#include "framework/support/status.h"

namespace lumetra {

// A registry key handle (an HKEY), or one of the predefined roots.
using RegistryKey = uintptr_t;
constexpr RegistryKey kRegistryCurrentUser = 0x80000001;  // HKEY_CURRENT_USER

// Failures of the registry come back as the negated registry error.

// Adds the key's values (REG_SZ as texts; REG_DWORD and REG_DWORD_BIG_ENDIAN
// as numbers; other types passed over), then its sub-keys as subtrees, in the
// registry's order. `path` below `root`, or null for root itself. A failed
// load leaves what was read so far.
Status LoadTreeFromRegistry(SettingsTree* tree, RegistryKey root, const char* path);

// Deletes the key, creates it anew and writes the entries in order: texts as
// REG_SZ, flags and numbers as REG_DWORD, subtrees as sub-keys.
Status SaveTreeToRegistry(const SettingsTree* tree, RegistryKey root, const char* path);

// Deletes the key and everything below it; with a null path only what lies
// below root. Stops at the first sub-key that cannot be deleted.
Status DeleteRegistryTree(RegistryKey root, const char* path);

}  // namespace lumetra
