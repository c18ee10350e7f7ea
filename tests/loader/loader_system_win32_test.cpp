// The system services of the loader's watcher against the test bed's real
// registry, file system and process list. Every registry value and
// environment variable a case changes is put back after it.
#include "loader/loader_system.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "tests/testing/paths.h"

namespace lumetra {
namespace {

using Names = std::vector<std::string>;

constexpr wchar_t kLoaderKey[] = L"Software\\Pelo\\Lumetra\\Loader";
constexpr wchar_t kPauseValue[] = L"PauseWhileRunning";
constexpr wchar_t kLocalAppData[] = L"LOCALAPPDATA";
// "Ünïcødé-λ": outside every ANSI code page at once.
constexpr wchar_t kUnicodeWide[] = L"\u00DCn\u00EFc\u00F8d\u00E9-\u03BB";
const std::string kUnicodeUtf8 = u8"\u00DCn\u00EFc\u00F8d\u00E9-\u03BB";

const std::regex kStampedLine(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d  (.*))");

std::wstring Wide(const std::string& text) { return WideFromUtf8(text); }

// A folder of its own for one case, as the program names it.
std::wstring ScratchFolder(const std::string& name) {
  return Wide(testing::SystemPath(testing::ScratchDir(name)));
}

// The whole file's bytes; "(missing)" when it cannot be read.
std::string FileBytes(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "(missing)";
  std::string bytes(GetFileSize(file, nullptr), '\0');
  DWORD read = 0;
  if (!bytes.empty()) ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  bytes.resize(read);
  return bytes;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size();
  CloseHandle(file);
  return ok;
}

// --- registry ---

// The pause list value as it was, put back at the end of the case.
class SavedPauseValue {
 public:
  SavedPauseValue() {
    HKEY key = nullptr;
    key_existed_ = RegOpenKeyExW(HKEY_CURRENT_USER, kLoaderKey, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS;
    if (!key_existed_) return;
    DWORD size = 0;
    if (RegQueryValueExW(key, kPauseValue, nullptr, &type_, nullptr, &size) == ERROR_SUCCESS) {
      data_.resize(size);
      value_existed_ = RegQueryValueExW(key, kPauseValue, nullptr, &type_, data_.data(), &size) == ERROR_SUCCESS;
      data_.resize(size);
    }
    RegCloseKey(key);
  }
  ~SavedPauseValue() {
    if (value_existed_) {
      RegSetKeyValueW(HKEY_CURRENT_USER, kLoaderKey, kPauseValue, type_, data_.data(),
                      static_cast<DWORD>(data_.size()));
    } else {
      RegDeleteKeyValueW(HKEY_CURRENT_USER, kLoaderKey, kPauseValue);
    }
    // Fails, as it should, when the key holds anything else.
    if (!key_existed_) RegDeleteKeyW(HKEY_CURRENT_USER, kLoaderKey);
  }

 private:
  bool key_existed_ = false;
  bool value_existed_ = false;
  DWORD type_ = REG_NONE;
  std::vector<BYTE> data_;
};

void StoreRaw(DWORD type, const void* data, size_t bytes) {
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kLoaderKey, kPauseValue, type, data, static_cast<DWORD>(bytes)),
            ERROR_SUCCESS);
}

// A multi-string's units, written as given: its NULs are the caller's.
void StoreUnits(const std::wstring& units, size_t bytes = SIZE_MAX) {
  StoreRaw(REG_MULTI_SZ, units.data(), std::min(bytes, units.size() * sizeof(wchar_t)));
}

// The stored value's units as they are, with no NUL added.
std::wstring StoredUnits() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kLoaderKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return L"(no key)";
  std::wstring units(256, L'x');
  DWORD size = static_cast<DWORD>(units.size() * sizeof(wchar_t));
  DWORD type = REG_NONE;
  LONG error = RegQueryValueExW(key, kPauseValue, nullptr, &type, reinterpret_cast<BYTE*>(&units[0]), &size);
  RegCloseKey(key);
  if (error != ERROR_SUCCESS || type != REG_MULTI_SZ) return L"(not a multi-string)";
  units.resize(size / sizeof(wchar_t));
  return units;
}

