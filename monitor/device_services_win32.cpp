#include "monitor/device_services.h"

#include <windows.h>

#include <cstring>
#include <new>
#include <vector>

#include "framework/support/text_encoding.h"
#include "monitor/screens.h"

namespace lumetra {

namespace {

static_assert(sizeof(DISPLAY_DEVICEA) == 424, "the record EnumDisplayDevicesA fills");

using EnumDisplayDevicesFn = BOOL(WINAPI*)(LPCSTR, DWORD, PDISPLAY_DEVICEA, DWORD);
using ProfileDeviceFn = BOOL(WINAPI*)(PCSTR, PCSTR, PCSTR);
using GetDisplayConfigBufferSizesFn = LONG(WINAPI*)(UINT32, UINT32*, UINT32*);
using QueryDisplayConfigFn = LONG(WINAPI*)(UINT32, UINT32*, DISPLAYCONFIG_PATH_INFO*, UINT32*,
                                           DISPLAYCONFIG_MODE_INFO*, DISPLAYCONFIG_TOPOLOGY_ID*);
using DisplayConfigGetDeviceInfoFn = LONG(WINAPI*)(DISPLAYCONFIG_DEVICE_INFO_HEADER*);

// The records of the display configuration, as wingdi.h lays them out.
static_assert(sizeof(DISPLAYCONFIG_PATH_INFO) == 72, "a path of QueryDisplayConfig");
static_assert(sizeof(DISPLAYCONFIG_MODE_INFO) == 64, "a mode of QueryDisplayConfig");
static_assert(sizeof(DISPLAYCONFIG_SOURCE_DEVICE_NAME) == 84, "the source name request");
static_assert(sizeof(DISPLAYCONFIG_TARGET_DEVICE_NAME) == 420, "the target name request");
static_assert(sizeof(DISPLAYCONFIG_GET_ADVANCED_COLOR_INFO) == 32, "the advanced colour request");

// The request for the active colour mode (Windows 11 24H2), which MinGW's
// headers lack: DISPLAYCONFIG_GET_ADVANCED_COLOR_INFO_2 of wingdi.h.
constexpr auto kGetAdvancedColorInfo2 = static_cast<DISPLAYCONFIG_DEVICE_INFO_TYPE>(15);
struct AdvancedColorInfo2 {
  DISPLAYCONFIG_DEVICE_INFO_HEADER header;
  UINT32 state_bits;  // supported, active, limited by policy, HDR and wide colour bits
  DISPLAYCONFIG_COLOR_ENCODING color_encoding;
  UINT32 bits_per_color_channel;
  UINT32 active_color_mode;  // DISPLAYCONFIG_ADVANCED_COLOR_MODE: 0 SDR, 1 WCG, 2 HDR
};
static_assert(sizeof(AdvancedColorInfo2) == 36, "the active colour mode request");
constexpr UINT32 kColorModeSdr = 0;

// Bounds on what the system may ask us to allocate: DISPLAYCONFIG_MAXPATH
// paths, each with a source, a target and a desktop image mode.
constexpr UINT32 kMaxDisplayPaths = DISPLAYCONFIG_MAXPATH;
constexpr UINT32 kMaxDisplayModes = 3 * DISPLAYCONFIG_MAXPATH;
// The configuration may change between asking its size and reading it.
constexpr int kDisplayConfigAttempts = 3;

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

// The program's 8-bit text of a wide fixed-size field the system need not
// terminate.
template <size_t N>
TString WideFieldText(const WCHAR (&field)[N]) {
  uint16_t units[N];
  for (size_t i = 0; i < N; ++i) units[i] = static_cast<uint16_t>(field[i]);
  char text[4 * N + 1];  // room for any code page's bytes per unit
  Utf16ToAnsi(units, N, text, sizeof(text));
  return TString(text);
}

// The display configuration functions of user32, which systems before
// Windows 7 lack.
class DisplayConfiguration {
 public:
  DisplayConfiguration()
      : user32_("USER32"),
        buffer_sizes_(user32_.Find<GetDisplayConfigBufferSizesFn>("GetDisplayConfigBufferSizes")),
        query_(user32_.Find<QueryDisplayConfigFn>("QueryDisplayConfig")),
        device_info_(user32_.Find<DisplayConfigGetDeviceInfoFn>("DisplayConfigGetDeviceInfo")) {}

  // The active path whose source is the display device; false when there is
  // none or the configuration cannot be read.
  bool FindPath(const char* device_name, DISPLAYCONFIG_PATH_INFO* found) const;

  // One DisplayConfigGetDeviceInfo question; false when it goes unanswered.
  bool Ask(DISPLAYCONFIG_DEVICE_INFO_HEADER* request) const {
    return device_info_ && device_info_(request) == ERROR_SUCCESS;
  }

 private:
  bool ReadActivePaths(std::vector<DISPLAYCONFIG_PATH_INFO>* paths) const;

