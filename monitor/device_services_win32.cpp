#include "monitor/device_services.h"

#include <windows.h>

#include <new>

#include "monitor/screens.h"

namespace lumetra {

namespace {

static_assert(sizeof(DISPLAY_DEVICEA) == 424, "the record EnumDisplayDevicesA fills");

using EnumDisplayDevicesFn = BOOL(WINAPI*)(LPCSTR, DWORD, PDISPLAY_DEVICEA, DWORD);
using ProfileDeviceFn = BOOL(WINAPI*)(PCSTR, PCSTR, PCSTR);

constexpr char kPathSeparator = '\\';
constexpr DWORD kProfilePathCharacters = MAX_PATH;

// A library loaded for the length of one call.
class ScopedLibrary {
 public:
  explicit ScopedLibrary(const char* name) : module_(LoadLibraryA(name)) {}
  ~ScopedLibrary() {
    if (module_) FreeLibrary(module_);
  }
  ScopedLibrary(const ScopedLibrary&) = delete;
  ScopedLibrary& operator=(const ScopedLibrary&) = delete;

  template <typename Fn>
  Fn Find(const char* name) const {
    if (!module_) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }

 private:
  HMODULE module_;
};

// Calls one of the colour management system's device functions with no
// machine name.
bool CallProfileDeviceFunction(const char* function, const char* file_name, const char* device_id) {
  if (!file_name || !device_id) return false;
  ScopedLibrary mscms("mscms");
  auto call = mscms.Find<ProfileDeviceFn>(function);
  return call && call(nullptr, file_name, device_id) != FALSE;
}

// The text of a fixed-size field the system need not terminate.
template <size_t N>
TString FieldText(const char (&field)[N]) {
  char text[N];
  for (size_t i = 0; i + 1 < N; ++i) text[i] = field[i];
  text[N - 1] = '\0';
  return TString(text);
}

// The profile GetICMProfileA names for a display context; empty without one.
TString ProfilePathOfContext(HDC dc) {
  TString path;
  if (!dc) return path;
  char buffer[kProfilePathCharacters] = {};
  DWORD characters = kProfilePathCharacters;
  if (GetICMProfileA(dc, &characters, buffer)) {
    buffer[kProfilePathCharacters - 1] = '\0';
    path = buffer;
  }
  return path;
}

}  // namespace

bool AssociateProfileWithScreen(const char* path, int32_t screen) {
  if (!path) return false;
  TString device_id = GetMonitorDeviceId(Tu4MultiScreenHandler().DeviceNameOfScreen(screen));
  // Without a device id the system would be asked to associate with nothing.
  if (device_id.IsEmpty()) return false;
  TString full_path(path);
  uint32_t fields = full_path.FieldCount(kPathSeparator);
  TString file_name = fields > 1 ? full_path.FieldsFrom(fields - 1, kPathSeparator) : full_path;
  return AssociateProfile(file_name.CStr(), device_id.CStr());
}

TString GetMonitorDeviceId(const TString& display_device_name) {
  TString device_id;
  // No name would make the system enumerate display adapters instead of the
  // monitors of one, and give an adapter's id.
  if (display_device_name.IsEmpty()) return device_id;
  ScopedLibrary user32("USER32");
  auto enum_display_devices = user32.Find<EnumDisplayDevicesFn>("EnumDisplayDevicesA");
  if (!enum_display_devices) return device_id;
  DISPLAY_DEVICEA device{};
  device.cb = sizeof(device);
  // Device number 0 under a display device is its first monitor.
  if (enum_display_devices(display_device_name.CStr(), 0, &device, 0)) {
    device_id = FieldText(device.DeviceID);
  }
  return device_id;
}

bool AssociateProfile(const char* file_name, const char* device_id) {
  DisassociateProfile(file_name, device_id);
  return CallProfileDeviceFunction("AssociateColorProfileWithDeviceA", file_name, device_id);
}

bool DisassociateProfile(const char* file_name, const char* device_id) {
  return CallProfileDeviceFunction("DisassociateColorProfileFromDeviceA", file_name, device_id);
}

TString GetScreenProfilePath(int32_t screen) {
  HDC dc = static_cast<HDC>(Tu4MultiScreenHandler().CreateScreenDC(screen));
  TString path = ProfilePathOfContext(dc);
  if (dc) DeleteDC(dc);
  return path;
}

TString GetDisplayProfilePath(const char* device_name) {
  if (!device_name || !*device_name) return TString();
  HDC dc = CreateDCA(device_name, nullptr, nullptr, nullptr);
  TString path = ProfilePathOfContext(dc);
  if (dc) DeleteDC(dc);
  return path;
}

Status ListAttachedDisplays(std::vector<TString>* names) {
  if (!names) return kMissingObject;
  names->clear();
  DISPLAY_DEVICEA device{};
  device.cb = sizeof(device);
  for (DWORD number = 0; EnumDisplayDevicesA(nullptr, number, &device, 0); ++number) {
    const bool attached = (device.StateFlags & DISPLAY_DEVICE_ATTACHED_TO_DESKTOP) != 0;
    const bool mirror = (device.StateFlags & DISPLAY_DEVICE_MIRRORING_DRIVER) != 0;
    if (attached && !mirror) {
      try {
        names->push_back(FieldText(device.DeviceName));
      } catch (const std::bad_alloc&) {
        names->clear();
        return kOutOfMemory;
      }
    }
    device = DISPLAY_DEVICEA{};
    device.cb = sizeof(device);
  }
  return kOk;
}

}  // namespace lumetra
