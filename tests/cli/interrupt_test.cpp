// Ctrl+C stops brimlode-cli as "中断" stops the window: between entries, the
// outputs finished kept, the log ending in "中断しました", exit status 130.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/cp932.h"
#include "cli/json_reader.h"
#include "support/test_files.h"
#include "support/zip_builder.h"

namespace brim {
namespace {

TEST(CliInterrupt, SplitStopsBetweenEntriesOnSigint) {
  constexpr int kEntries = 20000;
  test::TempDir dir;
  test::ZipBuilder z;
  for (int i = 0; i < kEntries; ++i) z.Local(test::ZipLocal::Stored("e" + std::to_string(i) + ".txt", test::BytesOf("x")));
  z.Finish();
  test::WriteFileBytes(dir.File("big.zip"), z.bytes);

  // SIGINT once the first output exists, so it lands mid-split whatever the
  // machine's load (a fixed delay could fall before the program had started).
  const int status = test::RunShell("cd '" + dir.Path() + "' && { '" BRIMLODE_CLI_PATH
                                    "' split big.zip --all --json >out 2>err & pid=$!; "
                                    "for i in $(seq 600); do ls *.txt.zip >/dev/null 2>&1 && break; sleep 0.05; done; "
                                    "kill -INT $pid; wait $pid; }");
  EXPECT_EQ(status, 130);
  const auto bytes = test::ReadFileBytes(dir.File("out"));
  const test::Json json = test::Json::parse(std::string(bytes.begin(), bytes.end()));
  ASSERT_FALSE(json["log"].empty());
  EXPECT_EQ(json["log"].back().get<std::string>(), Cp932ToUtf8(test::J("中断しました")));

  int outputs = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.Path())) {
    const std::string name = e.path().filename().string();
    if (name == "big.zip" || name == "out" || name == "err") continue;
    // Only finished outputs: no half-written file is left behind.
    ASSERT_TRUE(name.ends_with(".txt.zip")) << name;
    ++outputs;
  }
  EXPECT_LT(outputs, kEntries);
}

// Killed while an output is being written (an unnamed file open in its
// folder, or the copy of standard input in TMPDIR): nothing is left but
// finished outputs, whether the signal is handled (128 + it) or not.
struct KillCase {
  const char* name;
  const char* command;  // run in the archive's folder, big.zip there
  const char* signal;
  int status;
  const char* finished;  // what a finished output's name ends with ("" for none)
};

class CliKill : public ::testing::TestWithParam<KillCase> {};

TEST_P(CliKill, LeavesNoFileBehind) {
  const KillCase& c = GetParam();
  test::TempDir dir;
  std::filesystem::create_directories(dir.File("out/tmp"));
  test::ZipBuilder z;
  for (int i = 0; i < 30000; ++i)
    z.Local(test::ZipLocal::Stored("e" + std::to_string(i) + ".exe", test::Bytes(700, static_cast<uint8_t>(i))));
  z.Finish();
  test::WriteFileBytes(dir.File("out/big.zip"), z.bytes);
  const std::string out = dir.File("out");
  std::string log;
  const int status = test::RunShell(
      "cd '" + out + "' && mkfifo fifo && { TMPDIR='" + out + "/tmp' '" BRIMLODE_CLI_PATH "' " + c.command +
          " >log 2>&1 <fifo & pid=$!; exec 3>fifo; case '" + c.command +
          "' in *' - '*) cat big.zip >&3;; esac; "
          "for i in $(seq 1500); do ls -l /proc/$pid/fd 2>/dev/null | grep -q 'deleted\\|brimlode-' && break; "
          "sleep 0.01; done; kill -" + c.signal + " $pid; wait $pid; st=$?; exec 3>&-; rm fifo; exit $st; }",
      &log);
  EXPECT_EQ(status, c.status) << log;
  for (const auto& e : std::filesystem::recursive_directory_iterator(out)) {
    const std::string name = e.path().filename().string();
    if (name == "big.zip" || name == "log" || name == "tmp") continue;
    EXPECT_TRUE(*c.finished && name.ends_with(c.finished)) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, CliKill,
    ::testing::Values(KillCase{"OutputTerm", "rewrite big.zip --all --quiet --output o.zip", "TERM", 143, ""},
                      KillCase{"OutputHup", "rewrite big.zip --all --quiet --output o.zip", "HUP", 129, ""},
                      KillCase{"OutputKill", "rewrite big.zip --all --quiet --output o.zip", "KILL", 137, ""},
                      KillCase{"SplitTerm", "split big.zip --all", "TERM", 143, ".exe.zip"},
                      KillCase{"SplitKill", "split big.zip --all", "KILL", 137, ".exe.zip"},
                      KillCase{"CombineHup", "combine big.zip --all", "HUP", 129, ""},
                      KillCase{"CombineKill", "combine big.zip --all", "KILL", 137, ""},
                      KillCase{"StdinTerm", "analyse - ", "TERM", 143, ""},
                      KillCase{"StdinKill", "rewrite - --all --quiet --output o.zip", "KILL", 137, ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brim
