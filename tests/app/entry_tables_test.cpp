#include <gtest/gtest.h>

#include <cstdio>

#include "form/Unit1.h"
#include "app/application.h"
#include "app/check_marks.h"
#include "app/entry_tables.h"
#include "app/log_pane.h"
#include "base/cp932.h"
#include "base/errors.h"
#include "base/ui_texts.h"
#include "support/scripted_desktop.h"
#include "support/table_rows.h"
#include "support/test_files.h"

namespace brim {
namespace {

using test::J;

TEST(FormatThousands, GroupBoundaries) {
  const std::pair<int64_t, const char*> cases[] = {
      {0, "0"},          {12, "12"},         {100, "100"},           {999, "999"},
      {1000, "1,000"},   {123456, "123,456"}, {1000000, "1,000,000"}, {1234567, "1,234,567"},
      {4294967295, "4,294,967,295"}};
  for (auto [value, text] : cases) EXPECT_EQ(FormatThousands(value), text);
}

// Every count of digits, at and either side of each power of ten, against
// the library's decimal text with commas put in by hand.
TEST(FormatThousands, EveryDigitCount) {
  std::vector<uint64_t> values{0, 9, UINT64_MAX};
  for (uint64_t p = 10;; p *= 10) {
    values.insert(values.end(), {p - 1, p, p + 1});
    if (p > UINT64_MAX / 10) break;
  }
  for (uint64_t v : values) {
    const std::string plain = std::to_string(v);
    std::string grouped;
    for (size_t i = 0; i < plain.size(); ++i) {
      if (i > 0 && (plain.size() - i) % 3 == 0) grouped += ',';
      grouped += plain[i];
    }
    char buf[32];
    EXPECT_EQ(std::string(buf, FormatDecimalTo(buf, v)), plain);
    EXPECT_EQ(std::string(buf, FormatThousandsTo(buf, v)), grouped);
  }
}

TEST(EntryTables, FindLocatorRowReturnsTheLowestEqualRow) {
  test::ScriptedDesktop d;
  ProgramState s(d);
  EXPECT_EQ(FindLocatorRow(s, 0), -1);
  test::AddEntry(s.ListView1, "a", {"10"});
  test::AddEntry(s.ListView1, "b", {"20"});
  EXPECT_EQ(FindLocatorRow(s, 0x20), 1);
  test::AddEntry(s.ListView1, "c", {"20"});
  EXPECT_EQ(FindLocatorRow(s, 0x20), 1);  // in ascending order
  test::AddEntry(s.ListView1, "d", {"5"});
  EXPECT_EQ(FindLocatorRow(s, 0x20), 1);
  EXPECT_EQ(FindLocatorRow(s, 0x5), 3);
  s.ListView1.SetValue(0, kColOffset, 0x5);
  EXPECT_EQ(FindLocatorRow(s, 0x5), 0);
  EXPECT_EQ(FindLocatorRow(s, 0x10), -1);
  s.ListView1.Clear();
  EXPECT_EQ(FindLocatorRow(s, 0x5), -1);
}

TEST(EntryTables, TallyCountsKeysAndFollowsEditedCaptions) {
  test::ScriptedDesktop d;
  ProgramState s(d);
  for (const char* name : {"A.TXT", "b.txt", "c.Txt", "README", "archive.tar.gz", "file."}) {
    TallyExtension(s, ExtensionKey(name));
  }
  ASSERT_EQ(s.ListView5.Count(), 3u);
  EXPECT_EQ(s.ListView5.Caption(0), "txt");
  EXPECT_EQ(s.ListView5.Text(0, 1), "3");
  EXPECT_EQ(s.ListView5.Caption(1), "");
  EXPECT_EQ(s.ListView5.Text(1, 1), "2");
  EXPECT_EQ(s.ListView5.Caption(2), "gz");
  // A user edit makes two rows read "gz": both count the next one.
  s.ListView5.SetCaption(0, "gz");
  TallyExtension(s, "gz");
  EXPECT_EQ(s.ListView5.Text(0, 1), "4");
  EXPECT_EQ(s.ListView5.Text(2, 1), "2");
  TallyExtension(s, "txt");
  EXPECT_EQ(s.ListView5.Count(), 4u);
}

struct CheckCase {
  const char* label;
  std::vector<std::string> listing;
  std::vector<bool> before;
  std::vector<std::pair<std::string, bool>> tally;
  std::vector<bool> after;
};

class CheckByExtensionTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(CheckByExtensionTest, TicksMatchingRowsOnly) {
  const CheckCase& c = GetParam();
  test::ScriptedDesktop d;
  ProgramState s(d);
  for (size_t i = 0; i < c.listing.size(); ++i) {
    test::AddEntry(s.ListView2, c.listing[i]);
    s.ListView2.SetChecked(i, c.before[i]);
  }
  for (size_t i = 0; i < c.tally.size(); ++i) {
    s.ListView5.Add(c.tally[i].first, 1);
    s.ListView5.SetChecked(i, c.tally[i].second);
  }
  CheckByTalliedExtensions(s);
  for (size_t i = 0; i < c.listing.size(); ++i) EXPECT_EQ(s.ListView2.Checked(i), c.after[i]) << i;
  for (size_t i = 0; i < c.tally.size(); ++i) EXPECT_EQ(s.ListView5.Checked(i), c.tally[i].second);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CheckByExtensionTest,
    ::testing::Values(
        CheckCase{"none ticked", {"a.txt"}, {false}, {{"txt", false}}, {false}},
        CheckCase{"txt and jpg", {"a.TXT", "b.txt", "c.jpg", "d.doc"}, {false, false, false, true},
                  {{"txt", true}, {"jpg", true}, {"doc", false}}, {true, true, true, true}},
        CheckCase{"edited caption", {"a.txt", "b.doc"}, {false, false}, {{"doc", true}}, {false, true}},
        CheckCase{"double dot", {"x.tar.gz", "y.tar"}, {false, false}, {{"gz", true}}, {true, false}},
        CheckCase{"empty key", {"src.old\\readme", "readme.", "a.b", "noext"},
                  {false, false, false, false}, {{"", true}}, {true, true, false, true}},
        CheckCase{"cp932 folder", {J("ソ\\x.TXT")}, {false}, {{"txt", true}}, {true}},
        // 表 is 0x95 0x5C: its second byte is no separator, so the key is 表.
        CheckCase{"trail byte 5C", {J("a.表"), J("ソ.ソ")}, {false, false}, {{J("表"), true}}, {true, false}},
        // "c.d:e" is the stream e of the file c.d: its key is "d".
        CheckCase{"drive", {"c:readme", "c:x.TXT", "c.d:e"}, {false, false, false}, {{"", true}},
                  {true, false, false}}),
    [](const auto& info) {
      std::string n = info.param.label;
      for (char& ch : n) if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return n;
    });

TEST(CheckMarks, DangerousTicksListedKeysOnlyAndKeepsTicks) {
  test::ScriptedDesktop d;
  ProgramState s(d);
  // Upper case, a folder, a double extension, a key with a hyphen, a key
  // that only starts like a listed one, no extension, an earlier tick kept.
  const std::pair<std::string, bool> rows[] = {
      {"SETUP.EXE", true}, {"doc\\a.js", true}, {"invoice.pdf.scr", true},
      {"x.appref-ms", true}, {"y.exe1", false}, {"readme", false}, {"exe.txt", false}};
  for (const auto& row : rows) test::AddEntry(s.ListView2, row.first);
  s.ListView2.SetChecked(5, true);
  CheckDangerous(s);
  for (size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_EQ(s.ListView2.Checked(i), rows[i].second || i == 5) << rows[i].first;
  }
}

TEST(CheckMarks, AllNoneInvert) {
  test::ScriptedDesktop d;
  TForm1 f(d);
  f.N9Click();  // empty listing: nothing happens
  for (const char* n : {"a", "b", "c"}) test::AddEntry(f.state.ListView2, n);
  f.state.ListView2.SetChecked(1, true);
  f.N11Click();
  EXPECT_TRUE(f.state.ListView2.Checked(0));
  EXPECT_FALSE(f.state.ListView2.Checked(1));
  f.N11Click();
  EXPECT_FALSE(f.state.ListView2.Checked(0));
  EXPECT_TRUE(f.state.ListView2.Checked(1));
  f.N9Click();
  EXPECT_EQ(CountChecked(f.state), 3u);
  f.N10Click();
  EXPECT_EQ(CountChecked(f.state), 0u);
}

TEST(LogFile, WritesCp932LinesWithCrLfOrRefuses) {
  test::TempDir dir;
  test::ScriptedDesktop d;
  TForm1 f(d);
  f.N4Click();
  ASSERT_EQ(d.messages.size(), 1u);
  EXPECT_EQ(d.messages[0], J("ファイル名が設定されていません"));

  f.state.LogFilePath = LogFilePathFor(dir.Path() + "/a.b/pack", Ui().logFileSuffixZip);
  EXPECT_EQ(f.state.LogFilePath, dir.Path() + "/a.b/pack(Unzip).log");
  f.state.LogFilePath = LogFilePathFor(dir.File("pack.lzh"), Ui().logFileSuffixLzh);
  EXPECT_EQ(f.state.LogFilePath, dir.File("pack(UnLha).log"));
  f.state.Memo1.Append("---");
  f.state.Memo1.Append(J("表.txtを00で上書きしました。"));
  f.state.Memo1.Append("");
  f.N4Click();
  test::Bytes expected = test::BytesOf("---\r\n" + J("表.txtを00で上書きしました。") + "\r\n\r\n");
  EXPECT_EQ(test::ReadFileBytes(f.state.LogFilePath), expected);
  f.kuria1Click();
  f.N4Click();
  EXPECT_TRUE(test::ReadFileBytes(f.state.LogFilePath).empty());

  // A folder that does not exist: the error box names the file, the pane stays.
  f.state.LogFilePath = dir.Path() + "/missing/x(Unzip).log";
  f.state.Memo1.Append("kept");
  EXPECT_FALSE(RunCommand(d, [&] { f.N4Click(); }));
  ASSERT_EQ(d.errors.size(), 1u);
  EXPECT_EQ(d.errors[0],
            J("ファイル ") + dir.Path() + J("/missing/x(Unzip).log を作成できません（そのようなフォルダはありません）."));
  EXPECT_EQ(f.state.Memo1.Count(), 1u);
}

TEST(Application, ErrorBoxAddsTheDotByTheRule) {
  EXPECT_EQ(ErrorBoxText("abc"), "abc.");
  EXPECT_EQ(ErrorBoxText("abc."), "abc.");
  EXPECT_EQ(ErrorBoxText("abc "), "abc ");
  EXPECT_EQ(ErrorBoxText(J("ません")), J("ません") + ".");
}

TEST(Form1, SelectionClearsPanelsAndAbortNeedsAPath) {
  test::ScriptedDesktop d;
  TForm1 f(d);
  EXPECT_EQ(f.state.ArchiveKind, ArchiveKindType::Lzh);
  f.Button3Click();
  EXPECT_FALSE(f.state.AbortRequested);
  f.state.StatusBar1.SetOutcome(AnalysisOutcome::DamagedZip);
  f.state.StatusBar1.SetLeadingBytes(5);
  f.state.StatusBar1.SetProgress("x");
  test::AddEntry(f.state.ListView2, "kept");
  f.DropFiles({"/tmp/first.zip", "/tmp/second.zip", "/tmp/third.zip"});
  EXPECT_EQ(f.state.Label1.Caption(), "/tmp/first.zip");
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(f.state.StatusBar1.Panel(i), "");
  EXPECT_EQ(f.state.StatusBar1.Outcome(), AnalysisOutcome::None);
  EXPECT_FALSE(f.state.StatusBar1.LeadingBytes());
  EXPECT_EQ(f.state.ListView2.Count(), 1u);

  std::string longPath = "/tmp/" + std::string(400, 'x') + ".zip";  // taken whole
  f.DropFiles({longPath});
  EXPECT_EQ(f.state.Label1.Caption(), longPath);

  f.state.StatusBar1.SetOutcome(AnalysisOutcome::Analysed);
  d.chooseResult.reset();  // cancelled: path kept, panels cleared
  f.Button1Click();
  EXPECT_EQ(f.state.Label1.Caption(), longPath);
  EXPECT_EQ(f.state.StatusBar1.Panel(0), "");
  EXPECT_EQ(f.state.StatusBar1.Outcome(), AnalysisOutcome::None);
  d.chooseResult = "/tmp/chosen.lzh";
  f.Button1Click();
  EXPECT_EQ(f.state.Label1.Caption(), "/tmp/chosen.lzh");
  f.Button3Click();
  EXPECT_TRUE(f.state.AbortRequested);
  f.About1Click();
  EXPECT_EQ(d.aboutShown, 1);
}

}  // namespace
}  // namespace brim

