// The installer from the outside, in a Wine prefix that never had the program:
// run silently, its work read back from the file system, the Start menu's
// shortcuts and the registry; the installed programs started as their
// shortcuts and cmd start them; an upgrade over the installation; the silent
// uninstall. The suites follow one installation's life and run in the order
// written here.
#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "lumetra_version.h"
#include "tests/testing/icc_builder.h"
#include "tests/testing/paths.h"
#include "tests/testing/test_bed_win32.h"

namespace lumetra {
namespace {

constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lumetra";
constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kRunValue[] = "Lumetra Loader";
constexpr char kWatcherClass[] = "LumetraLoaderWatcher";
constexpr char kAssociations[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\ICM\\mntr";
constexpr DWORD kWaitMs = 30000;

// What the release holds, sorted as FolderNames sorts.
const std::vector<std::string> kReleaseFiles = {"EnglishLanguage",    "License.txt",        "ReadMe.txt",
                                                "lumetra-loader.com", "lumetra-loader.exe", "lumetra.exe"};
// An installation's folder: the release and the uninstaller.
std::vector<std::string> InstalledFiles() {
  std::vector<std::string> files = kReleaseFiles;
  files.push_back("uninstall.exe");
  std::sort(files.begin(), files.end());
  return files;
}
const std::vector<std::string> kShortcuts = {"Load calibration now.lnk", "Lumetra Loader.lnk", "Lumetra.lnk",
                                             "Reset to linear.lnk", "Uninstall Lumetra.lnk"};

// The user's monitor profiles, which no uninstall may touch.
const char* const kCalibration = "lumetra-setup-a.icm";  // colord Gamma5000K: "D50", 16-bit vcgt
const char* const kUnreadable = "lumetra-setup-b.icm";   // declares more bytes than it has: 5012

std::string Release() { return std::string("lumetra-") + LUMETRA_VERSION_TEXT; }
std::string SetupPath() { return testing::BinaryPath("dist/" + Release() + "-setup.exe"); }
// The files exactly as the installer packs them.
std::string StagedPath(const std::string& name) {
  return testing::BinaryPath("packaging/windows/" + Release() + "/" + name);
}

class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle = nullptr) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
  ~ScopedHandle() {
    if (handle_) CloseHandle(handle_);
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

template <typename T>
class ComPointer {
 public:
  ComPointer() = default;
  ~ComPointer() {
    if (p_) p_->Release();
  }
  ComPointer(const ComPointer&) = delete;
  ComPointer& operator=(const ComPointer&) = delete;
  T* operator->() const { return p_; }
  T* get() const { return p_; }
  void** out() { return reinterpret_cast<void**>(&p_); }

 private:
  T* p_ = nullptr;
};

std::string ShellFolder(int csidl) {
  char path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return "";
  return path;
}

std::string DefaultInstallFolder() { return ShellFolder(CSIDL_PROGRAM_FILES) + "\\Lumetra"; }
std::string MenuFolder() { return ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\Lumetra"; }

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The names in a folder, sorted; empty when there is no such folder.
std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    std::string name = found.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

std::optional<std::vector<char>> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint64_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::optional<std::string> RegText(HKEY root, const char* key, const char* name) {
  char value[2048] = {};
  DWORD size = sizeof(value);
  if (RegGetValueA(root, key, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) return std::nullopt;
  return std::string(value);
}

std::optional<DWORD> RegNumber(HKEY root, const char* key, const char* name) {
  DWORD value = 0, size = sizeof(value);
  if (RegGetValueA(root, key, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS) return std::nullopt;
  return value;
}

bool HasValue(HKEY root, const char* key, const char* name) {
  return RegGetValueA(root, key, name, RRF_RT_ANY, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool KeyExists(HKEY root, const char* key) {
  HKEY opened;
  if (RegOpenKeyExA(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

// The login entries: the installer's for every user, and the current user's
// that `lumetra-loader /install` writes.
std::optional<std::string> AllUsersRunEntry() { return RegText(HKEY_LOCAL_MACHINE, kRunKey, kRunValue); }
std::optional<std::string> RunEntry() { return RegText(HKEY_CURRENT_USER, kRunKey, kRunValue); }

// Runs a command line in a job of its own and waits for the process it
// started, and with `whole_job` also for every process that one started in
// turn. The exit code of the first process, -1 when anything did not end in
// time.
int RunInJob(const std::string& command_line, bool whole_job) {
  ScopedHandle job(CreateJobObjectA(nullptr, nullptr));
  std::string command = command_line;
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &startup,
                      &started)) {
    ADD_FAILURE() << "cannot start " << command_line << ": error " << GetLastError();
    return -1;
  }
  ScopedHandle process(started.hProcess), thread(started.hThread);
  // Joined before it runs, so that whatever it starts joins too.
  EXPECT_TRUE(AssignProcessToJobObject(job.get(), process.get())) << "error " << GetLastError();
  ResumeThread(thread.get());
  if (WaitForSingleObject(process.get(), kWaitMs) != WAIT_OBJECT_0) {
    TerminateProcess(process.get(), 99);
    return -1;
  }
  DWORD code = 0;
  GetExitCodeProcess(process.get(), &code);
  for (DWORD waited = 0; whole_job; waited += 50) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
    if (!QueryInformationJobObject(job.get(), JobObjectBasicAccountingInformation, &accounting, sizeof(accounting),
                                   nullptr) ||
        accounting.ActiveProcesses == 0)
      break;
    if (waited >= kWaitMs) return -1;
    Sleep(50);
  }
  return static_cast<int>(code);
}

// The installer ends when its work is done (the watcher it starts stays).
int RunSetup(const std::string& arguments) { return RunInJob("\"" + SetupPath() + "\" " + arguments, false); }

// An uninstaller hands its work to a copy of itself and ends at once: done
// when that copy and whatever it started have ended too.
int RunUninstaller(const std::string& command_line) { return RunInJob(command_line, true); }

struct Shortcut {
  bool read = false;
  std::string target;
  std::string arguments;
  std::string directory;
};

Shortcut ReadShortcut(const std::string& path) {
  Shortcut shortcut;
  ComPointer<IShellLinkA> link;
  ComPointer<IPersistFile> file;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.out())) ||
      FAILED(link->QueryInterface(IID_IPersistFile, file.out())))
    return shortcut;
  wchar_t wide[MAX_PATH] = {};
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
  if (FAILED(file->Load(wide, STGM_READ))) return shortcut;
  char text[MAX_PATH] = {};
  link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
  shortcut.target = text;
  text[0] = 0;
  link->GetArguments(text, MAX_PATH);
  shortcut.arguments = text;
  text[0] = 0;
  link->GetWorkingDirectory(text, MAX_PATH);
  shortcut.directory = text;
  shortcut.read = true;
  return shortcut;
}

BOOL CALLBACK CollectWatcher(HWND window, LPARAM data) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof(name));
  if (std::strcmp(name, kWatcherClass) == 0) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    reinterpret_cast<std::vector<DWORD>*>(data)->push_back(process);
  }
  return TRUE;
}

// The processes that own a watcher window.
std::vector<DWORD> Watchers() {
  std::vector<DWORD> processes;
  EnumWindows(CollectWatcher, reinterpret_cast<LPARAM>(&processes));
  return processes;
}

// The watchers once the one the installer started last has shown its window.
std::vector<DWORD> WatchersOtherThan(DWORD old_process) {
  for (DWORD waited = 0; waited < kWaitMs; waited += 50) {
    std::vector<DWORD> now = Watchers();
    if (std::any_of(now.begin(), now.end(), [&](DWORD p) { return p != old_process; })) {
      Sleep(500);  // time for a second one to show itself, too
      return Watchers();
    }
    Sleep(50);
  }
  return Watchers();
}

std::string ImageOf(DWORD process_id) {
  ScopedHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id));
  char path[MAX_PATH] = {};
  DWORD size = MAX_PATH;
  if (!process.get() || !QueryFullProcessImageNameA(process.get(), 0, path, &size)) return "";
  return path;
}

