// What the loader's watcher asks of the system around it: the programs running
// now, the user's list of programs that pause it, the local time, its log file
// and its own path. Windows only; wide-character calls throughout, so that any
// user, folder or program name works, and UTF-8 text on this side.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/support/status.h"

namespace lumetra {

// Program file names of the processes running now ("dispcal.exe"), as UTF-8,
// from a Toolhelp snapshot. 0, or the status of a failed snapshot; 21002 when
// memory runs out.
Status ListRunningPrograms(std::vector<std::string>* names);

// The REG_MULTI_SZ value PauseWhileRunning under
// HKCU\Software\Pelo\Lumetra\Loader, as UTF-8 names, empty strings left out.
// A value of another type or larger than 64 KiB is kWrongType; a key or value
// that is missing or cannot be read is kAbsent. `names` is empty unless
// kPresent.
enum class StoredList { kAbsent, kPresent, kWrongType };
StoredList ReadPauseWhileRunning(std::vector<std::string>* names);
// Writes that value (for tests and tools); an empty list writes an empty
// multi-string, and empty names are left out. 20003 for a name that is not
// UTF-8.
Status WritePauseWhileRunning(const std::vector<std::string>& names);

// The DWORD Notifications under HKCU\Software\Pelo\Lumetra\Loader: whether
// the notification icon shows balloons. Absent, unreadable or of another type:
// true.
bool NotificationsWanted();
Status SetNotificationsWanted(bool wanted);

// "2026-12-08 17:05:03", local time, `offset_ms` from now (may be negative);
// empty when the system cannot tell.
std::string LocalDateTime(int64_t offset_ms = 0);

// The watcher's log: %LOCALAPPDATA%\Lumetra\loader.log (the folder made when
// missing), every line prefixed with LocalDateTime() and two spaces, CR LF
// endings, UTF-8. Past 1 MiB the file becomes loader.log.1 (replacing an older
// one) and a new file begins. The file is opened for each line only, so that
// a resident program holds no handle and others may read or delete the log.
// A log that cannot be written never throws or stops the caller.
class LoaderLog {
 public:
  static constexpr uint64_t kRotateBytes = 1 << 20;

  // Finds the folder: the LOCALAPPDATA environment variable, else the
  // system's local application data folder.
  LoaderLog();

  // Whether the line was written. A line holding line feeds is written as
  // several lines, each with its own prefix.
  bool Append(const std::string& utf8_line);
  const std::wstring& Path() const { return path_; }  // empty when no folder is known

 private:
  std::wstring folder_;
  std::wstring path_;
};

// This program's full path (any length up to 32767 characters); empty on failure.
std::wstring ProgramPathWide();

// UTF-8 and UTF-16 texts of each other; what is not valid in its encoding
// becomes U+FFFD. Empty when memory runs out.
std::string Utf8FromWide(const std::wstring& text);
std::wstring WideFromUtf8(const std::string& text);

}  // namespace lumetra
