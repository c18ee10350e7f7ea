#include "framework/support/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "framework/support/text_utils.h"
#include "tests/testing/icc_builder.h"
#include "tests/testing/paths.h"

namespace lumetra {
namespace {

using testing::ScratchDir;
using testing::SystemPath;

std::vector<uint8_t> Text(const std::string& text) { return {text.begin(), text.end()}; }

std::string BlockText(MemBlock block, size_t size) {
  const char* data = static_cast<const char*>(MemLock(block));
  std::string text(data, size);
  EXPECT_EQ(data[size], '\0') << "a NUL follows the data";
  MemUnlock(block);
  return text;
}

TEST(ReadWholeFileTest, HandsOutTheDataWithATrailingNul) {
  std::string path = SystemPath(ScratchDir("files") + "/whole.txt");
  ASSERT_TRUE(testing::WriteFileBytes(path, Text("line one\nline two")));
  MemBlock block = nullptr;
  size_t size = 0;
  ASSERT_EQ(ReadWholeFile(path.c_str(), &block, &size), kOk);
  EXPECT_EQ(size, 17u);
  EXPECT_GE(MemSize(block), 18u);
  EXPECT_EQ(BlockText(block, size), "line one\nline two");
  MemFree(block);

  std::string empty = SystemPath(ScratchDir("files") + "/empty.txt");
  ASSERT_TRUE(testing::WriteFileBytes(empty, {}));
  ASSERT_EQ(ReadWholeFile(empty.c_str(), &block, &size), kOk);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(BlockText(block, 0), "");
  MemFree(block);

  block = reinterpret_cast<MemBlock>(uintptr_t{1});
  EXPECT_EQ(ReadWholeFile(SystemPath(ScratchDir("files") + "/absent").c_str(), &block, &size),
            kFileNotFound);
  EXPECT_EQ(block, nullptr);
  EXPECT_EQ(ReadWholeFile(nullptr, &block, &size), kNoFileName);
}

TEST(PathTest, FileNamePartTakesTheLastSeparatorOfEitherKind) {
  EXPECT_STREQ(FileNamePart("C:\\dir\\name.ext"), "name.ext");
  EXPECT_STREQ(FileNamePart("/usr/share/x.icc"), "x.icc");
  EXPECT_STREQ(FileNamePart("a\\b/c"), "c");
  EXPECT_STREQ(FileNamePart("a/b\\c"), "c");
  EXPECT_STREQ(FileNamePart("plain"), "plain");
  EXPECT_STREQ(FileNamePart("dir\\"), "");
}

TEST(PathTest, ModulePathDirectoryAndBaseName) {
  char path[kPathBufferSize];
  char directory[kPathBufferSize];
  ASSERT_EQ(ModulePath(path, sizeof path), kOk);
  EXPECT_TRUE(FileExists(path)) << path;
  ASSERT_EQ(ModuleDirectory(directory, sizeof directory), kOk);
  size_t length = std::strlen(directory);
  ASSERT_LT(length, std::strlen(path));
  EXPECT_EQ(std::string(path, length), directory);
  EXPECT_TRUE(path[length] == '\\' || path[length] == '/');
  EXPECT_STREQ(ModuleBaseName(), "support_tests") << "without .exe";

  char small[4] = {'x', 'x', 'x', 'x'};
  EXPECT_LT(ModulePath(small, sizeof small), 0) << "a path too long for the buffer fails";
  EXPECT_STREQ(small, "");
}

TEST(FileTest, ExistsDeleteAndTemporaryNames) {
  char temp[kPathBufferSize];
  ASSERT_EQ(MakeTempFileName(temp, sizeof temp), kOk);
  EXPECT_TRUE(FileExists(temp)) << "the name is taken by creating the file";
  EXPECT_EQ(CompareNoCase(std::string(FileNamePart(temp)).substr(0, 3).c_str(), "plo"), 0) << temp;
  char second[kPathBufferSize];
  ASSERT_EQ(MakeTempFileName(second, sizeof second), kOk);
  EXPECT_STRNE(temp, second);

  EXPECT_EQ(DeleteFileForced(temp), kOk);
  EXPECT_FALSE(FileExists(temp));
  EXPECT_EQ(DeleteFileForced(second), kOk);
  EXPECT_LT(DeleteFileForced(temp), 0) << "a missing file gives the system's status";
  EXPECT_FALSE(FileExists(nullptr));

  char tiny[3];
  EXPECT_EQ(MakeTempFileName(tiny, sizeof tiny), kBadArgument);
}

TEST(DirectoryScanTest, DeliversFullPathsOfFilesAndFoldersThenTheEnd) {
  std::string dir = ScratchDir("files_scan");
  ASSERT_TRUE(testing::WriteFileBytes(SystemPath(dir + "/a.txt"), Text("a")));
  ASSERT_TRUE(testing::WriteFileBytes(SystemPath(dir + "/b.bin"), Text("b")));
  ScratchDir("files_scan/sub");

  const std::filesystem::path before = std::filesystem::current_path();
  ASSERT_EQ(OpenDirectoryScan(SystemPath(ScratchDir("files")).c_str(), nullptr), kBadArgument);
  DirectoryScan* scan = nullptr;
  ASSERT_EQ(OpenDirectoryScan(SystemPath(dir).c_str(), &scan), kOk);
  EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::current_path(), SystemPath(dir)))
      << "the scanned directory is current during the scan";
  std::set<std::string> names;
  char path[kPathBufferSize];
  Status status;
  while ((status = NextDirectoryEntry(scan, path, sizeof path)) == kOk) {
    std::string full = path;
    EXPECT_EQ(CompareNoCase(full.substr(0, SystemPath(dir).size()).c_str(), SystemPath(dir).c_str()), 0)
        << full;
    names.insert(FileNamePart(path));
  }
  EXPECT_EQ(status, kNoMoreFiles);
  EXPECT_EQ(NextDirectoryEntry(scan, path, sizeof path), kNoMoreFiles);
  CloseDirectoryScan(scan);
  EXPECT_EQ(names, (std::set<std::string>{"a.txt", "b.bin", "sub"}));
  EXPECT_EQ(std::filesystem::current_path(), before) << "closing restores the current directory";

