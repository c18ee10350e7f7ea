#include "icc/profile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "framework/support/byte_reader.h"
#include "framework/support/file_access.h"
#include "tests/testing/icc_builder.h"
#include "tests/testing/paths.h"

namespace lumetra {
namespace {

using testing::BigEndianBytes;
using testing::IccBuilder;
using Bytes = std::vector<uint8_t>;

struct ProfileCloser {
  void operator()(IccProfile* profile) const { EXPECT_EQ(CloseProfile(profile), kOk); }
};
using Profile = std::unique_ptr<IccProfile, ProfileCloser>;

// The bytes must outlive the profile: the descriptor refers to them.
Status OpenFromMemory(const Bytes& bytes, Profile* out) {
  MemFile source;
  EXPECT_EQ(MemFileInit(&source, bytes.data(), bytes.size()), kOk);
  IccProfile* profile = reinterpret_cast<IccProfile*>(uintptr_t{1});
  Status status = OpenProfile(&profile, &source);
  out->reset(profile);
  return status;
}

Status OpenFromFile(const Bytes& bytes, const std::string& name, Profile* out) {
  std::string path = testing::SystemPath(testing::ScratchDir("icc_profile") + "/" + name + ".icc");
  EXPECT_TRUE(testing::WriteFileBytes(path, bytes));
  IccProfile* profile = reinterpret_cast<IccProfile*>(uintptr_t{1});
  Status status = OpenProfile(&profile, path.c_str());
  out->reset(profile);
  return status;
}

void ExpectSameReading(const IccProfile& a, const IccProfile& b, const std::string& what) {
  EXPECT_EQ(a.tag_count, b.tag_count) << what;
  EXPECT_EQ(std::memcmp(&a.header, &b.header, sizeof a.header), 0) << what;
  EXPECT_EQ(std::memcmp(a.tags, b.tags, sizeof a.tags), 0) << what;
}

IccBuilder OneTagProfile() {
  IccBuilder b;
  b.AddTag(Signature("desc"), testing::DescTagData("Display"));
  return b;
}

// A description followed by 5000 bytes of another tag.
IccBuilder LongProfile() {
  IccBuilder b = OneTagProfile();
  b.AddTag(Signature("cprt"), testing::TextTagData(std::string(5000, 'c')));
  return b;
}

Bytes Resized(Bytes bytes, size_t size) {
  bytes.resize(size);
  return bytes;
}

struct OpenCase {
  std::string name;
  Bytes bytes;
  Status expected;
};

std::vector<OpenCase> HeaderAndDirectoryCases() {
  std::vector<OpenCase> cases;
  size_t full = OneTagProfile().Build().size();
  cases.push_back({"well-formed", OneTagProfile().Build(), kOk});
  cases.push_back({"no-tags", IccBuilder().Build(), kOk});
  cases.push_back({"empty-file", {}, kProfileTooShort});
  cases.push_back({"exactly-128-bytes", Resized(OneTagProfile().Build(), 128), kProfileTooShort});
  IccBuilder b = OneTagProfile();
  b.declared_size = 129;
  // The header passes but the tag count cannot be read whole.
  cases.push_back({"129-bytes", Resized(b.Build(), 129), kShortRead});
  b = OneTagProfile();
  b.declared_size = static_cast<uint32_t>(full + 1);
  cases.push_back({"declared-one-byte-more", b.Build(), kProfileSizeExceedsFile});
  b.file_signature = Signature("ascp");
  cases.push_back({"declared-too-large-and-no-acsp", b.Build(), kProfileSizeExceedsFile});
  b = OneTagProfile();
  b.declared_size = 200;
  cases.push_back({"declared-less-than-file", b.Build(), kOk});
  b = OneTagProfile();
  b.file_signature = Signature("ascp");
  cases.push_back({"no-acsp", b.Build(), kProfileNoAcsp});
  b = OneTagProfile();
  b.declared_tag_count = 50;
  cases.push_back({"directory-beyond-file", b.Build(), kShortRead});
  b.declared_tag_count = 0xFFFFFFFF;
  cases.push_back({"tag-count-all-ones", b.Build(), kShortRead});
  // 12 x 0x15555556 wraps to 8 in 32 bits.
  b.declared_tag_count = 0x15555556;
  cases.push_back({"tag-count-wrapping-32-bits", b.Build(), kShortRead});

  // Files longer than the header and all the directory the record keeps
  // (132 + 12 x 100 bytes): their size comes from the system, not from what
  // the first read brought.
  b = LongProfile();
  size_t long_size = b.Build().size();
  cases.push_back({"long-file", b.Build(), kOk});
  b.declared_size = static_cast<uint32_t>(long_size + 1);
  cases.push_back({"long-file-declared-one-byte-more", b.Build(), kProfileSizeExceedsFile});
  b.declared_size = 1000;
  cases.push_back({"long-file-declared-less", b.Build(), kOk});
  b = LongProfile();
  // 132 + 12 x 300 ends past the first block, inside the file.
  b.declared_tag_count = 300;
  cases.push_back({"long-file-directory-past-the-kept-entries", b.Build(), kOk});
  b.declared_tag_count = static_cast<uint32_t>((long_size - 132) / 12 + 1);
  cases.push_back({"long-file-directory-one-entry-beyond-file", b.Build(), kShortRead});
  b.declared_tag_count = static_cast<uint32_t>((long_size - 132) / 12);
  cases.push_back({"long-file-directory-to-the-last-entry", b.Build(), kOk});
  // Files around the first block's length.
  for (size_t size : {size_t{1331}, size_t{1332}, size_t{1333}}) {
    IccBuilder exact = OneTagProfile();
    exact.declared_size = static_cast<uint32_t>(size);
    Bytes bytes = exact.Build();
    bytes.resize(size);
    cases.push_back({"file-of-" + std::to_string(size) + "-bytes", bytes, kOk});
    exact.declared_size = static_cast<uint32_t>(size + 1);
    bytes = exact.Build();
    bytes.resize(size);
    cases.push_back({"file-of-" + std::to_string(size) + "-bytes-declaring-one-more", bytes,
                     kProfileSizeExceedsFile});
  }
  return cases;
}

TEST(OpenProfileTest, HeaderAndDirectoryRulesAreTheSameFromFileAndMemory) {
  for (const OpenCase& c : HeaderAndDirectoryCases()) {
    Profile from_memory, from_file;
    EXPECT_EQ(OpenFromMemory(c.bytes, &from_memory), c.expected) << c.name << " from memory";
    EXPECT_EQ(OpenFromFile(c.bytes, c.name, &from_file), c.expected) << c.name << " from a file";
    if (c.expected != kOk) {
      EXPECT_EQ(from_memory, nullptr) << c.name << ": a failed open hands out nothing";
      EXPECT_EQ(from_file, nullptr) << c.name;
    } else if (from_memory && from_file) {
      ExpectSameReading(*from_memory, *from_file, c.name);
      const uint8_t* a = GetTagData(from_memory.get(), Signature("desc"));
      const uint8_t* b = GetTagData(from_file.get(), Signature("desc"));
      uint32_t size = GetTagSize(from_file.get(), Signature("desc"));
      ASSERT_EQ(a == nullptr, b == nullptr) << c.name;
      if (a) {
        EXPECT_EQ(std::memcmp(a, b, size), 0) << c.name << ": tags load alike";
      }
    }
  }
}

TEST(OpenProfileTest, RefusesMissingArgumentsAndUnopenableSources) {
  IccProfile* profile = nullptr;
  Bytes bytes = OneTagProfile().Build();
  MemFile source;
  ASSERT_EQ(MemFileInit(&source, bytes.data(), bytes.size()), kOk);
  EXPECT_EQ(OpenProfile(nullptr, &source), kBadArgument);
  EXPECT_EQ(OpenProfile(&profile, nullptr), kBadArgument);
  EXPECT_EQ(profile, nullptr);
  std::string absent = testing::SystemPath(testing::ScratchDir("icc_profile") + "/absent.icc");
  EXPECT_EQ(OpenProfile(&profile, absent.c_str()), kProfileCannotOpen);
  EXPECT_EQ(profile, nullptr);
  std::unique_ptr<char[]> unterminated(new char[kFileReferenceSize]);
  std::memset(unterminated.get(), 'p', kFileReferenceSize);
  EXPECT_EQ(OpenProfile(&profile, unterminated.get()), kProfileCannotOpen);
  EXPECT_EQ(profile, nullptr);
}

TEST(OpenProfileTest, KeepsTheFirstHundredEntriesOfALargerDirectory) {
  IccBuilder b;
  for (uint32_t i = 0; i < 120; ++i) b.AddTag(0x74000000u + i, testing::TextTagData(std::to_string(i)));
  Bytes bytes = b.Build();
  Profile from_memory, from_file;
  ASSERT_EQ(OpenFromMemory(bytes, &from_memory), kOk);
  ASSERT_EQ(OpenFromFile(bytes, "hundred-and-twenty-tags", &from_file), kOk);
  for (IccProfile* profile : {from_memory.get(), from_file.get()}) {
    EXPECT_EQ(profile->tag_count, MaxProfileTags);
    EXPECT_EQ(FindTagIndex(profile, 0x74000000u + 99), 99);
    EXPECT_EQ(FindTagIndex(profile, 0x74000000u + 100), -1);
    const uint8_t* last = GetTagData(profile, 0x74000000u + 99);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(last) + 8), "99");
  }
  ExpectSameReading(*from_memory, *from_file, "120 tags");
}