bool Ended(DWORD process_id) {
  ScopedHandle process(OpenProcess(SYNCHRONIZE, FALSE, process_id));
  return !process.get() || WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

struct RunningProgram {
  std::string name;
  DWORD id;
};

// Running processes of the release's programs and of its uninstaller.
std::vector<RunningProgram> LumetraProcesses() {
  std::vector<RunningProgram> found;
  ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32First(snapshot.get(), &entry); more; more = Process32Next(snapshot.get(), &entry)) {
    std::string name = Lower(entry.szExeFile);
    if (name == "lumetra.exe" || name == "lumetra-loader.exe" || name == "uninstall.exe")
      found.push_back({name, entry.th32ProcessID});
  }
  return found;
}

std::string Names(const std::vector<RunningProgram>& programs) {
  std::string names;
  for (const RunningProgram& p : programs) names += p.name + " (" + std::to_string(p.id) + ") ";
  return names;
}

// Ends whatever of the release a failed test left running: Wine hands a
// started process the test's output pipe, and ctest waits until every holder
// of it has ended.
void EndLumetraProcesses() {
  for (const RunningProgram& program : LumetraProcesses()) {
    ScopedHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, program.id));
    if (!process.get()) continue;
    TerminateProcess(process.get(), 1);
    WaitForSingleObject(process.get(), kWaitMs);
  }
}