  scan = reinterpret_cast<DirectoryScan*>(uintptr_t{1});
  EXPECT_LT(OpenDirectoryScan(SystemPath(dir + "/absent").c_str(), &scan), 0);
  EXPECT_EQ(scan, nullptr);
}

TEST(DirectoryScanTest, RefusesPathsThatDoNotFitAndGoesOn) {
  std::string dir = ScratchDir("files_scan_long");
  ASSERT_TRUE(testing::WriteFileBytes(SystemPath(dir + "/x"), Text("x")));
  DirectoryScan* scan = nullptr;
  ASSERT_EQ(OpenDirectoryScan(SystemPath(dir).c_str(), &scan), kOk);
  char small[8];
  EXPECT_EQ(NextDirectoryEntry(scan, small, sizeof small), kBadArgument);
  EXPECT_STREQ(small, "");
  char path[kPathBufferSize];
  EXPECT_EQ(NextDirectoryEntry(scan, path, sizeof path), kNoMoreFiles);
  CloseDirectoryScan(scan);
}

class NamedDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = ScratchDir("files_named");
    ASSERT_TRUE(testing::WriteFileBytes(SystemPath(dir_ + "/EnglishLanguage.txt"), Text("20206 gone")));
    ASSERT_TRUE(testing::WriteFileBytes(SystemPath(dir_ + "/Exact"), Text("exact")));
    ASSERT_TRUE(testing::WriteFileBytes(SystemPath(dir_ + "/Pic.tar.gz"), Text("pic")));
    SetNamedDataDirectory(SystemPath(dir_).c_str());
  }
  void TearDown() override { SetNamedDataDirectory(nullptr); }

  std::string dir_;
};

TEST_F(NamedDataTest, FindsTheExactNameThenANameWithoutItsExtension) {
  char path[kPathBufferSize];
  ASSERT_EQ(FindNamedData(nullptr, kDataKindText, "Exact", path, sizeof path), kOk);
  EXPECT_STREQ(FileNamePart(path), "Exact");
  ASSERT_EQ(FindNamedData(nullptr, kDataKindText, "EnglishLanguage", path, sizeof path), kOk);
  EXPECT_STREQ(FileNamePart(path), "EnglishLanguage.txt");
  ASSERT_EQ(FindNamedData(nullptr, kDataKindBinary, "Pic.tar", path, sizeof path), kOk);
  EXPECT_EQ(FindNamedData(nullptr, kDataKindBinary, "Pic", path, sizeof path), kFileNotFound)
      << "only the last extension is cut off";
  EXPECT_EQ(FindNamedData(nullptr, kDataKindText, "englishlanguage", path, sizeof path),
            kFileNotFound) << "case matters";
}

TEST_F(NamedDataTest, RefusesModulesNumbersAndOtherKinds) {
  char path[kPathBufferSize];
  int module = 0;
  EXPECT_EQ(FindNamedData(&module, kDataKindText, "Exact", path, sizeof path), kFileNotFound);
  EXPECT_EQ(FindNamedData(nullptr, 103, "Exact", path, sizeof path), kFileNotFound);
  EXPECT_EQ(FindNamedData(nullptr, 99, "Exact", path, sizeof path), kFileNotFound);
  EXPECT_EQ(FindNamedData(nullptr, kDataKindText, ResourceNumber(883), path, sizeof path),
            kFileNotFound);
  EXPECT_EQ(FindNamedData(nullptr, kDataKindText, "", path, sizeof path), kFileNotFound);
}

TEST_F(NamedDataTest, LoadsTheFileOrFallsBackOnResources) {
  MemBlock block = nullptr;
  size_t size = 0;
  ASSERT_EQ(LoadNamedData(nullptr, kDataKindText, "EnglishLanguage", &block, &size), kOk);
  EXPECT_EQ(BlockText(block, size), "20206 gone");
  MemFree(block);

  block = reinterpret_cast<MemBlock>(uintptr_t{1});
  EXPECT_LT(LoadNamedData(nullptr, kDataKindText, "GermanLanguage", &block, &size), 0)
      << "no file and no resource: the system's not-found status";
  EXPECT_EQ(block, nullptr);
  EXPECT_EQ(size, 0u);
}

}  // namespace
}  // namespace lumetra
