#include "framework/support/file_access.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/testing/icc_builder.h"
#include "tests/testing/paths.h"

namespace lumetra {
namespace {

using testing::ScratchDir;
using testing::SystemPath;

std::string TenByteFile() {
  std::string path = SystemPath(ScratchDir("file_access") + "/ten.bin");
  EXPECT_TRUE(testing::WriteFileBytes(path, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  return path;
}

const FileHandle kNotNull = reinterpret_cast<FileHandle>(uintptr_t{1});

TEST(FileOpenTest, RefusesBadModesAndPathsWithoutAHandle) {
  std::string path = TenByteFile();
  FileHandle handle = kNotNull;
  EXPECT_EQ(FileOpen(path.c_str(), 5, &handle), kCannotOpenFile);
  EXPECT_EQ(handle, nullptr);
  handle = kNotNull;
  EXPECT_EQ(FileOpen(path.c_str(), 0, &handle), kCannotOpenFile);
  EXPECT_EQ(handle, nullptr);
  handle = kNotNull;
  EXPECT_EQ(FileOpen(nullptr, kFileModeRead, &handle), kNoFileName);
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(FileOpen("", kFileModeRead, &handle), kCannotOpenFile);
  EXPECT_EQ(FileOpen(SystemPath(ScratchDir("file_access") + "/absent.bin").c_str(), kFileModeRead, &handle),
            kCannotOpenFile);
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(FileOpen(path.c_str(), kFileModeRead, nullptr), kBadArgument);
}

TEST(FileReadWriteTest, ShortTransfersReportTheirCount) {
  std::string path = SystemPath(ScratchDir("file_access") + "/written.bin");
  FileHandle handle = nullptr;
  ASSERT_EQ(FileOpen(path.c_str(), kFileModeWrite, &handle), kOk);
  size_t count = 99;
  EXPECT_EQ(FileWrite(handle, 4, &count, nullptr), kBadArgument);
  EXPECT_EQ(FileWrite(handle, 4, &count, "abcd"), kOk);
  EXPECT_EQ(count, 4u);
  EXPECT_EQ(FileClose(handle), kOk);

  ASSERT_EQ(FileOpen(path.c_str(), kFileModeRead, &handle), kOk);
  char buffer[8] = {};
  EXPECT_EQ(FileRead(handle, 8, &count, nullptr), kBadArgument);
  EXPECT_EQ(FileRead(handle, 8, &count, buffer), kShortRead);
  EXPECT_EQ(count, 4u);
  EXPECT_EQ(std::string(buffer), "abcd");
  EXPECT_EQ(FileClose(handle), kOk);
  EXPECT_EQ(FileClose(nullptr), kOk);
}

TEST(FileSeekTest, SizeKeepsThePositionAndSeeksAreAbsoluteOrRelative) {
  std::string path = TenByteFile();
  FileHandle handle = nullptr;
  ASSERT_EQ(FileOpen(path.c_str(), kFileModeRead, &handle), kOk);
  uint8_t byte = 0;
  EXPECT_EQ(FileSeek(handle, 3, true), kOk);
  uint32_t size = 0;
  EXPECT_EQ(FileSize(handle, &size), kOk);
  EXPECT_EQ(size, 10u);
  EXPECT_EQ(FileRead(handle, 1, nullptr, &byte), kOk);
  EXPECT_EQ(byte, 3) << "FileSize must leave the position where it was";
  EXPECT_EQ(FileSeek(handle, 2, false), kOk);
  EXPECT_EQ(FileRead(handle, 1, nullptr, &byte), kOk);
  EXPECT_EQ(byte, 6);
  EXPECT_EQ(FileSeek(handle, -1, true), kSeekFailed);
  EXPECT_EQ(FileClose(handle), kOk);
}

TEST(FileLengthTest, TellsTheSizeOfAFileOpenForReadingAndKeepsThePosition) {
  std::string path = TenByteFile();
  FileHandle handle = nullptr;
  ASSERT_EQ(FileOpen(path.c_str(), kFileModeRead, &handle), kOk);
  uint8_t byte = 0;
  EXPECT_EQ(FileRead(handle, 1, nullptr, &byte), kOk);
  EXPECT_EQ(FileSeek(handle, 4, true), kOk);
  uint32_t size = 0;
  EXPECT_EQ(FileLength(handle, &size), kOk);
  EXPECT_EQ(size, 10u);
  EXPECT_EQ(FileRead(handle, 1, nullptr, &byte), kOk);
  EXPECT_EQ(byte, 4) << "FileLength must leave the position where it was";
  EXPECT_EQ(FileLength(handle, nullptr), kBadArgument);
  EXPECT_EQ(FileClose(handle), kOk);
  size = 7;
  EXPECT_EQ(FileLength(nullptr, &size), kFileNotOpen);
  EXPECT_EQ(size, 0u);

  std::string empty = SystemPath(ScratchDir("file_access") + "/empty.bin");
  ASSERT_TRUE(testing::WriteFileBytes(empty, {}));
  ASSERT_EQ(FileOpen(empty.c_str(), kFileModeRead, &handle), kOk);
  size = 7;
  EXPECT_EQ(FileLength(handle, &size), kOk);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(FileClose(handle), kOk);
}

TEST(FileLengthTest, AStreamOnNoPlainFileIsMeasuredAsFileSizeMeasuresIt) {
  // The null device: the system keeps no length for it.
  FileHandle handle = nullptr;
  ASSERT_EQ(FileOpen(SystemPath("/dev/null").c_str(), kFileModeRead, &handle), kOk);
  uint32_t by_seeking = 7, by_length = 9;
  Status seeking = FileSize(handle, &by_seeking);
  EXPECT_EQ(FileLength(handle, &by_length), seeking);
  EXPECT_EQ(by_length, by_seeking);
  EXPECT_EQ(FileClose(handle), kOk);
}

class MemFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 100; ++i) data_[i] = static_cast<uint8_t>(i);
    ASSERT_EQ(MemFileInit(&source_, data_, sizeof data_), kOk);
  }