TEST(OpenProfileTest, ADescriptorAtALaterPositionGivesTheHeaderFromThereAndTheDirectoryFromTheStart) {
  Bytes bytes = OneTagProfile().Build();
  size_t at = 1024;
  ASSERT_LT(bytes.size(), at);
  IccBuilder other = OneTagProfile();
  other.device_class = Signature("scnr");
  other.declared_size = static_cast<uint32_t>(at + kIccHeaderSize);
  Bytes header = other.Build();
  bytes.resize(at);
  bytes.insert(bytes.end(), header.begin(), header.begin() + kIccHeaderSize);

  MemFile source;
  ASSERT_EQ(MemFileInit(&source, bytes.data(), bytes.size()), kOk);
  source.position = static_cast<uint32_t>(at);
  IccProfile* opened = nullptr;
  ASSERT_EQ(OpenProfile(&opened, &source), kOk);
  Profile profile(opened);
  EXPECT_EQ(profile->header.device_class, Signature("scnr")) << "the header where the descriptor stands";
  EXPECT_EQ(profile->header.size, at + kIccHeaderSize);
  ASSERT_EQ(profile->tag_count, 1u) << "the directory at 128 from the start";
  const uint8_t* desc = GetTagData(profile.get(), Signature("desc"));
  ASSERT_NE(desc, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(desc) + 12), "Display");

  // Read from there, a header that is not one is refused as such.
  source.position = 4;
  EXPECT_NE(OpenProfile(&opened, &source), kOk);
  EXPECT_EQ(opened, nullptr);
}