// The catalogue's text for a status, as the language file has it.
std::string CatalogueText(int status) {
  std::ifstream in(testing::SourcePath("data/EnglishLanguage"));
  std::string prefix = std::to_string(status) + " ";
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.compare(0, prefix.size(), prefix) == 0) return line.substr(line.find_first_not_of(' ', prefix.size()));
  }
  return "(no text for " + std::to_string(status) + ")";
}

// The first visible dialog window of a process other than `except`.
HWND WaitForDialog(DWORD process, HWND except) {
  return static_cast<HWND>(testing::WaitForDialog(process, except, kWaitMs));
}

std::string Narrow(const wchar_t* text) {
  char buffer[2048] = {};
  WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof(buffer), nullptr, nullptr);
  return buffer;
}

std::string WindowText(HWND window) {
  wchar_t text[1024] = {};
  GetWindowTextW(window, text, 1024);
  return Narrow(text);
}

// Another process's list lines, read as UTF-16: Wine hands ANSI list texts
// over unconverted.
std::vector<std::string> ListLines(HWND list) {
  std::vector<std::string> lines;
  LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    wchar_t text[1024] = {};
    if (SendMessageW(list, LB_GETTEXTLEN, i, 0) < 1024)
      SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
    lines.push_back(Narrow(text));
  }
  return lines;
}

// COM for the shell's links; at the end nothing of the release left running.
class InstallerEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  void TearDown() override {
    EndLumetraProcesses();
    CoUninitialize();
  }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new InstallerEnvironment);

// ---------------------------------------------------------------------------
// The installer file itself.

// The images of an .ico file (ICONDIR, then one ICONDIRENTRY of 16 bytes each
// with the image's size at 8 and its offset at 12).
std::vector<std::vector<char>> IcoImages(const std::vector<char>& ico) {
  std::vector<std::vector<char>> images;
  auto u16 = [&](size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(ico[at]) | static_cast<uint8_t>(ico[at + 1]) << 8);
  };
  auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
  if (ico.size() < 6) return images;
  uint32_t count = u16(4);
  for (uint32_t i = 0; i < count && 6 + 16 * (i + 1) <= ico.size(); ++i) {
    uint32_t size = u32(6 + 16 * i + 8), offset = u32(6 + 16 * i + 12);
    if (offset > ico.size() || size > ico.size() - offset) break;
    images.emplace_back(ico.begin() + offset, ico.begin() + offset + size);
  }
  return images;
}

BOOL CALLBACK TakeFirstName(HMODULE, LPCSTR, LPSTR name, LONG_PTR data) {
  *reinterpret_cast<LPCSTR*>(data) = IS_INTRESOURCE(name) ? name : nullptr;
  return FALSE;
}

std::vector<char> ResourceBytes(HMODULE module, LPCSTR type, LPCSTR name) {
  HRSRC found = FindResourceA(module, name, type);
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (!bytes) return {};
  return std::vector<char>(bytes, bytes + SizeofResource(module, found));
}