// What the reader makes of the stored value: its verdict and names.
struct Read {
  StoredList stored;
  Names names;
};
Read ReadBack() {
  Read read{StoredList::kAbsent, {"stale"}};  // a reader that fails must still empty the list
  read.stored = ReadPauseWhileRunning(&read.names);
  return read;
}

class PauseList : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteKeyValueW(HKEY_CURRENT_USER, kLoaderKey, kPauseValue); }

  SavedPauseValue saved_;
};

TEST_F(PauseList, AMissingValueOrKeyIsAbsent) {
  Read read = ReadBack();
  EXPECT_EQ(read.stored, StoredList::kAbsent);
  EXPECT_TRUE(read.names.empty());

  HKEY key = nullptr;
  DWORD subkeys = 0, values = 0;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kLoaderKey, 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                   nullptr);
  RegCloseKey(key);
  if (subkeys != 0 || values != 0) GTEST_SKIP() << "the loader's key holds other settings; not removed";
  ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, kLoaderKey), ERROR_SUCCESS);
  EXPECT_EQ(ReadBack().stored, StoredList::kAbsent);
}

TEST_F(PauseList, WrittenNamesReadBackInOrderAsAStandardMultiString) {
  const Names names = {"dispcal.exe", kUnicodeUtf8 + ".exe", u8"\u8272\u5F69.exe", "Game Launcher.exe"};
  ASSERT_EQ(WritePauseWhileRunning(names), kOk);
  Read read = ReadBack();
  EXPECT_EQ(read.stored, StoredList::kPresent);
  EXPECT_EQ(read.names, names);
  EXPECT_EQ(StoredUnits(), std::wstring(L"dispcal.exe\0", 12) + kUnicodeWide + std::wstring(L".exe\0", 5) +
                               std::wstring(L"\u8272\u5F69.exe\0Game Launcher.exe\0\0", 26))
      << "each name ends in a NUL, the list in a second one";
}

TEST_F(PauseList, EmptyListsAndEmptyStringsGiveNoNames) {
  ASSERT_EQ(WritePauseWhileRunning({}), kOk);
  Read read = ReadBack();
  EXPECT_EQ(read.stored, StoredList::kPresent) << "written empty";
  EXPECT_TRUE(read.names.empty());
  EXPECT_EQ(StoredUnits(), std::wstring(2, L'\0')) << "an empty list as every reader takes it";

  StoreRaw(REG_MULTI_SZ, nullptr, 0);
  read = ReadBack();
  EXPECT_EQ(read.stored, StoredList::kPresent) << "no data at all";
  EXPECT_TRUE(read.names.empty());

  StoreUnits(std::wstring(L"\0\0a.exe\0\0\0b.exe\0\0", 17));
  EXPECT_EQ(ReadBack().names, (Names{"a.exe", "b.exe"})) << "empty strings are passed over, not an end";

  ASSERT_EQ(WritePauseWhileRunning({"", "a.exe", ""}), kOk);
  EXPECT_EQ(StoredUnits(), std::wstring(L"a.exe\0\0", 7)) << "an empty name would end the list early";
}

TEST_F(PauseList, AValueOfAnotherTypeIsTheWrongTypeWithoutNames) {
  const wchar_t text[] = L"dispcal.exe";
  StoreRaw(REG_SZ, text, sizeof(text));
  Read read = ReadBack();
  EXPECT_EQ(read.stored, StoredList::kWrongType) << "REG_SZ";
  EXPECT_TRUE(read.names.empty());

  const DWORD number = 1;
  StoreRaw(REG_DWORD, &number, sizeof(number));
  EXPECT_EQ(ReadBack().stored, StoredList::kWrongType) << "REG_DWORD";

  const wchar_t list[] = L"dispcal.exe\0";
  StoreRaw(REG_BINARY, list, sizeof(list));
  EXPECT_EQ(ReadBack().stored, StoredList::kWrongType) << "the type decides, not what the bytes look like";
}

