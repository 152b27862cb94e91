// The write plan: a rewrite cut at any phase boundary leaves no dangerous
// name over live data and is completed by a second rewrite; every copy of a
// ZIP name is masked; a Zip64 field without markers gets the new size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "base/le.h"
#include "checksum/crc.h"
#include "rewrite/rewrite_command.h"
#include "rewrite/rewrite_support.h"
#include "rewrite/write_plan.h"
#include "support/analysed_archive.h"
#include "support/scripted_desktop.h"
#include "support/zip_builder.h"

namespace brim {
namespace {

using rewrite::Phase;
using test::Bytes;
using test::ZipSpec;

Bytes Pattern(size_t n) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(0x41 + i * 7 % 50);
  return b;
}

size_t Count(const Bytes& hay, const std::string& needle) {
  size_t n = 0;
  for (auto it = hay.begin(); (it = std::search(it, hay.end(), needle.begin(), needle.end())) != hay.end(); ++it) ++n;
  return n;
}

// Ticks every row and runs the format's rewrite; the file as it is after.
Bytes RewriteAll(test::AnalysedArchive& a) {
  for (size_t row = 0; row < a.Rows(); ++row) a.s.ListView2.SetChecked(row, true);
  if (a.s.ArchiveKind == ArchiveKindType::Lzh) RewriteLzhEntries(a.s);
  else RewriteZipEntries(a.s);
  return test::ReadFileBytes(a.s.Label1.Caption());
}

std::string PhaseName(Phase p) {
  static const char* const kNames[] = {"names", "method", "zeros", "sums"};
  return kNames[static_cast<int>(p)];
}

constexpr int kZip = -1;  // else the LZH header level

// "keep.txt" stored, then "evil.exe" with payload as its compressed data.
Bytes KeepAndEvil(int format, const Bytes& payload) {
  if (format == kZip) {
    return test::BuildZip({ZipSpec{"keep.txt", std::nullopt, 0, 0, Pattern(40), 40, 1},
                           ZipSpec{"evil.exe", std::nullopt, 8, 0x0001, payload, 9000, 0xDEADBEEF}})
        .bytes;
  }
  return test::BuildLzh(format, {test::LzhSpec{"keep.txt", "-lh0-", Pattern(40), 40, 1},
                                 test::LzhSpec{"evil.exe", "-lh5-", payload, 9000, 0xBEEF}})
      .bytes;
}

// The plan applied up to a phase, as a kill or a full disk would leave it,
// for ZIP and each LZH level. LZH's header checks are the last phase, so a
// cut before it leaves a header a reader flags, its name already masked.
class PhaseBoundary : public ::testing::TestWithParam<std::tuple<int, Phase>> {};

TEST_P(PhaseBoundary, LeavesNoDangerousNameAndASecondRewriteCompletesIt) {
  const auto [format, phase] = GetParam();
  const Bytes payload = Pattern(3000);
  const Bytes original = KeepAndEvil(format, payload);
  test::AnalysedArchive once;
  once.Analyse(original);
  const Bytes done = RewriteAll(once);

  test::AnalysedArchive cut;
  cut.Analyse(original);
  cut.s.ListView2.SetChecked(1, true);
  {
    FileStream file = FileStream::Open(cut.path, FileStream::Mode::ReadWrite);
    rewrite::PlanReader reader(file);
    rewrite::EntryPlan plan;
    plan.row = 1;
    rewrite::PlanBuilder builder(file, reader, plan);
    if (format == kZip) rewrite::PlanZipEntry(cut.s, builder, 1);
    else rewrite::PlanLzhEntry(cut.s, builder, 1);
    ASSERT_TRUE(rewrite::ApplyPlans(cut.s, file, {plan}, phase));
  }
  const Bytes now = test::ReadFileBytes(cut.path);
  EXPECT_EQ(Count(now, "evil.exe"), 0u);  // masked before any other change
  EXPECT_EQ(Count(now, "evil.ex$"), format == kZip ? 2u : 1u);
  EXPECT_EQ(std::search(now.begin(), now.end(), payload.begin(), payload.begin() + 64) == now.end(),
            phase >= Phase::Zeros);

  test::AnalysedArchive again;
  again.AnalyseFile(cut.path);
  ASSERT_EQ(again.Rows(), 2u);
  EXPECT_EQ(RewriteAll(again), done);
  EXPECT_TRUE(again.s.RowsNotDone.empty());
}

INSTANTIATE_TEST_SUITE_P(Phases, PhaseBoundary,
                         ::testing::Combine(::testing::Values(kZip, 0, 1, 2),
                                            ::testing::Values(Phase::Names, Phase::Method, Phase::Zeros, Phase::Sums)),
                         [](const auto& info) {
                           const int format = std::get<0>(info.param);
                           return (format == kZip ? std::string("zip") : "lzh_level" + std::to_string(format)) +
                                  "_" + PhaseName(std::get<1>(info.param));
                         });

// Info-ZIP's Unicode Path field: ID, length, version 1, CRC-32 of the
// header's name, the UTF-8 name.
Bytes UnicodePath(const std::string& name, uint32_t nameCrc) {
  Bytes b = {0x75, 0x70, 0, 0, 1, 0, 0, 0, 0};
  le::Put16(&b[2], static_cast<uint16_t>(5 + name.size()));
  le::Put32(&b[5], nameCrc);
  b.insert(b.end(), name.begin(), name.end());
  return b;
}

uint32_t CrcOf(const std::string& s) { return Crc32Update(0, reinterpret_cast<const uint8_t*>(s.data()), s.size()); }

// The parameter: whether the fields' CRC matches the header's name.
class NameCopies : public ::testing::TestWithParam<bool> {};

// "harmless.txt" in the headers, "evil.exe" in both Unicode Path fields:
// every copy ends in "$", and a CRC readers believed still matches.
TEST_P(NameCopies, EveryUnicodePathNameIsMasked) {
  const uint32_t crc = GetParam() ? CrcOf("harmless.txt") : 0x12345678;
  ZipSpec e{"harmless.txt", std::nullopt, 8, 0, Pattern(200), 600, 7};
  e.localExtra = UnicodePath("evil.exe", crc);
  e.centralExtra = UnicodePath("evil.exe", crc);
  test::AnalysedArchive a;
  a.Analyse(test::BuildZip({e}).bytes);
  ASSERT_EQ(a.Rows(), 1u);
  const Bytes now = RewriteAll(a);
  EXPECT_EQ(Count(now, "evil.exe"), 0u);
  EXPECT_EQ(Count(now, "evil.ex$"), 2u);
  EXPECT_EQ(Count(now, "harmless.tx$"), 2u);
  const uint32_t expected = GetParam() ? CrcOf("harmless.tx$") : crc;
  for (auto it = now.begin(); (it = std::search(it, now.end(), e.localExtra.begin(), e.localExtra.begin() + 2)) != now.end(); ++it) {
    EXPECT_EQ(le::Get32(&*(it + 5)), expected);
  }
}

INSTANTIATE_TEST_SUITE_P(Fields, NameCopies, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "believed" : "ignored"); });

