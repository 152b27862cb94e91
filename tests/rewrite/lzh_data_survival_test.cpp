// After "書き換え" of every entry, no byte of any entry's original data is
// left in its data range: over the sample corpus's LZH archives and the
// bench generator's archives of each level.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/application.h"
#include "base/ui_texts.h"
#include "form/Unit1.h"
#include "support/needs.h"
#include "support/scripted_desktop.h"

namespace brim {
namespace {

using test::Bytes;

// Rewrites a copy of archive with every row ticked; "" when all is well,
// else what went wrong. Archives that do not analyse completely are passed.
std::string RewriteLeavesNoData(const std::string& archive) {
  test::TempDir dir;
  const std::string path = dir.File("copy.lzh");
  const Bytes original = test::ReadFileBytes(archive);
  test::WriteFileBytes(path, original);
  test::ScriptedDesktop d;
  d.answers = {Answer::Yes, Answer::No};
  TForm1 form(d);
  form.DropFiles({path});
  form.Zip1Click();
  ProgramState& s = form.state;
  if (s.ArchiveKind != ArchiveKindType::Lzh || s.StatusBar1.Outcome() != AnalysisOutcome::Analysed) return "";
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
  const std::string bench = std::string(BRIMLODE_SOURCE_DIR) + "/bench/";
  for (int level : {0, 1, 2}) {
    const std::string out = dir.File("bench" + std::to_string(level) + ".lzh");
    ASSERT_EQ(test::RunShell("python3 " + bench + "gen_lzh.py " + out + " --level " + std::to_string(level) +
                             " --entries 300"),
              0);
    EXPECT_EQ(RewriteLeavesNoData(out), "") << level;
  }
}

}  // namespace
}  // namespace brim
