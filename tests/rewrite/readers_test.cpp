// What the rewrite leaves must satisfy readers that no one here wrote.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>

#include "analysis/format_detection.h"
#include "app/check_marks.h"
#include "base/ui_texts.h"
#include "rewrite/rewrite_command.h"
#include "rewrite/rewrite_support.h"
#include "support/needs.h"
#include "support/scripted_desktop.h"

namespace brim {
namespace {

using test::Bytes;
using test::J;

int CountOf(const std::string& text, const std::string& word) {
  int n = 0;
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++n;
  return n;
}

// Files with a one-character extension, none, a folder and a CP932 name
// whose bytes hold 0x5C (ソ = 83 5C, 表 = 95 5C): in/ names them by their
// CP932 bytes (Info-ZIP stores those), jin/ in UTF-8 (jlha converts them).
void MakeInputs(const std::string& dir) {
  const std::string common =
      "mkdir -p dir && seq 1 3000 > setup.exe && printf 'int main(){}' > a.c && printf 'plain' > README && "
      "seq 5 900 > dir/b.TXT";
  ASSERT_EQ(test::RunShell("cd '" + dir + "' && mkdir in jin && cd in && " + common +
                           " && d=$(printf '\\203\\134\\203\\164\\203\\147') && mkdir \"$d\" && "
                           "seq 7 300 > \"$d/$(printf '\\225\\134\\216\\246.txt')\" && cd ../jin && " +
                           common + " && mkdir ソフト && seq 7 300 > ソフト/表示.txt"),
            0);
}

void RewriteAll(const std::string& path, ArchiveKindType kind, const std::string& panel1,
                std::vector<test::Row> rows) {
  test::ScriptedDesktop d;
  ProgramState s(d);
  test::MarkAnalysed(s, path, kind, panel1);
  test::AddRows(s, rows);
  if (kind == ArchiveKindType::Zip) RewriteZipEntries(s);
  else RewriteLzhEntries(s);
  ASSERT_TRUE(d.messages.empty());
}

// "解析", tick all, rewrite: the rows come from the analysis itself.
void AnalyseAndRewriteAll(const std::string& path, size_t expectedRows) {
  test::ScriptedDesktop d;
  ProgramState s(d);
  s.Label1.SetCaption(path);
  DetectFormatAndAnalyse(s);
  ASSERT_EQ(s.StatusBar1.Panel(kPanelState), Ui().analysed);
  ASSERT_EQ(s.ListView1.Count(), expectedRows);
  CheckAll(s);
  if (s.ArchiveKind == ArchiveKindType::Zip) RewriteZipEntries(s);
  else RewriteLzhEntries(s);
  ASSERT_TRUE(d.messages.empty());
}

TEST(Readers, ZipByInfoZipPassesUnzipAnd7z) {
  BRIMLODE_NEEDS("zip");
  test::TempDir dir;
  MakeInputs(dir.Path());
  // Mixed: deflated, and stored (-0 for the small C file).
  ASSERT_EQ(test::RunShell("cd '" + dir.Path() + "/in' && zip -q -r -D ../t.zip . -x a.c && "
                           "zip -q -0 ../t.zip a.c"),
            0);
  const std::string path = dir.File("t.zip");
  Bytes before = test::ReadFileBytes(path);
  AnalyseAndRewriteAll(path, 5);
  EXPECT_EQ(test::ReadFileBytes(path).size(), before.size());
  // The CP932 name keeps its lead bytes; only its last byte became "$", in
  // the local and the central name.
  Bytes after = test::ReadFileBytes(path);
  std::string whole(after.begin(), after.end());
  EXPECT_EQ(CountOf(whole, J("ソフト/表示.tx$")), 2);
  EXPECT_EQ(CountOf(whole, J("表示.txt")), 0);

  std::string out;
  if (test::Installed("7z")) {
    EXPECT_EQ(test::RunShell("7z t '" + path + "'", &out), 0) << out;
  }
  BRIMLODE_NEEDS("unzip");
  EXPECT_EQ(test::RunShell("unzip -t '" + path + "'", &out), 0) << out;
  // Every entry is listed stored, under its masked name, with the CRC of its zeros.
  EXPECT_EQ(test::RunShell("unzip -v '" + path + "'", &out), 0);
  for (const auto& [name, size] : std::vector<std::pair<std::string, uint64_t>>{
           {"setup.ex\\$", 0}, {"a\\.\\$", 0}, {"README", 0}, {"dir/b\\.TX\\$", 0}}) {
    std::smatch m;
    std::regex line("\\n\\s*(\\d+)\\s+Stored\\s+(\\d+)\\s+0%.*\\s([0-9a-f]{8})\\s+" + name + "\\n");
    ASSERT_TRUE(std::regex_search(out, m, line)) << name << "\n" << out;
    EXPECT_EQ(m[1], m[2]);
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08x", test::Crc32Of(test::Zeros(std::stoul(m[1]))));
    EXPECT_EQ(m[3], crc) << name;
  }
}

class LzhReaders : public ::testing::TestWithParam<int> {};

TEST_P(LzhReaders, JlhaArchivePassesLhasaAndBsdtar) {
  BRIMLODE_NEEDS("jlha");
  const int level = GetParam();
  test::TempDir dir;
  MakeInputs(dir.Path());
  ASSERT_EQ(test::RunShell("cd '" + dir.Path() + "/jin' && LC_ALL=C.UTF-8 "
                           "JAVA_TOOL_OPTIONS='-Dlha.encoding=MS932 -Dsun.jnu.encoding=UTF-8' jlha a" +
                           std::to_string(level) + " ../t.lzh setup.exe a.c README dir/b.TXT ソフト/表示.txt"),
            0);
  const std::string path = dir.File("t.lzh");
  Bytes before = test::ReadFileBytes(path);
  AnalyseAndRewriteAll(path, 5);
  Bytes after = test::ReadFileBytes(path);
  ASSERT_EQ(after.size(), before.size());
  std::string whole(after.begin(), after.end());
  EXPECT_EQ(CountOf(whole, J("表示.tx$")), 1);

  std::string out;
  if (test::Installed("bsdtar")) {
    EXPECT_EQ(test::RunShell("bsdtar --options hdrcharset=CP932 -tvf '" + path + "'", &out), 0) << out;
    EXPECT_EQ(CountOf(out, "\n"), 5) << out;
  }
  BRIMLODE_NEEDS("lhasa");
  // lhasa exits 0 even when it stops at a header it rejects: count the entries.
  EXPECT_EQ(test::RunShell("lhasa t '" + path + "'", &out), 0) << out;
  EXPECT_EQ(CountOf(out, "Tested"), 5) << out;
  EXPECT_EQ(test::RunShell("lhasa v '" + path + "'", &out), 0);
  EXPECT_EQ(CountOf(out, "-lh0- 0000"), 5) << out;
  for (const char* name : {"setup.ex$", "a.$", "b.TX$"}) EXPECT_NE(out.find(name), std::string::npos) << out;
}

INSTANTIATE_TEST_SUITE_P(Levels, LzhReaders, ::testing::Values(0, 1, 2),
                         [](const auto& info) { return "level" + std::to_string(info.param); });

// The hand-built archives of the exact-byte tests, rewritten, pass the same
// readers: the expected bytes there are what real readers accept.
TEST(Readers, HandBuiltLzhRewrittenPassesLhasaAndBsdtar) {
  for (int level : {0, 1, 2}) {
    test::LzhSpec a{"a.txt", "-lh5-", Bytes(300, 'x'), 900, 0x1234};
    test::LzhSpec b{"dir.old\\x.c", "-lh1-", Bytes(20, 'y'), 40, 0x4321};
    if (level == 2) b.name = "dir.old/x.c";
    test::TempDir dir;
    const std::string path = dir.File("h.lzh");
    test::Built built = test::BuildLzh(level, {a, b});
    test::WriteFileBytes(path, built.bytes);
    RewriteAll(path, ArchiveKindType::Lzh, "Level=" + std::to_string(level), built.rows);
    std::string out;
    if (test::Installed("lhasa")) {
      EXPECT_EQ(test::RunShell("lhasa t '" + path + "'", &out), 0) << out;
      EXPECT_EQ(CountOf(out, "Tested"), 2) << level << out;
    }
    if (test::Installed("bsdtar")) {
      EXPECT_EQ(test::RunShell("bsdtar -tvf '" + path + "'", &out), 0) << level << out;
    }
    if (test::Installed("7z")) {
      EXPECT_EQ(test::RunShell("7z t '" + path + "'", &out), 0) << level << out;
    }
  }
}

}  // namespace
}  // namespace brim

