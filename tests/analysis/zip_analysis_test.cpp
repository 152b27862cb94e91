// ZIP analysis through "解析": archives built byte by byte, expected cells
// worked out from the record layouts (positions in the comments).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "analysis/zip_analysis.h"
#include "form/Unit1.h"
#include "base/errors.h"
#include "base/le.h"
#include "base/ui_texts.h"
#include "support/analysed_archive.h"
#include "support/table_rows.h"
#include "support/zip_builder.h"

namespace brim {
namespace {

using test::AnalysedArchive;
using test::Bytes;
using test::BytesOf;
using test::DamagedLine;
using test::J;
using test::ZipBuilder;
using test::ZipLocal;
using Row = std::vector<std::string>;

// a.txt at 0: 30 + 5 name + 5 data -> 40.
// dir/b.BIN at 40: 30 + 9 name, data at 79 (0x4F), 10 bytes -> 89.
// Central headers at 89 (0x59, 46 + 5) and 140 (0x8C), end record at 195.
ZipBuilder TwoEntries(uint64_t stub = 0, uint64_t offsetBase = 0) {
  ZipBuilder z;
  if (stub) z.Raw(Bytes(stub, 'x'));
  z.Local(ZipLocal::Stored("a.txt", BytesOf("hello")));
  z.Local(ZipLocal::Stored("dir/b.BIN", BytesOf("0123456789")));
  z.Finish(offsetBase);
  return z;
}

TEST(ZipAnalysis, PlainArchiveFillsEveryColumn) {
  AnalysedArchive a;
  a.Analyse(TwoEntries().bytes);
  EXPECT_EQ(a.s.ArchiveKind, ArchiveKindType::Zip);
  EXPECT_EQ(a.Panel(0), Ui().analysed);
  EXPECT_EQ(a.Panel(1), "0");
  EXPECT_EQ(a.Panel(2), "");
  EXPECT_EQ(a.Log(), std::vector<std::string>{"---"});
  ASSERT_EQ(a.Rows(), 2u);
  // Ext: 30 + 5 - 4 + 1 = 0x20; Ext(I): 89 + 46 + 5 - 4 + 1 = 0x89.
  EXPECT_EQ(a.Locator(0), (Row{"a.txt", "0", "23", "5", "20", "89", "59"}));
  // Ext: 40 + 30 + 9 - 4 + 1 = 0x4C; Ext(I): 140 + 46 + 9 - 4 + 1 = 0xC0.
  EXPECT_EQ(a.Locator(1), (Row{"b.BIN", "28", "4F", "A", "4C", "C0", "8C"}));
  EXPECT_EQ(a.Listing(0), (Row{"a.txt", " 0%", "5", "5", ""}));
  EXPECT_EQ(a.Listing(1), (Row{"b.BIN", " 0%", "10", "10", "dir\\"}));
  EXPECT_EQ(a.Tally(), (Row{"txt=1", "bin=1"}));
  EXPECT_EQ(a.s.LogFilePath, a.dir.File("archive(Unzip).log"));
}

struct StubCase {
  const char* label;
  uint64_t offsetBase;  // what the stored offsets are relative to
  bool matched;
};

class ZipStub : public ::testing::TestWithParam<StubCase> {};

// Offsets relative to the archive proper, or adjusted to count the stub as
// self-extractors store them: both match.
TEST_P(ZipStub, LeadingBytesAreLoggedAndOffsetsMatch) {
  AnalysedArchive a;
  a.Analyse(TwoEntries(1000, GetParam().offsetBase).bytes);
  EXPECT_EQ(a.Panel(0), Ui().analysed);
  EXPECT_EQ(a.Panel(1), "1000");
  Row log{"---", J("ファイル先頭1000バイトにZIPに関係ないデータがあります")};
  // Offsets that ignore the stub: the directory is found 1000 bytes on.
  if (GetParam().offsetBase != 0) log.push_back(FormatNumbers(Ui().logDirectoryLater, 1000));
  EXPECT_EQ(a.Log(), log);
  ASSERT_EQ(a.Rows(), 2u);
  // Everything moves by 1000 (0x3E8): a.txt at 0x3E8, b.BIN at 0x410.
  if (GetParam().matched) {
    EXPECT_EQ(a.Locator(0), (Row{"a.txt", "3E8", "40B", "5", "408", "471", "441"}));
    EXPECT_EQ(a.Locator(1), (Row{"b.BIN", "410", "437", "A", "434", "4A8", "474"}));
  } else {
    EXPECT_EQ(a.Locator(0), (Row{"a.txt", "3E8", "40B", "5", "408", "", ""}));
    EXPECT_EQ(a.Locator(1), (Row{"b.BIN", "410", "437", "A", "434", "", ""}));
  }
}

INSTANTIATE_TEST_SUITE_P(Offsets, ZipStub,
                         ::testing::Values(StubCase{"relative", 1000, true},
                                           StubCase{"adjusted", 0, true}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(ZipAnalysis, FoldersAndEmptyFilesAreNeitherListedNorTallied) {
  ZipBuilder z;
  z.Local(ZipLocal::Stored("a.txt", BytesOf("hello")));
  z.Local(ZipLocal::Stored("dir/", {}));
  z.Local(ZipLocal::Stored("dir/empty.dat", {}));
  z.Local(ZipLocal::Stored("dir/c.txt", BytesOf("see")));
  z.Finish();
  AnalysedArchive a;
  a.Analyse(z.bytes);
  EXPECT_EQ(a.Panel(0), Ui().analysed);
  ASSERT_EQ(a.Rows(), 2u);
  EXPECT_EQ(a.Locator(1)[1], test::Hex(z.entries[3].local));
  // Their central headers count towards the entry count but match no row.
  EXPECT_EQ(a.Locator(0)[6], test::Hex(z.centrals[0]));
  EXPECT_EQ(a.Locator(1)[6], test::Hex(z.centrals[3]));
  EXPECT_EQ(a.Tally(), (Row{"txt=2"}));
}

struct DamageCase {
  const char* label;
  Bytes bytes;
  size_t rows;
  std::vector<std::string> log;
  std::string panel0;
  bool matched;  // the listed rows got their central columns
};

class ZipDamage : public ::testing::TestWithParam<DamageCase> {};

TEST_P(ZipDamage, EndsAsTheWalkRulesSay) {
  const DamageCase& c = GetParam();
  AnalysedArchive a;
  a.Analyse(c.bytes);
  EXPECT_EQ(a.Panel(0), c.panel0);
  EXPECT_EQ(a.Log(), c.log);
  ASSERT_EQ(a.Rows(), c.rows);
  for (size_t i = 0; i < c.rows; ++i) {
    ASSERT_EQ(a.Locator(i).size(), 7u);
    ASSERT_EQ(a.Listing(i).size(), 5u);
    EXPECT_EQ(a.Locator(i)[6].empty(), !c.matched) << i;
  }
}

std::vector<DamageCase> DamageCases() {
  std::vector<DamageCase> out;
  const std::string damagedZip = Ui().damagedZip;
  {  // Streaming: sizes 0 in the local header; the central header gives them.
    ZipBuilder z;
    z.Local(ZipLocal::Streamed("s.txt", BytesOf("streamed")));
    z.DataDescriptorForLast();
    z.Local(ZipLocal::Stored("t.txt", BytesOf("after")));
    z.Finish();
    out.push_back({"streamed", z.bytes, 2, {"---"}, Ui().analysed, true});
  }
  {  // No central header points at it: the entry looks empty and the next
     // probe lands in its data.
    ZipBuilder z;
    z.Local(ZipLocal::Streamed("s.txt", BytesOf("streamed")));
    z.DataDescriptorForLast();
    z.Local(ZipLocal::Stored("t.txt", BytesOf("after")));
    out.push_back({"streamed_without_directory", z.bytes, 0, {"---"}, damagedZip, false});
  }
  {  // Cut inside the data of the last entry (at 84 of 89).
    ZipBuilder z = TwoEntries();
    z.bytes.resize(84);
    out.push_back({"truncated_data", z.bytes, 1, {"---", DamagedLine("b.BIN")}, damagedZip, false});
  }
  {  // Cut right at the data start: the probe reaches the end, and no end
     // record says where the archive ends.
    ZipBuilder z = TwoEntries();
    z.bytes.resize(79);
    out.push_back({"truncated_at_data", z.bytes, 1, {"---", DamagedLine("b.BIN"), Ui().logNoEndRecord},
                   damagedZip, false});
  }
  {  // Count too large: the search for a third header runs off the end.
    ZipBuilder z = TwoEntries();
    le::Put16(z.bytes.data() + z.endRecord + 8, 3);
    out.push_back({"count_too_large", z.bytes, 2, {"---"}, damagedZip, true});
  }
  {  // Directory size larger than the end record's position.
    ZipBuilder z = TwoEntries();
    le::Put32(z.bytes.data() + z.endRecord + 12, 100000);
    out.push_back({"size_before_start", z.bytes, 2, {"---"}, damagedZip, false});
  }
  {  // No end record: cut before it, so damaged, the entries still listed.
    ZipBuilder z = TwoEntries();
    z.bytes.resize(z.endRecord);
    out.push_back({"no_end_record", z.bytes, 2, {"---", Ui().logNoEndRecord}, damagedZip, false});
  }
  {  // The end record's count and size cut off by the end of the file.
    ZipBuilder z = TwoEntries();
    z.bytes.resize(z.endRecord + 14);
    out.push_back({"cut_end_record", z.bytes, 2, {"---"}, damagedZip, false});
  }
  {  // A name ending in "/" with data: the file name is empty.
    ZipBuilder z;
    z.Local(ZipLocal::Stored("a.txt", BytesOf("hello")));
    z.Local(ZipLocal::Stored("dir/", BytesOf("data")));
    z.Finish();
    // The walk stops there; the directory still matches a.txt.
    out.push_back({"empty_file_name", z.bytes, 1, {"---", DamagedLine("")}, damagedZip, true});
  }
  {  // Name length 0 with data: no name at all.
    ZipBuilder z;
    z.Local(ZipLocal::Stored("", BytesOf("data")));
    z.Finish();
    out.push_back({"no_name", z.bytes, 0, {"---", DamagedLine("")}, damagedZip, false});
  }
  {  // Data not followed by "PK": both headers' size stops short, and the
     // bytes left before the directory belong to no entry.
    ZipBuilder z;
    ZipLocal l = ZipLocal::Stored("a.txt", BytesOf("hello"));
    l.compressedSize = 3;
    z.Local(l);
    z.Finish();
    out.push_back({"no_pk_after_data", z.bytes, 1,
                   {"---", "a.txt : " + Ui().markSizesLie + " " + Ui().markDataBetweenEntries}, Ui().analysed,
                   true});
  }
  {  // Foreign bytes where the next header should start.
    ZipBuilder z;
    z.Local(ZipLocal::Stored("a.txt", BytesOf("hello")));
    z.Raw(BytesOf("PKjunk"));
    out.push_back({"foreign_bytes", z.bytes, 1, {"---"}, damagedZip, false});
  }
  {  // A local header cut short: no field past the end is trusted.
    Bytes b = {0x50, 0x4B, 0x03, 0x04, 20, 0, 0, 0, 0, 0};
    out.push_back({"cut_local_header", b, 0, {"---"}, damagedZip, false});
  }
  {  // A name running past the end of the file.
    ZipLocal l = ZipLocal::Stored("abcdefgh", BytesOf("x"));
    Bytes b = test::EncodeZipLocal(l);
    b.resize(34);
    out.push_back({"cut_name", b, 0, {"---"}, damagedZip, false});
  }
  return out;
}

INSTANTIATE_TEST_SUITE_P(Cases, ZipDamage, ::testing::ValuesIn(DamageCases()),
                         [](const auto& info) { return std::string(info.param.label); });

struct RatioCase {
  uint32_t compressed;
  uint32_t original;
  const char* ratio;
};

class ZipRatio : public ::testing::TestWithParam<RatioCase> {};

TEST_P(ZipRatio, SpaceSavedRoundedHalfUp) {
  const RatioCase& c = GetParam();
  ZipBuilder z;
  ZipLocal l = ZipLocal::Stored("r.dat", Bytes(c.compressed, 'z'));
  l.originalSize = c.original;
  z.Local(l);
  z.Local(ZipLocal::Stored("next.txt", BytesOf("n")));  // its row must not depend on r.dat
  z.Finish();
  AnalysedArchive a;
  a.Analyse(z.bytes);
  EXPECT_EQ(a.Panel(0), Ui().analysed);
  ASSERT_EQ(a.Rows(), 2u);
  EXPECT_EQ(a.Listing(0)[1], c.ratio);
  EXPECT_EQ(a.Listing(1), (Row{"next.txt", " 0%", "1", "1", ""}));
}

INSTANTIATE_TEST_SUITE_P(Cases, ZipRatio,
                         ::testing::Values(RatioCase{1234, 5000, "75%"}, RatioCase{100, 100, " 0%"},
                                           RatioCase{0, 100, "100%"}, RatioCase{120, 100, "-20%"},
                                           RatioCase{1, 200, "99%"},   // 0.5 rounds up
                                           RatioCase{1, 3, "67%"},     // 33.3 rounds down
                                           RatioCase{5000, 2, "-249900%"},
                                           RatioCase{7, 0, ""}));  // no original size: no ratio

TEST(ZipAnalysis, NameEndingInADotHasAnEmptyKeyAndExtPastTheName) {
  ZipBuilder z;
  z.Local(ZipLocal::Stored("file.", BytesOf("x")));
  z.Local(ZipLocal::Stored("README", BytesOf("y")));
  z.Finish();
  AnalysedArchive a;
  a.Analyse(z.bytes);
  ASSERT_EQ(a.Rows(), 2u);
  // The name occupies 30..34; the position past it is 35 = 0x23.
  EXPECT_EQ(a.Locator(0)[4], "23");
  EXPECT_EQ(a.Locator(1)[4], "0");
  EXPECT_EQ(a.Locator(1)[5], "0");  // the central name has no extension either
  EXPECT_EQ(a.Tally(), (Row{"=2"}));
}

TEST(ZipAnalysis, Cp932NamesSplitOnlyOnRealSeparators) {
  // ソ is 83 5C: its second byte is not a folder separator.
  const std::string so = "\x83\x5C";
  ZipBuilder z;
  z.Local(ZipLocal::Stored(so + "/" + so + ".TXT", BytesOf("x")));
  z.Local(ZipLocal::Stored(so + ".d\\" + so, BytesOf("y")));
  z.Finish();
  AnalysedArchive a;
  a.Analyse(z.bytes);
  ASSERT_EQ(a.Rows(), 2u);
  EXPECT_EQ(a.Listing(0), (Row{so + ".TXT", " 0%", "1", "1", so + "\\"}));
  EXPECT_EQ(a.Listing(1), (Row{so, " 0%", "1", "1", so + ".d\\"}));
  EXPECT_EQ(a.Locator(1)[4], "0");
  EXPECT_EQ(a.Tally(), (Row{"txt=1", "=1"}));
}

// "中断" pressed from inside the message pump, at the moment chosen by when.
struct AbortCase {
  const char* label;
  std::function<bool(const ProgramState&)> when;
  std::string panel0;
  size_t rows;
  size_t matched;
};

class ZipAbort : public ::testing::TestWithParam<AbortCase> {};

TEST_P(ZipAbort, TakesEffectAtTheNextPollingPoint) {
  ZipBuilder z;
  for (const char* n : {"a.txt", "b.txt", "c.txt"}) z.Local(ZipLocal::Stored(n, BytesOf(n)));
  z.Finish(0, std::string(40, 'c'));  // a comment: many end-search positions
  AnalysedArchive a;
  a.PumpEveryCall();
  a.desktop.onPump = [&](long) {
    if (GetParam().when(a.s)) a.form.Button3Click();
  };
  a.Analyse(z.bytes);
  EXPECT_EQ(a.Panel(0), GetParam().panel0);
  ASSERT_EQ(a.Rows(), GetParam().rows);
  size_t matched = 0;
  for (size_t i = 0; i < a.Rows(); ++i) matched += a.Locator(i)[6].empty() ? 0 : 1;
  EXPECT_EQ(matched, GetParam().matched);
}

INSTANTIATE_TEST_SUITE_P(
    Points, ZipAbort,
    ::testing::Values(
        // Pressed while probing b.txt: b.txt is listed, c.txt's probe stops.
        AbortCase{"local_walk", [](const ProgramState& s) { return s.ListView1.Count() == 1; },
                  Ui().aborted, 2, 0},
        // Pressed while the end record is searched: the directory walk stops
        // at once, and the analysis counts as complete.
        AbortCase{"end_search",
                  [](const ProgramState& s) {
                    // The local walk stops at 35%; the search starts at the end.
                    return s.ListView1.Count() == 3 && s.Gauge1.Progress() > 50 &&
                           !s.ListView1.Has(0, kColOffsetI);
                  },
                  Ui().analysed, 3, 0},
        // Pressed after the first central header matched.
        AbortCase{"directory_walk",
                  [](const ProgramState& s) {
                    return s.ListView1.Count() == 3 && !!s.ListView1.Has(0, kColOffsetI);
                  },
                  Ui().analysed, 3, 1}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(ZipAnalysis, ReanalysisTakesTheLeadFromPanel1AndRebuildsTheTables) {
  AnalysedArchive a;
  a.Analyse(TwoEntries(1000, 1000).bytes);
  a.s.ListView2.SetChecked(0, true);
  a.form.Button3Click();  // nothing runs: the next analysis clears it
  AnalyseZip(a.s);        // as the rewrite's offer runs it, without detection
  EXPECT_EQ(a.Panel(0), Ui().analysed);
  ASSERT_EQ(a.Rows(), 2u);
  EXPECT_FALSE(a.s.ListView2.Checked(0));
  EXPECT_EQ(a.Locator(0)[1], "3E8");
  EXPECT_EQ(a.Tally(), (Row{"txt=1", "bin=1"}));
}

TEST(ZipAnalysis, ALeadThatIsNotANumberIsAConversionError) {
  AnalysedArchive a;
  test::WriteFileBytes(a.path, TwoEntries().bytes);
  a.s.Label1.SetCaption(a.path);
  test::SetPanelText(a.s.StatusBar1, kPanelDetail, "Level=2");  // what an LZH analysis leaves
  try {
    AnalyseZip(a.s);
    ADD_FAILURE() << "no error";
  } catch (const CommandError& e) {
    EXPECT_EQ(e.Text(), J("'Level=2' は整数ではありません"));
  }
  EXPECT_EQ(a.Rows(), 0u);
}

TEST(ZipAnalysis, FilesOf4GiBAreRefused) {
  AnalysedArchive a;
  int fd = ::open(a.path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::pwrite(fd, "PK\x03\x04", 4, 0), 4);
  ASSERT_EQ(::ftruncate(fd, off_t{1} << 32), 0);  // sparse
  ::close(fd);
  a.AnalyseFile(a.path);
  EXPECT_EQ(a.desktop.messages, (Row{Ui().fileTooLarge}));
  EXPECT_EQ(a.Panel(0), "");
  EXPECT_TRUE(a.Log().empty());
  EXPECT_EQ(a.Rows(), 0u);
  EXPECT_EQ(a.s.LogFilePath, a.dir.File("archive(Unzip).log"));
}

TEST(ZipAnalysis, ArchiveBeyond2GiBIsAnalysedLikeASmallOne) {
  const uint64_t stub = (uint64_t{1} << 31) + 16;
  ZipBuilder z = TwoEntries();
  AnalysedArchive a;
  int fd = ::open(a.path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::pwrite(fd, z.bytes.data(), z.bytes.size(), static_cast<off_t>(stub)),
            static_cast<ssize_t>(z.bytes.size()));  // the stub is a hole of zeros
  ::close(fd);
  // Straight to the analysis with the lead detection would find, so the
  // test does not read 2 GiB of zeros first.
  a.s.Label1.SetCaption(a.path);
  test::SetPanelText(a.s.StatusBar1, kPanelDetail, "2147483664");
  AnalyseZip(a.s);
  EXPECT_EQ(a.Panel(0), Ui().analysed);
  ASSERT_EQ(a.Rows(), 2u);
  EXPECT_EQ(a.Locator(0),
            (Row{"a.txt", "80000010", "80000033", "5", "80000030", "80000099", "80000069"}));
  EXPECT_EQ(a.Log()[1], J("ファイル先頭2147483664バイトにZIPに関係ないデータがあります"));
}

}  // namespace
}  // namespace brim
