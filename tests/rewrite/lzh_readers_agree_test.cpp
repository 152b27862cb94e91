// LZH archives whose entries lhasa, jlha, bsdtar and 7z all extract, in the
// shapes some producers write: header levels mixed, OS-9's short level-2
// headers, name records beside a base name, a self-extractor's stub. Each is
// analysed by its real names and rewritten with no original byte left in any
// entry's data; lhasa (or bsdtar), where present, reads every entry before
// and after. The same rewrite leaves no data in the sample corpus's LZH
// archives and the bench generator's archives of each level.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/application.h"
#include "base/hex_cell.h"
#include "base/ui_texts.h"
#include "form/Unit1.h"
#include "support/lzh_builder.h"
#include "support/needs.h"
#include "support/scripted_desktop.h"

namespace brim {
namespace {

using test::Bytes;
using test::LzhBuilder;
using test::LzhEntry;
using test::LzhExtended;

Bytes Pattern(size_t n, uint8_t seed) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 7 + 1);
  return b;
}

LzhEntry Stored(int level, const std::string& name, size_t size, uint8_t seed) {
  return level == 0   ? LzhEntry::Level0(name, Pattern(size, seed))
         : level == 1 ? LzhEntry::Level1(name, Pattern(size, seed))
                      : LzhEntry::Level2(name, Pattern(size, seed));
}

struct Case {
  std::string label;
  Bytes archive;
  std::vector<std::string> captions;
  uint64_t lead = 0;  // a self-extractor's stub
  // lhasa takes the first "-lh?-" after a stub, checked or not; bsdtar
  // judges a stub that holds one by chance.
  bool byBsdtar = false;
};

// The entries a reader lists (lhasa ends silently at a header it rejects:
// its count is what matters), with its output.
size_t ReaderCount(const Case& c, const std::string& path, std::string& out) {
  if (c.byBsdtar) {
    test::RunShell("bsdtar -tf '" + path + "'", &out);
    return static_cast<size_t>(std::count(out.begin(), out.end(), '\n'));
  }
  test::RunShell("lhasa t '" + path + "'", &out);
  size_t n = 0;
  for (size_t at = out.find("- Tested"); at != std::string::npos; at = out.find("- Tested", at + 1)) ++n;
  return n;
}

// An archive analysed through the form as "解析" does.
struct FormRun {
  test::ScriptedDesktop d;
  TForm1 form{d};
  ProgramState& s = form.state;
  explicit FormRun(const std::string& path) {
    d.answers = {Answer::Yes, Answer::No};
    form.DropFiles({path});
    form.Zip1Click();
  }
  // "書き換え" of every row: "" when every row was done and kept no byte of
  // its data, else what went wrong.
  std::string RewriteAll(const std::string& path) {
    form.N9Click();
    if (!RunCommand(d, [&] { form.N2Click(); })) return "rewrite failed";
    if (!s.RowsNotDone.empty()) return "a row was not done";
    const Bytes after = test::ReadFileBytes(path);
    for (size_t row = 0; row < s.ListView1.Count(); ++row) {
      const Locator v = s.ListView1.ReadLocator(row);
      for (uint64_t i = v.start; i < uint64_t{v.start} + v.size; ++i) {
        if (after[i] != 0) return "data byte left at " + std::to_string(i);
      }
    }
    return "";
  }
};

class LzhReadersAgree : public ::testing::TestWithParam<Case> {};

TEST_P(LzhReadersAgree, ListedByTheirRealNamesAndRewrittenWithNoDataLeft) {
  const Case& c = GetParam();
  test::TempDir dir;
  const std::string path = dir.File("a.lzh");
  test::WriteFileBytes(path, c.archive);
  const bool reader = test::Installed(c.byBsdtar ? "bsdtar" : "lhasa");
  std::string out;
  if (reader) EXPECT_EQ(ReaderCount(c, path, out), c.captions.size()) << out;

  FormRun run(path);
  ProgramState& s = run.s;
  ASSERT_EQ(s.StatusBar1.Panel(kPanelState), Ui().analysed);
  ASSERT_EQ(s.ArchiveKind, ArchiveKindType::Lzh);
  ASSERT_EQ(s.ListView1.Count(), c.captions.size());
  for (size_t i = 0; i < c.captions.size(); ++i) EXPECT_EQ(s.ListView1.Caption(i), c.captions[i]) << i;
  if (c.lead > 0) {
    EXPECT_EQ(s.Memo1.Line(1), FormatNumbers(Ui().logLeadingBytesLzh, static_cast<int64_t>(c.lead)));
    EXPECT_EQ(s.ListView1.ReadLocator(0).offset, c.lead);
  }

  ASSERT_EQ(run.RewriteAll(path), "");
  const Bytes after = test::ReadFileBytes(path);
  ASSERT_EQ(after.size(), c.archive.size());
  EXPECT_TRUE(std::equal(after.begin(), after.begin() + static_cast<ptrdiff_t>(c.lead), c.archive.begin()));
  if (reader) {
    EXPECT_EQ(ReaderCount(c, path, out), c.captions.size()) << out;
    EXPECT_EQ(out.find(".exe"), std::string::npos) << out;
    EXPECT_EQ(out.find(".txt"), std::string::npos) << out;
  }
}