TEST(Installer, CarriesTheProjectVersionAndTheProgramIcon) {
  std::string setup = SetupPath();
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(setup.c_str(), &ignored);
  ASSERT_GT(size, 0u) << "the installer has no version resource";
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(setup.c_str(), 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(LUMETRA_VERSION_MINOR, LUMETRA_VERSION_MAJOR)));
  EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(MAKELONG(0, LUMETRA_VERSION_PATCH)));
  EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
  EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);

  WORD* translation = nullptr;
  ASSERT_TRUE(
      VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
  ASSERT_GE(length, 4u);
  char block[64];
  std::snprintf(block, sizeof(block), "\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);
  auto text = [&](const char* name) {
    char* value = nullptr;
    UINT chars = 0;
    if (!VerQueryValueA(info.data(), (std::string(block) + name).c_str(), reinterpret_cast<void**>(&value), &chars))
      return std::string("(none)");
    return std::string(value);
  };
  EXPECT_EQ(text("ProductVersion"), LUMETRA_VERSION_DOTTED);
  EXPECT_EQ(text("FileVersion"), LUMETRA_VERSION_DOTTED);
  EXPECT_EQ(text("ProductName"), "Lumetra");
  EXPECT_EQ(text("CompanyName"), "Pelo");

  // The icon Windows shows for the file, the first icon group, is made of
  // exactly the program's images.
  std::optional<std::vector<char>> ico = FileBytes(testing::SourcePath("app/lumetra.ico"));
  ASSERT_TRUE(ico);
  std::vector<std::vector<char>> wanted = IcoImages(*ico);
  ASSERT_FALSE(wanted.empty());
  HMODULE module = LoadLibraryExA(setup.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_TRUE(module) << "error " << GetLastError();
  LPCSTR group = nullptr;
  EnumResourceNamesA(module, RT_GROUP_ICON, TakeFirstName, reinterpret_cast<LONG_PTR>(&group));
  ASSERT_TRUE(group) << "no icon group with a number";
  // GRPICONDIR, then one GRPICONDIRENTRY of 14 bytes each with the icon's resource number at 12.
  std::vector<char> directory = ResourceBytes(module, RT_GROUP_ICON, group);
  ASSERT_GE(directory.size(), 6u);
  size_t count = static_cast<uint8_t>(directory[4]) | static_cast<uint8_t>(directory[5]) << 8;
  ASSERT_GE(directory.size(), 6 + 14 * count);
  std::vector<std::vector<char>> shown;
  for (size_t i = 0; i < count; ++i) {
    size_t at = 6 + 14 * i + 12;
    WORD id = static_cast<WORD>(static_cast<uint8_t>(directory[at]) | static_cast<uint8_t>(directory[at + 1]) << 8);
    shown.push_back(ResourceBytes(module, RT_ICON, MAKEINTRESOURCEA(id)));
  }
  FreeLibrary(module);
  std::sort(wanted.begin(), wanted.end());
  std::sort(shown.begin(), shown.end());
  EXPECT_TRUE(shown == wanted) << "the installer shows " << shown.size() << " images, not the program's "
                               << wanted.size();
}

// ---------------------------------------------------------------------------
// A silent installation into the default folder, with the login component.

class Installation : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The user's profiles, one of them the monitor's.
    std::string colours = testing::ColorDirectory();
    ASSERT_FALSE(colours.empty());
    ASSERT_TRUE(CopyFileA(testing::SystemPath("/usr/share/color/icc/colord/Gamma5000K.icc").c_str(),
                          (colours + kCalibration).c_str(), FALSE));
    testing::IccBuilder unreadable;
    unreadable.AddTag(Signature("desc"), testing::DescTagData("never shown"));
    unreadable.declared_size = static_cast<uint32_t>(unreadable.Build().size() + 1000);
    ASSERT_TRUE(testing::WriteFileBytes(colours + kUnreadable, unreadable.Build()));
    ASSERT_TRUE(testing::AssociateWithFirstMonitor(kCalibration));

    ASSERT_FALSE(Exists(DefaultInstallFolder())) << "the prefix is not new";
    exit_code_ = RunSetup("/S");
  }

  static inline int exit_code_ = -1;
};

TEST_F(Installation, PutsTheProgramFilesIntoTheDefaultFolder) {
  EXPECT_EQ(exit_code_, 0);
  std::string folder = DefaultInstallFolder();
  EXPECT_EQ(FolderNames(folder), InstalledFiles());
  for (const std::string& name : kReleaseFiles) {
    std::optional<std::vector<char>> installed = FileBytes(folder + "\\" + name);
    ASSERT_TRUE(installed) << name;
    EXPECT_TRUE(installed == FileBytes(StagedPath(name))) << name << " is not the release's file";
  }
}