namespace brim {
namespace {

// The ratio cells are made in integers; they must read as the printf formats
// of the floating-point ratios did, exact ties in tenths included.
TEST(EntryTables, RatioCellsAgreeWithTheFloatingPointFormats) {
  std::vector<std::pair<uint64_t, uint64_t>> cases = {
      {1, 2000}, {1, 2}, {3, 2000}, {5, 2000}, {1, 8}, {7, 3}, {0, 5}, {5, 0}, {4294967295u, 1},
      {1, 4294967295u}, {2147483648u, 4294967295u}, {999, 1000}, {1000, 999}};
  uint64_t x = 88172645463325252ull;  // xorshift
  for (int i = 0; i < 20000; ++i) {
    x ^= x << 13, x ^= x >> 7, x ^= x << 17;
    const uint64_t original = (x >> 40) % (i % 2 ? 5000 : 4294967296ull);
    cases.push_back({(x & 0xFFFFFFFF) % (original * 3 + 1), original});
  }
  for (auto [stored, original] : cases) {
    char got[32], want[64];
    size_t n = FormatRatioTo(got, RatioStyle::Ratio, stored, original);
    size_t m = original == 0 ? 0
                             : static_cast<size_t>(std::snprintf(want, sizeof want, "%3.1f%%",
                                                                 static_cast<double>(stored * 100) /
                                                                     static_cast<double>(original)));
    ASSERT_EQ(std::string(got, n), std::string(want, m)) << stored << "/" << original;
    n = FormatRatioTo(got, RatioStyle::SpaceSaved, stored, original);
    m = original == 0 ? 0
                      : static_cast<size_t>(std::snprintf(
                            want, sizeof want, "%2lld%%",
                            100 - static_cast<long long>((200 * stored + original) / (2 * original))));
    ASSERT_EQ(std::string(got, n), std::string(want, m)) << stored << "/" << original;
  }
}

}  // namespace
}  // namespace brim