TEST(TagDirectoryTest, LookupsFindTheFirstEntryAndAbsenceIsNoError) {
  IccBuilder b;
  b.AddTag(Signature("desc"), testing::DescTagData("first"));
  b.AddTag(Signature("desc"), testing::DescTagData("second one"));
  Bytes bytes = b.Build();
  Profile profile;
  ASSERT_EQ(OpenFromMemory(bytes, &profile), kOk);
  EXPECT_EQ(FindTagIndex(profile.get(), Signature("desc")), 0);
  EXPECT_EQ(GetTagSize(profile.get(), Signature("desc")), testing::DescTagData("first").size());
  const uint8_t* data = GetTagData(profile.get(), Signature("desc"));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(data) + 12), "first");

  bool present = true;
  EXPECT_EQ(HasTag(profile.get(), Signature("vcgt"), &present), kOk);
  EXPECT_FALSE(present);
  EXPECT_EQ(HasTag(profile.get(), Signature("desc"), &present), kOk);
  EXPECT_TRUE(present);
  EXPECT_EQ(HasTag(nullptr, Signature("desc"), &present), kMissingObject);
  EXPECT_TRUE(present) << "the output is not written on failure";
  EXPECT_EQ(HasTag(profile.get(), Signature("desc"), nullptr), kMissingObject);
  EXPECT_EQ(GetTagSize(profile.get(), Signature("vcgt")), 0u);
  EXPECT_EQ(GetTagSize(nullptr, Signature("desc")), 0u);
  EXPECT_EQ(GetTagData(profile.get(), Signature("vcgt")), nullptr);
  EXPECT_EQ(FindTagIndex(nullptr, Signature("desc")), -1);
  EXPECT_EQ(CloseProfile(nullptr), kOk);
}