TEST_F(PauseList, DataWithoutItsNulsIsReadToItsEndAndNoFurther) {
  StoreUnits(std::wstring(L"a.exe\0b.exe", 11));
  EXPECT_EQ(ReadBack().names, (Names{"a.exe", "b.exe"})) << "no NUL after the last name";

  StoreUnits(L"dispcal.exe");
  EXPECT_EQ(ReadBack().names, Names{"dispcal.exe"}) << "one name, no NUL at all";

  StoreUnits(std::wstring(L"a.exe\0b.exe", 11), 21);
  EXPECT_EQ(ReadBack().names, (Names{"a.exe", "b.ex"})) << "an odd byte count: the half unit is left out";
}

TEST_F(PauseList, ValuesOver64KiBAreRefusedUnread) {
  std::wstring units;
  for (int i = 0; i < 4096; ++i) units += std::wstring(L"abc.exe\0", 8);  // 64 KiB exactly
  StoreUnits(units);
  Read read = ReadBack();
  EXPECT_EQ(read.stored, StoredList::kPresent) << "64 KiB is allowed";
  EXPECT_EQ(read.names.size(), 4096u);

  StoreUnits(units + L'\0');
  read = ReadBack();
  EXPECT_EQ(read.stored, StoredList::kWrongType) << "64 KiB and 2 bytes";
  EXPECT_TRUE(read.names.empty());

  StoreUnits(std::wstring(1 << 20, L'a'));
  EXPECT_EQ(ReadBack().stored, StoredList::kWrongType) << "2 MiB";
}

TEST_F(PauseList, AListTheReaderWouldRefuseIsNotWritten) {
  ASSERT_EQ(WritePauseWhileRunning({"dispcal.exe"}), kOk);
  EXPECT_EQ(WritePauseWhileRunning(Names(4096, "abc.exe")), kBadArgument) << "64 KiB and 2 bytes";
  EXPECT_EQ(WritePauseWhileRunning({"a.exe", "\xFF.exe"}), kBadArgument) << "not UTF-8";
  EXPECT_EQ(WritePauseWhileRunning({std::string("a\0b.exe", 7)}), kBadArgument) << "a NUL inside a name";
  EXPECT_EQ(ReadBack().names, Names{"dispcal.exe"}) << "the stored list is left as it was";
  EXPECT_EQ(WritePauseWhileRunning(Names(4095, "abc.exe")), kOk) << "just under 64 KiB";
}

// --- running programs and this program's path ---

std::wstring FileNameOf(const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); }

bool IsListed(const std::string& name) {
  Names running;
  if (ListRunningPrograms(&running) != kOk) return false;
  return std::find(running.begin(), running.end(), name) != running.end();
}

TEST(RunningPrograms, ThisProgramIsListedByItsFileName) {
  const std::wstring path = ProgramPathWide();
  ASSERT_FALSE(path.empty());
  EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << "a full path to the file";
  EXPECT_EQ(FileNameOf(path), L"loader_tests.exe");

  Names running;
  ASSERT_EQ(ListRunningPrograms(&running), kOk);
  EXPECT_NE(std::find(running.begin(), running.end(), "loader_tests.exe"), running.end());
  EXPECT_GE(running.size(), 2u) << "Wine's own services run beside it";
  EXPECT_EQ(ListRunningPrograms(nullptr), kMissingObject);
}

