#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>

#include "base/errors.h"
#include "base/file_stream.h"
#include "base/ui_texts.h"
#include "regen_fixture.h"
#include "regenerate/regeneration.h"
#include "support/needs.h"

namespace brim {
namespace {

using namespace regen_test;
using test::Bytes;
using test::J;

class Individual : public RegenTest {
 protected:
  std::string Writing(const std::string& path) { return Utf8ToCp932(path) + Ui().logWriting; }
  std::string Written(const std::string& path) { return Utf8ToCp932(path) + Ui().logWritten; }
  std::string Skipped(const std::string& path) {
    return Utf8ToCp932(path) + Ui().logSkippedExisting;
  }
  std::string ErrorFor(const std::string& formatCp932, const std::string& path, const std::string& reason = "") {
    return FormatText(formatCp932, Utf8ToCp932(path)) + reason + ".";
  }
};

TEST_F(Individual, WorkedExampleIs216Bytes) {
  Bytes archive;
  LocalEntry other{"other.bin", Filler(40)};
  LocalEntry notes{"notes.txt", Filler(100, 9)};
  AddRow(AppendLocal(archive, other), false);
  const Row row = AppendLocal(archive, notes);
  AddRow(row, true);
  Select("pack.zip", archive, ArchiveKindType::Zip);

  ASSERT_TRUE(Run(RegenerateIndividually));
  const std::string out = dir.File("notes.txt.zip");
  Bytes entry;
  AppendLocal(entry, notes);
  ASSERT_EQ(entry.size(), 139u);
  const Bytes expected = Concat({entry, ExpectedCentral(notes, 0), ExpectedEnd(1, 55, 139)});
  ASSERT_EQ(expected.size(), 216u);
  EXPECT_EQ(test::ReadFileBytes(out), expected);
  EXPECT_FALSE(RegularFileExists(dir.File("other.bin.zip")));
  EXPECT_EQ(Log(), (std::vector<std::string>{Writing(out), Written(out)}));
  EXPECT_EQ(s.Gauge1.Progress(), 100);
  EXPECT_TRUE(desktop.errors.empty());
  ExpectZipReadersAccept(out, 1);
}

struct ZipCase {
  const char* label;
  LocalEntry entry;
  size_t stub;  // foreign bytes before the archive
};

void PrintTo(const ZipCase& c, std::ostream* os) { *os << c.label; }

class IndividualZip : public Individual, public ::testing::WithParamInterface<ZipCase> {};

// Each output holds its entry range at 0, then the records made for it.
TEST_P(IndividualZip, OutputIsTheRangeThenItsDirectory) {
  const ZipCase& c = GetParam();
  Bytes archive = Filler(c.stub, 0x4D);
  AppendLocal(archive, {"first.txt", Filler(10)});
  const Row row = AppendLocal(archive, c.entry);
  AppendLocal(archive, {"last.txt", Filler(10)});
  AddRow(row, true);
  Select("src.zip", archive, ArchiveKindType::Zip);

  ASSERT_TRUE(Run(RegenerateIndividually)) << desktop.errors.front();
  Bytes entry;
  AppendLocal(entry, c.entry);  // with its data descriptor, when it has one
  const uint32_t dirSize = static_cast<uint32_t>(46 + c.entry.name.size());
  const Bytes expected = Concat({entry, ExpectedCentral(c.entry, 0),
                                 ExpectedEnd(1, dirSize, static_cast<uint32_t>(entry.size()))});
  const std::string out = dir.File(EntryNameToNativePath(row.caption) + ".zip");
  EXPECT_EQ(test::ReadFileBytes(out), expected);
  ExpectZipReadersAccept(out, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IndividualZip,
    ::testing::Values(
        ZipCase{"Stored", {"notes.txt", Filler(100)}, 0},
        ZipCase{"ExtraField24", {"notes.txt", Filler(100), ExtraField(24)}, 0},
        ZipCase{"BehindAStub", {"notes.txt", Filler(100)}, 1024},
        ZipCase{"FolderInName", {"docs/sub/notes.txt", Filler(30)}, 0},
        ZipCase{"Cp932Name", {"\x95\x5C\x83\x5C.txt", Filler(30)}, 0},
        ZipCase{"DataDescriptor", {"dd.bin", Filler(300), {}, 0, 0, true}, 0}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(Individual, DeflatedEntryPassesReaders) {
  // A real deflate stream, so the readers' CRC checks mean something.
  BRIMLODE_NEEDS("zip");
  const std::string text(300, 'a');
  test::WriteFileBytes(dir.File("a.txt"), test::BytesOf(text));
  ASSERT_EQ(test::RunShell("cd " + Q(dir.Path()) + " && zip -q -9 src.zip a.txt"), 0);
  const Bytes archive = test::ReadFileBytes(dir.File("src.zip"));
  std::filesystem::remove(dir.File("a.txt"));
  AddRows(WalkZip(archive));
  Select("src.zip", archive, ArchiveKindType::Zip);
  ASSERT_TRUE(Run(RegenerateIndividually));
  ExpectZipReadersAccept(dir.File("a.txt.zip"), 1);
  BRIMLODE_NEEDS("unzip");
  std::string out;
  ASSERT_EQ(test::RunShell("unzip -p " + Q(dir.File("a.txt.zip")), &out), 0);
  EXPECT_EQ(out, text);
}

// A streaming writer leaves CRC-32 (and sizes) 0 in the local header and
// puts them in the descriptor: the directory must carry the real values.
TEST_F(Individual, ZeroLocalCrcIsTakenFromTheDescriptor) {
  LocalEntry e{"dd.bin", Filler(300), {}, 0, 0, true};
  Bytes archive;
  const Row row = AppendLocal(archive, e);
  le::Put32(&archive[14], 0);  // local CRC-32 left 0, as bsdtar writes it
  AddRow(row, true);
  Select("src.zip", archive, ArchiveKindType::Zip);
  ASSERT_TRUE(Run(RegenerateIndividually));
  const Bytes out = test::ReadFileBytes(dir.File("dd.bin.zip"));
  EXPECT_EQ(Slice(out, 0, archive.size()), archive);
  EXPECT_EQ(Slice(out, archive.size(), 46 + 6), ExpectedCentral(e, 0));
  ExpectZipReadersAccept(dir.File("dd.bin.zip"), 1);
}

TEST_F(Individual, RowsTwoAndFiveOfSixInRowOrder) {
  Bytes archive;
  for (int i = 0; i < 6; ++i) {
    AddRow(AppendLocal(archive, {"f" + std::to_string(i) + ".txt", Filler(20 + i)}),
           i == 2 || i == 5);
  }
  Select("six.zip", archive, ArchiveKindType::Zip);
  ASSERT_TRUE(Run(RegenerateIndividually));
  const std::string a = dir.File("f2.txt.zip"), b = dir.File("f5.txt.zip");
  EXPECT_EQ(Log(), (std::vector<std::string>{Writing(a), Written(a), Writing(b), Written(b)}));
  size_t files = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.Path())) files += e.is_regular_file();
  EXPECT_EQ(files, 3u);
}

TEST_F(Individual, LzhRangePlusEndByte) {
  Bytes archive = Filler(800, 3);
  archive.push_back(0);
  AddRow({"tool.exe", 100, 160, 440}, true);  // range 100..600: 500 bytes
  Select("pack.lzh", archive, ArchiveKindType::Lzh);
  ASSERT_TRUE(Run(RegenerateIndividually));
  Bytes expected = Slice(archive, 100, 500);
  expected.push_back(0);
  EXPECT_EQ(test::ReadFileBytes(dir.File("tool.exe.lzh")), expected);
  EXPECT_EQ(Log().size(), 2u);
}

TEST_F(Individual, NothingTickedWritesAndLogsNothing) {
  Bytes archive;
  AddRow(AppendLocal(archive, {"a.txt", Filler(5)}), false);
  Select("pack.zip", archive, ArchiveKindType::Zip);
  ASSERT_TRUE(Run(RegenerateIndividually));
  EXPECT_TRUE(Log().empty());
  EXPECT_FALSE(RegularFileExists(dir.File("a.txt.zip")));
}

TEST_F(Individual, ArchiveThatCannotBeOpenedStopsBeforeAnyOutput) {
  Bytes archive;
  AddRow(AppendLocal(archive, {"a.txt", Filler(5)}), true);
  s.ArchiveKind = ArchiveKindType::Zip;
  s.Label1.SetCaption(dir.File("gone.zip"));
  EXPECT_FALSE(Run(RegenerateIndividually));
  EXPECT_EQ(desktop.errors, (std::vector<std::string>{
                                FormatText(Ui().fileCannotOpen, dir.File("gone.zip")) +
                                FormatText(Ui().reasonAfterText, Ui().reasonNoSuchFile) + "."}));
  EXPECT_FALSE(RegularFileExists(dir.File("a.txt.zip")));
}

// The entry named pack in pack.zip would be written over the archive.
TEST_F(Individual, NeverWritesOverTheSourceArchive) {
  Bytes archive;
  AddRow(AppendLocal(archive, {"first.txt", Filler(5)}), true);
  AddRow(AppendLocal(archive, {"pack", Filler(50)}), true);
  AddRow(AppendLocal(archive, {"after.txt", Filler(5)}), true);
  const std::string path = Select("pack.zip", archive, ArchiveKindType::Zip);
  EXPECT_FALSE(Run(RegenerateIndividually));
  EXPECT_EQ(desktop.errors, (std::vector<std::string>{ErrorFor(Ui().fileCannotCreate, path)}));
  EXPECT_EQ(test::ReadFileBytes(path), archive);
  // The entry before stays written and logged; the one after is not reached.
  EXPECT_TRUE(RegularFileExists(dir.File("first.txt.zip")));
  EXPECT_FALSE(RegularFileExists(dir.File("after.txt.zip")));
  EXPECT_EQ(Log().size(), 2u);
}

TEST_F(Individual, ExistingOutputsAreSkippedAndTheRunGoesOn) {
  Bytes archive;
  AddRow(AppendLocal(archive, {"a/same.txt", Filler(10, 1)}), true);
  AddRow(AppendLocal(archive, {"b/same.txt", Filler(10, 2)}), true);  // same output name
  AddRow(AppendLocal(archive, {"kept.txt", Filler(10, 3)}), true);
  AddRow(AppendLocal(archive, {"new.txt", Filler(10, 4)}), true);
  Select("pack.zip", archive, ArchiveKindType::Zip);
  test::WriteFileBytes(dir.File("kept.txt.zip"), {7, 7, 7});
  std::filesystem::create_directory(dir.File("new.txt.zip"));  // a folder in the way

  ASSERT_TRUE(Run(RegenerateIndividually));
  const std::string same = dir.File("same.txt.zip"), kept = dir.File("kept.txt.zip"),
                    fresh = dir.File("new.txt.zip");
  EXPECT_EQ(Log(), (std::vector<std::string>{Writing(same), Written(same), Skipped(same),
                                             Skipped(kept), Skipped(fresh)}));
  EXPECT_EQ(test::ReadFileBytes(kept), (Bytes{7, 7, 7}));
  // The first of the two same-named entries is the one written.
  EXPECT_EQ(Slice(test::ReadFileBytes(same), 30 + 10, 10), Filler(10, 1));
}

TEST_F(Individual, LzhFolderMustExist) {
  Bytes archive = Filler(300);
  archive.push_back(0);
  AddRow({"top.c", 0, 20, 80}, true);
  AddRow({"src\\main.c", 100, 120, 80}, true);
  AddRow({"late.c", 200, 220, 80}, true);
  Select("pack.lzh", archive, ArchiveKindType::Lzh);

  EXPECT_FALSE(Run(RegenerateIndividually));
  EXPECT_EQ(desktop.errors, (std::vector<std::string>{ErrorFor(Ui().fileCannotCreate, dir.File("src/main.c.lzh"),
                                                              FormatText(Ui().reasonAfterText,
                                                                         Ui().reasonNoSuchFolder))}));
  EXPECT_TRUE(RegularFileExists(dir.File("top.c.lzh")));
  EXPECT_FALSE(RegularFileExists(dir.File("late.c.lzh")));
  EXPECT_EQ(Log().size(), 2u);

  // With the folder there, the output goes into it.
  std::filesystem::create_directory(dir.File("src"));
  std::filesystem::remove(dir.File("top.c.lzh"));
  desktop.errors.clear();
  ASSERT_TRUE(Run(RegenerateIndividually));
  Bytes expected = Slice(archive, 100, 100);
  expected.push_back(0);
  EXPECT_EQ(test::ReadFileBytes(dir.File("src/main.c.lzh")), expected);
}

// Names are input: one that climbs out of the archive's folder is refused.
TEST_F(Individual, NameLeavingTheFolderIsRefused) {
  std::filesystem::create_directory(dir.File("inner"));
  Bytes archive = Filler(200);
  archive.push_back(0);
  AddRow({"..\\evil.c", 0, 20, 80}, true);
  s.ArchiveKind = ArchiveKindType::Lzh;
  test::WriteFileBytes(dir.File("inner/pack.lzh"), archive);
  s.Label1.SetCaption(dir.File("inner/pack.lzh"));
  test::NoteAnalysedFile(s, dir.File("inner/pack.lzh"));

  EXPECT_FALSE(Run(RegenerateIndividually));
  EXPECT_EQ(desktop.errors, (std::vector<std::string>{ErrorFor(
                                Ui().fileCannotCreate, dir.File("inner/../evil.c.lzh"))}));
  EXPECT_FALSE(RegularFileExists(dir.File("evil.c.lzh")));
  EXPECT_TRUE(Log().empty());
}

// The archive shrank since the analysis: no padded output is left behind.
TEST_F(Individual, ShortReadRemovesTheIncompleteOutput) {
  Bytes archive;
  AddRow(AppendLocal(archive, {"whole.txt", Filler(100)}), true);
  AddRow(AppendLocal(archive, {"cut.txt", Filler(3 * 1048576)}), true);
  archive.resize(archive.size() - 1000);
  const std::string path = Select("pack.zip", archive, ArchiveKindType::Zip);

  EXPECT_FALSE(Run(RegenerateIndividually));
  EXPECT_EQ(desktop.errors, (std::vector<std::string>{ErrorFor(Ui().fileCannotRead, path)}));
  EXPECT_TRUE(RegularFileExists(dir.File("whole.txt.zip")));
  EXPECT_FALSE(RegularFileExists(dir.File("cut.txt.zip")));
  const std::string cut = dir.File("cut.txt.zip");
  EXPECT_EQ(Log().back(), Writing(cut));  // begun, never reported written
}

// A full disk: the output is removed and the error names it.
TEST_F(Individual, FailedWriteRemovesTheOutput) {
  Bytes archive;
  AddRow(AppendLocal(archive, {"big.bin", Filler(3 * 1048576)}), true);
  Select("pack.zip", archive, ArchiveKindType::Zip);

  struct rlimit old {};
  getrlimit(RLIMIT_FSIZE, &old);
  auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 1048576 + 5000;
  setrlimit(RLIMIT_FSIZE, &small);
  const bool done = Run(RegenerateIndividually);
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);

  EXPECT_FALSE(done);
  EXPECT_EQ(desktop.errors, (std::vector<std::string>{
                                ErrorFor(Ui().fileCannotWrite, dir.File("big.bin.zip"))}));
  EXPECT_FALSE(RegularFileExists(dir.File("big.bin.zip")));
}

}  // namespace
}  // namespace brim
