#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "base/errors.h"
#include "regen_fixture.h"
#include "regenerate/output_file.h"
#include "regenerate/range_copy.h"
#include "regenerate/regeneration.h"
#include "base/ui_texts.h"

namespace brim {
namespace {

using regen_test::Filler;
using regen_test::Slice;
using test::Bytes;
using RangeCopy = regen_test::RegenTest;

struct GaugeCase {
  uint64_t length;
  std::vector<int> gaugeAtPumps;  // the gauge each time messages are processed
  CopyGauge gauge = {};           // per entry unless a total is given
  int end = 100;
};

class CopyRangeTest : public regen_test::RegenTest,
                      public ::testing::WithParamInterface<GaugeCase> {};

TEST_P(CopyRangeTest, GaugeAndPumpsPerBlock) {
  const GaugeCase& c = GetParam();
  const uint64_t offset = 777;
  const Bytes source = Filler(offset + c.length + 5);
  test::WriteFileBytes(dir.File("src"), source);
  std::vector<int> seen;
  desktop.onPump = [&](long) { seen.push_back(s.Gauge1.Progress()); };
  s.Gauge1.SetProgress(37);  // left by an earlier command

  FileStream in = FileStream::Open(dir.File("src"), FileStream::Mode::Read);
  {
    OutputFile out(dir.File("out"));
    const Bytes head = {1, 2, 3};
    out.Append(head.data(), head.size());  // the copy goes after what is there
    CopyRange(s, in, out, offset, c.length, c.gauge);
    EXPECT_EQ(out.Position(), 3 + c.length);
    out.Finish();
  }
  EXPECT_EQ(seen, c.gaugeAtPumps);
  EXPECT_EQ(s.Gauge1.Progress(), c.end);
  Bytes expected = {1, 2, 3};
  const Bytes body = Slice(source, offset, c.length);
  expected.insert(expected.end(), body.begin(), body.end());
  EXPECT_EQ(test::ReadFileBytes(dir.File("out")), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, CopyRangeTest,
    ::testing::Values(GaugeCase{0, {}},                       // nothing moves but the end
                      GaugeCase{1000, {37}},                  // the rest pumps, gauge untouched
                      GaugeCase{1048576, {0}},                // one block, no rest
                      GaugeCase{2621440, {0, 50, 50}},        // two blocks and a half
                      GaugeCase{4 * 1048576, {0, 25, 50, 75}},
                      // A combined output: 4 MiB before and 2.5 MiB after this
                      // range; the gauge counts its bytes, and the rest is
                      // left to the row's pump.
                      GaugeCase{2621440, {55, 66}, {4 * 1048576, 9 * 1048576}, 72}),
    [](const auto& info) {
      return "L" + std::to_string(info.param.length) + (info.param.gauge.total ? "_combined" : "");
    });

TEST_F(RangeCopy, CopyRangeReportsASourceThatEndsEarly) {
  test::WriteFileBytes(dir.File("src"), Filler(3 * 1048576));
  FileStream in = FileStream::Open(dir.File("src"), FileStream::Mode::Read);
  // A short rest, and a range whose last whole block is cut.
  const std::pair<uint64_t, uint64_t> ranges[] = {{3 * 1048576 - 4000, 5000},
                                                  {10, 3 * 1048576}};
  for (auto [offset, length] : ranges) {
    {
      OutputFile out(dir.File("out"));
      try {
        CopyRange(s, in, out, offset, length);
        FAIL() << length;
      } catch (const CommandError& e) {
        EXPECT_NE(e.Text().find("src"), std::string::npos);
        EXPECT_NE(e.Text().find(test::J("を読み込めません")), std::string::npos);
      }
    }
    // An output left unfinished is removed.
    EXPECT_FALSE(RegularFileExists(dir.File("out")));
  }
}

TEST_F(RangeCopy, OutputFileNeverReplacesAFile) {
  test::WriteFileBytes(dir.File("there"), {4, 5, 6});
  EXPECT_THROW(OutputFile(dir.File("there")), CommandError);
  EXPECT_EQ(test::ReadFileBytes(dir.File("there")), (Bytes{4, 5, 6}));
  // Nor does it follow a dangling link to create a file somewhere else.
  ASSERT_EQ(symlink(dir.File("elsewhere").c_str(), dir.File("link").c_str()), 0);
  EXPECT_THROW(OutputFile(dir.File("link")), CommandError);
  EXPECT_FALSE(RegularFileExists(dir.File("elsewhere")));
}

// "中断" while a large entry is copied stops that copy: its output goes, the
// outputs finished before stay, and the log ends with "中断しました".
struct StopCase {
  const char* label;
  void (*command)(ProgramState&);
  long abortAtPump;  // lands inside the 3 MiB entry's copy
  std::vector<std::string> outputsLeft;
};

class StopInsideACopy : public regen_test::RegenTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(StopInsideACopy, LeavesNoUnfinishedOutput) {
  const StopCase& c = GetParam();
  Bytes archive;
  AddRows({regen_test::AppendLocal(archive, {"small.txt", Filler(100)}),
           regen_test::AppendLocal(archive, {"big.bin", Filler(3 * kCopyBlock, 3)})});
  Select("pack.zip", archive, ArchiveKindType::Zip);
  long copyPumps = 0;
  desktop.onPump = [&](long n) {
    if (n == c.abortAtPump) s.AbortRequested = true;
    copyPumps = n;
  };
  ASSERT_TRUE(Run(c.command));
  std::vector<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(dir.Path())) {
    if (e.path().filename() != "pack.zip") left.push_back(e.path().filename().string());
  }
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, c.outputsLeft);
  EXPECT_EQ(Log().back(), Ui().aborted);
  EXPECT_EQ(copyPumps, c.abortAtPump);  // nothing was copied after the stop
}

INSTANTIATE_TEST_SUITE_P(
    Commands, StopInsideACopy,
    ::testing::Values(
        // Pumps: one per row, then one per 1 MiB block of big.bin.
        StopCase{"combine", RegenerateCombined, 3, {}},
        // Pumps: before each output, the small entry's rest, then the blocks.
        StopCase{"split", RegenerateIndividually, 4, {"small.txt.zip"}}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace brim