TEST(RunningPrograms, ANonAnsiProgramNameArrivesAsUtf8) {
  const std::wstring copy = ScratchFolder("running") + L"\\" + kUnicodeWide + L".exe";
  ASSERT_TRUE(CopyFileW(ProgramPathWide().c_str(), copy.c_str(), FALSE));
  // Suspended, it is listed without running any of its code.
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  std::wstring command = L"\"" + copy + L"\"";
  ASSERT_TRUE(CreateProcessW(copy.c_str(), &command[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                             &startup, &process));
  EXPECT_TRUE(IsListed(kUnicodeUtf8 + ".exe"));
  TerminateProcess(process.hProcess, 0);
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EXPECT_FALSE(IsListed(kUnicodeUtf8 + ".exe")) << "gone once ended";
  DeleteFileW(copy.c_str());
}

constexpr wchar_t kProbeOutput[] = L"LUMETRA_PROBE_OUTPUT";

// Started from a folder named outside the ANSI code page: writes what it
// finds as its own path into the file the variable names.
TEST(DISABLED_PathProbe, WritesItsProgramPath) {
  wchar_t output[MAX_PATH] = {};
  ASSERT_GT(GetEnvironmentVariableW(kProbeOutput, output, MAX_PATH), 0u);
  ASSERT_TRUE(WriteBytes(output, Utf8FromWide(ProgramPathWide())));
}

// (Wine 8 starts no program from a path of MAX_PATH characters or more, so
// the longer paths the call takes cannot be shown here.)
TEST(ProgramPath, AFolderNamedOutsideTheAnsiCodePageArrivesWhole) {
  const std::wstring folder = ScratchFolder("program-path") + L"\\" + kUnicodeWide;
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring copy = folder + L"\\loader_tests.exe";
  ASSERT_TRUE(CopyFileW(ProgramPathWide().c_str(), copy.c_str(), FALSE));

  const std::wstring output = folder + L"\\probe.txt";
  DeleteFileW(output.c_str());
  ASSERT_TRUE(SetEnvironmentVariableW(kProbeOutput, output.c_str()));
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  std::wstring command = L"probe --gtest_also_run_disabled_tests --gtest_filter=DISABLED_PathProbe.*";
  const bool started = CreateProcessW(copy.c_str(), &command[0], nullptr, nullptr, FALSE, DETACHED_PROCESS,
                                      nullptr, nullptr, &startup, &process) != FALSE;
  SetEnvironmentVariableW(kProbeOutput, nullptr);
  ASSERT_TRUE(started) << GetLastError();
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 20000), WAIT_OBJECT_0);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);

  EXPECT_EQ(FileBytes(output), Utf8FromWide(copy));
  DeleteFileW(copy.c_str());
}

TEST(TextEncoding, Utf8AndUtf16RoundTripAndMarkWhatIsInvalid) {
  EXPECT_EQ(Utf8FromWide(kUnicodeWide), kUnicodeUtf8);
  EXPECT_EQ(WideFromUtf8(kUnicodeUtf8), kUnicodeWide);
  EXPECT_EQ(Utf8FromWide(L"\U0001F5A5"), u8"\U0001F5A5") << "a surrogate pair";
  EXPECT_EQ(Utf8FromWide(std::wstring(1, wchar_t(0xD800))), "\xEF\xBF\xBD") << "an unpaired surrogate";
  EXPECT_EQ(WideFromUtf8("a\xFF"), L"a\uFFFD");
  EXPECT_EQ(Utf8FromWide(L""), "");
}

// --- local time ---

TEST(LocalDateTime, NowLiesBetweenTheSystemsLocalTimesAroundIt) {
  auto system_now = [] {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char text[32];
    std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond);
    return std::string(text);
  };
  const std::string before = system_now();
  const std::string now = LocalDateTime();
  const std::string after = system_now();
  EXPECT_TRUE(std::regex_match(now, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)"))) << now;
  EXPECT_LE(before, now);
  EXPECT_LE(now, after);
}