TEST_F(Installation, MakesStartMenuShortcutsThatStartInTheInstallFolder) {
  std::string folder = DefaultInstallFolder();
  EXPECT_EQ(FolderNames(MenuFolder()), kShortcuts);
  struct Expected {
    const char* link;
    std::string target;
    const char* arguments;
  };
  for (const Expected& e : {Expected{"Lumetra.lnk", folder + "\\lumetra.exe", ""},
                            Expected{"Load calibration now.lnk", folder + "\\lumetra-loader.exe", ""},
                            Expected{"Lumetra Loader.lnk", folder + "\\lumetra-loader.exe", "/watch"},
                            Expected{"Reset to linear.lnk", folder + "\\lumetra-loader.exe", "/reset"},
                            Expected{"Uninstall Lumetra.lnk", folder + "\\uninstall.exe", ""}}) {
    Shortcut shortcut = ReadShortcut(MenuFolder() + "\\" + e.link);
    ASSERT_TRUE(shortcut.read) << e.link;
    EXPECT_EQ(Lower(shortcut.target), Lower(e.target)) << e.link;
    EXPECT_EQ(shortcut.arguments, e.arguments) << e.link;
    EXPECT_EQ(Lower(shortcut.directory), Lower(folder)) << e.link << ": the program finds its language file there";
  }
}

TEST_F(Installation, WritesTheUninstallInformation) {
  std::string folder = DefaultInstallFolder();
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"), "Lumetra");
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion"), LUMETRA_VERSION_TEXT);
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "Publisher"), "Pelo");
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayIcon"), folder + "\\lumetra.exe,0");
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation"), folder);
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"), "\"" + folder + "\\uninstall.exe\"");
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString"),
            "\"" + folder + "\\uninstall.exe\" /S");
  EXPECT_EQ(RegNumber(HKEY_LOCAL_MACHINE, kUninstallKey, "NoModify"), 1u);
  EXPECT_EQ(RegNumber(HKEY_LOCAL_MACHINE, kUninstallKey, "NoRepair"), 1u);

  // In KiB: the folder's bytes, each file rounded at most once.
  uint64_t bytes = 0;
  std::vector<std::string> names = FolderNames(folder);
  for (const std::string& name : names) bytes += FileSize(folder + "\\" + name);
  std::optional<DWORD> estimated = RegNumber(HKEY_LOCAL_MACHINE, kUninstallKey, "EstimatedSize");
  ASSERT_TRUE(estimated) << "no EstimatedSize";
  EXPECT_GE(*estimated + names.size(), bytes / 1024) << bytes << " bytes installed";
  EXPECT_LE(*estimated, bytes / 1024 + names.size()) << bytes << " bytes installed";
}

TEST_F(Installation, TheLoginComponentRegistersTheWatcherForEveryUserAndStartsIt) {
  std::string loader = DefaultInstallFolder() + "\\lumetra-loader.exe";
  EXPECT_EQ(AllUsersRunEntry(), "\"" + loader + "\" /watch");
  // The installing account's own key is not the desktop user's.
  EXPECT_EQ(RunEntry().value_or("(none)"), "(none)") << "the installer wrote the current user's login entry";
  std::vector<DWORD> watchers = WatchersOtherThan(0);
  ASSERT_EQ(watchers.size(), 1u) << "one watcher runs";
  EXPECT_EQ(Lower(ImageOf(watchers[0])), Lower(loader)) << "the watcher is the installed loader";
}

// Run by cmd as a script would: "lumetra-loader" in the install folder is the
// console twin, which cmd waits for, and which reaches the installed watcher.
TEST_F(Installation, TheConsoleTwinAnswersInCmdForTheRunningWatcher) {
  std::string folder = DefaultInstallFolder();
  std::string output = testing::SystemPath(testing::ScratchDir("installer") + "/status.txt");
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  ScopedHandle file(CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                CREATE_ALWAYS, 0, nullptr));
  ASSERT_TRUE(file.get());
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = file.get();
  std::string command = "cmd.exe /c lumetra-loader /status";
  PROCESS_INFORMATION started{};
  ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &startup,
                             &started));
  ScopedHandle process(started.hProcess), thread(started.hThread);
  ASSERT_EQ(WaitForSingleObject(process.get(), kWaitMs), WAIT_OBJECT_0);
  DWORD code = 99;
  GetExitCodeProcess(process.get(), &code);
  EXPECT_EQ(code, 0u);
  std::string text;
  if (std::optional<std::vector<char>> bytes = FileBytes(output)) text.assign(bytes->begin(), bytes->end());
  EXPECT_EQ(text.rfind("\\\\.\\DISPLAY1  Display1  ", 0), 0u) << text;
  EXPECT_NE(text.find("\\\\.\\DISPLAY2  Display2  "), std::string::npos) << text;
}

