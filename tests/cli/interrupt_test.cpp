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

}  // namespace
}  // namespace brim
