#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "base/errors.h"
#include "base/file_stream.h"
#include "base/ui_texts.h"
#include "regen_fixture.h"
#include "regenerate/regeneration.h"

namespace brim {
namespace {

using namespace regen_test;
using test::Bytes;
using test::J;

class Combined : public RegenTest {
 protected:
  std::string Written(const std::string& path) { return Utf8ToCp932(path) + Ui().logWritten; }
  std::vector<std::string> Combining(std::initializer_list<std::pair<int, int>> steps) {
    std::vector<std::string> out;
    for (auto [row, ticked] : steps) out.push_back(FormatNumbers(Ui().combining, row, ticked));
    return out;
  }
  size_t FilesIn(const std::string& folder) {
    size_t n = 0;
    for (auto& e : std::filesystem::directory_iterator(folder)) n += e.is_regular_file();
    return n;
  }
};

TEST_F(Combined, TwoEntryWorkedExampleIs474Bytes) {
  LocalEntry a{"notes.txt", Filler(100, 1)};     // L = 139, n = 9
  LocalEntry b{"abcdefgh.txt", Filler(158, 2)};  // L = 200, n = 12
  Bytes archive;
  AddRow(AppendLocal(archive, {"skip.me", Filler(33)}), false);
  const Row ra = AppendLocal(archive, a);
  AddRow(ra, true);
  AddRow(AppendLocal(archive, {"skip.too", Filler(12)}), false);
  const Row rb = AppendLocal(archive, b);
  AddRow(rb, true);
  Select("pack.zip", archive, ArchiveKindType::Zip);

  ASSERT_TRUE(Run(RegenerateCombined));
  const std::string out = dir.File("pack(ReCreate00).zip");
  Bytes ea, eb;
  AppendLocal(ea, a);
  AppendLocal(eb, b);
  ASSERT_EQ(ea.size(), 139u);
  ASSERT_EQ(eb.size(), 200u);
  const Bytes expected = Concat({ea, eb, ExpectedCentral(a, 0), ExpectedCentral(b, 139),
                                 ExpectedEnd(2, 113, 339)});
  ASSERT_EQ(expected.size(), 474u);
  EXPECT_EQ(test::ReadFileBytes(out), expected);
  EXPECT_EQ(Log(), (std::vector<std::string>{Written(out)}));
  EXPECT_EQ(s.StatusBar1.Panel(kPanelProgress), "");

  // The combined-entry table: local position, nine facts, name position.
  ASSERT_EQ(s.ListView4.Count(), 2u);
  EXPECT_EQ(s.ListView4.CellText(0, 0), "0");
  EXPECT_EQ(s.ListView4.CellText(1, 0), "8B");
  std::vector<std::string> cells;
  for (size_t c = 1; c <= 10; ++c) cells.push_back(s.ListView4.CellText(1, c));
  EXPECT_EQ(cells,
            (std::vector<std::string>{"14", "0", "0", "6000", "5A21", FormatHexCell(CrcOf(b.data)),
                                      "9E", "9E", "C", FormatHexCell(rb.offset + 30)}));
  EXPECT_EQ(rb.offset + 30, 0x121u);
  ExpectZipReadersAccept(out, 2);
}

TEST_F(Combined, PanelTwoAfterEveryRowTickedOrNot) {
  Bytes archive;
  for (int i = 0; i < 10; ++i) {
    AddRow(AppendLocal(archive, {"r" + std::to_string(i), Filler(5)}), i == 1 || i == 7);
  }
  Select("ten.zip", archive, ArchiveKindType::Zip);
  std::vector<std::string> seen;
  desktop.onPump = [&](long) { seen.push_back(s.StatusBar1.Panel(kPanelProgress)); };

  ASSERT_TRUE(Run(RegenerateCombined));
  EXPECT_EQ(seen, Combining({{0, 2}, {1, 2}, {2, 2}, {3, 2}, {4, 2}, {5, 2}, {6, 2}, {7, 2},
                             {8, 2}, {9, 2}}));
  EXPECT_EQ(seen[9], J("結合中 9/2"));
  EXPECT_EQ(s.StatusBar1.Panel(kPanelProgress), "");
  EXPECT_EQ(s.Gauge1.Progress(), 100);  // the bytes of the whole output
  ExpectZipReadersAccept(dir.File("ten(ReCreate00).zip"), 2);
}

TEST_F(Combined, LzhOf300And500Is801Bytes) {
  Bytes archive = Filler(1200, 5);
  archive.push_back(0);
  AddRow({"a.c", 0, 20, 280}, true);      // 300 bytes
  AddRow({"b.c", 300, 330, 270}, false);
  AddRow({"c.c", 600, 650, 450}, true);   // 500 bytes
  Select("pack.lzh", archive, ArchiveKindType::Lzh);
  s.ListView4.Add(CombinedRow{1, {7, 7, 7}});

  ASSERT_TRUE(Run(RegenerateCombined));
  Bytes expected = Concat({Slice(archive, 0, 300), Slice(archive, 600, 500), Bytes{0}});
  ASSERT_EQ(expected.size(), 801u);
  EXPECT_EQ(test::ReadFileBytes(dir.File("pack(ReCreate00).lzh")), expected);
  EXPECT_EQ(s.ListView4.Count(), 1u);  // an LZH run leaves the last ZIP run's table
}

TEST_F(Combined, NothingTickedStillMakesTheEmptyArchive) {
  Bytes zip;
  AddRow(AppendLocal(zip, {"a.txt", Filler(5)}), false);
  Select("pack.zip", zip, ArchiveKindType::Zip);
  ASSERT_TRUE(Run(RegenerateCombined));
  const std::string outZip = dir.File("pack(ReCreate00).zip");
  EXPECT_EQ(test::ReadFileBytes(outZip), ExpectedEnd(0, 0, 0));
  EXPECT_EQ(Log(), (std::vector<std::string>{Written(outZip)}));
  ExpectZipReadersAccept(outZip, 0);

  Select("pack.lzh", Bytes{0}, ArchiveKindType::Lzh);
  ASSERT_TRUE(Run(RegenerateCombined));
  EXPECT_EQ(test::ReadFileBytes(dir.File("pack(ReCreate00).lzh")), Bytes{0});
}

TEST_F(Combined, RunningTwiceGivesTheNextNumber) {
  Bytes archive = Filler(100);
  archive.push_back(0);
  AddRow({"a", 0, 10, 90}, true);
  Select("pack.lzh", archive, ArchiveKindType::Lzh);
  ASSERT_TRUE(Run(RegenerateCombined));
  ASSERT_TRUE(Run(RegenerateCombined));
  EXPECT_EQ(test::ReadFileBytes(dir.File("pack(ReCreate00).lzh")),
            test::ReadFileBytes(dir.File("pack(ReCreate01).lzh")));
  EXPECT_EQ(Log().size(), 2u);
}

TEST_F(Combined, EntriesWithExtraFieldsDescriptorsAndAStub) {
  LocalEntry a{"extra.txt", Filler(64), ExtraField(24)};
  LocalEntry b{"dd.bin", Filler(300), {}, 0, 0, true};
  LocalEntry c{"\x95\x5C.txt", Filler(7)};
  Bytes archive = Filler(1024, 0x4D);  // a program stub before the archive
  AddRow(AppendLocal(archive, a), true);
  AddRow(AppendLocal(archive, b), true);
  AddRow(AppendLocal(archive, c), true);
  Select("setup.exe", archive, ArchiveKindType::Zip);

  ASSERT_TRUE(Run(RegenerateCombined));
  Bytes ea, eb, ec;
  AppendLocal(ea, a);
  AppendLocal(eb, b);  // the descriptor travels with its entry
  AppendLocal(ec, c);
  const uint32_t pb = static_cast<uint32_t>(ea.size());
  const uint32_t pc = static_cast<uint32_t>(ea.size() + eb.size());
  const uint32_t d = static_cast<uint32_t>(pc + ec.size());
  const Bytes expected =
      Concat({ea, eb, ec, ExpectedCentral(a, 0), ExpectedCentral(b, pb), ExpectedCentral(c, pc),
              ExpectedEnd(3, static_cast<uint32_t>(3 * 46 + 9 + 6 + 6), d)});
  const std::string out = dir.File("setup(ReCreate00).zip");
  EXPECT_EQ(test::ReadFileBytes(out), expected);
  ExpectZipReadersAccept(out, 3);
}

TEST_F(Combined, AllHundredNamesTakenRefusesAndCreatesNothing) {
  Bytes archive;
  AddRow(AppendLocal(archive, {"a.txt", Filler(5)}), true);
  Select("pack.zip", archive, ArchiveKindType::Zip);
  for (int i = 0; i < 100; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "pack(ReCreate%02d).zip", i);
    test::WriteFileBytes(dir.File(name), {static_cast<uint8_t>(i)});
  }
  s.ListView4.Add(CombinedRow{5, {}});
  ASSERT_TRUE(Run(RegenerateCombined));
  EXPECT_EQ(desktop.messages, (std::vector<std::string>{Ui().allReCreateNamesTaken}));
  EXPECT_EQ(test::ReadFileBytes(dir.File("pack(ReCreate99).zip")), Bytes{99});
  EXPECT_EQ(FilesIn(dir.Path()), 101u);
  EXPECT_EQ(s.ListView4.Count(), 1u);
  EXPECT_TRUE(Log().empty());
}

// A dangling symbolic link, a FIFO and a folder each take their number: the
// output goes to the first name under which nothing exists.
TEST_F(Combined, NamesTakenInAnyFormAreSkipped) {
  Bytes archive;
  AddRow(AppendLocal(archive, {"a.txt", Filler(5)}), true);
  Select("pack.zip", archive, ArchiveKindType::Zip);
  ASSERT_EQ(::symlink("nowhere.zip", dir.File("pack(ReCreate00).zip").c_str()), 0);
  ASSERT_EQ(::mkfifo(dir.File("pack(ReCreate01).zip").c_str(), 0644), 0);
  std::filesystem::create_directory(dir.File("pack(ReCreate02).zip"));
  ASSERT_TRUE(Run(RegenerateCombined));
  EXPECT_TRUE(desktop.errors.empty());
  EXPECT_EQ(Log(), (std::vector<std::string>{Written(dir.File("pack(ReCreate03).zip"))}));
  EXPECT_FALSE(std::filesystem::exists(dir.File("nowhere.zip")));
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("pack(ReCreate02).zip")));
  ExpectZipReadersAccept(dir.File("pack(ReCreate03).zip"), 1);
}

