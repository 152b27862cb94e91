#include <gtest/gtest.h>

#include "form/Unit1.h"
#include "app/application.h"
#include "base/ui_texts.h"
#include "checksum/crc.h"
#include "rewrite/rewrite_command.h"
#include "rewrite/rewrite_support.h"
#include "support/analysed_archive.h"
#include "support/table_rows.h"
#include "support/lzh_builder.h"
#include "form/Unit1.h"
#include "base/errors.h"
#include <algorithm>
#include "support/scripted_desktop.h"

namespace brim {
namespace {

using test::Bytes;
using test::J;
using test::LzhSpec;

Bytes Pattern(size_t n, uint8_t seed = 1) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 13);
  return b;
}

LzhSpec Entry(std::string name, size_t size = 1000, uint8_t seed = 1) {
  LzhSpec e;
  e.name = std::move(name);
  e.data = Pattern(size, seed);
  e.originalSize = static_cast<uint32_t>(size * 3);
  e.crc = 0xBEEF;
  return e;
}

// The entry as the rewrite must leave it: "-lh0-", zeros, original size equal
// to the data size, CRC 0, the masked name; the builder recomputes the sum
// and header CRC, as a reader would check them.
LzhSpec Neutral(LzhSpec e, std::string nameAfter) {
  e.method = "-lh0-";
  e.data = test::Zeros(e.data.size());
  e.originalSize = static_cast<uint32_t>(e.data.size());
  e.crc = 0;
  e.name = std::move(nameAfter);
  return e;
}

std::string ProgressEnd(uint64_t len) {
  return len < 2 ? J("CRC計算中 0%")
                 : FormatNumbers(J("CRC計算中 %d%%"), CrcProgressPercent(len - 1, len));
}

struct LzhCase {
  const char* label;
  int level;
  std::string name, nameAfter;
  bool extensionLogged;
  bool commonHeader = true;
  bool nameInRecord = false;
  std::optional<std::string> directory = std::nullopt;
};

class LzhEntryRewrite : public ::testing::TestWithParam<LzhCase> {};

TEST_P(LzhEntryRewrite, WritesExactlyTheNamedBytes) {
  const LzhCase& c = GetParam();
  LzhSpec entry = Entry(c.name);
  entry.commonHeader = c.commonHeader;
  entry.nameInRecord = c.nameInRecord;
  entry.directory = c.directory;
  if (c.level == 0) entry.level0Tail = {'U', 0x11, 0x22};
  const LzhSpec keep1 = Entry("keep1.bin", 40, 5), keep2 = Entry("keep2.txt", 7, 9);

  test::TempDir dir;
  const std::string path = dir.File("a.lzh");
  test::Built original = test::BuildLzh(c.level, {keep1, entry, keep2});
  test::WriteFileBytes(path, original.bytes);
  test::Built expected = test::BuildLzh(c.level, {keep1, Neutral(entry, c.nameAfter), keep2});
  ASSERT_EQ(expected.bytes.size(), original.bytes.size());

  test::ScriptedDesktop d;
  ProgramState s(d);
  test::MarkAnalysed(s, path, ArchiveKindType::Lzh, "Level=" + std::to_string(c.level));
  test::AddRow(s, original.rows[0], false);
  test::AddRow(s, original.rows[1], true);
  test::AddRow(s, original.rows[2], false);
  RewriteLzhEntries(s);

  EXPECT_EQ(test::ReadFileBytes(path), expected.bytes);
  const std::string& name = original.rows[1].caption;
  std::vector<std::string> log = {name + J("の中身を書き換えます。"), name + J("を00で上書きしました。"),
                                  J("CRC計算中 99%")};
  if (c.extensionLogged) log.push_back(name + J("の拡張子を変更しました。"));
  if (c.level > 0 && c.commonHeader) {
    uint32_t start = static_cast<uint32_t>(std::stoul(original.rows[1].cells[1], nullptr, 16));
    uint32_t p = static_cast<uint32_t>(std::stoul(original.rows[1].cells[0], nullptr, 16));
    log.push_back(ProgressEnd(start - p));
  }
  log.push_back(name + J("のヘッダを再生成しました。"));
  EXPECT_EQ(s.Memo1.Lines(), log);
  EXPECT_EQ(s.MethodId, (std::array<uint8_t, 5>{'-', 'l', 'h', '0', '-'}));
}

