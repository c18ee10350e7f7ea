#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/support/files.h"
#include "framework/support/text_utils.h"
#include "tests/testing/icc_builder.h"
#include "tests/testing/paths.h"

namespace lumetra {
namespace {

// The first dialog template of a module, by name or number.
BOOL CALLBACK TakeFirstName(HMODULE, LPCSTR, LPSTR name, LONG_PTR context) {
  auto* out = reinterpret_cast<std::string*>(context);
  if (IS_INTRESOURCE(name)) {
    *out = "#" + std::to_string(reinterpret_cast<uintptr_t>(name));
  } else {
    *out = name;
  }
  return FALSE;
}

const char* AsResourceName(const std::string& text) {
  return text[0] == '#' ? ResourceNumber(static_cast<uint16_t>(std::stoul(text.substr(1))))
                        : text.c_str();
}

TEST(ResourceTest, LoadsFromTheModuleGivenOrThePreferredOneWithATrailingNul) {
  HMODULE user32 = GetModuleHandleA("user32.dll");
  ASSERT_NE(user32, nullptr);
  std::string name;
  EnumResourceNamesA(user32, RT_DIALOG, TakeFirstName, reinterpret_cast<LONG_PTR>(&name));
  ASSERT_FALSE(name.empty()) << "user32 carries dialog templates";
  const int32_t kind = static_cast<int32_t>(reinterpret_cast<uintptr_t>(RT_DIALOG));

  HRSRC resource = FindResourceA(user32, AsResourceName(name), RT_DIALOG);
  ASSERT_NE(resource, nullptr);
  DWORD expected_size = SizeofResource(user32, resource);
  const void* expected = LockResource(LoadResource(user32, resource));

  MemBlock block = nullptr;
  size_t size = 0;
  ASSERT_EQ(LoadResourceData(user32, kind, AsResourceName(name), &block, &size), kOk);
  ASSERT_EQ(size, expected_size);
  const auto* data = static_cast<const uint8_t*>(MemLock(block));
  EXPECT_EQ(std::memcmp(data, expected, size), 0);
  EXPECT_EQ(data[size], 0);
  MemUnlock(block);
  MemFree(block);

  EXPECT_LT(LoadResourceData(nullptr, kind, AsResourceName(name), &block, &size), 0)
      << "the executable has no such template";
  EXPECT_EQ(block, nullptr);
  EXPECT_EQ(FindResourceModule(RT_DIALOG, AsResourceName(name)), GetModuleHandleA(nullptr))
      << "no module holds it: the executable";

  SetFurtherResourceModule(3, user32);
  EXPECT_EQ(FindResourceModule(RT_DIALOG, AsResourceName(name)), user32);
  ASSERT_EQ(LoadResourceData(nullptr, kind, AsResourceName(name), &block, &size), kOk);
  MemFree(block);
  SetFurtherResourceModule(3, nullptr);

  SetPreferredResourceModule(user32);
  EXPECT_EQ(FindResourceModule(RT_DIALOG, AsResourceName(name)), user32);
  SetPreferredResourceModule(nullptr);
}

TEST(ResourceTest, LanguageTextsFallBackOnTextResourcesAndFailWithTheSystemStatus) {
  MemBlock block = reinterpret_cast<MemBlock>(uintptr_t{1});
  Status status = LoadNamedData(nullptr, kDataKindText, "NoSuchLanguage", &block);
  // Which of the not-found errors depends on what resources the executable has.
  EXPECT_TRUE(status == -ERROR_RESOURCE_DATA_NOT_FOUND || status == -ERROR_RESOURCE_TYPE_NOT_FOUND ||
              status == -ERROR_RESOURCE_NAME_NOT_FOUND)
      << status;
  EXPECT_EQ(block, nullptr);
}

TEST(DeleteFileForcedTest, ClearsTheReadOnlyAttributeFirst) {
  std::string path = testing::SystemPath(testing::ScratchDir("files_win32") + "/locked.txt");
  ASSERT_TRUE(testing::WriteFileBytes(path, {'x'}));
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_FALSE(DeleteFileA(path.c_str())) << "a plain delete refuses a read-only file";
  EXPECT_EQ(DeleteFileForced(path.c_str()), kOk);
  EXPECT_FALSE(FileExists(path.c_str()));
  EXPECT_EQ(DeleteFileForced(path.c_str()), -ERROR_FILE_NOT_FOUND);
}

TEST(ModulePathWin32Test, NamesTheExecutableWithBackslashes) {
  char path[kPathBufferSize];
  ASSERT_EQ(ModulePath(path, sizeof path), kOk);
  EXPECT_EQ(CompareNoCase(FileNamePart(path), "support_tests.exe"), 0) << path;
  char small[8];
  EXPECT_EQ(ModulePath(small, sizeof small), -ERROR_INSUFFICIENT_BUFFER);
}

TEST(DirectoryScanWin32Test, EntriesJoinTheDirectoryWithOneBackslash) {
  std::string dir = testing::ScratchDir("files_win32_scan");
  ASSERT_TRUE(testing::WriteFileBytes(testing::SystemPath(dir + "/only.txt"), {'x'}));
  DirectoryScan* scan = nullptr;
  ASSERT_EQ(OpenDirectoryScan(testing::SystemPath(dir).c_str(), &scan), kOk);
  char path[kPathBufferSize];
  ASSERT_EQ(NextDirectoryEntry(scan, path, sizeof path), kOk);
  EXPECT_EQ(CompareNoCase(path, (testing::SystemPath(dir) + "\\only.txt").c_str()), 0) << path;
  EXPECT_EQ(NextDirectoryEntry(scan, path, sizeof path), -ERROR_NO_MORE_FILES);
  CloseDirectoryScan(scan);
}

}  // namespace
}  // namespace lumetra