TEST(TagLoadingTest, EntriesOfOneOffsetShareOneBlockFreedOnce) {
  IccBuilder b;
  size_t first = b.AddTag(Signature("cprt"), testing::TextTagData("shared text"));
  b.AddTag(Signature("desc"), testing::DescTagData("own"));
  b.ShareTag(Signature("dmnd"), first);
  // Same offset, shorter: it needs a block of its own size.
  b.ShareTag(Signature("dmdd"), first, 10);
  Bytes bytes = b.Build();
  Profile profile;
  ASSERT_EQ(OpenFromMemory(bytes, &profile), kOk);
  const uint8_t* later = GetTagData(profile.get(), Signature("dmnd"));
  ASSERT_NE(later, nullptr);
  EXPECT_EQ(GetTagData(profile.get(), Signature("cprt")), later);
  EXPECT_EQ(profile->loaded[0], profile->loaded[2]);
  const uint8_t* shorter = GetTagData(profile.get(), Signature("dmdd"));
  ASSERT_NE(shorter, nullptr);
  EXPECT_NE(shorter, later);
  EXPECT_EQ(std::memcmp(shorter, later, 10), 0);
  EXPECT_EQ(profile->loaded[1], nullptr) << "tags are loaded on demand only";
  // Closing frees the shared block once (the sanitizers catch a second free).
}

TEST(TagLoadingTest, TagsBeyondTheFileFailToLoadAndTheProfileStaysUsable) {
  IccBuilder b;
  b.AddTag(Signature("desc"), testing::DescTagData("fine"));
  size_t size = b.Build().size() + 3 * 12;
  b.AddRawEntry(Signature("past"), static_cast<uint32_t>(size - 4), 8);
  b.AddRawEntry(Signature("huge"), 132, 0xFFFFFFF0u);
  b.AddRawEntry(Signature("far "), 0xFFFFFFFFu, 1);
  Bytes bytes = b.Build();
  ASSERT_EQ(bytes.size(), size);
  Profile from_memory, from_file;
  ASSERT_EQ(OpenFromMemory(bytes, &from_memory), kOk);
  ASSERT_EQ(OpenFromFile(bytes, "tags-beyond-the-file", &from_file), kOk);
  for (IccProfile* profile : {from_memory.get(), from_file.get()}) {
    const char* source = profile == from_file.get() ? "from a file" : "from memory";
    for (uint32_t index = 1; index <= 3; ++index) {
      EXPECT_EQ(LoadTag(profile, index), kShortRead) << "entry " << index << " " << source;
      EXPECT_EQ(profile->loaded[index], nullptr);
    }
    EXPECT_EQ(GetTagData(profile, Signature("past")), nullptr);
    uint32_t length = 1;
    uint8_t byte;
    EXPECT_EQ(ReadTagBytes(profile, Signature("past"), 0, &length, &byte), kTagNotFound) << source;
    EXPECT_NE(GetTagData(profile, Signature("desc")), nullptr) << source;
    EXPECT_EQ(LoadTag(profile, 4), kIndexOutOfRange);
  }
  EXPECT_EQ(LoadTag(nullptr, 0), kBadArgument);
}

TEST(TagLoadingTest, ATagInThePaddingAfterTheDeclaredSizeLoads) {
  IccBuilder b;
  b.AddTag(Signature("desc"), testing::DescTagData("declared part"));
  size_t padded = b.Build().size() + 12 + 16;
  b.AddRawEntry(Signature("pads"), static_cast<uint32_t>(padded - 16), 16);
  b.declared_size = static_cast<uint32_t>(padded - 16);
  Bytes bytes = b.Build();
  bytes.resize(padded, 'p');
  Profile from_memory, from_file;
  ASSERT_EQ(OpenFromMemory(bytes, &from_memory), kOk);
  ASSERT_EQ(OpenFromFile(bytes, "tag-in-the-padding", &from_file), kOk);
  for (IccProfile* profile : {from_memory.get(), from_file.get()}) {
    ASSERT_EQ(LoadTag(profile, 1), kOk) << "the file's size, not the declared one, bounds a tag";
    EXPECT_EQ(std::memcmp(profile->loaded[1], "pppppppppppppppp", 16), 0);
  }
}

