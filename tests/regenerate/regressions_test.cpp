// Replays every input kept in regressions/ through the regeneration fuzzer's check.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/needs.h"
#include "support/write_checks.h"

namespace brim {
namespace {

TEST(RegenerateRegressions, EveryKeptInputKeepsTheRules) {
  const std::string folder = std::string(BRIMLODE_SOURCE_DIR) + "/tests/regenerate/regressions";
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().filename() == "README.md") continue;
    SCOPED_TRACE(entry.path().filename().string());
    EXPECT_EQ(test::RegenerateViolation(test::ReadFileBytes(entry.path().string())), "");
  }
}

// The sample archives keep the rules too, with all rows ticked.
TEST(RegenerateRegressions, CorpusSamplesKeepTheRules) {
  BRIMLODE_NEEDS_CORPUS();
  for (const auto& entry : std::filesystem::directory_iterator(test::CorpusPath("libarchive"))) {
    SCOPED_TRACE(entry.path().filename().string());
    test::Bytes bytes = test::ReadFileBytes(entry.path().string());
    if (!bytes.empty() && (bytes.back() & 0xC0)) bytes.push_back(0);  // all ticked, kept whole
    EXPECT_EQ(test::RegenerateViolation(bytes), "");
  }
}

}  // namespace
}  // namespace brim