  ScopedLibrary user32_;
  GetDisplayConfigBufferSizesFn buffer_sizes_;
  QueryDisplayConfigFn query_;
  DisplayConfigGetDeviceInfoFn device_info_;
};

bool DisplayConfiguration::ReadActivePaths(std::vector<DISPLAYCONFIG_PATH_INFO>* paths) const {
  if (!buffer_sizes_ || !query_) return false;
  std::vector<DISPLAYCONFIG_MODE_INFO> modes;
  for (int attempt = 0; attempt < kDisplayConfigAttempts; ++attempt) {
    UINT32 path_count = 0;
    UINT32 mode_count = 0;
    if (buffer_sizes_(QDC_ONLY_ACTIVE_PATHS, &path_count, &mode_count) != ERROR_SUCCESS) return false;
    if (path_count == 0 || path_count > kMaxDisplayPaths || mode_count > kMaxDisplayModes) return false;
    try {
      paths->assign(path_count, DISPLAYCONFIG_PATH_INFO{});
      modes.assign(mode_count > 0 ? mode_count : 1, DISPLAYCONFIG_MODE_INFO{});
    } catch (const std::bad_alloc&) {
      return false;
    }
    LONG result = query_(QDC_ONLY_ACTIVE_PATHS, &path_count, paths->data(), &mode_count, modes.data(), nullptr);
    if (result == ERROR_SUCCESS) {
      if (path_count > paths->size()) return false;
      paths->resize(path_count);
      return true;
    }
    if (result != ERROR_INSUFFICIENT_BUFFER) return false;
  }
  return false;
}

bool DisplayConfiguration::FindPath(const char* device_name, DISPLAYCONFIG_PATH_INFO* found) const {
  if (!device_name || !*device_name) return false;
  std::vector<DISPLAYCONFIG_PATH_INFO> paths;
  if (!ReadActivePaths(&paths)) return false;
  for (const DISPLAYCONFIG_PATH_INFO& path : paths) {
    DISPLAYCONFIG_SOURCE_DEVICE_NAME source{};
    source.header.type = DISPLAYCONFIG_DEVICE_INFO_GET_SOURCE_NAME;
    source.header.size = sizeof(source);
    source.header.adapterId = path.sourceInfo.adapterId;
    source.header.id = path.sourceInfo.id;
    // Display device names are ASCII and compared as the system does, ignoring case.
    if (Ask(&source.header) && _stricmp(WideFieldText(source.viewGdiDeviceName).CStr(), device_name) == 0) {
      *found = path;
      return true;
    }
  }
  return false;
}

// The header of a question about the monitor at a path's end.
DISPLAYCONFIG_DEVICE_INFO_HEADER TargetRequest(const DISPLAYCONFIG_PATH_INFO& path,
                                               DISPLAYCONFIG_DEVICE_INFO_TYPE type, UINT32 size) {
  DISPLAYCONFIG_DEVICE_INFO_HEADER header{};
  header.type = type;
  header.size = size;
  header.adapterId = path.targetInfo.adapterId;
  header.id = path.targetInfo.id;
  return header;
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
  return AssociateProfileWithDisplay(path, Tu4MultiScreenHandler().DeviceNameOfScreen(screen).CStr());
}

bool AssociateProfileWithDisplay(const char* path, const char* device_name) {
  if (!path || !device_name) return false;
  TString device_id = GetMonitorDeviceId(TString(device_name));
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

TString GetDisplayFriendlyName(const char* device_name) {
  DisplayConfiguration configuration;
  DISPLAYCONFIG_PATH_INFO path{};
  if (!configuration.FindPath(device_name, &path)) return TString();
  DISPLAYCONFIG_TARGET_DEVICE_NAME target{};
  target.header = TargetRequest(path, DISPLAYCONFIG_DEVICE_INFO_GET_TARGET_NAME, sizeof(target));
  if (!configuration.Ask(&target.header)) return TString();
  return WideFieldText(target.monitorFriendlyDeviceName);
}

bool IsAdvancedColorActive(const char* device_name) {
  DisplayConfiguration configuration;
  DISPLAYCONFIG_PATH_INFO path{};
  if (!configuration.FindPath(device_name, &path)) return false;
  // The active colour mode, where the system answers it, also tells a wide
  // gamut on an SDR signal (automatic colour management) apart from SDR.
  AdvancedColorInfo2 mode{};
  mode.header = TargetRequest(path, kGetAdvancedColorInfo2, sizeof(mode));
  if (configuration.Ask(&mode.header)) return mode.active_color_mode != kColorModeSdr;
  DISPLAYCONFIG_GET_ADVANCED_COLOR_INFO state{};
  state.header = TargetRequest(path, DISPLAYCONFIG_DEVICE_INFO_GET_ADVANCED_COLOR_INFO, sizeof(state));
  return configuration.Ask(&state.header) && state.advancedColorEnabled;
}

}  // namespace lumetra