TEST(TagLoadingTest, AFileCutAfterOpeningFailsToLoadWhatItLost) {
  IccBuilder b;
  b.AddTag(Signature("desc"), testing::DescTagData("kept"));
  b.AddTag(Signature("cprt"), testing::TextTagData("lost when the file is cut"));
  Bytes bytes = b.Build();
  std::string path = testing::SystemPath(testing::ScratchDir("icc_profile") + "/cut-after-opening.icc");
  ASSERT_TRUE(testing::WriteFileBytes(path, bytes));
  IccProfile* opened = nullptr;
  ASSERT_EQ(OpenProfile(&opened, path.c_str()), kOk);
  Profile profile(opened);
  bytes.resize(profile->tags[1].offset + 4);
  ASSERT_TRUE(testing::WriteFileBytes(path, bytes));
  EXPECT_EQ(LoadTag(profile.get(), 1), kShortRead) << "a tag the file no longer holds whole";
  EXPECT_EQ(profile->loaded[1], nullptr);
  EXPECT_EQ(LoadTag(profile.get(), 0), kOk) << "what is still there loads";
}

TEST(ReadTagBytesTest, CopiesOnlyWithinTheTag) {
  Bytes text = testing::TextTagData("0123456789");  // 19 bytes
  IccBuilder b;
  b.AddTag(Signature("cprt"), text);
  Bytes bytes = b.Build();
  Profile profile;
  ASSERT_EQ(OpenFromMemory(bytes, &profile), kOk);
  const uint32_t size = static_cast<uint32_t>(text.size());
  char out[32] = {};

  uint32_t length = 1;
  EXPECT_EQ(ReadTagBytes(profile.get(), Signature("cprt"), 0, &length, nullptr), kOk);
  EXPECT_EQ(profile->loaded[0], nullptr) << "a presence test loads nothing";
  EXPECT_EQ(ReadTagBytes(profile.get(), Signature("vcgt"), 0, &length, nullptr), kTagNotFound);
  EXPECT_EQ(ReadTagBytes(profile.get(), Signature("vcgt"), 0, &length, out), kTagNotFound);
  EXPECT_EQ(ReadTagBytes(nullptr, Signature("cprt"), 0, &length, out), kMissingObject);
  EXPECT_EQ(ReadTagBytes(profile.get(), Signature("cprt"), 0, nullptr, out), kMissingObject);

  length = 0;
  EXPECT_EQ(ReadTagBytes(profile.get(), Signature("cprt"), size, &length, out), kTagOutsideProfile);
  length = 4;
  EXPECT_EQ(ReadTagBytes(profile.get(), Signature("cprt"), size - 3, &length, out), kTagOutsideProfile);
  length = 0xFFFFFFFFu;
  EXPECT_EQ(ReadTagBytes(profile.get(), Signature("cprt"), 8, &length, out), kTagOutsideProfile);
  EXPECT_EQ(profile->loaded[0], nullptr);

  length = 11;
  EXPECT_EQ(ReadTagBytes(profile.get(), Signature("cprt"), size - 11, &length, out), kOk);
  EXPECT_EQ(length, 11u) << "the length is never changed";
  EXPECT_EQ(std::string(out), "0123456789");
}

// A tag as stored (big-endian) next to the bytes its conversion must leave:
// C.. fields are converted to host order, K.. fields stay as stored.
class TagImage {
 public:
  explicit TagImage(const char (&type)[5]) { C32(Signature(type)).K32(0); }
  TagImage& C16(uint16_t v) { return Converted(BigEndianBytes().U16(v), &v, 2); }
  TagImage& C32(uint32_t v) { return Converted(BigEndianBytes().U32(v), &v, 4); }
  TagImage& C64(uint64_t v) { return Converted(BigEndianBytes().U64(v), &v, 8); }
  TagImage& K8(uint8_t v) { return Kept(BigEndianBytes().U8(v)); }
  TagImage& K32(uint32_t v) { return Kept(BigEndianBytes().U32(v)); }
  TagImage& Keep(const std::string& bytes) { return Kept(BigEndianBytes().Ascii(bytes, false)); }
  // A literal's bytes, embedded NULs included, without its own terminator.
  template <size_t N>
  TagImage& Keep(const char (&bytes)[N]) {
    return Kept(BigEndianBytes().Bytes(bytes, N - 1));
  }
  TagImage& Zeros(size_t count) { return Kept(BigEndianBytes().Zeros(count)); }
  // A textDescriptionType inside another tag, with its own type converted.
  TagImage& Desc(const std::string& ascii_with_nul) {
    C32(Signature("desc")).K32(0).C32(static_cast<uint32_t>(ascii_with_nul.size())).Keep(ascii_with_nul);
    return C32(0).C32(0).C16(0).K8(0).Zeros(67);
  }

