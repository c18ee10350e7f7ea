#include "loader/loader_system.h"

#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cwchar>
#include <new>
#include <utility>

namespace lumetra {

namespace {

constexpr wchar_t kLoaderKey[] = L"Software\\Pelo\\Lumetra\\Loader";
constexpr wchar_t kPauseValue[] = L"PauseWhileRunning";
constexpr DWORD kMaxPauseListBytes = 64 * 1024;
// A value or variable may change between asking its size and reading it.
constexpr int kReadAttempts = 3;
// The longest path and environment value the wide calls know, NUL excluded.
constexpr DWORD kMaxWideCharacters = 32767;
constexpr int64_t kFileTimeTicksPerMs = 10000;  // FILETIME counts 100 ns

constexpr wchar_t kLogFolder[] = L"Lumetra";
constexpr wchar_t kLogName[] = L"loader.log";
constexpr wchar_t kOldLogSuffix[] = L".1";
constexpr char kLogSeparator[] = "  ";

class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
  ~ScopedHandle() {
    if (Valid()) CloseHandle(handle_);
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  bool Valid() const { return handle_ && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

class ScopedKey {
 public:
  ScopedKey() = default;
  ~ScopedKey() {
    if (key_) RegCloseKey(key_);
  }
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;

  HKEY* Receive() { return &key_; }
  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

// UTF-8 of `count` UTF-16 units; an unpaired surrogate becomes U+FFFD.
// Throws std::bad_alloc.
std::string ToUtf8(const wchar_t* units, size_t count) {
  std::string text;
  if (count == 0 || count > INT_MAX) return text;
  int length = WideCharToMultiByte(CP_UTF8, 0, units, static_cast<int>(count), nullptr, 0, nullptr, nullptr);
  if (length <= 0) return text;
  text.resize(static_cast<size_t>(length));
  length = WideCharToMultiByte(CP_UTF8, 0, units, static_cast<int>(count), &text[0], length, nullptr, nullptr);
  text.resize(length > 0 ? static_cast<size_t>(length) : 0);
  return text;
}

// UTF-16 of a UTF-8 text. A strict conversion refuses invalid bytes (empty
// result); otherwise they become U+FFFD. Throws std::bad_alloc.
std::wstring ToWide(const std::string& text, bool strict) {
  std::wstring wide;
  if (text.empty() || text.size() > INT_MAX) return wide;
  const DWORD flags = strict ? MB_ERR_INVALID_CHARS : 0;
  const int size = static_cast<int>(text.size());
  int length = MultiByteToWideChar(CP_UTF8, flags, text.data(), size, nullptr, 0);
  if (length <= 0) return wide;
  wide.resize(static_cast<size_t>(length));
  length = MultiByteToWideChar(CP_UTF8, flags, text.data(), size, &wide[0], length);
  wide.resize(length > 0 ? static_cast<size_t>(length) : 0);
  return wide;
}

// An environment variable's value; empty when it is not set. Throws
// std::bad_alloc.
std::wstring EnvironmentVariable(const wchar_t* name) {
  std::wstring value;
  DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);  // the NUL included
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    if (needed == 0 || needed > kMaxWideCharacters + 1) return std::wstring();
    value.resize(needed);
    DWORD length = GetEnvironmentVariableW(name, &value[0], needed);
    if (length < needed) {
      value.resize(length);
      return value;
    }
    needed = length;
  }
  return std::wstring();
}

// The multi-string's strings, each ending at a NUL or at the end of the data
// (which need not hold a final NUL); empty strings are left out. Throws
// std::bad_alloc.
std::vector<std::string> MultiStringNames(const wchar_t* units, size_t count) {
  std::vector<std::string> names;
  for (size_t begin = 0; begin < count;) {
    size_t end = begin;
    while (end < count && units[end] != L'\0') ++end;
    if (end > begin) {
      std::string name = ToUtf8(units + begin, end - begin);
      if (!name.empty()) names.push_back(std::move(name));
    }
    begin = end + 1;
  }
  return names;
}

// The whole PauseWhileRunning value, read into `units` (`*bytes` of it data).
// Throws std::bad_alloc.
StoredList ReadPauseValue(HKEY key, std::vector<wchar_t>* units, DWORD* bytes) {
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    DWORD type = REG_NONE;
    DWORD size = 0;
    LONG error = RegQueryValueExW(key, kPauseValue, nullptr, &type, nullptr, &size);
    if (error != ERROR_SUCCESS) return StoredList::kAbsent;
    if (type != REG_MULTI_SZ || size > kMaxPauseListBytes) return StoredList::kWrongType;
    // Rounded up to whole units: the data need not be.
    units->assign(size / sizeof(wchar_t) + 1, L'\0');
    DWORD capacity = static_cast<DWORD>(units->size() * sizeof(wchar_t));
    error = RegQueryValueExW(key, kPauseValue, nullptr, &type, reinterpret_cast<BYTE*>(units->data()), &capacity);
    if (error == ERROR_MORE_DATA) continue;
    if (error != ERROR_SUCCESS) return StoredList::kAbsent;
    if (type != REG_MULTI_SZ || capacity > units->size() * sizeof(wchar_t)) return StoredList::kWrongType;
    *bytes = capacity;
    return StoredList::kPresent;
  }
  return StoredList::kAbsent;
}

// The lines of `text` (ending at LF or CR LF), each with `prefix` and CR LF;
// an empty text is one empty line. Throws std::bad_alloc.
std::string PrefixedLines(const std::string& prefix, const std::string& text) {
  std::string lines;
  size_t begin = 0;
  do {
    size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    size_t stop = end > begin && text[end - 1] == '\r' ? end - 1 : end;
    lines.append(prefix).append(text, begin, stop - begin).append("\r\n");
    begin = end + 1;
  } while (begin < text.size());
  return lines;
}

HANDLE OpenForAppend(const std::wstring& path) {
  // Append access alone makes every write land at the end, whoever else writes.
  return CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The log opened for appending, its folder made when missing: at the first
// line, and again when someone removed it since.
HANDLE OpenLog(const std::wstring& folder, const std::wstring& path) {
  HANDLE file = OpenForAppend(path);
  if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PATH_NOT_FOUND &&
      (CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)) {
    file = OpenForAppend(path);
  }
  return file;
}

// Moves a full log aside. A log that cannot be moved grows on: losing lines
// would be worse.
void RotateWhenFull(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return;
  // A folder in the log's place is not moved away.
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return;
  uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  if (size < LoaderLog::kRotateBytes) return;
  MoveFileExW(path.c_str(), (path + kOldLogSuffix).c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

Status ListRunningPrograms(std::vector<std::string>* names) {
  if (!names) return kMissingObject;
  names->clear();
  ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.Valid()) return StatusFromSystem(false);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  try {
    for (BOOL found = Process32FirstW(snapshot.Get(), &entry); found;
         found = Process32NextW(snapshot.Get(), &entry)) {
      size_t length = wcsnlen(entry.szExeFile, MAX_PATH);
      if (length > 0) names->push_back(ToUtf8(entry.szExeFile, length));
    }
  } catch (const std::bad_alloc&) {
    names->clear();
    return kOutOfMemory;
  }
  return kOk;
}

StoredList ReadPauseWhileRunning(std::vector<std::string>* names) {
  if (!names) return StoredList::kAbsent;
  names->clear();
  ScopedKey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kLoaderKey, 0, KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS) {
    return StoredList::kAbsent;
  }
  try {
    std::vector<wchar_t> units;
    DWORD bytes = 0;
    StoredList stored = ReadPauseValue(key.Get(), &units, &bytes);
    if (stored == StoredList::kPresent) *names = MultiStringNames(units.data(), bytes / sizeof(wchar_t));
    return stored;
  } catch (const std::bad_alloc&) {
    names->clear();
    return StoredList::kAbsent;
  }
}

Status WritePauseWhileRunning(const std::vector<std::string>& names) {
  try {
    std::wstring data;
    for (const std::string& name : names) {
      if (name.empty()) continue;
      std::wstring wide = ToWide(name, true);
      // A NUL inside a name would split it in two.
      if (wide.empty() || wide.find(L'\0') != std::wstring::npos) return kBadArgument;
      data += wide;
      data += L'\0';
    }
    // The list's end; an empty list is two NULs, read as empty also by
    // readers that look for a double NUL.
    data += L'\0';
    if (data.size() == 1) data += L'\0';
    if (data.size() * sizeof(wchar_t) > kMaxPauseListBytes) return kBadArgument;

    ScopedKey key;
    LONG error = RegCreateKeyExW(HKEY_CURRENT_USER, kLoaderKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                 key.Receive(), nullptr);
    if (error == ERROR_SUCCESS) {
      error = RegSetValueExW(key.Get(), kPauseValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size() * sizeof(wchar_t)));
    }
    if (error != ERROR_SUCCESS) return StatusFromSystemError(static_cast<uint32_t>(error));
    return kOk;
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
}

bool NotificationsWanted() {
  DWORD value = 1;
  DWORD size = sizeof(value);
  if (RegGetValueW(HKEY_CURRENT_USER, kLoaderKey, L"Notifications", RRF_RT_REG_DWORD, nullptr, &value, &size) !=
      ERROR_SUCCESS) {
    return true;
  }
  return value != 0;
}

Status SetNotificationsWanted(bool wanted) {
  const DWORD value = wanted ? 1 : 0;
  LONG error = RegSetKeyValueW(HKEY_CURRENT_USER, kLoaderKey, L"Notifications", REG_DWORD, &value, sizeof(value));
  if (error == ERROR_SUCCESS) return kOk;
  return StatusFromSystemError(static_cast<uint32_t>(error));
}

std::string LocalDateTime(int64_t offset_ms) {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  int64_t ticks = static_cast<int64_t>((static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
  // An offset that would leave the range of FILETIME gives no time.
  if (offset_ms > (INT64_MAX - ticks) / kFileTimeTicksPerMs) return std::string();
  if (offset_ms < -(ticks / kFileTimeTicksPerMs)) return std::string();
  ticks += offset_ms * kFileTimeTicksPerMs;

  FILETIME when{};
  when.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks));
  when.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
  SYSTEMTIME utc{};
  SYSTEMTIME local{};
  // The time zone's rules for that moment, daylight saving included.
  if (!FileTimeToSystemTime(&when, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
    return std::string();
  }
  char text[32];
  std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d", local.wYear, local.wMonth, local.wDay,
                local.wHour, local.wMinute, local.wSecond);
  try {
    return std::string(text);
  } catch (const std::bad_alloc&) {
    return std::string();
  }
}

LoaderLog::LoaderLog() {
  try {
    std::wstring base = EnvironmentVariable(L"LOCALAPPDATA");
    if (base.empty()) {
      wchar_t folder[MAX_PATH] = {};
      if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) {
        base.assign(folder, wcsnlen(folder, MAX_PATH));
      }
    }
    if (base.empty()) return;
    if (base.back() != L'\\' && base.back() != L'/') base += L'\\';
    folder_ = base + kLogFolder;
    path_ = folder_ + L'\\' + kLogName;
  } catch (const std::bad_alloc&) {
    folder_.clear();
    path_.clear();
  }
}

bool LoaderLog::Append(const std::string& utf8_line) {
  if (path_.empty()) return false;
  try {
    const std::string lines = PrefixedLines(LocalDateTime() + kLogSeparator, utf8_line);
    RotateWhenFull(path_);
    ScopedHandle file(OpenLog(folder_, path_));
    if (!file.Valid()) return false;
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(lines.size());
    return WriteFile(file.Get(), lines.data(), size, &written, nullptr) && written == size;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

std::wstring ProgramPathWide() {
  try {
    std::wstring path;
    DWORD capacity = MAX_PATH;
    while (true) {
      path.resize(capacity);
      DWORD length = GetModuleFileNameW(nullptr, &path[0], capacity);
      if (length == 0) return std::wstring();
      // A path that fills the buffer was cut short.
      if (length < capacity) {
        path.resize(length);
        return path;
      }
      if (capacity > kMaxWideCharacters) return std::wstring();
      capacity = std::min<DWORD>(2 * capacity, kMaxWideCharacters + 1);
    }
  } catch (const std::bad_alloc&) {
    return std::wstring();
  }
}

std::string Utf8FromWide(const std::wstring& text) {
  try {
    return ToUtf8(text.data(), text.size());
  } catch (const std::bad_alloc&) {
    return std::string();
  }
}

std::wstring WideFromUtf8(const std::string& text) {
  try {
    return ToWide(text, false);
  } catch (const std::bad_alloc&) {
    return std::wstring();
  }
}

}  // namespace lumetra