  uint8_t data_[100];
  MemFile source_;
};

TEST_F(MemFileTest, ReadNearTheEndCopiesWhatIsLeft) {
  MemFile* handle = nullptr;
  ASSERT_EQ(MemFileOpen(&source_, kFileModeRead, &handle), kOk);
  uint32_t size = 0;
  EXPECT_EQ(MemFileSize(handle, &size), kOk);
  EXPECT_EQ(size, 100u);
  EXPECT_EQ(MemFileSeek(handle, 95, true), kOk);
  uint8_t buffer[10] = {};
  size_t count = 0;
  EXPECT_EQ(MemFileRead(handle, 10, &count, buffer), kShortRead);
  EXPECT_EQ(count, 5u);
  EXPECT_EQ(buffer[0], 95);
  EXPECT_EQ(buffer[4], 99);
  EXPECT_EQ(buffer[5], 0) << "nothing beyond the data is copied";
  EXPECT_EQ(MemFileClose(handle), kOk);
}

TEST_F(MemFileTest, AHandleCopiesTheWholeDescriptorItsPositionIncluded) {
  source_.position = 95;
  MemFile* handle = nullptr;
  ASSERT_EQ(MemFileOpen(&source_, kFileModeRead, &handle), kOk);
  uint8_t buffer[10] = {};
  size_t count = 0;
  EXPECT_EQ(MemFileRead(handle, 10, &count, buffer), kShortRead);
  EXPECT_EQ(count, 5u) << "reading starts where the descriptor stands";
  EXPECT_EQ(buffer[0], 95);
  EXPECT_EQ(source_.position, 95u) << "the handle moves, not the descriptor";
  EXPECT_EQ(MemFileClose(handle), kOk);
}

TEST_F(MemFileTest, SeeksBeyondTheEndReadNothing) {
  MemFile* handle = nullptr;
  ASSERT_EQ(MemFileOpen(&source_, kFileModeRead, &handle), kOk);
  uint8_t buffer[4] = {0xAA, 0xAA, 0xAA, 0xAA};
  size_t count = 7;
  EXPECT_EQ(MemFileSeek(handle, 1000000, true), kOk);
  EXPECT_EQ(MemFileRead(handle, 4, &count, buffer), kShortRead);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(buffer[0], 0xAA);
  // Relative seeks move from where the last read left off; none may go before the start.
  EXPECT_EQ(MemFileSeek(handle, 10, true), kOk);
  EXPECT_EQ(MemFileSeek(handle, -4, false), kOk);
  EXPECT_EQ(MemFileRead(handle, 1, &count, buffer), kOk);
  EXPECT_EQ(buffer[0], 6);
  EXPECT_EQ(MemFileSeek(handle, -8, false), kSeekFailed);
  EXPECT_EQ(MemFileSeek(handle, -1, true), kSeekFailed);
  EXPECT_EQ(MemFileSeek(handle, int64_t{1} << 32, true), kSeekFailed);
  EXPECT_EQ(MemFileClose(handle), kOk);
}

TEST_F(MemFileTest, WriteModeCannotBeRead) {
  MemFile* handle = nullptr;
  ASSERT_EQ(MemFileOpen(&source_, kFileModeWrite, &handle), kOk);
  uint8_t buffer[4];
  EXPECT_EQ(MemFileRead(handle, 4, nullptr, buffer), kMemFileWriteOnly);
  EXPECT_EQ(MemFileClose(handle), kOk);
  EXPECT_EQ(source_.mode, kFileModeCreate) << "the caller's descriptor is not changed";
}

TEST_F(MemFileTest, BlockDescriptorsReadTheBlock) {
  MemBlockPtr block(MemAllocMovable(6));
  ASSERT_TRUE(block);
  std::memcpy(MemLock(block.get()), "hello", 6);
  MemUnlock(block.get());
  MemFile source;
  ASSERT_EQ(MemFileInitBlock(&source, block.get(), 5), kOk);
  EXPECT_EQ(MemFileInitBlock(&source, block.get(), 7), kBadArgument) << "larger than the block";
  MemFile* handle = nullptr;
  ASSERT_EQ(MemFileOpen(&source, kFileModeRead, &handle), kOk);
  char buffer[8] = {};
  size_t count = 0;
  EXPECT_EQ(MemFileRead(handle, 8, &count, buffer), kShortRead);
  EXPECT_EQ(count, 5u);
  EXPECT_EQ(std::string(buffer), "hello");
  EXPECT_EQ(MemFileClose(handle), kOk);
}

TEST(MemFileSourceTest, PathsOpenTheFileAndBadSourcesLeaveNoHandle) {
  std::string path = TenByteFile();
  MemFile* handle = nullptr;
  ASSERT_EQ(MemFileOpen(path.c_str(), kFileModeRead, &handle), kOk);
  uint32_t size = 0;
  EXPECT_EQ(MemFileSize(handle, &size), kOk);
  EXPECT_EQ(size, 10u);
  uint8_t buffer[4];
  EXPECT_EQ(MemFileSeek(handle, 8, true), kOk);
  size_t count = 0;
  EXPECT_EQ(MemFileRead(handle, 4, &count, buffer), kShortRead);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(MemFileClose(handle), kOk);
  EXPECT_EQ(MemFileClose(nullptr), kOk);

  // A short string that shares the magic's first byte is still read only to its end.
  std::unique_ptr<char[]> short_path(new char[2]{'\x53', '\0'});
  EXPECT_EQ(IsMemFileDescriptor(short_path.get()), false);
  EXPECT_EQ(MemFileSourceLength(short_path.get()), 2u);

  // 1024 bytes of path without a terminator: nothing beyond them is read.
  std::unique_ptr<char[]> unterminated(new char[kMemFileSourceSize]);
  std::memset(unterminated.get(), 'a', kMemFileSourceSize);
  EXPECT_EQ(MemFileSourceLength(unterminated.get()), 0u);
  handle = reinterpret_cast<MemFile*>(uintptr_t{1});
  EXPECT_EQ(MemFileOpen(unterminated.get(), kFileModeRead, &handle), kCannotOpenFile);
  EXPECT_EQ(handle, nullptr);

  std::string absent = SystemPath(ScratchDir("file_access") + "/absent.bin");
  EXPECT_EQ(MemFileOpen(absent.c_str(), kFileModeRead, &handle), kCannotOpenFile);
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(MemFileOpen(nullptr, kFileModeRead, &handle), kBadArgument);
  EXPECT_EQ(MemFileRead(nullptr, 4, &count, buffer), kBadArgument);
}

TEST(MemFileSourceTest, UnbufferedHandlesReadAndSeekAsBufferedOnes) {
  std::string path = TenByteFile();
  MemFile* handle = nullptr;
  ASSERT_EQ(MemFileOpen(path.c_str(), kFileModeRead, &handle), kOk);
  MemFileUnbuffered(handle);
  uint8_t buffer[4] = {};
  size_t count = 0;
  EXPECT_EQ(MemFileRead(handle, 3, &count, buffer), kOk);
  EXPECT_EQ(buffer[2], 2);
  EXPECT_EQ(MemFileSeek(handle, 2, false), kOk);
  EXPECT_EQ(MemFileRead(handle, 1, &count, buffer), kOk);
  EXPECT_EQ(buffer[0], 5) << "a relative seek counts from where the last read ended";
  EXPECT_EQ(MemFileSeek(handle, 8, true), kOk);
  EXPECT_EQ(MemFileRead(handle, 4, &count, buffer), kShortRead);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(buffer[1], 9);
  uint32_t size = 0;
  EXPECT_EQ(MemFileSize(handle, &size), kOk);
  EXPECT_EQ(size, 10u);
  EXPECT_EQ(MemFileClose(handle), kOk);

  // Memory handles and no handle at all are left as they are.
  uint8_t data[3] = {7, 8, 9};
  MemFile source;
  ASSERT_EQ(MemFileInit(&source, data, sizeof data), kOk);
  ASSERT_EQ(MemFileOpen(&source, kFileModeRead, &handle), kOk);
  MemFileUnbuffered(handle);
  MemFileUnbuffered(nullptr);
  EXPECT_EQ(MemFileRead(handle, 3, &count, buffer), kOk);
  EXPECT_EQ(buffer[2], 9);
  EXPECT_EQ(MemFileClose(handle), kOk);
}

}  // namespace
}  // namespace lumetra