std::vector<LzhCase> Cases() {
  std::vector<LzhCase> cases;
  for (int level : {0, 1, 2}) {
    const std::string sep = level == 2 ? "/" : "\\";
    cases.push_back({"ext", level, "a.txt", "a.tx$", true});
    cases.push_back({"one_char", level, "x.c", "x.$", true});
    cases.push_back({"no_extension", level, "README", "README", false});
    cases.push_back({"ends_in_dot", level, "readme.", "readme.", true});
    // The last dot is in a folder name: logged, nothing written.
    cases.push_back({"dotted_folder", level, "src.old" + sep + "readme", "src.old" + sep + "readme", true});
    cases.push_back({"double_byte", level, J("a.表"), J("a.") + "\x95$", true});
    // Not CP932: the lead byte 0x81 takes the last dot as its second byte, so
    // the extension by the path rules starts at the first dot, while "Ext"
    // follows the last one. Only the name's last byte may change.
    cases.push_back({"dot_after_lead_byte", level, "a.b\x81.c", "a.b\x81.$", true});
    cases.push_back({"cp932_folder", level, J("ソフト") + sep + J("表示.txt"), J("ソフト") + sep + J("表示.tx$"),
                     true});
  }
  cases.push_back({"no_common_header", 1, "a.txt", "a.tx$", true, false});
  cases.push_back({"name_in_record", 1, "b.exe", "b.ex$", true, true, true, std::string("dir\xFF")});
  cases.push_back({"no_common_header", 2, "a.txt", "a.tx$", true, false});
  cases.push_back({"directory_record", 2, "c.js", "c.j$", true, true, false, std::string("docs\xFFsub\xFF")});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Levels, LzhEntryRewrite, ::testing::ValuesIn(Cases()), [](const auto& info) {
  return std::string(info.param.label) + "_level" + std::to_string(info.param.level);
});

struct Fixture {
  test::TempDir dir;
  std::string path = dir.File("t.lzh");
  test::ScriptedDesktop d;
  ProgramState s{d};
  test::Built original;

  Fixture(int level, const std::vector<LzhSpec>& entries) {
    original = test::BuildLzh(level, entries);
    test::WriteFileBytes(path, original.bytes);
    test::MarkAnalysed(s, path, ArchiveKindType::Lzh, "Level=" + std::to_string(level));
    test::AddRows(s, original.rows);
  }
};

TEST(LzhRewrite, TwiceEqualsOnceAtEveryLevel) {
  for (int level : {0, 1, 2}) {
    Fixture f(level, {Entry("a.exe"), Entry("b.txt", 10, 4)});
    RewriteLzhEntries(f.s);
    Bytes once = test::ReadFileBytes(f.path);
    EXPECT_EQ(once, test::BuildLzh(level, {Neutral(Entry("a.exe"), "a.ex$"), Neutral(Entry("b.txt", 10, 4), "b.tx$")})
                        .bytes)
        << level;
    RewriteLzhEntries(f.s);
    EXPECT_EQ(test::ReadFileBytes(f.path), once) << level;
  }
}

TEST(LzhRewrite, EmptyDataStillLogsTheOverwriteAndFixesTheHeader) {
  LzhSpec empty = Entry("e.txt", 0);
  empty.originalSize = 5;
  Fixture f(1, {empty});
  RewriteLzhEntries(f.s);
  EXPECT_EQ(test::ReadFileBytes(f.path), test::BuildLzh(1, {Neutral(empty, "e.tx$")}).bytes);
  EXPECT_EQ(f.s.Memo1.Line(1), "e.txt" + J("を00で上書きしました。"));
  EXPECT_EQ(f.s.Memo1.Line(2), J("CRC計算中 0%"));
}

TEST(LzhRewrite, UnreadableCellStopsBeforeAnyWrite) {
  Fixture f(0, {Entry("a.exe"), Entry("b.exe"), Entry("c.exe")});
  f.s.ListView1.SetAbsent(1, kColOffsetI);
  EXPECT_FALSE(RunCommand(f.d, [&] { RewriteLzhEntries(f.s); }));
  EXPECT_EQ(f.d.errors, std::vector<std::string>{J("'$' は整数ではありません.")});
  EXPECT_EQ(test::ReadFileBytes(f.path), f.original.bytes);
}

TEST(LzhRewrite, RefusesWithoutAKnownLevelOrAnalysis) {
  for (const char* panel1 : {"", "Level=3", "0"}) {
    Fixture f(2, {Entry("a.exe")});
    test::SetPanelText(f.s.StatusBar1, kPanelDetail, panel1);
    RewriteLzhEntries(f.s);
    EXPECT_EQ(f.d.messages, std::vector<std::string>{J("解析されていません")}) << panel1;
    EXPECT_EQ(test::ReadFileBytes(f.path), f.original.bytes);
  }
  Fixture f(2, {Entry("a.exe")});
  test::SetPanelText(f.s.StatusBar1, kPanelState, J("中断しました"));
  RewriteLzhEntries(f.s);
  EXPECT_EQ(f.d.messages, std::vector<std::string>{J("解析されていません")});
  EXPECT_EQ(test::ReadFileBytes(f.path), f.original.bytes);
}

