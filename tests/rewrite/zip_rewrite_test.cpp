#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/resource.h>
#include <unistd.h>

#include "app/application.h"
#include "base/ui_texts.h"
#include "rewrite/rewrite_command.h"
#include "rewrite/rewrite_support.h"
#include "support/scripted_desktop.h"
#include "support/table_rows.h"

namespace brim {
namespace {

using test::Bytes;
using test::J;
using test::ZipSpec;

Bytes Pattern(size_t n, uint8_t seed = 1) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 7);
  return b;
}

// The entry as the rewrite must leave it: stored, zeros, their CRC and size.
std::string Masked(std::string name) {
  name.back() = '$';
  return name;
}

ZipSpec Neutral(ZipSpec e, std::string localName, std::string centralName) {
  const std::string oldCentral = e.centralName ? *e.centralName : e.name;
  e.method = 0;
  e.data = test::Zeros(e.data.size());
  e.crc = test::Crc32Of(e.data);
  e.originalSize = static_cast<uint32_t>(e.data.size());
  e.name = localName;
  e.centralName = centralName;
  return e;
}

struct ZipCase {
  const char* label;
  std::string local, central;                  // names before
  std::string localAfter, centralAfter;        // names after
  bool extensionLogged;
};

class ZipEntryRewrite : public ::testing::TestWithParam<ZipCase> {};