  Bytes stored;
  Bytes expected;

 private:
  TagImage& Converted(const BigEndianBytes& big, const void* host, size_t width) {
    stored.insert(stored.end(), big.bytes().begin(), big.bytes().end());
    const uint8_t* p = static_cast<const uint8_t*>(host);
    expected.insert(expected.end(), p, p + width);
    return *this;
  }
  TagImage& Kept(const BigEndianBytes& big) {
    stored.insert(stored.end(), big.bytes().begin(), big.bytes().end());
    expected.insert(expected.end(), big.bytes().begin(), big.bytes().end());
    return *this;
  }
};

struct ConversionCase {
  std::string name;
  TagImage tag;
};

std::vector<ConversionCase> ConversionCases() {
  std::vector<ConversionCase> c;
  c.push_back({"XYZ-with-a-partial-number", TagImage("XYZ ").C32(1).C32(2).C32(3).C32(4).C32(5).C32(6).Keep("tail!")});
  c.push_back({"bfd", TagImage("bfd ").C32(2).C16(0x0102).C16(0x0304).C32(1).C16(0x0506)});
  c.push_back({"bfd-second-count-overreaching",
               TagImage("bfd ").C32(1).C16(0x0102).C32(0x7FFFFFFF).C16(0x0304).K8(0x11)});
  c.push_back({"curv", TagImage("curv").C32(3).C16(0).C16(0x8000).C16(0xFFFF)});
  c.push_back({"curv-count-overreaching", TagImage("curv").C32(1000).C16(1).C16(2).K8(9)});
  c.push_back({"data", TagImage("data").C32(1).Keep("abc")});
  // Unaligned fields after a 5-byte ASCII text.
  c.push_back({"desc", TagImage("desc").C32(5).Keep("abcd\0").C32(0x656E0000).C32(2).Keep("\0x\0\0")
                           .C16(0x1234).K8(3).Keep("ab\0").Zeros(64)});
  c.push_back({"desc-ascii-count-overreaching", TagImage("desc").C32(0xFFFFFF00).Keep("abcdefgh")});
  c.push_back({"desc-unicode-count-overreaching",
               TagImage("desc").C32(2).Keep("a\0").C32(0).C32(1000).Keep("xy")});
  c.push_back({"dtim", TagImage("dtim").C16(2024).C16(12).C16(31).C16(23).C16(59).C16(58)});
  c.push_back({"meas", TagImage("meas").C32(1).C32(2).C32(3).C32(4).C32(5).C32(6).C32(7)});
  c.push_back({"view", TagImage("view").C32(1).C32(2).C32(3).C32(4).C32(5).C32(6).C32(7)});
  c.push_back({"mft1", TagImage("mft1").K8(3).K8(3).K8(2).K8(0).C32(1).C32(2).C32(3).C32(4).C32(5).C32(6)
                           .C32(7).C32(8).C32(9).Keep("8-bit tables")});
  c.push_back({"mft2", TagImage("mft2").K8(1).K8(1).K8(2).K8(0).C32(1).C32(2).C32(3).C32(4).C32(5).C32(6)
                           .C32(7).C32(8).C32(9).C16(2).C16(2).C16(1).C16(2).C16(3).C16(4).C16(5).C16(6)});
  c.push_back({"mft2-tables-overreaching", TagImage("mft2").K8(8).K8(15).K8(255).K8(0).C32(1).C32(2).C32(3)
                                               .C32(4).C32(5).C32(6).C32(7).C32(8).C32(9).C16(4096).C16(4096)
                                               .C16(1).C16(2).C16(3).K8(0x77)});
  c.push_back({"ncl2", TagImage("ncl2").C32(0).C32(2).C32(1).Zeros(64).Keep(std::string(32, 'n'))
                           .C16(1).C16(2).C16(3).C16(4).Keep(std::string(32, 'm')).C16(5).C16(6).C16(7).C16(8)});
  c.push_back({"ncl2-colour-count-overreaching", TagImage("ncl2").C32(0).C32(0xFFFFFFFF).C32(1).Zeros(64)
                                                     .Keep(std::string(32, 'n')).C16(1).C16(2).C16(3).C16(4)
                                                     .Keep(std::string(10, 'm'))});
  c.push_back({"ncol", TagImage("ncol").C32(7).C32(8).Keep("names")});
  c.push_back({"pseq", TagImage("pseq").C32(1).C32(Signature("LUMA")).C32(2).C64(0x0102030405060708ull)
                           .C32(Signature("CRT ")).Desc(std::string("a\0", 2)).Desc(std::string("bc\0", 3))});
  c.push_back({"pseq-with-other-text-type", TagImage("pseq").C32(2).C32(1).C32(2).C64(3).C32(4)
                                                .C32(Signature("mluc")).K32(0).K32(1).K32(12)});
  c.push_back({"pseq-count-overreaching", TagImage("pseq").C32(0x10000).C32(1).C32(2).C64(3).C32(4)
                                              .Desc(std::string("a\0", 2)).Desc(std::string("b\0", 2)).C32(7).K8(1)});
  c.push_back({"scrn", TagImage("scrn").K32(1).C32(2).C32(1).C32(2).C32(3).C32(4).C32(5).C32(6)});
  c.push_back({"scrn-count-overreaching", TagImage("scrn").K32(1).C32(0x55555556).C32(1).C32(2).K8(1)});
  c.push_back({"sf32-with-a-partial-value", TagImage("sf32").C32(1).C32(2).C32(3).Keep("xy")});
  c.push_back({"sig", TagImage("sig ").C32(Signature("CRT "))});
  c.push_back({"text", TagImage("text").Keep("text\0")});
  c.push_back({"vcgt-left-to-its-reader", TagImage("vcgt").K32(0).K32(0x00030100).K32(0x00020000)});
  c.push_back({"unknown-type", TagImage("mluc").K32(1).K32(12)});
  c.push_back({"type-only", TagImage("curv")});
  return c;
}