TEST_F(Combined, MoreThan65535ZipEntriesRefused) {
  Bytes archive;
  const Row r = AppendLocal(archive, {"a.txt", Filler(5)});
  for (int i = 0; i < 65536; ++i) AddRow(r, true);
  Select("many.zip", archive, ArchiveKindType::Zip);
  ASSERT_TRUE(Run(RegenerateCombined));
  EXPECT_EQ(desktop.messages, (std::vector<std::string>{Ui().tooManyEntriesForZip}));
  EXPECT_EQ(FilesIn(dir.Path()), 1u);
  EXPECT_TRUE(Log().empty());
  EXPECT_EQ(s.StatusBar1.Panel(kPanelProgress), "");

  // 65,535 is still one archive, its counts exact.
  s.ListView2.SetChecked(0, false);
  ASSERT_TRUE(Run(RegenerateCombined));
  const Bytes out = test::ReadFileBytes(dir.File("many(ReCreate00).zip"));
  EXPECT_EQ(le::Get16(&out[out.size() - 22 + 8]), 65535);

  // Ticks added while the command runs count: past 65,535 it gives up and
  // leaves no output.
  for (size_t i = 0; i < s.ListView2.Count(); ++i) s.ListView2.SetChecked(i, i == 0);
  desktop.onPump = [&](long) {
    if (s.ListView2.Checked(1)) return;
    for (size_t i = 0; i < s.ListView2.Count(); ++i) s.ListView2.SetChecked(i, true);
  };
  EXPECT_FALSE(Run(RegenerateCombined));
  EXPECT_EQ(desktop.errors, (std::vector<std::string>{Ui().tooManyEntriesForZip + "."}));
  EXPECT_FALSE(RegularFileExists(dir.File("many(ReCreate01).zip")));
}