std::vector<Case> Cases() {
  std::vector<Case> cases;
  for (const auto& [first, second] : {std::pair{0, 2}, {1, 2}, {2, 0}, {2, 1}, {0, 1}}) {
    LzhBuilder b;
    b.Add(Stored(first, "readme.txt", 300, 3));
    b.Add(Stored(second, "evil.exe", 200, 9));
    b.EndMark();
    cases.push_back({"level" + std::to_string(first) + "_then_level" + std::to_string(second), b.bytes,
                     {"readme.txt", "evil.exe"}});
  }
  {  // LHA for OS-9/68k: level-2 sizes 2 bytes short, OS byte 'K'.
    LzhBuilder b;
    for (const char* name : {"a.txt", "b.exe"}) {
      LzhEntry e = Stored(2, name, 50, 4);
      e.os = 'K';
      e.headerSize = static_cast<uint16_t>(test::EncodeLzhHeader(e).size() - 2);
      b.Add(e);
    }
    b.EndMark();
    cases.push_back({"os9_level2", b.bytes, {"a.txt", "b.exe"}});
  }
  {  // Extractors write the record's name, not the base header's.
    LzhBuilder b;
    LzhEntry e = Stored(1, "harmless.txt", 80, 5);
    e.extended.push_back(LzhExtended::FileName("evil.exe"));
    b.Add(e);
    b.EndMark();
    cases.push_back({"name_record_over_base", b.bytes, {"evil.exe"}});
  }
  {  // Two records: 7z writes the first, the others the last.
    LzhBuilder b;
    LzhEntry e = Stored(2, "evil.exe", 80, 6);
    e.extended.push_back(LzhExtended::FileName("notes.txt"));
    b.Add(e);
    b.EndMark();
    cases.push_back({"two_name_records", b.bytes, {"notes.txt"}});
  }
  const struct {
    const char* label;
    size_t stub;
    int level;
    bool chance;
  } stubs[] = {{"sfx_2k_level1", 2048, 1, false}, {"sfx_30k_level2", 30 * 1024, 2, false},
               {"sfx_chance_method_level0", 4096, 0, true}};
  for (const auto& st : stubs) {
    LzhBuilder b;
    Bytes stub = Pattern(st.stub, 11);
    stub[0] = 'M', stub[1] = 'Z';
    if (st.chance) {  // "-lh5-" in the stub, with no header around it
      const std::string m = "-lh5-";
      std::copy(m.begin(), m.end(), stub.begin() + 100);
    }
    b.Raw(stub);
    b.Add(Stored(st.level, "readme.txt", 100, 7));
    b.Add(Stored(st.level, "setup.exe", 100, 8));
    b.EndMark();
    cases.push_back({st.label, b.bytes, {"readme.txt", "setup.exe"}, st.stub, st.chance});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Shapes, LzhReadersAgree, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return info.param.label; });

// Rewrites a copy of archive with every row ticked; "" when all is well.
// Archives that do not analyse completely are passed.
std::string RewriteLeavesNoData(const std::string& archive) {
  test::TempDir dir;
  const std::string path = dir.File("copy.lzh");
  test::WriteFileBytes(path, test::ReadFileBytes(archive));
  FormRun run(path);
  if (run.s.ArchiveKind != ArchiveKindType::Lzh || run.s.StatusBar1.Outcome() != AnalysisOutcome::Analysed) return "";
  return run.RewriteAll(path);
}

TEST(LzhCorpusRewrite, NoEntryKeepsAnyOfItsData) {
  BRIMLODE_NEEDS_CORPUS();
  int archives = 0;
  for (const auto& item : std::filesystem::directory_iterator(test::CorpusPath("libarchive"))) {
    if (item.path().extension() != ".lzh") continue;
    EXPECT_EQ(RewriteLeavesNoData(item.path().string()), "") << item.path();
    ++archives;
  }
  EXPECT_GT(archives, 5);
}

TEST(LzhBenchRewrite, NoEntryKeepsAnyOfItsData) {
  BRIMLODE_NEEDS("python3");
  test::TempDir dir;
  for (int level : {0, 1, 2}) {
    const std::string out = dir.File("bench" + std::to_string(level) + ".lzh");
    ASSERT_EQ(test::RunShell("python3 " BRIMLODE_SOURCE_DIR "/bench/gen_lzh.py " + out + " --level " +
                             std::to_string(level) + " --entries 300"),
              0);
    EXPECT_EQ(RewriteLeavesNoData(out), "") << level;
  }
}

}  // namespace
}  // namespace brim
