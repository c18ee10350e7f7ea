#include "framework/support/buffered_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/testing/icc_builder.h"
#include "tests/testing/paths.h"

namespace lumetra {
namespace {

using testing::ScratchDir;
using testing::SystemPath;

uint8_t PatternByte(size_t i) { return static_cast<uint8_t>((i * 7 + i / 251) % 256); }

std::string PatternFile(const std::string& name, size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = PatternByte(i);
  std::string path = SystemPath(ScratchDir("buffered_file") + "/" + name);
  EXPECT_TRUE(testing::WriteFileBytes(path, bytes));
  return path;
}

// Counts the raw operations that reach the file.
class CountingFile : public SpecialPloFile {
 public:
  Status RawRead(size_t length, size_t* count, void* buffer) override {
    ++raw_reads;
    return SpecialPloFile::RawRead(length, count, buffer);
  }
  Status RawSeek(int64_t offset, int32_t origin) override {
    ++raw_seeks;
    last_seek = offset;
    return SpecialPloFile::RawSeek(offset, origin);
  }
  Status BeforeFirstAccess() override {
    ++first_accesses;
    return first_access_status;
  }
  int raw_reads = 0;
  int raw_seeks = 0;
  int first_accesses = 0;
  int64_t last_seek = -1;
  Status first_access_status = kOk;
};

uint32_t PositionOf(SpecialFile& file) {
  uint32_t position = 0;
  EXPECT_EQ(file.Tell(&position), kOk);
  return position;
}

// Runs a test body over a buffered and an unbuffered file.
class BufferedFileTest : public ::testing::TestWithParam<uint32_t> {
 protected:
  void OpenForReading(const std::string& path) {
    path_ = path;
    file_.SetName(path_.c_str());
    ASSERT_EQ(file_.SetBuffer(nullptr, GetParam()), kOk);
    ASSERT_EQ(file_.Open(kFileModeRead), kOk);
  }
  std::string path_;
  CountingFile file_;
};

TEST_P(BufferedFileTest, UngetGivesTheByteBackAtTheSamePosition) {
  OpenForReading(PatternFile("unget.bin", 100));
  uint8_t bytes[10];
  size_t count = 0;
  ASSERT_EQ(file_.Read(10, &count, bytes), kOk);
  ASSERT_EQ(count, 10u);
  ASSERT_EQ(file_.Unget(bytes[9]), kOk);
  EXPECT_EQ(PositionOf(file_), 9u);
  EXPECT_EQ(file_.Unget(1), kFileNotOpen) << "one byte of push-back only";
  uint8_t byte = 0;
  ASSERT_EQ(file_.Read(1, &count, &byte), kOk);
  EXPECT_EQ(byte, PatternByte(9));
  EXPECT_EQ(PositionOf(file_), 10u);
  ASSERT_EQ(file_.Read(1, &count, &byte), kOk);
  EXPECT_EQ(byte, PatternByte(10)) << "the pushed-back byte did not displace the next one";
}

TEST_P(BufferedFileTest, UngetAtTheStartIsRefused) {
  OpenForReading(PatternFile("unget-start.bin", 10));
  EXPECT_EQ(file_.Unget(0x55), kFileNotOpen);
  uint8_t byte = 0;
  size_t count = 0;
  ASSERT_EQ(file_.Read(1, &count, &byte), kOk);
  EXPECT_EQ(byte, PatternByte(0));
}

TEST_P(BufferedFileTest, SeekAfterUngetLandsOnTheRightByte) {
  OpenForReading(PatternFile("unget-seek.bin", 100));
  uint8_t bytes[10];
  size_t count = 0;
  ASSERT_EQ(file_.Read(10, &count, bytes), kOk);
  ASSERT_EQ(file_.Unget(0xEE), kOk);
  ASSERT_EQ(file_.Seek(-2, kSeekRelative), kOk);
  EXPECT_EQ(PositionOf(file_), 7u);
  uint8_t byte = 0;
  ASSERT_EQ(file_.Read(1, &count, &byte), kOk);
  EXPECT_EQ(byte, PatternByte(7)) << "a seek drops the pushed-back byte";
}

TEST_P(BufferedFileTest, ReadingPastTheEndThenEndOfDataUntilASeek) {
  OpenForReading(PatternFile("end.bin", 20));
  EXPECT_EQ(file_.GetSize(), 20u);
  std::vector<uint8_t> bytes(100);
  size_t count = 0;
  Status status = file_.Read(bytes.size(), &count, bytes.data());
  EXPECT_EQ(count, 20u);
  if (GetParam() > 0) {
    EXPECT_EQ(status, kOk) << "buffered: the refill's status is not returned";
  } else {
    EXPECT_EQ(status, kShortRead) << "unbuffered: the last raw read's status, which met the end";
  }
  EXPECT_EQ(bytes[19], PatternByte(19));
  EXPECT_EQ(file_.Read(1, &count, bytes.data()), kEndOfData);
  EXPECT_EQ(count, 0u);

  ASSERT_EQ(file_.Unget(0x42), kOk);
  ASSERT_EQ(file_.Read(4, &count, bytes.data()), kOk) << "a byte pushed back after the end is owed";
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(bytes[0], 0x42);

  ASSERT_EQ(file_.Seek(5, kSeekFromEnd), kOk);
  EXPECT_EQ(PositionOf(file_), 15u);
  ASSERT_EQ(file_.Read(1, &count, bytes.data()), kOk);
  EXPECT_EQ(bytes[0], PatternByte(15));
}

TEST_P(BufferedFileTest, SeeksBeforeTheStartChangeNothing) {
  OpenForReading(PatternFile("negative.bin", 20));
  uint8_t bytes[4];
  size_t count = 0;
  ASSERT_EQ(file_.Read(4, &count, bytes), kOk);
  EXPECT_EQ(file_.Seek(-5, kSeekRelative), kSeekFailed);
  EXPECT_EQ(file_.Seek(21, kSeekFromEnd), kSeekFailed);
  EXPECT_EQ(file_.Seek(int64_t{1} << 33, kSeekFromStart), kSeekFailed);
  EXPECT_EQ(file_.Seek(0, 3), kBadArgument);
  EXPECT_EQ(PositionOf(file_), 4u);
  ASSERT_EQ(file_.Read(1, &count, bytes), kOk);
  EXPECT_EQ(bytes[0], PatternByte(4));
}

TEST_P(BufferedFileTest, CloseEndsReadingAndFinishReadsTheRest) {
  OpenForReading(PatternFile("close.bin", 1000));
  EXPECT_EQ(file_.Finish(), kOk);
  EXPECT_EQ(PositionOf(file_), 1000u);
  EXPECT_EQ(file_.Close(), kOk);
  uint8_t byte = 0;
  size_t count = 0;
  EXPECT_EQ(file_.Read(1, &count, &byte), kEndOfData);
  ASSERT_EQ(file_.Open(kFileModeRead), kOk) << "a closed file opens again";
  ASSERT_EQ(file_.Read(1, &count, &byte), kOk);
  EXPECT_EQ(byte, PatternByte(0));
}

TEST_P(BufferedFileTest, WritesReachTheFileAndRaiseTheSize) {
  std::string path = SystemPath(ScratchDir("buffered_file") + "/written.bin");
  {
    SpecialPloFile writer;
    writer.SetName(path.c_str());
    ASSERT_EQ(writer.SetBuffer(nullptr, GetParam()), kOk);
    ASSERT_EQ(writer.Open(kFileModeWrite), kOk);
    std::vector<uint8_t> bytes(100);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = PatternByte(i);
    size_t count = 0;
    ASSERT_EQ(writer.Write(60, &count, bytes.data()), kOk);
    ASSERT_EQ(writer.Write(40, &count, bytes.data() + 60), kOk);
    EXPECT_EQ(count, 40u);
    EXPECT_EQ(writer.GetSize(), 100u);
    uint8_t byte = 0;
    EXPECT_EQ(writer.Read(1, &count, &byte), kNotAvailable);
    // The destructor closes, which flushes what the buffer still holds.
  }
  OpenForReading(path);
  EXPECT_EQ(file_.GetSize(), 100u);
  std::vector<uint8_t> back(100);
  size_t count = 0;
  ASSERT_EQ(file_.Read(back.size(), &count, back.data()), kOk);
  for (size_t i = 0; i < back.size(); ++i) ASSERT_EQ(back[i], PatternByte(i)) << "byte " << i;
  EXPECT_EQ(file_.Write(1, &count, back.data()), kNotAvailable) << "no writing into a read buffer";
}

TEST_P(BufferedFileTest, WritingNeedsAnOpenFile) {
  std::string dir = ScratchDir("buffered_file");
  std::string never = SystemPath(dir + "/never-opened.bin");
  std::remove(never.c_str());
  const uint8_t bytes[4] = {1, 2, 3, 4};
  size_t count = 99;
  {
    SpecialPloFile writer;
    writer.SetName(never.c_str());
    ASSERT_EQ(writer.SetBuffer(nullptr, GetParam()), kOk);
    EXPECT_EQ(writer.Write(sizeof bytes, &count, bytes), kFileNotOpen) << "a file never opened";
    EXPECT_EQ(count, 0u) << "nothing was written";
  }
  EXPECT_FALSE(testing::UnixFileExists(dir + "/never-opened.bin"));

  SpecialPloFile failed;
  std::string unreachable = SystemPath(dir + "/no-such-folder/x.bin");
  failed.SetName(unreachable.c_str());
  ASSERT_EQ(failed.SetBuffer(nullptr, GetParam()), kOk);
  ASSERT_EQ(failed.Open(kFileModeWrite), kCannotOpenFile);
  count = 99;
  EXPECT_EQ(failed.Write(sizeof bytes, &count, bytes), kFileNotOpen) << "a file whose Open failed";
  EXPECT_EQ(count, 0u);

  std::string path = SystemPath(dir + "/closed.bin");
  SpecialPloFile closed;
  closed.SetName(path.c_str());
  ASSERT_EQ(closed.SetBuffer(nullptr, GetParam()), kOk);
  ASSERT_EQ(closed.Open(kFileModeWrite), kOk);
  ASSERT_EQ(closed.Close(), kOk);
  EXPECT_EQ(closed.Write(sizeof bytes, &count, bytes), kFileNotOpen) << "a closed file";
}

TEST_P(BufferedFileTest, FirstAccessHookRunsAtPositionZero) {
  OpenForReading(PatternFile("first.bin", 10));
  file_.first_access_status = kDecoderFailed;
  uint8_t byte = 0;
  size_t count = 0;
  EXPECT_EQ(file_.Read(1, &count, &byte), kDecoderFailed);
  file_.first_access_status = kOk;
  ASSERT_EQ(file_.Read(1, &count, &byte), kOk);
  ASSERT_EQ(file_.Read(1, &count, &byte), kOk);
  EXPECT_EQ(file_.first_accesses, 2) << "not asked once the position has moved";
}

INSTANTIATE_TEST_SUITE_P(BufferSizes, BufferedFileTest, ::testing::Values(0u, 16u, kReaderBufferSize),
                         [](const ::testing::TestParamInfo<uint32_t>& info) {
                           return "Buffer" + std::to_string(info.param);
                         });

TEST(BufferedFileSeekTest, InsideTheBufferOnlyTheIndexMoves) {
  std::string path = PatternFile("large.bin", 200000);
  CountingFile file;
  file.SetName(path.c_str());
  ASSERT_EQ(file.SetBuffer(nullptr, kReaderBufferSize), kOk);
  ASSERT_EQ(file.Open(kFileModeRead), kOk);
  std::vector<uint8_t> bytes(100);
  size_t count = 0;
  ASSERT_EQ(file.Read(100, &count, bytes.data()), kOk);
  ASSERT_EQ(file.raw_reads, 1);

  ASSERT_EQ(file.Seek(-5, kSeekRelative), kOk);
  ASSERT_EQ(file.Read(1, &count, bytes.data()), kOk);
  EXPECT_EQ(bytes[0], PatternByte(95));
  EXPECT_EQ(file.raw_seeks, 0) << "a seek inside the buffered data leaves the file alone";
  EXPECT_EQ(file.raw_reads, 1);

  ASSERT_EQ(file.Seek(100000, kSeekFromStart), kOk);
  EXPECT_EQ(file.raw_seeks, 1);
  EXPECT_EQ(file.last_seek, 100000);
  ASSERT_EQ(file.Read(1, &count, bytes.data()), kOk);
  EXPECT_EQ(bytes[0], PatternByte(100000)) << "refilled from the target";
  EXPECT_EQ(file.raw_reads, 2);

  ASSERT_EQ(file.Seek(0, kSeekFromStart), kOk);
  EXPECT_EQ(file.raw_seeks, 2) << "the old data left the buffer with the refill";
  std::vector<uint8_t> all(200000);
  ASSERT_EQ(file.Read(all.size(), &count, all.data()), kOk) << "reads larger than the buffer";
  ASSERT_EQ(count, all.size());
  for (size_t i = 0; i < all.size(); i += 997) ASSERT_EQ(all[i], PatternByte(i)) << "byte " << i;
}

TEST(BufferedFileWriteTest, NewBuffersAndNamesLoseNoWaitingBytes) {
  std::string dir = ScratchDir("buffered_file");
  std::string path = SystemPath(dir + "/rebuffered.bin");
  std::string other = SystemPath(dir + "/other.bin");
  SpecialPloFile writer;
  writer.SetName(path.c_str());
  ASSERT_EQ(writer.SetBuffer(nullptr, 16), kOk);
  ASSERT_EQ(writer.Open(kFileModeWrite), kOk);
  size_t count = 0;
  ASSERT_EQ(writer.Write(5, &count, "abcde"), kOk);
  ASSERT_EQ(writer.SetBuffer(nullptr, 0), kOk);  // flushes the five waiting bytes
  ASSERT_EQ(writer.Write(3, &count, "fgh"), kOk);
  ASSERT_EQ(writer.SetBuffer(nullptr, 16), kOk);
  ASSERT_EQ(writer.Write(2, &count, "ij"), kOk);
  writer.SetName(other.c_str());  // closes the file, which flushes and writes it out

  // Read while the writer still lives, so its destructor cannot have done it.
  SpecialPloFile reader;
  reader.SetName(path.c_str());
  ASSERT_EQ(reader.Open(kFileModeRead), kOk);
  EXPECT_EQ(reader.GetSize(), 10u)
      << "SetName closes the file it held, and SetBuffer flushed the old buffer";
  char back[16] = {};
  ASSERT_EQ(reader.Read(10, &count, back), kOk);
  EXPECT_STREQ(back, "abcdefghij") << "SetBuffer flushes the bytes waiting in the old buffer";
}

TEST(BufferedFileOpenTest, PlainFileAndMissingFile) {
  SpecialFile plain;
  plain.SetName("anything");
  EXPECT_EQ(plain.Open(kFileModeRead), kNotAvailable) << "no size can be learned";

  SpecialPloFile missing;
  std::string path = SystemPath(ScratchDir("buffered_file") + "/absent.bin");
  missing.SetName(path.c_str());
  EXPECT_EQ(missing.Open(kFileModeRead), kCannotOpenFile);
  uint8_t byte = 0;
  size_t count = 0;
  EXPECT_NE(missing.Read(1, &count, &byte), kOk);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(missing.RawSize(nullptr), kFileNotOpen);

  TFile abstract;
  EXPECT_EQ(abstract.Read(1, &count, &byte), kNotAvailable);
  EXPECT_EQ(abstract.Seek(0, kSeekFromStart), kNotAvailable);
}

TEST(BufferedFileOpenTest, CallerBufferIsUsedAndNotFreed) {
  std::string path = PatternFile("caller-buffer.bin", 64);
  std::vector<uint8_t> memory(32, 0xAA);
  {
    SpecialPloFile file;
    file.SetName(path.c_str());
    ASSERT_EQ(file.SetBuffer(memory.data(), 32), kOk);
    ASSERT_EQ(file.Open(kFileModeRead), kOk);
    uint8_t byte = 0;
    size_t count = 0;
    ASSERT_EQ(file.Read(1, &count, &byte), kOk);
    file.SetName(path.c_str());  // forgets the open file and the buffer, closing the file
  }
  EXPECT_EQ(memory[31], PatternByte(31)) << "the refill went into the caller's memory";
}

}  // namespace
}  // namespace lumetra