// A second central header that points at the entry, which the analysis
// keeps as a copy of the name: both directories' names are masked and both
// describe the zeros.
TEST(WritePlan, SecondCentralHeaderIsNeutralisedToo) {
  test::ZipBuilder z;
  z.Local(test::ZipLocal::Stored("a.exe", test::BytesOf("payload bytes")));
  std::vector<test::ZipCentral> c = z.CentralsFor();
  test::ZipCentral second = c[0];
  second.name = "b.exe";
  const uint64_t from = z.Size();
  z.Central(c[0]);
  const uint64_t secondAt = z.Central(second);
  test::ZipEnd end = z.EndFor(from, z.Size());
  z.End(end);
  test::AnalysedArchive a;
  a.Analyse(z.bytes);
  ASSERT_EQ(a.Rows(), 1u);
  a.s.ListView1.AddNameCopy(0, NameCopy{NameCopyKind::Central, NameEncoding::Cp932, "b.exe", secondAt + 46});
  const Bytes now = RewriteAll(a);
  EXPECT_EQ(Count(now, "b.exe"), 0u);
  EXPECT_EQ(Count(now, "b.ex$"), 1u);
  EXPECT_EQ(Count(now, "a.ex$"), 2u);
  EXPECT_EQ(le::Get32(&now[secondAt + 16]), le::Get32(&now[14]));  // the CRC of the zeros
  EXPECT_TRUE(a.s.RowsNotDone.empty());
}