// One deflated entry between two untouched ones: only its fields change, in
// both headers, and the log has the overwrite, progress and extension lines.
TEST_P(ZipEntryRewrite, WritesExactlyTheNamedBytes) {
  const ZipCase& c = GetParam();
  ZipSpec before{"x/keep1.bin", std::nullopt, 8, 0, Pattern(40, 3), 90, 0x11111111};
  ZipSpec entry{c.local, c.central, 8, 0x0002, Pattern(1000), 5000, 0xDEADBEEF};
  entry.localExtra = {0x55, 0x54, 0x01, 0x00, 0x07};
  entry.comment = test::BytesOf("note");
  ZipSpec after{"keep2.txt", std::nullopt, 0, 0, Pattern(7, 9), 7, 0x22222222};

  test::TempDir dir;
  const std::string path = dir.File("a.zip");
  test::Built original = test::BuildZip({before, entry, after}, 16);
  test::WriteFileBytes(path, original.bytes);
  test::Built expected =
      test::BuildZip({before, Neutral(entry, c.localAfter, c.centralAfter), after}, 16);
  ASSERT_EQ(expected.bytes.size(), original.bytes.size());

  test::ScriptedDesktop d;
  ProgramState s(d);
  test::MarkAnalysed(s, path, ArchiveKindType::Zip, "16");
  test::AddRow(s, original.rows[0], false);
  test::AddRow(s, original.rows[1], true);
  test::AddRow(s, original.rows[2], false);
  RewriteZipEntries(s);

  EXPECT_EQ(test::ReadFileBytes(path), expected.bytes);
  std::vector<std::string> log = {original.rows[1].caption + J("を00で上書きしました。"),
                                  J("CRC計算中 99%")};
  if (c.extensionLogged) log.push_back(original.rows[1].caption + J("の拡張子を変更しました。"));
  EXPECT_EQ(s.Memo1.Lines(), log);
  EXPECT_TRUE(d.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Names, ZipEntryRewrite,
    ::testing::Values(
        ZipCase{"exe_in_folder", "dir/setup.EXE", "dir/setup.EXE", "dir/setup.EX$", "dir/setup.EX$", true},
        ZipCase{"one_char", "a.c", "a.c", "a.$", "a.$", true},
        ZipCase{"no_extension", "README", "README", "README", "README", false},
        ZipCase{"ends_in_dot", "readme.", "readme.", "readme.", "readme.", true},
        ZipCase{"dotted_folder", "v1.2/readme", "v1.2/readme", "v1.2/readme", "v1.2/readme", false},
        // 表 is 0x95 0x5C: the mask keeps the lead byte and turns the second into "$".
        ZipCase{"double_byte", J("a.表"), J("a.表"), J("a.") + "\x95$", J("a.") + "\x95$", true},
        ZipCase{"cp932_folder", J("ソフト/表示.txt"), J("ソフト/表示.txt"), J("ソフト/表示.tx$"),
                J("ソフト/表示.tx$"), true},
        ZipCase{"central_without_extension", "a.txt", "a_txt", "a.tx$", "a_txt", true},
        // The central name is what most extractors write: it is masked by
        // its own extension.
        ZipCase{"local_without_extension", "a_txt", "a.txt", "a_txt", "a.tx$", false},
        // The local mask "tx$" at the central extension "c": only the byte
        // inside the central name is written, the mask's last one, so the
        // central name ends in "$" too; what follows the name stays.
        ZipCase{"central_extension_shorter", "a.txt", "a.c", "a.tx$", "a.$", true},
        ZipCase{"central_extension_longer", "a.c", "a.txt", "a.$", "a.$xt", true}),
    [](const auto& info) { return std::string(info.param.label); });

struct Fixture {
  test::TempDir dir;
  std::string path = dir.File("t.zip");
  test::ScriptedDesktop d;
  ProgramState s{d};
  test::Built original;

  explicit Fixture(const std::vector<ZipSpec>& entries) {
    original = test::BuildZip(entries);
    test::WriteFileBytes(path, original.bytes);
    test::MarkAnalysed(s, path, ArchiveKindType::Zip, "0");
    test::AddRows(s, original.rows);
  }
};

TEST(ZipRewrite, EmptyDataEntryGetsZeroFieldsAndAStillProgressLine) {
  // Compressed size 0 with an original size: listed, so it can be ticked.
  Fixture f({ZipSpec{"e.txt", std::nullopt, 8, 0, {}, 12, 0x12345678}});
  RewriteZipEntries(f.s);
  Bytes expected = test::BuildZip({ZipSpec{"e.tx$", std::nullopt, 0, 0, {}, 0, 0}}).bytes;
  EXPECT_EQ(test::ReadFileBytes(f.path), expected);
  EXPECT_EQ(f.s.Memo1.Line(1), J("CRC計算中 0%"));
}

// A neutralised entry is a plain stored entry: its encryption flags go; the
// descriptor flag stays.
TEST(ZipRewrite, EncryptionFlagsAreClearedDescriptorFlagStays) {
  ZipSpec encrypted{"s.doc", std::nullopt, 8, 0x0041, Pattern(30), 50, 1};
  ZipSpec described{"d.js", std::nullopt, 8, 0x0008, Pattern(20), 40, 2};
  described.data.insert(described.data.end(), {0x50, 0x4B, 0x07, 0x08});  // kept as data here
  Fixture f({encrypted, described});
  RewriteZipEntries(f.s);
  ZipSpec clear = Neutral(encrypted, "s.do$", "s.do$");
  clear.flags = 0;
  Bytes expected = test::BuildZip({clear, Neutral(described, "d.j$", "d.j$")}).bytes;
  EXPECT_EQ(test::ReadFileBytes(f.path), expected);
}

TEST(ZipRewrite, TwiceEqualsOnceAndUntickedEntriesStay) {
  Fixture f({ZipSpec{"a.exe", std::nullopt, 8, 0, Pattern(300), 900, 1},
             ZipSpec{"b.txt", std::nullopt, 8, 0, Pattern(50), 90, 2},
             ZipSpec{"c.js", std::nullopt, 0, 0, Pattern(20), 20, 3}});
  f.s.ListView2.SetChecked(1, false);
  RewriteZipEntries(f.s);
  Bytes once = test::ReadFileBytes(f.path);
  RewriteZipEntries(f.s);
  EXPECT_EQ(test::ReadFileBytes(f.path), once);
  Bytes expected = test::BuildZip({Neutral({"a.exe", std::nullopt, 8, 0, Pattern(300), 900, 1}, "a.ex$", "a.ex$"),
                                   ZipSpec{"b.txt", std::nullopt, 8, 0, Pattern(50), 90, 2},
                                   Neutral({"c.js", std::nullopt, 0, 0, Pattern(20), 20, 3}, "c.j$", "c.j$")})
                       .bytes;
  EXPECT_EQ(once, expected);
  // Per entry, in table order: overwrite, progress, extension.
  ASSERT_EQ(f.s.Memo1.Count(), 12u);
  EXPECT_EQ(f.s.Memo1.Line(3), "c.js" + J("を00で上書きしました。"));
  EXPECT_EQ(f.s.Memo1.Line(5), "c.js" + J("の拡張子を変更しました。"));
}

// A row without a central header blocks no other row: it gets its local
// parts, and its central header, found by nobody, stays.
TEST(ZipRewrite, RowWithoutCentralHeaderGetsItsLocalPartsAndBlocksNoOther) {
  const std::vector<ZipSpec> entries = {ZipSpec{"a.exe", std::nullopt, 8, 0, Pattern(30), 90, 1},
                                        ZipSpec{"b.exe", std::nullopt, 8, 0, Pattern(30), 90, 2},
                                        ZipSpec{"c.exe", std::nullopt, 8, 0, Pattern(30), 90, 3}};
  Fixture f(entries);
  f.s.ListView1.SetAbsent(1, kColExtI);
  f.s.ListView1.SetAbsent(1, kColOffsetI);
  EXPECT_TRUE(RunCommand(f.d, [&] { RewriteZipEntries(f.s); }));
  EXPECT_TRUE(f.d.errors.empty());
  std::vector<ZipSpec> neutral;
  for (const ZipSpec& e : entries) neutral.push_back(Neutral(e, Masked(e.name), Masked(e.name)));
  Bytes expected = test::BuildZip(neutral).bytes;
  const size_t central = std::stoul(f.original.rows[1].cells[kColOffsetI], nullptr, 16);
  std::copy_n(f.original.bytes.begin() + central, 46 + 5, expected.begin() + central);
  EXPECT_EQ(test::ReadFileBytes(f.path), expected);
  EXPECT_TRUE(f.s.RowsNotDone.empty());
}

TEST(ZipRewrite, TickSetDuringTheRewriteIsHonouredUntickAlso) {
  Fixture f({ZipSpec{"a.exe", std::nullopt, 8, 0, Pattern(500), 900, 1},
             ZipSpec{"b.exe", std::nullopt, 8, 0, Pattern(30), 90, 2},
             ZipSpec{"c.exe", std::nullopt, 8, 0, Pattern(30), 90, 3}});
  f.s.ListView2.SetChecked(2, false);
  f.s.ProcessMessages.SetThrottle(1, std::chrono::microseconds(0));
  f.d.onPump = [&](long) {  // the user clicks while a.exe's CRC runs
    f.s.ListView2.SetChecked(1, false);
    f.s.ListView2.SetChecked(2, true);
  };
  RewriteZipEntries(f.s);
  Bytes now = test::ReadFileBytes(f.path);
  Bytes expected = test::BuildZip({Neutral({"a.exe", std::nullopt, 8, 0, Pattern(500), 900, 1}, "a.ex$", "a.ex$"),
                                   ZipSpec{"b.exe", std::nullopt, 8, 0, Pattern(30), 90, 2},
                                   Neutral({"c.exe", std::nullopt, 8, 0, Pattern(30), 90, 3}, "c.ex$", "c.ex$")})
                       .bytes;
  EXPECT_EQ(now, expected);
}

TEST(ZipRewrite, NotAnalysedShowsTheBoxAndOpensNothing) {
  test::ScriptedDesktop d;
  ProgramState s(d);
  s.Label1.SetCaption("/nonexistent/x.zip");
  test::SetPanelText(s.StatusBar1, kPanelState, J("中断しました"));
  test::AddRow(s, {"a.txt", test::HexCells(0, 30, 1, 33, 0, 0)});
  RewriteZipEntries(s);  // would throw CannotOpen if it opened the file
  EXPECT_EQ(d.messages, std::vector<std::string>{J("解析されていません")});
}

// Positions past the end of the file (an analysis of a longer file, here
// noted as this one): each row they concern is refused alone, before its
// first write, and reported; the length never changes.
TEST(ZipRewrite, PositionsPastTheEndAreRefusedRowByRow) {
  std::vector<ZipSpec> entries = {ZipSpec{"a.exe", std::nullopt, 8, 0, Pattern(30), 90, 1},
                                  ZipSpec{"b.exe", std::nullopt, 8, 0, Pattern(30), 90, 2}};
  // 28: into b.exe's central header; 79: into a.exe's as well.
  for (size_t cut : {std::size_t{28}, std::size_t{79}}) {
    Fixture f(entries);
    Bytes shortened(f.original.bytes.begin(), f.original.bytes.end() - cut);
    test::WriteFileBytes(f.path, shortened);
    test::NoteAnalysedFile(f.s, f.path);
    EXPECT_TRUE(RunCommand(f.d, [&] { RewriteZipEntries(f.s); }));
    EXPECT_TRUE(f.d.errors.empty());
    const std::string reason = J("ファイル ") + f.path + J(" は解析後に変更されています");
    std::vector<size_t> refused;
    for (const auto& r : f.s.RowsNotDone) {
      refused.push_back(r.row);
      EXPECT_EQ(r.reason, reason);
    }
    EXPECT_EQ(refused, (cut == 28 ? std::vector<size_t>{1} : std::vector<size_t>{0, 1}));
    EXPECT_EQ(f.s.Memo1.Lines().back(), "b.exe" + J("は書き換えられませんでした（") + reason + J("）"));
    Bytes now = test::ReadFileBytes(f.path);
    ASSERT_EQ(now.size(), shortened.size()) << cut;
    // a.exe is done exactly when its central header is whole; b.exe never.
    const size_t bLocal = std::stoul(f.original.rows[1].cells[kColOffset], nullptr, 16);
    const size_t aStart = std::stoul(f.original.rows[0].cells[kColStart], nullptr, 16);
    const size_t directory = std::stoul(f.original.rows[0].cells[kColOffsetI], nullptr, 16);
    EXPECT_EQ(now[aStart] == 0, cut == 28) << cut;
    EXPECT_TRUE(std::equal(now.begin() + bLocal, now.begin() + directory, shortened.begin() + bLocal)) << cut;
  }
}

// A write that fails (here: beyond the process's file size limit, as a full
// disk would) ends the command with the error box naming the file.
TEST(ZipRewrite, FailedWriteIsReported) {
  Fixture f({ZipSpec{"a.exe", std::nullopt, 8, 0, Pattern(3000), 9000, 1}});
  struct rlimit old {};
  getrlimit(RLIMIT_FSIZE, &old);
  auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  struct rlimit low = old;
  low.rlim_cur = 100;
  setrlimit(RLIMIT_FSIZE, &low);
  bool ok = RunCommand(f.d, [&] { RewriteZipEntries(f.s); });
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(ok);
  ASSERT_EQ(f.d.errors.size(), 1u);
  EXPECT_EQ(f.d.errors[0], J("ファイル ") + f.path + J(" に書き込めません."));
  EXPECT_EQ(test::ReadFileBytes(f.path).size(), f.original.bytes.size());
}

}  // namespace
}  // namespace brim