namespace brim {
namespace {

// The rows the hand-built archives come with are the rows the analysis
// stores for them, so the exact-byte tests act on what a user would.
TEST(Readers, HandBuiltRowsAreWhatTheAnalysisStores) {
  test::LzhSpec plain{"a.txt", "-lh5-", Bytes(300, 'x'), 900, 0x1234};
  test::LzhSpec folder = plain, record = plain, bare = plain;
  folder.name = "src.old\\r.c";
  folder.directory = std::string("d\xFF");
  record.nameInRecord = true;
  bare.commonHeader = false;
  std::vector<std::pair<test::Built, std::string>> archives = {
      {test::BuildZip({test::ZipSpec{"d/x.exe", std::nullopt, 8, 0, Bytes(40, 'a'), 80, 1},
                       test::ZipSpec{"e.", "e.", 0, 0, Bytes(3, 'b'), 3, 2},
                       test::ZipSpec{"f", std::nullopt, 0, 0, Bytes(2, 'c'), 2, 3}},
                      100),
       "100"},
      {test::BuildLzh(0, {plain, folder}), "Level=0"},
      {test::BuildLzh(1, {plain, folder, record, bare}), "Level=1"},
      {test::BuildLzh(2, {plain, bare}), "Level=2"}};
  for (const auto& [built, panel1] : archives) {
    SCOPED_TRACE(panel1);
    test::TempDir dir;
    test::WriteFileBytes(dir.File("h"), built.bytes);
    test::ScriptedDesktop d;
    ProgramState s(d);
    s.Label1.SetCaption(dir.File("h"));
    DetectFormatAndAnalyse(s);
    EXPECT_EQ(s.StatusBar1.Panel(kPanelState), Ui().analysed);
    EXPECT_EQ(s.StatusBar1.Panel(kPanelDetail), panel1);
    ASSERT_EQ(s.ListView1.Count(), built.rows.size());
    for (size_t i = 0; i < built.rows.size(); ++i) {
      std::vector<std::string> expected{built.rows[i].caption};
      expected.insert(expected.end(), built.rows[i].cells.begin(), built.rows[i].cells.end());
      EXPECT_EQ(test::LocatorTexts(s.ListView1, i), expected) << i;
    }
  }
}

}  // namespace
}  // namespace brim