TEST(TagConversionTest, EachTypeConvertsItsNumericFieldsWithinTheBlock) {
  for (const ConversionCase& c : ConversionCases()) {
    IccBuilder b;
    b.AddTag(Signature("test"), c.tag.stored);
    Bytes bytes = b.Build();
    Profile profile;
    ASSERT_EQ(OpenFromMemory(bytes, &profile), kOk) << c.name;
    const uint8_t* data = GetTagData(profile.get(), Signature("test"));
    ASSERT_NE(data, nullptr) << c.name;
    EXPECT_EQ(Bytes(data, data + c.tag.expected.size()), c.tag.expected) << c.name;
  }
}

TEST(TagConversionTest, BlocksTooShortForTheirTypeAreLeftAlone) {
  IccBuilder b;
  b.AddTag(Signature("zero"), {});
  b.AddTag(Signature("tiny"), {'c', 'u', 'r'});
  b.AddTag(Signature("half"), {'c', 'u', 'r', 'v', 0, 0, 0});
  Bytes bytes = b.Build();
  Profile profile;
  ASSERT_EQ(OpenFromMemory(bytes, &profile), kOk);
  EXPECT_NE(GetTagData(profile.get(), Signature("zero")), nullptr);
  const uint8_t* tiny = GetTagData(profile.get(), Signature("tiny"));
  ASSERT_NE(tiny, nullptr);
  EXPECT_EQ(std::memcmp(tiny, "cur", 3), 0);
  const uint8_t* half = GetTagData(profile.get(), Signature("half"));
  ASSERT_NE(half, nullptr);
  ByteReader r(half, 7);
  EXPECT_EQ(r.Host32(), Signature("curv"));
  EXPECT_EQ(std::memcmp(half + 4, "\0\0\0", 3), 0);
}