// A row whose stored cells disagree with its header (here no local header
// signature where it points, its data a byte late, its mask past the name)
// is refused and
// reported; no byte of its entry changes, and the other row still runs.
TEST(WritePlan, RowThatDisagreesWithItsHeaderIsRefusedAlone) {
  for (EntryColumn col : {kColOffset, kColStart, kColExt}) {
    const test::Built built = test::BuildZip({ZipSpec{"a.exe", std::nullopt, 0, 0, Pattern(50), 50, 1},
                                              ZipSpec{"b.exe", std::nullopt, 0, 0, Pattern(50), 50, 2}});
    test::AnalysedArchive a;
    a.Analyse(built.bytes);
    ASSERT_EQ(a.Rows(), 2u);
    a.s.ListView1.SetValue(0, col, a.s.ListView1.Value(0, col) + (col == kColExt ? 2 : 1));
    const Bytes now = RewriteAll(a);
    ASSERT_EQ(a.s.RowsNotDone.size(), 1u) << col;
    EXPECT_EQ(a.s.RowsNotDone[0].row, 0u);
    const size_t second = a.s.ListView1.Value(1, kColOffset);
    EXPECT_TRUE(std::equal(now.begin(), now.begin() + second, built.bytes.begin())) << col;
    EXPECT_EQ(Count(now, "b.ex$"), 2u) << col;
  }
}

// libzip keeps a local Zip64 field with both sizes while the 32-bit fields
// hold no marker: readers compare it, so it gets the new size too.
TEST(WritePlan, Zip64FieldWithoutMarkersGetsTheNewSize) {
  ZipSpec e{"big.exe", std::nullopt, 8, 0, Pattern(300), 204800, 7};
  e.localExtra = test::Zip64ExtraBlock({204800, 300});
  test::AnalysedArchive a;
  a.Analyse(test::BuildZip({e}).bytes);
  ASSERT_EQ(a.Rows(), 1u);
  const Bytes now = RewriteAll(a);
  const size_t extra = 30 + e.name.size();
  EXPECT_EQ(le::Get64(&now[extra + 4]), 300u);
  EXPECT_EQ(le::Get64(&now[extra + 12]), 300u);
  EXPECT_EQ(le::Get32(&now[22]), 300u);
}

// Reads show the entry as its plan leaves it (a header sum is taken over
// that), and a write outside the entry's own ranges refuses the row.
TEST(WritePlan, BuilderReadsThePlannedBytesAndKeepsWritesInside) {
  test::TempDir dir;
  const std::string path = dir.File("f");
  test::WriteFileBytes(path, test::BytesOf("0123456789"));
  FileStream file = FileStream::Open(path, FileStream::Mode::Read);
  rewrite::PlanReader reader(file);
  rewrite::EntryPlan plan;
  rewrite::PlanBuilder out(file, reader, plan);
  out.Own(1, 8);
  out.Bytes(Phase::Names, 2, "ab");
  out.Zeros(5, 2);
  uint8_t copy[10];
  out.Copy(0, copy, sizeof copy);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(copy), 10), "01ab4" + std::string(2, '\0') + "789");
  EXPECT_EQ(out.Read8(3), 'b');
  EXPECT_THROW(out.Put16(Phase::Sums, 7, 0), rewrite::RowRefused);  // one byte past the entry
  EXPECT_THROW(out.Read(9, 2), rewrite::RowRefused);               // past the end of the file
  EXPECT_EQ(plan.writes.size(), 1u);
}