TEST(LocalDateTime, OffsetsMoveTheTimeAndOutOfRangeGivesNone) {
  const std::string now = LocalDateTime();
  EXPECT_LT(LocalDateTime(-86400000), now);
  EXPECT_GT(LocalDateTime(86400000), now);
  EXPECT_EQ(LocalDateTime(-86400000).substr(11, 5), now.substr(11, 5)) << "a day back, the same time of day";
  EXPECT_EQ(LocalDateTime(INT64_MAX), "");
  EXPECT_EQ(LocalDateTime(INT64_MIN), "");
}

// --- the log ---

// The texts of a log's lines after their time stamps; a line that does not
// have the form, or a missing final CR LF, shows as "(malformed)".
Names LoggedTexts(const std::string& bytes) {
  Names texts;
  size_t begin = 0;
  for (size_t end; (end = bytes.find("\r\n", begin)) != std::string::npos; begin = end + 2) {
    std::smatch match;
    const std::string line = bytes.substr(begin, end - begin);
    texts.push_back(std::regex_match(line, match, kStampedLine) && line.find('\n') == std::string::npos
                        ? match[1].str()
                        : "(malformed)");
  }
  if (begin != bytes.size()) texts.push_back("(malformed)");
  return texts;
}

// LOCALAPPDATA pointed at a scratch folder for the length of a case.
class LoaderLogFile : public ::testing::Test {
 protected:
  void SetUp() override {
    DWORD length = GetEnvironmentVariableW(kLocalAppData, nullptr, 0);
    had_local_app_data_ = length > 0;
    if (had_local_app_data_) {
      saved_local_app_data_.resize(length);
      saved_local_app_data_.resize(GetEnvironmentVariableW(kLocalAppData, &saved_local_app_data_[0], length));
    }
    PointLocalAppDataAt(ScratchFolder("log"));
  }
  void TearDown() override {
    SetEnvironmentVariableW(kLocalAppData, had_local_app_data_ ? saved_local_app_data_.c_str() : nullptr);
  }

  // A fresh folder: no Lumetra folder inside yet.
  void PointLocalAppDataAt(const std::wstring& folder) {
    local_app_data_ = folder;
    DeleteFileW(LogPath().c_str());
    DeleteFileW((LogPath() + L".1").c_str());
    RemoveDirectoryW(LogPath().c_str());
    RemoveDirectoryW((folder + L"\\Lumetra").c_str());
    ASSERT_TRUE(SetEnvironmentVariableW(kLocalAppData, folder.c_str()));
  }
  std::wstring LogPath() const { return local_app_data_ + L"\\Lumetra\\loader.log"; }

  std::wstring local_app_data_;
  bool had_local_app_data_ = false;
  std::wstring saved_local_app_data_;
};

TEST_F(LoaderLogFile, MakesItsFolderAndWritesOneStampedCrLfLinePerLine) {
  ASSERT_EQ(GetFileAttributesW((local_app_data_ + L"\\Lumetra").c_str()), INVALID_FILE_ATTRIBUTES);
  LoaderLog log;
  EXPECT_EQ(log.Path(), LogPath());
  const std::string before = LocalDateTime();
  EXPECT_TRUE(log.Append("watching 2 displays"));
  EXPECT_TRUE(log.Append("paused\nwhile dispcal.exe runs\r\n"));
  EXPECT_TRUE(log.Append(""));
  const std::string after = LocalDateTime();

  const std::string bytes = FileBytes(LogPath());
  EXPECT_EQ(LoggedTexts(bytes), (Names{"watching 2 displays", "paused", "while dispcal.exe runs", ""}));
  const std::string stamp = bytes.substr(0, 19);
  EXPECT_LE(before, stamp);
  EXPECT_LE(stamp, after);
}

