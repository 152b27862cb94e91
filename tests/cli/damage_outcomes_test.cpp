// Archives that readers accept analysed as they are, and damage said as it
// happened: one row per case, each run by the built brimlode-cli in a folder
// of its own, judged by its exit status and what it prints.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sstream>

#include "base/cp932.h"
#include "base/le.h"
#include "base/ui_texts.h"
#include "cli/json_reader.h"
#include "support/lzh_builder.h"
#include "support/test_files.h"
#include "support/zip_builder.h"

namespace brim {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::BytesOf;
using test::Json;
using test::TempDir;
using test::ZipLocal;

struct CliRun {
  int status = -1;
  std::string out, err;
};

// args run in dir as the command line's arguments (English texts).
CliRun RunCli(const std::string& dir, const std::string& args) {
  TempDir scratch;
  CliRun r;
  r.status = test::RunShell("(cd '" + dir + "' && export LC_ALL=C.UTF-8 && '" BRIMLODE_CLI_PATH "' " + args + " >'" +
                            scratch.File("o") + "' 2>'" + scratch.File("e") + "')");
  const Bytes o = test::ReadFileBytes(scratch.File("o")), e = test::ReadFileBytes(scratch.File("e"));
  r.out.assign(o.begin(), o.end());
  r.err.assign(e.begin(), e.end());
  return r;
}

std::string U(const std::string& cp932) { return Cp932ToUtf8(cp932); }

const Bytes kPayload = BytesOf("MZ this program runs when opened");

// Two entries; between the last one's data and the directory, gap.
Bytes TwoEntries(const Bytes& gap = {}) {
  test::ZipBuilder z;
  z.Local(ZipLocal::Stored("a.txt", BytesOf("hello")));
  z.Local(ZipLocal::Stored("b.exe", kPayload));
  if (!gap.empty()) z.Raw(gap);
  z.Finish();
  return z.bytes;
}

// Signed as apksigner does it: zeros up to a multiple of 4096, the block.
Bytes Signed() {
  Bytes gap(4096 - (30 + 5 + 5 + 30 + 5 + kPayload.size()), 0);
  const Bytes block = test::ApkSigningBlock(Bytes(300, 0xA5));
  gap.insert(gap.end(), block.begin(), block.end());
  return TwoEntries(gap);
}

// Cut inside the last entry's data: no directory, no end record.
Bytes CutInLastEntry() {
  Bytes b = TwoEntries();
  b.resize(30 + 5 + 5 + 30 + 5 + 10);
  return b;
}

// The last part of a split set as zip -s writes it: big.bin lies in the
// part before, after its split marker (offset 4); its data's tail comes
// first here, then a.txt; the end record is disk 1.
Bytes LastPartOfSplitSet() {
  test::ZipBuilder z;
  z.Raw(Bytes(100, 0x77));
  const ZipLocal a = ZipLocal::Stored("a.txt", BytesOf("hello"));
  const uint64_t at = z.Local(a);
  const uint64_t start = z.Size();
  test::ZipCentral big = test::ZipCentral::For(ZipLocal::Stored("big.bin", Bytes(70000, 1)), 4);
  test::ZipCentral here = test::ZipCentral::For(a, static_cast<uint32_t>(at));
  here.diskStart = 1;
  z.Central(big);
  z.Central(here);
  test::ZipEnd e = z.EndFor(start, z.Size());
  e.diskNumber = e.directoryDisk = 1;
  e.entriesOnDisk = e.entriesTotal = 2;
  e.directoryOffset = static_cast<uint32_t>(start);
  z.End(e);
  return z.bytes;
}

// An end record whose directory offset is `by` more than the truth.
Bytes OffsetWrongBy(uint32_t by, const Bytes& stub = {}) {
  Bytes b = stub;
  const Bytes archive = TwoEntries();
  b.insert(b.end(), archive.begin(), archive.end());
  const size_t offset = b.size() - 22 + 16;
  le::Put32(b.data() + offset, le::Get32(b.data() + offset) + by);
  return b;
}

// The comment ends in an end record of its own that counts one header.
Bytes FakeEndInComment() {
  Bytes b = TwoEntries();
  Bytes fake(22, 0);
  le::Put32(fake.data(), 0x06054B50);
  le::Put16(fake.data() + 8, 1);
  le::Put16(fake.data() + 10, 1);
  le::Put32(fake.data() + 12, 51);
  le::Put16(b.data() + b.size() - 2, 22);
  b.insert(b.end(), fake.begin(), fake.end());
  return b;
}

// LArc's -lz5-, level 0, at byte 0 or behind a program stub.
Bytes Larc(size_t stub, bool sumChecks = true) {
  test::LzhBuilder l;
  l.Raw(Bytes(stub, 'M'));
  test::LzhEntry e = test::LzhEntry::Level0("READ.ME", BytesOf("hello"));
  e.method = "-lz5-";
  if (!sumChecks) e.headerSum = 0;
  l.Add(e);
  l.EndMark();
  return l.bytes;
}

struct Row {
  const char* label;
  std::vector<std::pair<const char*, Bytes>> files;  // written into the row's folder ("d/x.zip" makes d)
  const char* args;
  int status;
  std::vector<std::string> out;  // each must appear in standard output
  std::vector<std::string> err;  // ... in standard error
  std::function<void(const TempDir&, const CliRun&)> more = nullptr;
};

void PrintTo(const Row& r, std::ostream* os) { *os << r.label; }

// "NAME" as JSON writes it.
std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::vector<Row> Rows() {
  const UiTexts& ui = Ui();
  const std::string analysed = Quoted(U(ui.analysed)), damaged = Quoted(U(ui.damagedZip));
  return {
      // 1: the signing block is the signer's; any other gap is marked.
      {"apk_signing_block", {{"s.apk", Signed()}, {"u.apk", TwoEntries()}}, "analyse s.apk --json", 0,
       {analysed},
       {},
       [](const TempDir& d, const CliRun& r) {
         // Rows and listing as unsigned; only the directory's positions moved.
         const Json s = Json::parse(r.out), u = Json::parse(RunCli(d.Path(), "analyse u.apk --json").out);
         EXPECT_EQ(s["listing"], u["listing"]);
         EXPECT_EQ(s["log"], u["log"]);
         ASSERT_EQ(s["locator"].size(), 2u);
         for (size_t i = 0; i < 2; ++i) {
           for (size_t c = 0; c < 5; ++c) EXPECT_EQ(s["locator"][i][c], u["locator"][i][c]) << i << "," << c;
         }
         // Rewritten alike: the signed file is the unsigned one with the block
         // in, and its end record's offset past it.
         ASSERT_EQ(RunCli(d.Path(), "rewrite s.apk u.apk --all").status, 0);
         Bytes sb = test::ReadFileBytes(d.File("s.apk"));
         const Bytes ub = test::ReadFileBytes(d.File("u.apk"));
         const size_t block = sb.size() - ub.size();  // the padding and the block
         sb.erase(sb.begin() + 30 + 5 + 5 + 30 + 5 + static_cast<long>(kPayload.size()),
                  sb.begin() + 30 + 5 + 5 + 30 + 5 + static_cast<long>(kPayload.size() + block));
         le::Put32(sb.data() + sb.size() - 6, le::Get32(sb.data() + sb.size() - 6) - static_cast<uint32_t>(block));
         EXPECT_EQ(sb, ub);
       }},
      {"one_byte_gap", {{"g.zip", TwoEntries(Bytes{0})}}, "analyse g.zip --report", 0, {"\"data_between_entries\""}},
      // 2: LArc at byte 0 and behind a stub, by one rule.
      {"larc_at_byte_0", {{"l.lzs", Larc(0)}}, "analyse l.lzs --json", 0, {analysed, "READ.ME"}},
      {"larc_behind_a_stub", {{"l.exe", Larc(2048)}}, "analyse l.exe --json", 0, {analysed, "READ.ME"}},
      {"larc_whose_header_does_not_check", {{"l.lzs", Larc(0, false)}}, "analyse l.lzs --json", 4,
       {Quoted(U(ui.notAnArchive))}},
      // 3: a damaged ZIP's listed entries neutralised, and both said.
      {"rewrite_of_a_damaged_zip",
       {{"d.zip", CutInLastEntry()}},
       "rewrite d.zip --all --json",
       4,
       {damaged, Quoted(U(FormatNumbers(ui.logRewroteDamaged, 1))), Quoted(U(FormatNumbers(ui.panelRewroteDamaged, 1)))},
       {"d.zip: a damaged ZIP archive: 1 entry of the listing neutralised"}},
      {"last_part_of_a_split_set",
       {{"s.zip", LastPartOfSplitSet()}},
       "rewrite s.zip --all --report",
       5,
       {"\"not_done\":" + Quoted(U(ui.reasonDataNotHere)), "\"neutralised\":true"}},
      // 4: cut inside its first local header (its name is there, its data not).
      {"cut_in_the_first_local_header", {{"c.zip", [] { Bytes b = TwoEntries(); b.resize(35); return b; }()}},
       "rewrite c.zip --all --json", 4, {damaged, Quoted(U(ui.logNoEndRecord))}},
      // 5: an end record alone is an archive with no entries.
      {"empty_zip", {{"e.zip", test::EncodeZipEnd({})}}, "analyse e.zip --json", 0, {analysed, "\"listing\": []"},
       {},
       [](const TempDir& d, const CliRun&) { EXPECT_EQ(RunCli(d.Path(), "rewrite e.zip --all").status, 1); }},
      // 6: the directory found only by the end record's size.
      {"directory_offset_off_by_2_gib", {{"o.zip", OffsetWrongBy(0x7FFFE47B)}}, "analyse o.zip --json", 0,
       {analysed, Quoted(U(FormatNumbers(ui.logDirectoryEarlier, 0x7FFFE47B)))},
       {},
       [](const TempDir& d, const CliRun&) {
         EXPECT_NE(RunCli(d.Path(), "analyse o.zip --report").out.find("\"directory_moved\""), std::string::npos);
       }},
      {"stub_the_offsets_ignore", {{"x.exe", [] {
                                      // cat stub a.zip: the offsets count from the archive proper.
                                      Bytes b(1000, 'M');
                                      const Bytes a = TwoEntries();
                                      b.insert(b.end(), a.begin(), a.end());
                                      return b;
                                    }()}},
       "analyse x.exe --json", 0, {analysed, Quoted(U(FormatNumbers(ui.logDirectoryLater, 1000)))},
       {},
       [](const TempDir& d, const CliRun&) {
         EXPECT_EQ(RunCli(d.Path(), "analyse x.exe --report").out.find("\"directory_moved\""), std::string::npos);
       }},
      // 7: readers disagree on which end record counts.
      {"fake_end_record_in_the_comment", {{"f.zip", FakeEndInComment()}}, "analyse f.zip --json", 4,
       {damaged, Quoted(U(ui.logEndRecordInComment))}},
      // 8: the copy is a file; standard output carries the listing.
      {"output_dash", {{"a.zip", TwoEntries()}}, "rewrite a.zip --all --output -", 2, {},
       {"--output needs a file name"},
       [](const TempDir& d, const CliRun&) { EXPECT_FALSE(fs::exists(d.File("-"))); }},
      // 9: two archives of one name into one folder: both copies written,
      // each report naming its own; a name taken before names nothing.
      {"same_name_twice_into_one_folder",
       {{"x/a.zip", TwoEntries()}, {"y/a.zip", TwoEntries()}, {"out/keep", {}}},
       "rewrite x/a.zip y/a.zip --all --output-dir out --report",
       0,
       {},
       {},
       [](const TempDir& d, const CliRun& r) {
         std::istringstream lines(r.out);
         std::vector<std::string> outputs;
         for (std::string line; std::getline(lines, line);) outputs.push_back(Json::parse(line)["output"].get<std::string>());
         EXPECT_EQ(outputs, (std::vector<std::string>{d.File("out/a.zip"), d.File("out/a(2).zip")}));
         EXPECT_TRUE(fs::exists(d.File("out/a(2).zip")));
         // With out/a.zip there now, the first finds its name taken.
         const CliRun again = RunCli(d.Path(), "rewrite x/a.zip y/a.zip --all --output-dir out --report");
         EXPECT_EQ(again.status, 3);
         std::istringstream second(again.out);
         std::string line;
         ASSERT_TRUE(std::getline(second, line));
         EXPECT_TRUE(Json::parse(line)["output"].is_null()) << line;
       }},
  };
}

class DamageOutcomes : public ::testing::TestWithParam<Row> {};

TEST_P(DamageOutcomes, SaysWhatHappened) {
  const Row& row = GetParam();
  TempDir dir;
  for (const auto& [name, bytes] : row.files) {
    fs::create_directories(fs::path(dir.File(name)).parent_path());
    test::WriteFileBytes(dir.File(name), bytes);
  }
  const CliRun r = RunCli(dir.Path(), row.args);
  EXPECT_EQ(r.status, row.status) << r.err;
  for (const std::string& text : row.out) EXPECT_NE(r.out.find(text), std::string::npos) << text << "\n" << r.out;
  for (const std::string& text : row.err) EXPECT_NE(r.err.find(text), std::string::npos) << text << "\n" << r.err;
  if (row.more) row.more(dir, r);
}

INSTANTIATE_TEST_SUITE_P(Points, DamageOutcomes, ::testing::ValuesIn(Rows()),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace brim
