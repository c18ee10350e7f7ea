#include "framework/support/file_types.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/support/byte_order.h"
#include "tests/testing/icc_builder.h"
#include "tests/testing/paths.h"

namespace lumetra {
namespace {

using testing::ScratchDir;
using testing::SystemPath;

// A file of the given bytes in this suite's scratch folder, as the program names it.
std::string Fixture(const std::string& name, const std::vector<uint8_t>& bytes) {
  std::string path = SystemPath(ScratchDir("file_types") + "/" + name);
  EXPECT_TRUE(testing::WriteFileBytes(path, bytes)) << path;
  return path;
}

std::vector<uint8_t> Text(const std::string& text) { return {text.begin(), text.end()}; }

int32_t Detect(const std::string& path) {
  int32_t type = -99;
  EXPECT_EQ(DetectFileType(path.c_str(), &type), kOk) << path;
  return type;
}

TEST(DetectFileTypeTest, RealFilesOfEachFormat) {
  const std::string jpeg = testing::DependencySource("libjpeg-turbo-2.1.5/testimages/");
  const std::string png = testing::DependencySource("libpng1.6-1.6.39/contrib/pngsuite/");
  const struct {
    std::string unix_path;
    int32_t type;
  } golden[] = {
      {"/usr/share/color/icc/sRGB.icc", kFileTypeIccProfile},
      {"/usr/share/color/icc/LCMSLABI.ICM", kFileTypeIccProfile},
      {jpeg + "test1.icc", kFileTypeIccProfile},
      {jpeg + "testorig.jpg", kFileTypeJpeg},
      {jpeg + "testimgari.jpg", kFileTypeJpeg},
      {jpeg + "vgl_5674_0098.bmp", kFileTypeBmp},
      {png + "basn0g01.png", kFileTypePng},
      {png + "basn6a16.png", kFileTypePng},
      {"/usr/share/tcltk/tk8.6/images/logoLarge.gif", kFileTypeGif},
      {"/usr/share/doc/shared-mime-info/shared-mime-info-spec.pdf", kFileTypePdf},
      {"/usr/share/tcltk/tk8.6/images/logo.eps", kFileTypeEps},
      {"/usr/share/vim/vim90/print/prolog.ps", kFileTypePostScript},
  };
  for (const auto& row : golden) {
    if (!testing::UnixFileExists(row.unix_path)) {
      ADD_FAILURE() << "missing test file " << row.unix_path;
      continue;
    }
    EXPECT_EQ(Detect(SystemPath(row.unix_path)), row.type) << row.unix_path;
  }
}

TEST(DetectFileTypeTest, TiffHeadersInBothByteOrders) {
  // TIFF 6.0 section 2: byte order, 42, offset of the first directory.
  EXPECT_EQ(Detect(Fixture("intel.bin", {'I', 'I', 42, 0, 8, 0, 0, 0})), kFileTypeTiff);
  EXPECT_EQ(Detect(Fixture("motorola.bin", {'M', 'M', 0, 42, 0, 0, 0, 8})), kFileTypeTiff);
  EXPECT_EQ(Detect(Fixture("short-tiff.bin", {'I', 'I', 42})), kFileTypeNone) << "needs 4 bytes";
}

TEST(DetectFileTypeTest, UnreadableContentFallsBackOnTheExtension) {
  const std::string dir = ScratchDir("file_types");
  EXPECT_EQ(Detect(SystemPath(dir + "/absent.TIF")), kFileTypeTiff);
  EXPECT_EQ(Detect(SystemPath(dir + "/absent.icc")), kFileTypeNone)
      << "the first row of profiles carries icm";
  EXPECT_EQ(Detect(SystemPath(dir + "/absent.icm")), kFileTypeIccProfile);
  EXPECT_EQ(Detect(Fixture("empty.Jpg", {})), kFileTypeJpeg);
  int32_t type = 0;
  EXPECT_EQ(DetectFileType(nullptr, &type), kNoFileName);
}

TEST(DetectFileTypeTest, EpsAgainstPostScript) {
  const std::string eps_line = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 1 1\n";
  EXPECT_EQ(Detect(Fixture("eps-named.ps", Text(eps_line))), kFileTypePostScript)
      << "an extension ps is never EPS";
  EXPECT_EQ(Detect(Fixture("eps-unnamed", Text(eps_line))), kFileTypeEps);
  EXPECT_EQ(Detect(Fixture("eps-cr.txt", Text("%!PS-Adobe-3.0 EPSF-3.0\r"))), kFileTypeEps);
  EXPECT_EQ(Detect(Fixture("plain-ps", Text("%!PS-Adobe-3.0\nEPSF on line two\n"))),
            kFileTypePostScript);
  EXPECT_EQ(Detect(Fixture("no-line-end", Text("%!PS-Adobe EPSF"))), kFileTypePostScript)
      << "without a line end the last byte is not part of the first line";
  EXPECT_EQ(Detect(Fixture("empty-first-line", Text("\n%!PS-Adobe EPSF\n"))), kFileTypeNone);
  EXPECT_EQ(Detect(Fixture("dos-eps", {0xC5, 0xD0, 0xD3, 0xC6, 0, 0})), kFileTypeEps);
  EXPECT_EQ(Detect(Fixture("text-named.eps", Text("hello"))), kFileTypeEps);
  EXPECT_EQ(Detect(Fixture("printer.prn", Text("hello"))), kFileTypePostScript);
}

TEST(DetectFileTypeTest, ContentTestsInTheirOrder) {
  EXPECT_EQ(Detect(Fixture("zeros.bin", std::vector<uint8_t>(300, 0))), kFileTypePict);
  EXPECT_EQ(Detect(Fixture("zeros.png", std::vector<uint8_t>(10, 0))), kFileTypePict)
      << "content first, extension second";
  EXPECT_EQ(Detect(Fixture("words.PDF", Text("not a pdf at all"))), kFileTypePdf);
  EXPECT_EQ(Detect(Fixture("pdf-content", Text("%PDF-1.4\n"))), kFileTypePdf);

  std::vector<uint8_t> scitex(82, 'x');
  scitex[80] = 'C';
  scitex[81] = 'T';
  EXPECT_EQ(Detect(Fixture("scitex", scitex)), kFileTypeScitexCt);
  scitex.pop_back();
  EXPECT_EQ(Detect(Fixture("scitex-short", scitex)), kFileTypeNone) << "needs 82 bytes";

  std::vector<uint8_t> profile(40, 'x');
  profile[36] = 'a', profile[37] = 'c', profile[38] = 's', profile[39] = 'p';
  EXPECT_EQ(Detect(Fixture("tiny-profile", profile)), kFileTypeIccProfile);

  EXPECT_EQ(Detect(Fixture("bmp10", {'B', 'M', 1, 2, 3, 4, 0, 0, 0, 0})), kFileTypeBmp);
  EXPECT_EQ(Detect(Fixture("mb10", {'M', 'B', 1, 2, 3, 4, 0, 0, 0, 0})), kFileTypeBmp);
  EXPECT_EQ(Detect(Fixture("bmp9", {'B', 'M', 1, 2, 3, 4, 0, 0, 0})), kFileTypeNone)
      << "the reserved words end at offset 9, which a 9-byte file lacks";
  EXPECT_EQ(Detect(Fixture("bmp-reserved", {'B', 'M', 1, 2, 3, 4, 0, 0, 1, 0})), kFileTypeNone);

  EXPECT_EQ(Detect(Fixture("gif6", Text("GIF89a"))), kFileTypeGif);
  EXPECT_EQ(Detect(Fixture("gif5", Text("GIF89"))), kFileTypeNone);
  EXPECT_EQ(Detect(Fixture("jpeg-as.png", {0xFF, 0xD8, 0xFF, 0xE0, 0})), kFileTypeJpeg);
}

TEST(DetectFileTypeTest, ColourExchangeFilesNeedXmlBeforeCxf) {
  EXPECT_EQ(Detect(Fixture("cxf", Text("<?xml version=\"1.0\"?><cc:CxF>CXF"))), kFileTypeCxf);
  EXPECT_EQ(Detect(Fixture("cxf-reversed.txt", Text("CXF before xml"))), kFileTypeText);
  std::vector<uint8_t> late(300, ' ');
  late[10] = 'x', late[11] = 'm', late[12] = 'l';
  late[280] = 'C', late[281] = 'X', late[282] = 'F';
  EXPECT_EQ(Detect(Fixture("cxf-late", late)), kFileTypeNone) << "only the first 256 bytes count";
}

TEST(FileTypeByExtensionTest, FirstRowOfEachTypeDecides) {
  EXPECT_EQ(FileTypeByExtension("C:\\images\\photo.JPG"), kFileTypeJpeg);
  EXPECT_EQ(FileTypeByExtension("photo.jpeg"), kFileTypeNone);
  EXPECT_EQ(FileTypeByExtension("a.Png"), kFileTypePng);
  EXPECT_EQ(FileTypeByExtension("a.csv"), kFileTypeCsv);
  EXPECT_EQ(FileTypeByExtension("a.cxf"), kFileTypeCxf);
  EXPECT_EQ(FileTypeByExtension("a.exe"), kFileTypeApplication);
  EXPECT_EQ(FileTypeByExtension("dir.d/name"), kFileTypeNone) << "a dot in a folder is no extension";
  EXPECT_EQ(FileTypeByExtension("dir.d\\name"), kFileTypeNone);
  EXPECT_EQ(FileTypeByExtension("name."), kFileTypeNone) << "the data rows carry no extension";
  EXPECT_EQ(FileTypeByExtension(nullptr), kFileTypeNone);
}

TEST(FileTypeInfoTest, GivesTheFirstRowOrFailsWith21506) {
  uint32_t type = 0, creator = 0;
  const char* extension = nullptr;
  ASSERT_EQ(FileTypeInfo(kFileTypeIccProfile, &type, &creator, &extension), kOk);
  EXPECT_EQ(type, Signature("prof"));
  EXPECT_EQ(creator, Signature("sync"));
  EXPECT_STREQ(extension, "icm");
  ASSERT_EQ(FileTypeInfo(kFileTypeJpeg, &type, &creator, &extension), kOk);
  EXPECT_EQ(type, Signature("JPEG"));
  EXPECT_EQ(creator, Signature("****"));
  ASSERT_EQ(FileTypeInfo(kFileTypeData, nullptr, nullptr, &extension), kOk);
  EXPECT_STREQ(extension, "");
  EXPECT_EQ(FileTypeInfo(6, &type, &creator, &extension), kUnknownFormat);
  EXPECT_EQ(FileTypeInfo(kFileTypeNone, &type, &creator, &extension), kUnknownFormat);
}

}  // namespace
}  // namespace lumetra
