#include "monitor/installed_profiles.h"

#include <windows.h>
#include <icm.h>

#include <cstring>
#include <memory>
#include <new>

#include "app/color_management.h"

namespace lumetra {

namespace {

constexpr uint32_t kMonitorClass = 0x6D6E7472;  // 'mntr'
constexpr uint32_t kColorDirectoryLimit = 254;
static_assert(sizeof(ENUMTYPEA) == 88, "the selection record EnumColorProfilesA takes");

constexpr uint32_t kLongestNameList = 16u << 20;  // the system's answer is refused above this

}  // namespace

Status ListInstalledMonitorProfiles(std::vector<std::string>* paths) {
  if (!paths) return kMissingObject;
  try {
    paths->clear();
    Status status = BindColorManagement();
    if (status != kOk) return status;

    char directory[kColorDirectoryLimit + 2] = {};
    uint32_t directory_size = kColorDirectoryLimit;
    if (!CmsGetColorDirectory(nullptr, directory, &directory_size)) return StatusFromSystem(false);
    directory[kColorDirectoryLimit] = '\0';
    std::string folder = directory;
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';

    ENUMTYPEA selection{};
    selection.dwSize = sizeof(selection);
    selection.dwVersion = ENUM_TYPE_VERSION;
    selection.dwFields = ET_CLASS;
    selection.dwClass = kMonitorClass;
    // The sizing call answers false by design; only the size it leaves counts.
    uint32_t names_size = 0;
    uint32_t count = 0;
    CmsEnumColorProfiles(nullptr, &selection, nullptr, &names_size, &count);
    if (names_size == 0) return kOk;
    if (names_size > kLongestNameList) return kOutOfMemory;
    std::unique_ptr<char[]> names(new char[names_size]);
    uint32_t filled_size = names_size;
    count = 0;
    if (!CmsEnumColorProfiles(nullptr, &selection, reinterpret_cast<uint8_t*>(names.get()), &filled_size, &count))
      return kOk;  // the list changed between the two calls: none this time

    // The names as the buffer holds them, never beyond its end nor beyond the
    // count the system gave.
    const char* end = names.get() + names_size;
    for (const char* name = names.get(); paths->size() < count && name < end;) {
      const char* stop = static_cast<const char*>(std::memchr(name, '\0', end - name));
      if (!stop || stop == name) break;
      paths->push_back(folder + std::string(name, stop));
      name = stop + 1;
    }
    return kOk;
  } catch (const std::bad_alloc&) {
    paths->clear();
    return kOutOfMemory;
  }
}

}  // namespace lumetra
