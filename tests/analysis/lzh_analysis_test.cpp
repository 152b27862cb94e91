// LZH analysis through "解析": headers of each level built byte by byte,
// expected cells worked out from the layouts (positions in the comments).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "app/entry_marks.h"
#include "form/Unit1.h"
#include "base/ui_texts.h"
#include "support/analysed_archive.h"
#include "support/lzh_builder.h"

namespace brim {
namespace {

using test::AnalysedArchive;
using test::Bytes;
using test::BytesOf;
using test::DamagedLine;
using test::LzhBuilder;
using test::LzhEntry;
using test::LzhExtended;
using Row = std::vector<std::string>;

// A.TXT at 0: H = 22 + 5, data "hello" at 29 (0x1D); b.c at 34 (0x22):
// H = 25, data "second" at 61 (0x3D); end mark at 67.
LzhBuilder TwoLevel0(bool endMark = true) {
  LzhBuilder b;
  b.Add(LzhEntry::Level0("A.TXT", BytesOf("hello")));
  b.Add(LzhEntry::Level0("b.c", BytesOf("second")));
  if (endMark) b.EndMark();
  return b;
}

TEST(LzhAnalysis, Level0ArchiveFillsEveryColumn) {
  AnalysedArchive a;
  a.Analyse(TwoLevel0().bytes);
  EXPECT_EQ(a.s.ArchiveKind, ArchiveKindType::Lzh);
  EXPECT_EQ(a.Panel(0), Ui().analysed);
  EXPECT_EQ(a.Panel(1), "Level=0");
  EXPECT_EQ(a.Panel(2), "");
  EXPECT_EQ(a.Log(), Row{"---"});
  ASSERT_EQ(a.Rows(), 2u);
  // Ext: the byte after the "." at 23; Offset(I): the CRC at 22 + 5.
  EXPECT_EQ(a.Locator(0), (Row{"A.TXT", "0", "1D", "5", "18", "0", "1B"}));
  EXPECT_EQ(a.Locator(1), (Row{"b.c", "22", "3D", "6", "3A", "0", "3B"}));
  EXPECT_EQ(a.Listing(0), (Row{"A.TXT", "100.0%", "5", "5", ""}));
  EXPECT_EQ(a.Listing(1), (Row{"b.c", "100.0%", "6", "6", ""}));
  EXPECT_EQ(a.Tally(), (Row{"txt=1", "c=1"}));
  EXPECT_EQ(a.s.LogFilePath, a.dir.File("archive(UnLha).log"));
}

TEST(LzhAnalysis, Level1ListsTheDataSizeWithoutTheRecords) {
  LzhBuilder b;
  // big.bin: E = 25 + 7 = 32; one record of S = 7 at 32; the terminating
  // size field at 39, so the data starts at 41 (0x29). Packed 1007.
  LzhEntry big = LzhEntry::Level1("big.bin", Bytes(1000, 'b'));
  big.extended.push_back({0x41, Bytes(4, 0x11), std::nullopt});
  big.originalSize = 2000;
  b.Add(big);
  // x.c at 1041 (0x411): a common record at E = 1041 + 28 = 1069, so the
  // header CRC is at 1072 (0x430).
  LzhEntry withCrc = LzhEntry::Level1("x.c", BytesOf("xx"));
  withCrc.extended.push_back(LzhExtended::Common());
  b.Add(withCrc);
  // y.c without one: its Ext(I) does not inherit the previous position.
  uint64_t y = b.Add(LzhEntry::Level1("y.c", BytesOf("yy")));
  b.EndMark();
  ASSERT_EQ(b.entries[0].dataStart, 41u);
  AnalysedArchive a;
  a.Analyse(b.bytes);
  EXPECT_EQ(a.Panel(0), Ui().analysed);
  EXPECT_EQ(a.Panel(1), "Level=1");
  ASSERT_EQ(a.Rows(), 3u);
  EXPECT_EQ(a.Locator(0), (Row{"big.bin", "0", "29", "3E8", "1A", "0", "1D"}));
  EXPECT_EQ(a.Listing(0), (Row{"big.bin", "50.0%", "1,000", "2,000", ""}));
  EXPECT_EQ(a.Locator(1)[5], "430");
  EXPECT_EQ(a.Locator(2)[1], test::Hex(y));
  EXPECT_EQ(a.Locator(2)[5], "0");
}

// Extractors write a file-name record's name over the base header's: the
// row shows it, and carries the base name as a copy that the tally counts.
TEST(LzhAnalysis, Level1NameRecordWinsOverTheBaseName) {
  LzhBuilder b;
  // No base name: E = 25, the file-name record's body at 28..32.
  LzhEntry fromRecord = LzhEntry::Level1("", BytesOf("1"));
  fromRecord.extended.push_back(LzhExtended::FileName("x.doc"));
  b.Add(fromRecord);
  LzhEntry both = LzhEntry::Level1("base.txt", BytesOf("2"));
  both.extended.push_back(LzhExtended::FileName("other.doc"));
  uint64_t p = b.Add(both);
  b.EndMark();
  AnalysedArchive a;
  a.Analyse(b.bytes);
  ASSERT_EQ(a.Rows(), 2u);
  EXPECT_EQ(a.Locator(0)[0], "x.doc");
  EXPECT_EQ(a.Locator(0)[4], "1E");  // after the "." at 29
  EXPECT_EQ(a.s.ListView1.Marks(0), 0);
  EXPECT_TRUE(a.s.ListView1.NameCopies(0).empty());
  // E = P + 22 + 8 + 3, the record's body at E + 3, its "." 5 bytes on.
  EXPECT_EQ(a.Locator(1)[0], "other.doc");
  EXPECT_EQ(a.Locator(1)[4], test::Hex(p + 33 + 3 + 6));
  EXPECT_EQ(a.s.ListView1.Marks(1), kMarkNamesDiffer);
  ASSERT_EQ(a.s.ListView1.NameCopies(1).size(), 1u);
  EXPECT_EQ(a.s.ListView1.NameCopies(1)[0].kind, NameCopyKind::LzhBase);
  EXPECT_EQ(a.s.ListView1.NameCopies(1)[0].bytes, "base.txt");
  EXPECT_EQ(a.s.ListView1.NameCopies(1)[0].position, p + 22);
  EXPECT_EQ(a.Tally(), (Row{"doc=2", "txt=1"}));
}

// Two records (7z writes the first, the others the last), and copies that
// share a key: each key once per row.
TEST(LzhAnalysis, EveryNameRecordIsACopyAndEachKeyIsTalliedOnce) {
  LzhBuilder b;
  LzhEntry e = LzhEntry::Level2("first.exe", BytesOf("1"));
  e.extended.push_back(LzhExtended::FileName("dir/second.EXE"));
  e.extended.push_back(LzhExtended::FileName("last.txt"));
  b.Add(e);
  b.EndMark();
  AnalysedArchive a;
  a.Analyse(b.bytes);
  ASSERT_EQ(a.Rows(), 1u);
  EXPECT_EQ(a.Locator(0)[0], "last.txt");
  EXPECT_EQ(a.s.ListView1.Marks(0), kMarkNamesDiffer);
  ASSERT_EQ(a.s.ListView1.NameCopies(0).size(), 2u);
  EXPECT_EQ(a.s.ListView1.NameCopies(0)[0].bytes, "first.exe");
  EXPECT_EQ(a.s.ListView1.NameCopies(0)[1].bytes, "dir/second.EXE");
  EXPECT_EQ(a.s.ListView1.NameCopies(0)[1].kind, NameCopyKind::LzhRecord);
  EXPECT_EQ(a.Tally(), (Row{"txt=1", "exe=1"}));
  // Ticking "exe" in the tally ticks the row by its copies.
  a.s.ListView5.SetChecked(1, true);
  a.form.N8Click();
  EXPECT_TRUE(a.s.ListView2.Checked(0));
}

TEST(LzhAnalysis, Level2NamesAndFolders) {
  LzhBuilder b;
  // src/main.c: common record at 24 (CRC at 27), file-name record at 29
  // (body 32..41, "." at 40), terminator at 42: H = 44.
  LzhEntry src = LzhEntry::Level2("src/main.c", BytesOf("int x;"));
  b.Add(src);
  LzhEntry docs = LzhEntry::Level2("read.me.TXT", BytesOf("doc"));
  docs.extended.push_back(LzhExtended::RawDirectory(Bytes{'d', 'o', 'c', 's', 0xFF}));
  b.Add(docs);
  LzhEntry deep = LzhEntry::Level2("plain", BytesOf("p"));
  deep.extended.push_back(LzhExtended::Directory("a/b/c/"));
  b.Add(deep);
  b.Add(LzhEntry::Level2("folder", {}));  // no original size: not listed
  b.Add(LzhEntry::Level2("last.c", BytesOf("l")));
  b.EndMark();
  AnalysedArchive a;
  a.Analyse(b.bytes);
  EXPECT_EQ(a.Panel(0), Ui().analysed);
  EXPECT_EQ(a.Panel(1), "Level=2");
  ASSERT_EQ(a.Rows(), 4u);
  EXPECT_EQ(a.Locator(0), (Row{"src\\main.c", "0", "2C", "6", "29", "1B", "0"}));
  EXPECT_EQ(a.Listing(0), (Row{"src\\main.c", "100.0%", "6", "6", ""}));
  // read.me.TXT: Ext after the last "." of the name.
  const uint64_t p1 = b.entries[1].offset;
  EXPECT_EQ(a.Locator(1)[4], test::Hex(p1 + 24 + 5 + 3 + 8));
  EXPECT_EQ(a.Listing(1)[4], "docs\\");
  EXPECT_EQ(a.Listing(2), (Row{"plain", "100.0%", "1", "1", "a\\b\\c\\"}));
  EXPECT_EQ(a.Listing(3)[0], "last.c");
  EXPECT_EQ(a.Listing(3)[4], "");
  EXPECT_EQ(a.Locator(3)[1], test::Hex(b.entries[4].offset));
  EXPECT_EQ(a.Tally(), (Row{"c=2", "txt=1", "=1"}));
}

// Where a level-0 name's extension is, for Ext (the name at 22) and the tally:
// a "." is never a second byte, so after a stray lead byte it is the
// extension's dot; a name ends at its first NUL, as extractors write it.
TEST(LzhAnalysis, ExtWhereTheRewriteMasks) {
  const struct {
    std::string name, caption, ext, tally;
  } cases[] = {
      {std::string("a.b\x81.c"), std::string("a.b\x81.c"), "1B", "c=1"},
      {std::string("evil.exe\0.txt", 13), "evil.exe", "1B", "exe=1"},
  };
  for (const auto& c : cases) {
    LzhBuilder b;
    b.Add(LzhEntry::Level0(c.name, BytesOf("MZ")));
    b.EndMark();
    AnalysedArchive a;
    a.Analyse(b.bytes);
    ASSERT_EQ(a.Rows(), 1u) << c.caption;
    EXPECT_EQ(a.Locator(0)[0], c.caption);
    EXPECT_EQ(a.Locator(0)[4], c.ext) << c.caption;
    EXPECT_EQ(a.Tally(), (Row{c.tally}));
  }
}

TEST(LzhAnalysis, Level2DamagedLineShowsTheNameAsStored) {
  LzhBuilder b;
  LzhEntry src = LzhEntry::Level2("src/main.c", BytesOf("int x;"));
  src.packedSize = 7;  // runs onto the end mark
  b.Add(src);
  b.EndMark();
  AnalysedArchive a;
  a.Analyse(b.bytes);
  EXPECT_EQ(a.Rows(), 0u);
  EXPECT_EQ(a.Log(), (Row{"---", DamagedLine("src/main.c")}));
  EXPECT_EQ(a.Panel(0), Ui().damagedLzh);
}

struct EndCase {
  const char* label;
  Bytes bytes;
  size_t rows;
  std::vector<std::string> log;
  std::string panel0;
  std::string panel1;
};

class LzhEnd : public ::testing::TestWithParam<EndCase> {};

TEST_P(LzhEnd, WalkEndsAsTheRulesSay) {
  const EndCase& c = GetParam();
  AnalysedArchive a;
  a.Analyse(c.bytes);
  EXPECT_EQ(a.Panel(0), c.panel0);
  EXPECT_EQ(a.Panel(1), c.panel1);
  EXPECT_EQ(a.Log(), c.log);
  ASSERT_EQ(a.Rows(), c.rows);
  for (size_t i = 0; i < c.rows; ++i) {
    EXPECT_EQ(a.Locator(i).size(), 7u);
    EXPECT_EQ(a.Listing(i).size(), 5u);
  }
}

std::vector<EndCase> EndCases() {
  const std::string damaged = Ui().damagedLzh;
  const std::string analysed = Ui().analysed;
  std::vector<EndCase> out;
  out.push_back({"no_end_mark", TwoLevel0(false).bytes, 1, {"---", DamagedLine("b.c")}, damaged,
                 "Level=0"});
  {
    LzhBuilder b;
    LzhEntry e = LzhEntry::Level0("A.TXT", BytesOf("hello"));
    e.packedSize = 0xFFFFFFFF;  // 64-bit sums: no wrap back into the file
    b.Add(e);
    b.EndMark();
    out.push_back({"packed_past_end", b.bytes, 0, {"---", DamagedLine("A.TXT")}, damaged, "Level=0"});
  }
  {  // The data ends exactly at the end of the file: no room for the end mark.
    LzhBuilder b;
    b.Add(LzhEntry::Level2("a.c", BytesOf("abc")));
    out.push_back({"data_to_the_end", b.bytes, 0, {"---", DamagedLine("a.c")}, damaged, "Level=2"});
  }
  for (size_t n : {1, 2}) {
    LzhBuilder b;
    b.Add(LzhEntry::Level2("a.c", BytesOf("abc")));
    b.EndMark(n);
    out.push_back({n == 1 ? "level2_one_byte_end_mark" : "level2_two_byte_end_mark", b.bytes, 1,
                   {"---"}, analysed, "Level=2"});
  }
  {  // Junk after a level-2 end mark makes a two-byte size that is not 0.
    LzhBuilder b;
    b.Add(LzhEntry::Level2("a.c", BytesOf("abc")));
    b.EndMark();
    b.Raw(BytesOf("junk"));
    out.push_back({"level2_junk_after_end_mark", b.bytes, 1, {"---"}, damaged, "Level=2"});
  }
  {  // Level 3 has no layout here.
    LzhBuilder b;
    LzhEntry e = LzhEntry::Level2("a.c", BytesOf("abc"));
    e.levelByte = 3;
    b.Add(e);
    b.EndMark();
    out.push_back({"level3_first", b.bytes, 0, {"---"}, damaged, "Level=3"});
  }
  {
    LzhBuilder b = TwoLevel0(false);
    LzhEntry e = LzhEntry::Level0("c.c", BytesOf("c"));
    e.levelByte = 7;
    b.Add(e);
    b.EndMark();
    out.push_back({"level7_later", b.bytes, 2, {"---"}, damaged, "Level=0"});
  }
  for (uint16_t size : {1, 2}) {
    LzhBuilder b;
    b.Add(LzhEntry::Level2("a.c", BytesOf("abc")));
    LzhEntry e = LzhEntry::Level2("b.c", BytesOf("b"));
    e.extended[1].size = size;
    b.Add(e);
    b.EndMark();
    out.push_back({size == 1 ? "record_size_1" : "record_size_2", b.bytes, 1, {"---"}, damaged,
                   "Level=2"});
  }
  {  // The chain's last record points at the end of the file.
    LzhBuilder b;
    b.Add(LzhEntry::Level1("a.c", BytesOf("abc")));
    LzhEntry e = LzhEntry::Level1("b.c", {});
    e.extended.push_back({0x50, Bytes(6, 0x22), std::nullopt});
    e.chainTerminated = false;
    b.Add(e);
    out.push_back({"chain_runs_off_the_end", b.bytes, 1, {"---"}, damaged, "Level=1"});
  }
  {  // A header cut by the end of the file: its fields are not guessed.
    LzhBuilder b = TwoLevel0(false);
    Bytes h = test::EncodeLzhHeader(LzhEntry::Level0("c.c", BytesOf("c")));
    h.resize(12);
    b.Raw(h);
    out.push_back({"cut_level0_header", b.bytes, 2, {"---"}, damaged, "Level=0"});
  }
  {
    LzhBuilder b;
    b.Add(LzhEntry::Level2("a.c", BytesOf("abc")));
    Bytes h = test::EncodeLzhHeader(LzhEntry::Level2("long-name.c", BytesOf("c")));
    h.resize(h.size() - 6);  // inside the file-name record
    b.Raw(h);
    out.push_back({"cut_level2_chain", b.bytes, 1, {"---"}, damaged, "Level=2"});
  }
  {  // Shorter than the first level byte.
    Bytes b = {0x10, 0x00, '-', 'l', 'h', '0', '-', 'x', 'x', 'x', 'x'};
    out.push_back({"shorter_than_level", b, 0, {"---"}, damaged, ""});
  }
  {  // Level 1, packed size smaller than the records: logged, not listed;
     // the walk goes on at E + 2 + packed, the terminating size field, which
     // reads as the end mark.
    LzhBuilder b;
    b.Add(LzhEntry::Level1("ok.c", BytesOf("ok")));
    LzhEntry e = LzhEntry::Level1("bad.c", {});
    e.extended.push_back({0x41, Bytes(4, 0x11), std::nullopt});
    e.packedSize = 5;
    b.Add(e);
    out.push_back({"level1_packed_below_records", b.bytes, 1, {"---", DamagedLine("bad.c")},
                   analysed, "Level=1"});
  }
  return out;
}

INSTANTIATE_TEST_SUITE_P(Cases, LzhEnd, ::testing::ValuesIn(EndCases()),
                         [](const auto& info) { return std::string(info.param.label); });

struct RatioCase {
  uint32_t packed;
  uint32_t original;
  const char* ratio;
};

class LzhRatio : public ::testing::TestWithParam<RatioCase> {};

TEST_P(LzhRatio, OneDecimalOfTheExactRatio) {
  const RatioCase& c = GetParam();
  for (int level : {0, 1}) {
    LzhBuilder b;
    LzhEntry e = LzhEntry::Level0("r.dat", Bytes(c.packed, 'r'));
    e.level = level;
    e.originalSize = c.original;
    b.Add(e);
    LzhEntry next = LzhEntry::Level0("n.txt", BytesOf("n"));  // must not depend on r.dat
    next.level = level;
    b.Add(next);
    b.EndMark();
    AnalysedArchive a;
    a.Analyse(b.bytes);
    ASSERT_EQ(a.Rows(), 2u) << level;
    EXPECT_EQ(a.Listing(0)[1], c.ratio) << level;
    EXPECT_EQ(a.Listing(1)[1], "100.0%") << level;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, LzhRatio,
                         ::testing::Values(RatioCase{1234, 5000, "24.7%"},
                                           RatioCase{1000, 1000, "100.0%"},
                                           RatioCase{1015, 1000, "101.5%"},
                                           RatioCase{0, 10, "0.0%"},
                                           RatioCase{2, 3, "66.7%"},
                                           RatioCase{4, 0, ""}));  // no original size: no ratio

TEST(LzhAnalysis, MixedLevelsAreEachReadByTheirOwnLevel) {
  const Bytes zeros(3, 0);
  LzhBuilder b;
  b.Add(LzhEntry::Level2("a.c", zeros));  // 0: H = 37, name at 32, next 40
  b.Add(LzhEntry::Level1("ab", zeros));   // 40: base 29 bytes, data at 69 (0x45)
  b.Add(LzhEntry::Level0("cd", zeros));   // 72: 26 bytes, data at 98 (0x62)
  b.Add(LzhEntry::Level2("e.c", zeros));  // 101: H = 37, name at 133, data at 138
  b.EndMark();                            // 141
  AnalysedArchive a;
  a.Analyse(b.bytes);
  EXPECT_EQ(a.Panel(0), Ui().analysed);
  EXPECT_EQ(a.Panel(1), "Level=2");  // the first header's
  ASSERT_EQ(a.Rows(), 4u);
  EXPECT_EQ(a.Locator(0), (Row{"a.c", "0", "25", "3", "22", "1B", "0"}));
  EXPECT_EQ(a.Locator(1), (Row{"ab", "28", "45", "3", "0", "0", "40"}));
  EXPECT_EQ(a.Locator(2), (Row{"cd", "48", "62", "3", "0", "0", "60"}));
  EXPECT_EQ(a.Locator(3), (Row{"e.c", "65", "8A", "3", "87", "80", "0"}));
  EXPECT_EQ(a.Tally(), (Row{"c=2", "=2"}));
}

// A level-2 header whose size is a multiple of 256 starts with a 0 byte:
// after a level-0 header it is still a header, not the end mark.
TEST(LzhAnalysis, ALevel2SizeOf256AfterLevel0IsNoEndMark) {
  LzhBuilder b;
  b.Add(LzhEntry::Level0("a.txt", BytesOf("a")));
  LzhEntry big = LzhEntry::Level2("b.exe", BytesOf("b"));
  const size_t h = test::EncodeLzhHeader(big).size();
  big.extended.push_back({0x7F, Bytes(256 - h - 3, 'x'), std::nullopt});
  ASSERT_EQ(test::EncodeLzhHeader(big).size(), 256u);
  b.Add(big);
  b.EndMark();
  AnalysedArchive a;
  a.Analyse(b.bytes);
  EXPECT_EQ(a.Panel(0), Ui().analysed);
  ASSERT_EQ(a.Rows(), 2u);
  EXPECT_EQ(a.Locator(1)[0], "b.exe");
}

TEST(LzhAnalysis, Level1AfterLevel0TakesItsDataStartFromItsOwnChain) {
  LzhBuilder b;
  b.Add(LzhEntry::Level0("ab", BytesOf("first")));
  LzhEntry e = LzhEntry::Level1("cd.x", BytesOf("second"));
  e.extended.push_back(LzhExtended::Common());
  e.extended.push_back({0x41, Bytes(9, 0x33), std::nullopt});
  uint64_t p = b.Add(e);
  b.Add(LzhEntry::Level1("ef", BytesOf("third")));
  b.EndMark();
  AnalysedArchive a;
  a.Analyse(b.bytes);
  EXPECT_EQ(a.Panel(0), Ui().analysed);
  ASSERT_EQ(a.Rows(), 3u);
  const uint64_t e1 = p + 25 + 4;
  EXPECT_EQ(a.Locator(1), (Row{"cd.x", test::Hex(p), test::Hex(b.entries[1].dataStart), "6",
                               test::Hex(p + 22 + 3), test::Hex(e1 + 3), test::Hex(p + 22 + 4)}));
  EXPECT_EQ(a.Locator(2)[1], test::Hex(b.entries[2].offset));
}

TEST(LzhAnalysis, AbortStopsAtTheNextHeader) {
  LzhBuilder b;
  for (const char* n : {"a.c", "b.c", "c.c"}) b.Add(LzhEntry::Level2(n, BytesOf(n)));
  b.EndMark();
  AnalysedArchive a;
  a.PumpEveryCall();
  a.desktop.onPump = [&](long) {
    if (a.s.ListView1.Count() == 1) a.form.Button3Click();
  };
  a.Analyse(b.bytes);
  EXPECT_EQ(a.Panel(0), Ui().aborted);
  EXPECT_EQ(a.Rows(), 2u);  // b.c was being read when "中断" was pressed
}

TEST(LzhAnalysis, PositionsBeyond2GiB) {
  // A level-0 entry of 2 GiB + 10 zero bytes (a hole), then a second entry.
  const uint64_t big = (uint64_t{1} << 31) + 10;
  LzhEntry first = LzhEntry::Level0("big.dat", {});
  first.packedSize = static_cast<uint32_t>(big);
  first.originalSize = static_cast<uint32_t>(big);
  Bytes head = test::EncodeLzhHeader(first);  // 31 bytes
  LzhBuilder tail;
  tail.Add(LzhEntry::Level0("b.c", BytesOf("b")));
  tail.EndMark();
  AnalysedArchive a;
  int fd = ::open(a.path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::pwrite(fd, head.data(), head.size(), 0), static_cast<ssize_t>(head.size()));
  ASSERT_EQ(::pwrite(fd, tail.bytes.data(), tail.bytes.size(), static_cast<off_t>(31 + big)),
            static_cast<ssize_t>(tail.bytes.size()));
  ::close(fd);
  a.PumpEveryCall();
  std::vector<int> gauges;  // as shown at each header's pump
  a.desktop.onPump = [&](long) { gauges.push_back(a.s.Gauge1.Progress()); };
  a.AnalyseFile(a.path);
  EXPECT_EQ(a.Panel(0), Ui().analysed);
  EXPECT_EQ(gauges, (std::vector<int>{0, 99, 99}));  // 100 x position exceeds 32 bits
  ASSERT_EQ(a.Rows(), 2u);
  EXPECT_EQ(a.Locator(0), (Row{"big.dat", "0", "1F", "8000000A", "1A", "0", "1D"}));
  EXPECT_EQ(a.Listing(0)[2], "2,147,483,658");
  EXPECT_EQ(a.Locator(1)[1], "80000029");
}

TEST(LzhAnalysis, FilesOf4GiBAreRefused) {
  AnalysedArchive a;
  int fd = ::open(a.path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::pwrite(fd, "\x20\x00-lh0-", 7, 0), 7);
  ASSERT_EQ(::ftruncate(fd, off_t{1} << 32), 0);  // sparse
  ::close(fd);
  a.AnalyseFile(a.path);
  EXPECT_EQ(a.desktop.messages, Row{Ui().fileTooLarge});
  EXPECT_EQ(a.Panel(0), "");
  EXPECT_EQ(a.Panel(1), "");
  EXPECT_TRUE(a.Log().empty());
  EXPECT_EQ(a.s.LogFilePath, a.dir.File("archive(UnLha).log"));
}

}  // namespace
}  // namespace brim
