// Replays every input kept in regressions/: the analysis must end, leave the
// tables whole, and reach the outcome expected.tsv names for it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "base/errors.h"
#include "base/ui_texts.h"
#include "support/analysed_archive.h"

namespace brim {
namespace {

const std::string kFolder = std::string(BRIMLODE_SOURCE_DIR) + "/tests/analysis/regressions";

std::map<std::string, std::string> ExpectedOutcomes() {
  std::map<std::string, std::string> out;
  std::ifstream in(kFolder + "/expected.tsv");
  std::string line;
  while (std::getline(in, line)) {
    size_t tab = line.find('\t');
    if (tab != std::string::npos) out[line.substr(0, tab)] = line.substr(tab + 1);
  }
  return out;
}

std::string Panel0Text(const std::string& outcome) {
  if (outcome == "analysed") return Ui().analysed;
  if (outcome == "damagedZip") return Ui().damagedZip;
  if (outcome == "damagedLzh") return Ui().damagedLzh;
  return "";
}

TEST(Regressions, EveryKeptInputEndsWithWholeTables) {
  const auto expected = ExpectedOutcomes();
  size_t replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kFolder)) {
    const std::string name = entry.path().filename().string();
    if (name == "README.md" || name == "expected.tsv") continue;
    SCOPED_TRACE(name);
    test::AnalysedArchive a;
    try {
      a.AnalyseFile(entry.path().string());
    } catch (const CommandError& e) {
      ADD_FAILURE() << "error box: " << e.what();
    }
    ++replayed;
    const std::string& p0 = a.Panel(0);
    EXPECT_TRUE(p0.empty() || p0 == Ui().analysed || p0 == Ui().damagedZip ||
                p0 == Ui().damagedLzh || p0 == Ui().aborted);
    ASSERT_EQ(a.s.ListView1.Count(), a.s.ListView2.Count());
    size_t tallied = 0;
    for (size_t i = 0; i < a.s.ListView5.Count(); ++i)
      tallied += a.s.ListView5.Number(i);
    EXPECT_EQ(tallied, a.Rows());
    for (size_t i = 0; i < a.Rows(); ++i) {
      EXPECT_EQ(a.Locator(i).size(), 7u);
      EXPECT_EQ(a.Listing(i).size(), 5u);
    }
    auto it = expected.find(name);
    if (it != expected.end()) {
      EXPECT_EQ(p0, Panel0Text(it->second));
    }
  }
  EXPECT_GE(replayed, expected.size());
}

}  // namespace
}  // namespace brim
