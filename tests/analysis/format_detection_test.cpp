// "解析" decides between LZH (a method at offset 2) and ZIP (the first local
// header signature anywhere); anything else leaves everything as it was.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "app/application.h"
#include "base/ui_texts.h"
#include "support/analysed_archive.h"
#include "support/lzh_builder.h"
#include "support/table_rows.h"
#include "support/zip_builder.h"

namespace brim {
namespace {

using test::AnalysedArchive;
using test::Bytes;
using test::BytesOf;
using test::LzhBuilder;
using test::LzhEntry;
using test::ZipBuilder;
using test::ZipLocal;

Bytes SmallZip() {
  ZipBuilder z;
  z.Local(ZipLocal::Stored("a.txt", BytesOf("hello")));
  z.Finish();
  return z.bytes;
}

// A ZIP analysed first, then another file selected: what must survive a
// file that is neither.
void AnalyseZipThenSelect(AnalysedArchive& a, const Bytes& other) {
  a.Analyse(SmallZip());
  ASSERT_EQ(a.Rows(), 1u);
  test::WriteFileBytes(a.dir.File("other"), other);
  a.AnalyseFile(a.dir.File("other"));
}

struct MethodCase {
  const char* method;
  bool lzh;
};

class Detection : public ::testing::TestWithParam<MethodCase> {};

TEST_P(Detection, OnlyLhAtOffset2MeansLzh) {
  LzhBuilder b;
  LzhEntry e = LzhEntry::Level0("a.c", BytesOf("abc"));
  e.method = GetParam().method;
  b.Add(e);
  b.EndMark();
  AnalysedArchive a;
  AnalyseZipThenSelect(a, b.bytes);
  if (GetParam().lzh) {
    EXPECT_EQ(a.s.ArchiveKind, ArchiveKindType::Lzh);
    EXPECT_EQ(a.Panel(0), Ui().analysed);
    EXPECT_EQ(a.Panel(1), "Level=0");
    // A folder entry is an LZH header, but not an entry to list.
    const bool folder = std::string(GetParam().method) == "-lhd-";
    ASSERT_EQ(a.Rows(), folder ? 0u : 1u);
    if (!folder) EXPECT_EQ(a.Locator(0)[0], "a.c");
  } else {  // neither: the ZIP's tables and kind stay, panel 0 and the log say so
    EXPECT_EQ(a.s.ArchiveKind, ArchiveKindType::Zip);
    EXPECT_EQ(a.Panel(0), Ui().notAnArchive);
    EXPECT_EQ(a.Panel(1), "");
    ASSERT_EQ(a.Rows(), 1u);
    EXPECT_EQ(a.Locator(0)[0], "a.txt");
    EXPECT_EQ(a.Log(), (std::vector<std::string>{"---", Ui().notAnArchive}));
  }
}

INSTANTIATE_TEST_SUITE_P(Methods, Detection,
                         ::testing::Values(MethodCase{"-lh5-", true}, MethodCase{"-lh0-", true},
                                           MethodCase{"-lhd-", true}, MethodCase{"-lhX-", true},
                                           MethodCase{"-lz5-", true}, MethodCase{"-lh5_", false},
                                           MethodCase{"_lh5-", false}),
                         [](const auto& info) {
                           std::string n;
                           for (char c : std::string(info.param.method))
                             n += isalnum(static_cast<unsigned char>(c)) ? std::string(1, c)
                                  : c == '-'                             ? "m"
                                                                         : "u";
                           return n;
                         });

TEST(Detection, ShortFilesAreNeither) {
  for (const Bytes& b : {Bytes{}, Bytes{'P', 'K', 3}, Bytes{0, 0, '-', 'l', 'h', '5'}}) {
    AnalysedArchive a;
    AnalyseZipThenSelect(a, b);
    EXPECT_EQ(a.s.ArchiveKind, ArchiveKindType::Zip);
    EXPECT_EQ(a.Panel(0), Ui().notAnArchive);
    EXPECT_EQ(a.Rows(), 1u);
  }
}

TEST(Detection, ZipBehindAStubGivesTheLeadingByteCount) {
  ZipBuilder z;
  z.Raw(Bytes(12288, 0x90));
  z.Local(ZipLocal::Stored("a.txt", BytesOf("hello")));
  z.Finish(12288);
  AnalysedArchive a;
  a.Analyse(z.bytes);
  EXPECT_EQ(a.s.ArchiveKind, ArchiveKindType::Zip);
  EXPECT_EQ(a.Panel(1), "12288");
  EXPECT_EQ(a.Panel(0), Ui().analysed);
  ASSERT_EQ(a.Rows(), 1u);
  EXPECT_EQ(a.Locator(0)[1], "3000");
}

TEST(Detection, SignatureAcrossSearchBlocksIsFound) {
  // The search reads in blocks: a signature straddling a block boundary,
  // and "PK" false starts before it, must still be found at its position.
  for (uint64_t at : {262140u, 262141u, 262143u, 262144u, 524285u}) {
    ZipBuilder z;
    Bytes stub(at, 'P');
    for (size_t i = 1; i < stub.size(); i += 3) stub[i] = 'K';
    z.Raw(stub);
    z.Local(ZipLocal::Stored("a.txt", BytesOf("hello")));
    z.Finish(at);
    AnalysedArchive a;
    a.Analyse(z.bytes);
    EXPECT_EQ(a.Panel(1), std::to_string(at));
    EXPECT_EQ(a.Panel(0), Ui().analysed) << at;
  }
}

// A self-extractor: an LZH behind a program stub is found by its first
// checked header; with a ZIP after it, the file is both and refused as such.
TEST(Detection, LzhBehindAStubIsFoundWhenNoZipIs) {
  LzhBuilder b;
  b.Raw(BytesOf("MZ stub"));
  b.Add(LzhEntry::Level0("a.c", BytesOf("abc")));
  b.EndMark();
  Bytes withPk = b.bytes;
  const Bytes zip = SmallZip();
  withPk.insert(withPk.end(), zip.begin(), zip.end());

  AnalysedArchive plain;
  AnalyseZipThenSelect(plain, b.bytes);
  EXPECT_EQ(plain.s.ArchiveKind, ArchiveKindType::Lzh);
  EXPECT_EQ(plain.Panel(0), Ui().analysed);
  EXPECT_EQ(plain.Panel(1), "Level=0");
  EXPECT_EQ(plain.Log(), (std::vector<std::string>{"---", FormatNumbers(Ui().logLeadingBytesLzh, 7)}));
  ASSERT_EQ(plain.Rows(), 1u);
  EXPECT_EQ(plain.Locator(0)[0], "a.c");
  EXPECT_EQ(plain.Locator(0)[1], "7");

  AnalysedArchive zipped;
  zipped.Analyse(withPk);
  EXPECT_EQ(zipped.s.ArchiveKind, ArchiveKindType::Zip);
  EXPECT_EQ(zipped.Panel(1), std::to_string(b.bytes.size()));
  EXPECT_EQ(zipped.Panel(0), Ui().lzhAndZip);
}

// "-lh?-" in a stub with no header sum or CRC that checks around it is no
// archive; one header with a wrong sum is skipped for the real one after.
TEST(Detection, AStubHoldingAMethodByChanceIsNoHeader) {
  LzhBuilder fake;
  LzhEntry e = LzhEntry::Level0("x.exe", BytesOf("x"));
  e.headerSum = 0x55;
  fake.Raw(BytesOf("MZ..-lh5-..-lz5-"));
  fake.Add(e);
  fake.EndMark();
  AnalysedArchive none;
  AnalyseZipThenSelect(none, fake.bytes);
  EXPECT_EQ(none.Panel(0), Ui().notAnArchive);

  const uint64_t start = fake.Size();
  fake.Add(LzhEntry::Level2("a.txt", BytesOf("abc")));
  fake.EndMark();
  AnalysedArchive found;
  found.Analyse(fake.bytes);
  EXPECT_EQ(found.Panel(0), Ui().analysed);
  EXPECT_EQ(found.Panel(1), "Level=2");
  ASSERT_EQ(found.Rows(), 1u);
  EXPECT_EQ(found.Locator(0)[1], test::Hex(start));
}

// A file that is an LZH archive and also holds a ZIP directory extractors
// use is refused as both: no rewrite, whichever listing one would show.
TEST(Detection, LzhTestComesFirstAndAZipInsideIsRefused) {
  LzhBuilder b;
  b.Add(LzhEntry::Level0("a.c", BytesOf("abc")));
  b.EndMark();
  const Bytes zip = SmallZip();
  b.bytes.insert(b.bytes.end(), zip.begin(), zip.end());
  AnalysedArchive a;
  a.Analyse(b.bytes);
  EXPECT_EQ(a.s.ArchiveKind, ArchiveKindType::Lzh);
  EXPECT_EQ(a.Panel(1), "Level=0");
  EXPECT_EQ(a.Panel(0), Ui().lzhAndZip);
  EXPECT_EQ(a.Log().back(), Ui().lzhAndZip);
  EXPECT_EQ(a.Rows(), 1u);

  // An end record with no central header where it points is no ZIP.
  LzhBuilder lone;
  lone.Add(LzhEntry::Level0("b.c", Bytes(zip.end() - 22, zip.end())));
  lone.EndMark();
  AnalysedArchive b2;
  b2.Analyse(lone.bytes);
  EXPECT_EQ(b2.Panel(0), Ui().analysed);
}

TEST(Detection, AFileThatCannotBeOpenedEndsInTheErrorBox) {
  AnalysedArchive a;
  a.Analyse(SmallZip());
  a.form.DropFiles({a.dir.File("missing.zip")});
  EXPECT_FALSE(RunCommand(a.desktop, [&] { a.form.Zip1Click(); }));
  ASSERT_EQ(a.desktop.errors.size(), 1u);
  EXPECT_NE(a.desktop.errors[0].find("missing.zip"), std::string::npos);
  EXPECT_EQ(a.Rows(), 1u);  // detection opens the file before anything changes
  EXPECT_EQ(a.s.ArchiveKind, ArchiveKindType::Zip);
}

// A file of 4 GiB or more is refused before the signature search would pass
// every byte of it: here a sparse 5 GiB file with no signature at all.
TEST(Detection, FilesOf4GiBAreRefusedBeforeTheSearch) {
  AnalysedArchive a;
  const std::string big = a.dir.File("big.bin");
  int fd = ::open(big.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, off_t{5} << 30), 0);
  ::close(fd);
  a.Analyse(SmallZip());
  a.AnalyseFile(big);
  EXPECT_EQ(a.desktop.messages, std::vector<std::string>{Ui().fileTooLarge});
  EXPECT_EQ(a.Rows(), 0u);
  EXPECT_EQ(a.Panel(0), "");
  EXPECT_EQ(a.s.LogFilePath, a.dir.File("big(Unzip).log"));
}

TEST(Detection, NoSelectedPathDoesNothing) {
  AnalysedArchive a;
  a.form.Zip1Click();
  EXPECT_EQ(a.s.ArchiveKind, ArchiveKindType::Lzh);
  EXPECT_TRUE(a.Log().empty());
  EXPECT_TRUE(a.s.LogFilePath.empty());
}

}  // namespace
}  // namespace brim
