// Replays every input kept in regressions/ through the rewrite fuzzer's check.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/needs.h"
#include "support/write_checks.h"

namespace brim {
namespace {

TEST(RewriteRegressions, EveryKeptInputKeepsTheRules) {
  const std::string folder = std::string(BRIMLODE_SOURCE_DIR) + "/tests/rewrite/regressions";
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().filename() == "README.md") continue;
    SCOPED_TRACE(entry.path().filename().string());
    EXPECT_EQ(test::RewriteViolation(test::ReadFileBytes(entry.path().string())), "");
  }
}

// The sample archives keep the rules too, with all rows ticked.
TEST(RewriteRegressions, CorpusSamplesKeepTheRules) {
  BRIMLODE_NEEDS_CORPUS();
  for (const auto& entry : std::filesystem::directory_iterator(test::CorpusPath("libarchive"))) {
    SCOPED_TRACE(entry.path().filename().string());
    test::Bytes bytes = test::ReadFileBytes(entry.path().string());
    if (!bytes.empty() && (bytes.back() & 0xC0)) bytes.push_back(0);  // all ticked, kept whole
    EXPECT_EQ(test::RewriteViolation(bytes), "");
  }
}

}  // namespace
}  // namespace brim