// A batch's pieces of one phase land in file order, and two at one position
// in planned order (the later wins): rising runs taken in turns, two pieces
// at one place in different runs, three runs, and plans that overlap.
TEST(WritePlan, PiecesOfOneBatchLandAsPlannedInAnyOrder) {
  using Writes = std::vector<std::pair<uint64_t, std::string>>;  // one plan's writes, in planned order
  for (const std::vector<Writes>& plans : std::vector<std::vector<Writes>>{
           {{{0, "a"}, {20, "b"}}, {{2, "c"}, {22, "d"}}, {{4, "e"}, {24, "f"}}},
           {{{8, "c"}, {20, "b"}}, {{2, "e"}}, {{8, "X"}, {30, "d"}}},
           {{{20, "a"}, {10, "b"}, {0, "c"}}, {{21, "d"}, {11, "e"}, {1, "f"}}},
           {{{5, "abcd"}, {30, "q"}}, {{6, "XY"}}, {{5, "Z"}, {31, "r"}}, {{7, "W"}}}}) {
    test::TempDir dir;
    const std::string path = dir.File("f");
    Bytes want(40, '.');
    test::WriteFileBytes(path, want);
    std::vector<rewrite::EntryPlan> batch;
    for (const Writes& writes : plans) {
      batch.emplace_back();
      for (const auto& [at, bytes] : writes) {
        batch.back().writes.push_back({at, Phase::Names, bytes});
        std::copy(bytes.begin(), bytes.end(), want.begin() + static_cast<std::ptrdiff_t>(at));
      }
    }
    test::ScriptedDesktop d;
    ProgramState s(d);
    FileStream file = FileStream::Open(path, FileStream::Mode::ReadWrite);
    ASSERT_TRUE(rewrite::ApplyPlans(s, file, batch));
    file.Close();
    EXPECT_EQ(test::ReadFileBytes(path), want) << plans.size();
  }
}

// "中断" inside a long run of zeros stops it at the next look (every 64 MiB):
// the names are masked, the rest of the run and the sums are left for a
// second rewrite.
TEST(WritePlan, AbortStopsALongRunOfZerosPartWay) {
  test::TempDir dir;
  const std::string path = dir.File("long");
  const uint64_t run = 65 * 1024 * 1024;
  {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputc('e', f);
    ASSERT_EQ(fseeko(f, static_cast<off_t>(run), SEEK_SET), 0);
    std::fputc('X', f);  // the run's last byte
    std::fclose(f);
  }
  test::ScriptedDesktop d;
  ProgramState s(d);
  s.ProcessMessages.SetThrottle(1, std::chrono::microseconds(0));
  d.onPump = [&](long) { s.AbortRequested = true; };
  rewrite::EntryPlan plan;
  plan.row = 3;
  plan.writes.push_back({0, Phase::Names, "$"});
  plan.writes.push_back({1, Phase::Sums, "S"});
  plan.zerosAt = 1;
  plan.zerosLength = run;
  FileStream file = FileStream::Open(path, FileStream::Mode::ReadWrite);
  size_t stopped = 0;
  EXPECT_FALSE(rewrite::ApplyPlans(s, file, {plan}, Phase::Sums, &stopped));
  EXPECT_EQ(stopped, 3u);
  uint8_t b[2] = {};
  file.ReadExactAt(0, b, 2);
  EXPECT_EQ(b[0], '$');
  EXPECT_EQ(b[1], 0);  // zeroed, and no sum written over it
  file.ReadExactAt(run, b, 1);
  EXPECT_EQ(b[0], 'X');
}

}  // namespace
}  // namespace brim