// Every profile the Debian packages colord-data, icc-profiles-free (both under
// /usr/share/color/icc) and argyll-ref (/usr/share/color/argyll/ref) ship.
std::vector<std::string> ShippedProfiles() {
  namespace fs = std::filesystem;
  std::vector<std::string> paths;
  for (const char* root : {"/usr/share/color/icc", "/usr/share/color/argyll/ref"}) {
    std::error_code error;
    fs::recursive_directory_iterator it(testing::SystemPath(root), error), end;
    for (; !error && it != end; it.increment(error)) {
      std::string extension = it->path().extension().string();
      for (char& ch : extension) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      if ((extension == ".icc" || extension == ".icm") && it->is_regular_file(error)) {
        paths.push_back(it->path().string());
      }
    }
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

Bytes ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t Big32(const Bytes& b, size_t at) {
  return (uint32_t{b.at(at)} << 24) | (uint32_t{b.at(at + 1)} << 16) | (uint32_t{b.at(at + 2)} << 8) | b.at(at + 3);
}
uint16_t Big16(const Bytes& b, size_t at) { return static_cast<uint16_t>((b.at(at) << 8) | b.at(at + 1)); }

// The header and directory as this test reads them, field by field.
void ExpectMatchesIndependentReading(const IccProfile& p, const Bytes& file, const std::string& path) {
  const IccHeader& h = p.header;
  EXPECT_EQ(h.size, Big32(file, 0)) << path;
  EXPECT_EQ(h.cmm_type, Big32(file, 4)) << path;
  EXPECT_EQ(h.version, Big32(file, 8)) << path;
  EXPECT_EQ(h.device_class, Big32(file, 12)) << path;
  EXPECT_EQ(h.color_space, Big32(file, 16)) << path;
  EXPECT_EQ(h.connection_space, Big32(file, 20)) << path;
  const uint16_t created[6] = {h.created.year, h.created.month, h.created.day,
                               h.created.hours, h.created.minutes, h.created.seconds};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(created[i], Big16(file, 24 + 2 * i)) << path;
  EXPECT_EQ(h.file_signature, Big32(file, 36)) << path;
  EXPECT_EQ(h.platform, Big32(file, 40)) << path;
  EXPECT_EQ(h.flags, Big32(file, 44)) << path;
  EXPECT_EQ(h.manufacturer, Big32(file, 48)) << path;
  EXPECT_EQ(h.model, Big32(file, 52)) << path;
  EXPECT_EQ(h.attributes, (uint64_t{Big32(file, 56)} << 32) | Big32(file, 60)) << path;
  EXPECT_EQ(h.rendering_intent, Big32(file, 64)) << path;
  EXPECT_EQ(static_cast<uint32_t>(h.illuminant.x), Big32(file, 68)) << path;
  EXPECT_EQ(static_cast<uint32_t>(h.illuminant.y), Big32(file, 72)) << path;
  EXPECT_EQ(static_cast<uint32_t>(h.illuminant.z), Big32(file, 76)) << path;
  EXPECT_EQ(h.creator, Big32(file, 80)) << path;
  EXPECT_EQ(std::memcmp(h.reserved, file.data() + 84, 44), 0) << path;

  uint32_t count = Big32(file, 128);
  ASSERT_EQ(p.tag_count, std::min<uint32_t>(count, MaxProfileTags)) << path;
  for (uint32_t i = 0; i < p.tag_count; ++i) {
    EXPECT_EQ(p.tags[i].signature, Big32(file, 132 + 12 * i)) << path << " entry " << i;
    EXPECT_EQ(p.tags[i].offset, Big32(file, 136 + 12 * i)) << path << " entry " << i;
    EXPECT_EQ(p.tags[i].size, Big32(file, 140 + 12 * i)) << path << " entry " << i;
  }
}

TEST(ShippedProfilesTest, OpenAndMatchAnIndependentReadingFromPathAndMemory) {
  std::vector<std::string> paths = ShippedProfiles();
  // colord-data ships 25, icc-profiles-free 14, argyll-ref 12.
  EXPECT_GE(paths.size(), 51u);
  for (const std::string& path : paths) {
    Bytes file = ReadWholeFile(path);
    ASSERT_GT(file.size(), 132u) << path;
    IccProfile* opened = nullptr;
    ASSERT_EQ(OpenProfile(&opened, path.c_str()), kOk) << path;
    Profile from_path(opened);
    ExpectMatchesIndependentReading(*from_path, file, path);

    Profile from_memory;
    ASSERT_EQ(OpenFromMemory(file, &from_memory), kOk) << path;
    ExpectSameReading(*from_path, *from_memory, path);

    // Every tag loads, from either source alike, its type now in host order.
    for (uint32_t i = 0; i < from_path->tag_count; ++i) {
      const TagEntry& entry = from_path->tags[i];
      ASSERT_EQ(LoadTag(from_path.get(), i), kOk) << path << " entry " << i;
      ASSERT_EQ(LoadTag(from_memory.get(), i), kOk) << path << " entry " << i;
      EXPECT_EQ(std::memcmp(from_path->loaded[i], from_memory->loaded[i], entry.size), 0) << path;
      if (entry.size >= 4) {
        ByteReader block(from_path->loaded[i], entry.size);
        EXPECT_EQ(block.Host32(), Big32(file, entry.offset)) << path << " entry " << i;
      }
    }
  }
}

}  // namespace
}  // namespace lumetra