TEST_F(LoaderLogFile, HoldsNoHandleBetweenLinesSoOthersMayReadAndDeleteIt) {
  LoaderLog log;
  ASSERT_TRUE(log.Append("one"));
  // A reader that shares everything, as a log viewer does, does not stop the writer.
  HANDLE reader = CreateFileW(LogPath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(log.Append("two"));
  CloseHandle(reader);
  EXPECT_EQ(LoggedTexts(FileBytes(LogPath())), (Names{"one", "two"}));

  ASSERT_TRUE(DeleteFileW(LogPath().c_str())) << "the writer keeps it open";
  ASSERT_TRUE(RemoveDirectoryW((local_app_data_ + L"\\Lumetra").c_str()));
  EXPECT_TRUE(log.Append("three")) << "folder and file made again";
  EXPECT_EQ(LoggedTexts(FileBytes(LogPath())), Names{"three"});
}

TEST_F(LoaderLogFile, PastOneMebibyteTheLogMovesToItsOldNameAndANewOneBegins) {
  LoaderLog log;
  ASSERT_TRUE(log.Append("first"));
  const std::string first = FileBytes(LogPath());
  ASSERT_TRUE(WriteBytes(LogPath(), first + std::string(LoaderLog::kRotateBytes - 1 - first.size(), 'a')));

  ASSERT_TRUE(log.Append("just past"));
  EXPECT_EQ(GetFileAttributesW((LogPath() + L".1").c_str()), INVALID_FILE_ATTRIBUTES) << "under 1 MiB it grows";
  const std::string full = FileBytes(LogPath());
  ASSERT_GT(full.size(), LoaderLog::kRotateBytes);

  ASSERT_TRUE(log.Append("second"));
  EXPECT_EQ(FileBytes(LogPath() + L".1"), full);
  EXPECT_EQ(LoggedTexts(FileBytes(LogPath())), Names{"second"});

  const std::string next = FileBytes(LogPath()) + std::string(LoaderLog::kRotateBytes, 'b');
  ASSERT_TRUE(WriteBytes(LogPath(), next));
  ASSERT_TRUE(log.Append("third"));
  EXPECT_EQ(FileBytes(LogPath() + L".1"), next) << "the older one replaced";
  EXPECT_EQ(LoggedTexts(FileBytes(LogPath())), Names{"third"});
}

TEST_F(LoaderLogFile, AFolderNamedOutsideTheAnsiCodePageAndTextInUtf8) {
  const std::wstring folder = ScratchFolder("log") + L"\\" + kUnicodeWide;
  CreateDirectoryW(folder.c_str(), nullptr);
  PointLocalAppDataAt(folder);
  LoaderLog log;
  EXPECT_EQ(log.Path(), folder + L"\\Lumetra\\loader.log");
  EXPECT_TRUE(log.Append("paused while " + kUnicodeUtf8 + ".exe runs"));
  EXPECT_EQ(LoggedTexts(FileBytes(LogPath())), Names{"paused while " + kUnicodeUtf8 + ".exe runs"});
}

TEST_F(LoaderLogFile, ALogThatCannotBeWrittenAnswersFalse) {
  ASSERT_TRUE(CreateDirectoryW((local_app_data_ + L"\\Lumetra").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(LogPath().c_str(), nullptr));
  LoaderLog log;
  EXPECT_FALSE(log.Append("lost"));
  EXPECT_NE(GetFileAttributesW(LogPath().c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u) << "the folder left in place";
  EXPECT_EQ(GetFileAttributesW((LogPath() + L".1").c_str()), INVALID_FILE_ATTRIBUTES) << "and not moved aside";
  RemoveDirectoryW(LogPath().c_str());
}

TEST_F(LoaderLogFile, WithoutTheVariableTheSystemsLocalApplicationDataFolderServes) {
  wchar_t system_folder[MAX_PATH] = {};
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, system_folder), S_OK);
  ASSERT_TRUE(SetEnvironmentVariableW(kLocalAppData, nullptr));
  LoaderLog log;
  EXPECT_EQ(log.Path(), std::wstring(system_folder) + L"\\Lumetra\\loader.log");
}

}  // namespace
}  // namespace lumetra