namespace brim {
namespace {

// Archives between 2 and 4 GiB: an archive placed 3 GiB into a sparse file
// is rewritten at its own positions and nowhere else (a write at a wrapped
// 32-bit position would allocate a block in the hole before it).
TEST(ZipRewrite, PositionsBeyondTwoGibibytes) {
  const uint64_t base = 0xC0000000ull;
  for (bool lzh : {false, true}) {
    test::Built archive = lzh ? test::BuildLzh(1, {test::LzhSpec{"big.exe", "-lh5-", Pattern(5000), 9000, 77}})
                              : test::BuildZip({ZipSpec{"big.exe", std::nullopt, 8, 0, Pattern(5000), 9000, 7}});
    test::Built expected = lzh ? test::BuildLzh(1, {test::LzhSpec{"big.ex$", "-lh0-", test::Zeros(5000), 5000, 0}})
                               : test::BuildZip({ZipSpec{"big.ex$", std::nullopt, 0, 0, test::Zeros(5000), 5000,
                                                         test::Crc32Of(test::Zeros(5000))}});
    test::TempDir dir;
    const std::string path = dir.File("sparse");
    {
      FILE* f = std::fopen(path.c_str(), "wb");
      ASSERT_NE(f, nullptr);
      ASSERT_EQ(fseeko(f, static_cast<off_t>(base), SEEK_SET), 0);
      ASSERT_EQ(std::fwrite(archive.bytes.data(), 1, archive.bytes.size(), f), archive.bytes.size());
      std::fclose(f);
    }
    struct stat before {};
    ASSERT_EQ(stat(path.c_str(), &before), 0);

    test::ScriptedDesktop d;
    ProgramState s(d);
    test::MarkAnalysed(s, path, lzh ? ArchiveKindType::Lzh : ArchiveKindType::Zip, lzh ? "Level=1" : "0");
    test::Row row = archive.rows[0];
    for (size_t col : {kColOffset, kColStart, kColExt, kColExtI, kColOffsetI}) {  // not the size
      uint64_t v = std::stoull(row.cells[col], nullptr, 16);
      if (v != 0 || col == kColOffset) row.cells[col] = test::HexCells(v + base, 0, 0, 0, 0, 0)[0];
    }
    test::AddRow(s, row);
    if (lzh) RewriteLzhEntries(s);
    else RewriteZipEntries(s);
    EXPECT_TRUE(d.errors.empty() && d.messages.empty());

    struct stat after {};
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_size, before.st_size);
    EXPECT_EQ(after.st_blocks, before.st_blocks) << lzh;
    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(fseeko(f, static_cast<off_t>(base), SEEK_SET), 0);
    Bytes tail(archive.bytes.size());
    ASSERT_EQ(std::fread(tail.data(), 1, tail.size(), f), tail.size());
    std::fclose(f);
    EXPECT_EQ(tail, expected.bytes) << lzh;
  }
}

}  // namespace
}  // namespace brim