TEST_F(Installation, TheProgramStartedByItsShortcutListsTheProfilesAndReportsWithTheCatalogueText) {
  // As the shortcut starts it: its target, arguments and working folder.
  Shortcut shortcut = ReadShortcut(MenuFolder() + "\\Lumetra.lnk");
  ASSERT_TRUE(shortcut.read);
  std::string command = "\"" + shortcut.target + "\" " + shortcut.arguments;
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, shortcut.directory.c_str(),
                             &startup, &started));
  ScopedHandle process(started.hProcess), thread(started.hThread);

  HWND dialog = WaitForDialog(started.dwProcessId, nullptr);
  ASSERT_TRUE(dialog) << "no dialog appeared";
  EXPECT_EQ(WindowText(dialog), "Lumetra");
  HWND list = GetDlgItem(dialog, 3);
  std::vector<std::string> lines = ListLines(list);
  auto row = [&](const std::string& line) {
    auto at = std::find(lines.begin(), lines.end(), line);
    return at == lines.end() ? -1 : static_cast<int>(at - lines.begin());
  };
  ASSERT_NE(row("D50 (*)"), -1) << ::testing::PrintToString(lines);
  ASSERT_NE(row(kUnreadable), -1) << ::testing::PrintToString(lines);
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), row("D50 (*)")) << "the monitor's profile is selected";

  // Picking the unreadable profile: the error report, its text from the
  // language file beside the program.
  SendMessageW(list, LB_SETCURSEL, row(kUnreadable), 0);
  SendNotifyMessageW(dialog, WM_COMMAND, MAKEWPARAM(3, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  HWND box = WaitForDialog(started.dwProcessId, dialog);
  ASSERT_TRUE(box) << "no error report";
  EXPECT_EQ(WindowText(GetDlgItem(box, 0xFFFF)), CatalogueText(5012) + " (Error 5012)");
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  for (int i = 0; i < 250 && IsWindow(box); ++i) Sleep(20);

  PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_EQ(WaitForSingleObject(started.hProcess, kWaitMs), WAIT_OBJECT_0) << "the program did not end";
  DWORD code = 99;
  GetExitCodeProcess(started.hProcess, &code);
  EXPECT_EQ(code, 0u);
}

TEST_F(Installation, InstallingAgainUpgradesInPlaceAndRestartsTheOneWatcher) {
  std::string folder = DefaultInstallFolder();
  std::vector<DWORD> before = Watchers();
  ASSERT_EQ(before.size(), 1u);
  // A damaged file, which the upgrade replaces.
  { std::ofstream(folder + "\\EnglishLanguage", std::ios::binary | std::ios::trunc) << "damaged"; }

  EXPECT_EQ(RunSetup("/S"), 0);

  EXPECT_TRUE(Ended(before[0])) << "the earlier watcher was stopped";
  std::vector<DWORD> after = WatchersOtherThan(before[0]);
  ASSERT_EQ(after.size(), 1u) << "one watcher runs";
  EXPECT_NE(after[0], before[0]) << "the watcher was started again";
  EXPECT_EQ(Lower(ImageOf(after[0])), Lower(folder + "\\lumetra-loader.exe"));

  EXPECT_EQ(FolderNames(folder), InstalledFiles()) << "the same folder";
  EXPECT_TRUE(FileBytes(folder + "\\EnglishLanguage") == FileBytes(StagedPath("EnglishLanguage")));
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation"), folder);
  EXPECT_EQ(AllUsersRunEntry(), "\"" + folder + "\\lumetra-loader.exe\" /watch");
  EXPECT_EQ(RunEntry().value_or("(none)"), "(none)");
}

// A user who chose Exit starts the watcher again from the Start menu.
TEST_F(Installation, TheLoaderShortcutStartsTheWatcherAgain) {
  std::vector<DWORD> before = Watchers();
  ASSERT_EQ(before.size(), 1u);
  std::string loader = DefaultInstallFolder() + "\\lumetra-loader.exe";
  ASSERT_EQ(RunInJob("\"" + loader + "\" /stop /quiet", false), 0);
  ASSERT_TRUE(Watchers().empty());

  Shortcut shortcut = ReadShortcut(MenuFolder() + "\\Lumetra Loader.lnk");
  ASSERT_TRUE(shortcut.read);
  std::string command = "\"" + shortcut.target + "\" " + shortcut.arguments;
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, shortcut.directory.c_str(),
                             &startup, &started));
  ScopedHandle process(started.hProcess), thread(started.hThread);
  std::vector<DWORD> after = WatchersOtherThan(0);
  ASSERT_EQ(after.size(), 1u);
  EXPECT_EQ(after[0], started.dwProcessId) << "the shortcut's program is the watcher";
  EXPECT_EQ(WaitForSingleObject(process.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "it stays running";
}

// ---------------------------------------------------------------------------
// What the system runs to uninstall silently.

TEST(Uninstallation, TheQuietUninstallStringRemovesAllOfLumetraButNotTheUsersProfiles) {
  std::optional<std::string> quiet = RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString");
  ASSERT_TRUE(quiet) << "nothing installed";
  ASSERT_FALSE(Watchers().empty()) << "the uninstaller has a watcher to stop";
  // The user also registered the watcher in their own key.
  ASSERT_EQ(RunInJob("\"" + DefaultInstallFolder() + "\\lumetra-loader.com\" /install /quiet", false), 0);
  ASSERT_EQ(RunEntry(), "\"" + DefaultInstallFolder() + "\\lumetra-loader.exe\" /watch") << "the twin names the .exe";
  ASSERT_TRUE(AllUsersRunEntry());

  EXPECT_EQ(RunUninstaller(*quiet), 0);

  EXPECT_FALSE(Exists(DefaultInstallFolder())) << ::testing::PrintToString(FolderNames(DefaultInstallFolder()));
  EXPECT_FALSE(Exists(MenuFolder())) << ::testing::PrintToString(FolderNames(MenuFolder()));
  EXPECT_EQ(RunEntry().value_or("(none)"), "(none)");
  EXPECT_EQ(AllUsersRunEntry().value_or("(none)"), "(none)");
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_TRUE(Watchers().empty());
  EXPECT_EQ(Names(LumetraProcesses()), "");

  EXPECT_TRUE(Exists(testing::ColorDirectory() + kCalibration));
  EXPECT_TRUE(Exists(testing::ColorDirectory() + kUnreadable));
  EXPECT_TRUE(HasValue(HKEY_LOCAL_MACHINE, kAssociations, kCalibration)) << "the association stays";
}

// ---------------------------------------------------------------------------
// Silent mode with a folder of the user's choice, and without the login
// component when asked: installed, upgraded, uninstalled.

TEST(SilentMode, InstallsIntoTheFolderGivenAndLeavesTheLoginComponentOutOnRequest) {
  const std::string parent = "C:\\Lumetra Test";
  const std::string folder = parent + "\\Calibration Tools";
  ASSERT_FALSE(Exists(folder));

  ASSERT_EQ(RunSetup("/S /D=" + folder), 0);
  EXPECT_EQ(FolderNames(folder), InstalledFiles());
  EXPECT_FALSE(Exists(DefaultInstallFolder()));
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation"), folder);
  EXPECT_EQ(Lower(ReadShortcut(MenuFolder() + "\\Lumetra.lnk").directory), Lower(folder));
  EXPECT_EQ(AllUsersRunEntry(), "\"" + folder + "\\lumetra-loader.exe\" /watch");
  ASSERT_EQ(WatchersOtherThan(0).size(), 1u);

  // Again, without the component: into the installation's folder, with no
  // login entry and no watcher left.
  ASSERT_EQ(RunSetup("/S /NOLOGIN"), 0);
  EXPECT_EQ(FolderNames(folder), InstalledFiles());
  EXPECT_EQ(AllUsersRunEntry().value_or("(none)"), "(none)");
  EXPECT_EQ(RunEntry().value_or("(none)"), "(none)");
  EXPECT_TRUE(Watchers().empty());

  EXPECT_EQ(RunUninstaller("\"" + folder + "\\uninstall.exe\" /S"), 0);
  EXPECT_FALSE(Exists(folder));
  EXPECT_FALSE(Exists(MenuFolder()));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_EQ(Names(LumetraProcesses()), "");
  RemoveDirectoryA(parent.c_str());
}

}  // namespace
}  // namespace lumetra
