// The hostile inputs' work must grow with their size, not faster: each is
// run at two scales and the work counted (bytes read, steps over bytes
// already held) must grow at most as size^1.1, and stay a small multiple of
// the size.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "base/ui_texts.h"
#include "base/work_count.h"
#include "support/analysed_archive.h"
#include "support/hostile_inputs.h"

namespace brim {
namespace {

struct Measured {
  double work;  // per input byte
  uint64_t bytesRead;
  size_t size;
};

Measured Measure(const test::HostileInput& input, size_t scale) {
  const test::Bytes bytes = input.build(scale);
  test::AnalysedArchive a;
  const uint64_t steps = work::steps, read = work::bytesRead;
  a.Analyse(bytes);
  EXPECT_EQ(a.Panel(0), Ui().analysed) << input.name;
  EXPECT_EQ(a.Rows(), input.rows) << input.name;
  if (std::string(input.command) == "rewrite") {
    a.form.N9Click();
    a.desktop.answers = {Answer::Yes, Answer::No};
    a.form.N2Click();
    EXPECT_TRUE(a.s.RowsNotDone.empty()) << input.name;
    EXPECT_EQ(a.desktop.errors.size(), 0u) << input.name;
  }
  const uint64_t done = (work::steps - steps) + (work::bytesRead - read);
  return {static_cast<double>(done) / static_cast<double>(bytes.size()), work::bytesRead - read, bytes.size()};
}

class HostileGrowth : public ::testing::TestWithParam<test::HostileInput> {};

TEST_P(HostileGrowth, WorkGrowsWithTheSize) {
  const Measured small = Measure(GetParam(), 1);
  const Measured large = Measure(GetParam(), 4);
  // Work per byte may rise by 4^0.1 at most from one scale to the next.
  EXPECT_LE(large.work, small.work * std::pow(4.0, 0.1) + 0.05) << small.work << " -> " << large.work;
  // Each byte is read about once and looked at a few times; a rewrite
  // reads its headers again in each pass of its plan and of its writes.
  const bool rewrite = std::string(GetParam().command) == "rewrite";
  EXPECT_LE(large.work, rewrite ? 12.0 : 8.0);
  EXPECT_LE(large.bytesRead, (rewrite ? 8 : 3) * large.size);
}

INSTANTIATE_TEST_SUITE_P(Inputs, HostileGrowth, ::testing::ValuesIn(test::HostileInputs()),
                         [](const auto& info) { return std::string(info.param.name); });

// A ZIP behind a stub: the search reads each stub byte once.
TEST(HostileGrowth, AStubIsReadOnce) {
  for (const test::HostileInput& input : test::HostileInputs()) {
    if (std::string(input.name) != "random_stub") continue;
    const Measured m = Measure(input, 4);
    EXPECT_LE(m.bytesRead, m.size + 64 * 1024);
  }
}

}  // namespace
}  // namespace brim
