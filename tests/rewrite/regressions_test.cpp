// Replays the inputs kept in rewrite/regressions/ and regenerate/regressions/
// through the fuzzers' checks of the command that writes them.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/needs.h"
#include "support/write_checks.h"

namespace brim {
namespace {

struct WriteCheck {
  const char* name;
  std::string (*violation)(const test::Bytes&);
};

class WriteRegressions : public ::testing::TestWithParam<WriteCheck> {};

TEST_P(WriteRegressions, EveryKeptInputKeepsTheRules) {
  const std::string folder =
      std::string(BRIMLODE_SOURCE_DIR) + "/tests/" + GetParam().name + "/regressions";
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().filename() == "README.md") continue;
    SCOPED_TRACE(entry.path().filename().string());
    EXPECT_EQ(GetParam().violation(test::ReadFileBytes(entry.path().string())), "");
  }
}

// The sample archives keep the rules too, with all rows ticked.
TEST_P(WriteRegressions, CorpusSamplesKeepTheRules) {
  BRIMLODE_NEEDS_CORPUS();
  for (const auto& entry : std::filesystem::directory_iterator(test::CorpusPath("libarchive"))) {
    SCOPED_TRACE(entry.path().filename().string());
    test::Bytes bytes = test::ReadFileBytes(entry.path().string());
    if (!bytes.empty() && (bytes.back() & 0xC0)) bytes.push_back(0);  // all ticked, kept whole
    EXPECT_EQ(GetParam().violation(bytes), "");
  }
}

INSTANTIATE_TEST_SUITE_P(Commands, WriteRegressions,
                         ::testing::Values(WriteCheck{"rewrite", test::RewriteViolation},
                                           WriteCheck{"regenerate", test::RegenerateViolation}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brim