TEST_F(Combined, ShortReadRemovesTheOutputAndLogsNothing) {
  Bytes archive;
  AddRow(AppendLocal(archive, {"a.txt", Filler(50)}), true);
  AddRow(AppendLocal(archive, {"big.bin", Filler(200000)}), true);
  archive.resize(archive.size() - 10);
  const std::string path = Select("pack.zip", archive, ArchiveKindType::Zip);
  EXPECT_FALSE(Run(RegenerateCombined));
  EXPECT_EQ(desktop.errors,
            (std::vector<std::string>{FormatText(Ui().fileCannotRead, Utf8ToCp932(path)) + "."}));
  EXPECT_EQ(FilesIn(dir.Path()), 1u);
  EXPECT_TRUE(Log().empty());
}

// 64-bit positions: entries past 2 GiB in a sparse archive of 3 GiB.
TEST_F(Combined, EntriesBeyondTwoGiB) {
  const uint64_t far = 0xA0000000;  // 2.5 GiB
  LocalEntry a{"near.txt", Filler(40)};
  LocalEntry b{"far.txt", Filler(60)};
  Bytes head, tail;
  AddRow(AppendLocal(head, a), true);
  Row rb = AppendLocal(tail, b);
  rb.offset += static_cast<uint32_t>(far);
  rb.start += static_cast<uint32_t>(far);
  AddRow(rb, true);
  const std::string path = dir.File("huge.zip");
  test::WriteFileBytes(path, head);
  {
    FileStream f = FileStream::Open(path, FileStream::Mode::ReadWrite);
    f.WriteAt(far, tail.data(), tail.size());
    f.WriteAt(far + 0x40000000, "\0", 1);  // the file goes on to 3.5 GiB
  }
  s.Label1.SetCaption(path);
  test::NoteAnalysedFile(s, path);
  s.ArchiveKind = ArchiveKindType::Zip;

  ASSERT_TRUE(Run(RegenerateCombined)) << desktop.errors.front();
  EXPECT_EQ(s.ListView4.CellText(1, 10), "A000001E");  // name at far + 30
  const uint32_t n = static_cast<uint32_t>(head.size());
  EXPECT_EQ(test::ReadFileBytes(dir.File("huge(ReCreate00).zip")),
            Concat({head, tail, ExpectedCentral(a, 0), ExpectedCentral(b, n),
                    ExpectedEnd(2, 46 * 2 + 8 + 7, static_cast<uint32_t>(n + tail.size()))}));
  ASSERT_TRUE(Run(RegenerateIndividually)) << desktop.errors.front();
  EXPECT_EQ(test::ReadFileBytes(dir.File("far.txt.zip")),
            Concat({tail, ExpectedCentral(b, 0), ExpectedEnd(1, 46 + 7, 97)}));
}

}  // namespace
}  // namespace brim