// A row whose cells point into another entry (as a level-2 chain followed
// past its header once made them) disagrees with its header as it reads
// now: that row is left alone and reported, so only the ticked entries' own
// bytes can ever change, and the other ticked rows are still done.
TEST(LzhRewrite, PositionsInAnotherEntryAreRefused) {
  for (EntryColumn col : {kColExtI, kColExt, kColOffsetI, kColStart, kColSize}) {
    Fixture f(1, {Entry("a.exe"), Entry("b.exe"), Entry("c.exe")});
    f.s.ListView2.SetChecked(1, false);
    f.s.ListView1.SetValue(0, col, f.s.ListView1.Value(1, kColStart) - 2);
    EXPECT_TRUE(RunCommand(f.d, [&] { RewriteLzhEntries(f.s); })) << col;
    ASSERT_EQ(f.s.RowsNotDone.size(), 1u) << col;
    EXPECT_EQ(f.s.RowsNotDone[0].row, 0u);
    EXPECT_EQ(f.s.RowsNotDone[0].reason, "a.exe" + Ui().rowHeaderDisagrees);
    const Bytes got = test::ReadFileBytes(f.path);
    const uint32_t second = f.s.ListView1.Value(2, kColOffset);
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + second, f.original.bytes.begin())) << col;
    EXPECT_EQ(got, test::BuildLzh(1, {Entry("a.exe"), Entry("b.exe"), Neutral(Entry("c.exe"), "c.ex$")}).bytes)
        << col;
  }
}

// Positions past the end of the file (an analysis of a longer file, here
// noted as this one): refused before the first write.
TEST(LzhRewrite, PositionsPastTheEndAreRefusedBeforeAnyWrite) {
  for (int level : {0, 1, 2}) {
    Fixture f(level, {Entry("a.exe"), Entry("b.exe")});
    Bytes shortened(f.original.bytes.begin(), f.original.bytes.end() - 10);  // into b.exe's data
    test::WriteFileBytes(f.path, shortened);
    test::NoteAnalysedFile(f.s, f.path);
    EXPECT_FALSE(RunCommand(f.d, [&] { RewriteLzhEntries(f.s); }));
    EXPECT_EQ(f.d.errors, std::vector<std::string>{J("ファイル ") + f.path + J(" は解析後に変更されています.")});
    EXPECT_EQ(test::ReadFileBytes(f.path), shortened) << level;
  }
}

// Headers of different levels in one archive: each entry is listed, checked
// and written by its own level, whatever level the first header has.
class MixedLevels : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(MixedLevels, EachEntryIsRewrittenByItsOwnLevel) {
  const auto [first, second] = GetParam();
  const LzhSpec a = Entry("a.exe", 30, 2), b = Entry("b.txt", 20, 5);
  auto join = [&](const LzhSpec& x, const LzhSpec& y) {
    Bytes out = test::BuildLzh(first, {x}).bytes;
    out.pop_back();  // the first archive's end byte
    const Bytes rest = test::BuildLzh(second, {y}).bytes;
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
  };
  test::TempDir dir;
  const std::string path = dir.File("m.lzh");
  test::WriteFileBytes(path, join(a, b));
  test::ScriptedDesktop d;
  d.answers = {Answer::Yes, Answer::No};
  TForm1 form(d);
  form.DropFiles({path});
  form.Zip1Click();
  ASSERT_EQ(form.state.StatusBar1.Panel(kPanelState), Ui().analysed);
  ASSERT_EQ(form.state.ListView1.Count(), 2u);
  form.N9Click();
  ASSERT_TRUE(RunCommand(d, [&] { form.N2Click(); }));
  EXPECT_EQ(test::ReadFileBytes(path), join(Neutral(a, "a.ex$"), Neutral(b, "b.tx$")));
}

INSTANTIATE_TEST_SUITE_P(Pairs, MixedLevels,
                         ::testing::Values(std::pair{0, 1}, std::pair{1, 0}, std::pair{0, 2},
                                           std::pair{1, 2}, std::pair{2, 0}, std::pair{2, 1}),
                         [](const auto& info) {
                           return "level" + std::to_string(info.param.first) + "_then_level" +
                                  std::to_string(info.param.second);
                         });

}  // namespace
}  // namespace brim

