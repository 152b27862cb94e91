// Archives made by real archivers, split and combined, judged by real readers.
#include <gtest/gtest.h>

#include <filesystem>

#include "analysis/format_detection.h"
#include "base/file_stream.h"
#include "base/ui_texts.h"
#include "regen_fixture.h"
#include "regenerate/output_naming.h"
#include "regenerate/regeneration.h"
#include "support/needs.h"

namespace brim {
namespace {

using namespace regen_test;
using test::Bytes;

class RealTools : public RegenTest {
 protected:
  // Source files in dir/files: a.txt, b.bin, 表ソ.txt (its CP932 bytes end in
  // 0x5C twice) and sub/s.txt.
  void MakeFiles() {
    std::filesystem::create_directories(dir.File("files/sub"));
    test::WriteFileBytes(dir.File("files/a.txt"), test::BytesOf(std::string(500, 'a') + "\n"));
    test::WriteFileBytes(dir.File("files/b.bin"), Filler(70000, 11));
    test::WriteFileBytes(dir.File("files/表ソ.txt"), test::BytesOf("漢字\n"));
    test::WriteFileBytes(dir.File("files/sub/s.txt"), test::BytesOf("sub\n"));
  }
  int Shell(const std::string& command) {
    std::string out;
    int rc = test::RunShell("cd " + Q(dir.File("files")) + " && " + command, &out);
    EXPECT_EQ(rc, 0) << command << "\n" << out;
    return rc;
  }

  // Splits every entry and combines them all, then asks the readers. The
  // archive lies in dir/files, so folders named in LZH entries exist.
  void SplitAndCombine(const std::string& name, ArchiveKindType kind,
                       const std::vector<Row>& rows) {
    const std::string path = dir.File("files/" + name);
    s.Label1.SetCaption(path);
    // Where the analysis lists the archive fully, its rows are the walk's.
    ASSERT_TRUE(Run(DetectFormatAndAnalyse));
    if (s.StatusBar1.Outcome() == AnalysisOutcome::Analysed) {
      EXPECT_EQ(s.ArchiveKind, kind);
      ASSERT_EQ(s.ListView1.Count(), rows.size());
      for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(s.ListView1.Caption(i), rows[i].caption);
        EXPECT_EQ(s.ListView1.CellText(i, kColOffset), FormatHexCell(rows[i].offset));
        EXPECT_EQ(s.ListView1.CellText(i, kColStart), FormatHexCell(rows[i].start));
        EXPECT_EQ(s.ListView1.CellText(i, kColSize), FormatHexCell(rows[i].size));
      }
    }
    s.ListView1.Clear();
    s.Memo1.Clear();
    s.ArchiveKind = kind;
    AddRows(rows);
    ASSERT_FALSE(rows.empty());
    const bool zip = kind == ArchiveKindType::Zip;

    ASSERT_TRUE(Run(RegenerateIndividually)) << desktop.errors.front();
    for (const Row& r : rows) {
      const std::string out =
          dir.File("files/" + EntryNameToNativePath(r.caption) + (zip ? ".zip" : ".lzh"));
      ASSERT_TRUE(RegularFileExists(out)) << out;
      zip ? ExpectZipReadersAccept(out, 1) : ExpectLzhReadersAccept(out, 1);
    }
    EXPECT_EQ(Log().size(), 2 * rows.size());

    ASSERT_TRUE(Run(RegenerateCombined)) << desktop.errors.front();
    const std::string made = std::string(NativeWithoutExtension(path)) + "(ReCreate00)" +
                             (zip ? ".zip" : ".lzh");
    ASSERT_TRUE(RegularFileExists(made));
    zip ? ExpectZipReadersAccept(made, rows.size()) : ExpectLzhReadersAccept(made, rows.size());
  }

  // Every file of the combined ZIP reads back as the file it was made from.
  void ExpectContents(const std::string& combined, const std::vector<std::string>& names) {
    BRIMLODE_NEEDS("unzip");
    for (const std::string& n : names) {
      std::string out;
      ASSERT_EQ(test::RunShell("unzip -p " + Q(combined) + " " + Q(n), &out), 0) << n;
      const Bytes original = test::ReadFileBytes(dir.File("files/" + n));
      EXPECT_EQ(test::BytesOf(out), original) << n;
    }
  }
};

struct ZipTool {
  const char* label;
  const char* command;  // run in dir/files, writes t.zip
};

class RealZip : public RealTools, public ::testing::WithParamInterface<ZipTool> {};

TEST_P(RealZip, OutputsPassEveryReader) {
  BRIMLODE_NEEDS("zip");
  MakeFiles();
  // Info-ZIP stores the names as the file system holds them; give it the CP932
  // bytes of 表ソ.txt.
  const std::string cp932 = "\x95\x5C\x83\x5C.txt";
  std::filesystem::rename(dir.File("files/表ソ.txt"), dir.File("files/" + cp932));
  Shell(GetParam().command);
  std::filesystem::rename(dir.File("files/" + cp932), dir.File("files/表ソ.txt"));
  const Bytes archive = test::ReadFileBytes(dir.File("files/t.zip"));
  SplitAndCombine("t.zip", ArchiveKindType::Zip, WalkZip(archive));
  ExpectContents(dir.File("files/t(ReCreate00).zip"), {"a.txt", "b.bin", "sub/s.txt"});
}

INSTANTIATE_TEST_SUITE_P(
    Zip, RealZip,
    ::testing::Values(ZipTool{"Stored", "zip -q -0 -D t.zip b.bin *.txt sub/s.txt"},
                      ZipTool{"Deflated", "zip -q -9 t.zip b.bin *.txt sub/s.txt"}),
    [](const auto& info) { return std::string(info.param.label); });

// A program stub before the archive, with stored offsets that count it
// (zip -A) and without: each output starts with its local header.
TEST_F(RealTools, ZipBehindAStub) {
  BRIMLODE_NEEDS("zip");
  MakeFiles();
  Shell("zip -q -9 plain.zip a.txt b.bin sub/s.txt");
  const Bytes stub = Filler(1500, 0x4D);
  test::WriteFileBytes(dir.File("files/stub"), stub);
  Shell("cat stub plain.zip > t.zip && cp t.zip adjusted.zip && zip -q -A adjusted.zip");
  for (const char* name : {"t.zip", "adjusted.zip"}) {
    SCOPED_TRACE(name);
    const Bytes archive = test::ReadFileBytes(dir.File(std::string("files/") + name));
    const std::vector<Row> rows = WalkZip(archive, static_cast<uint32_t>(stub.size()));
    ASSERT_EQ(rows.size(), 3u);
    s.ListView1.Clear();
    for (const char* out : {"a.txt.zip", "b.bin.zip", "s.txt.zip"}) {
      std::filesystem::remove(dir.File(std::string("files/") + out));
    }
    SplitAndCombine(name, ArchiveKindType::Zip, rows);
    // The entry range sits at 0, byte for byte.
    const Bytes out = test::ReadFileBytes(dir.File("files/b.bin.zip"));
    EXPECT_EQ(Slice(out, 0, rows[1].start + rows[1].size - rows[1].offset),
              Slice(archive, rows[1].offset, rows[1].start + rows[1].size - rows[1].offset));
    s.Memo1.Clear();
  }
}

// bsdtar writes CP932 names and always a data descriptor (CRC-32 0 in the
// local header).
TEST_F(RealTools, BsdtarWithCp932NamesAndDescriptors) {
  BRIMLODE_NEEDS("bsdtar");
  MakeFiles();
  Shell("LANG=C.UTF-8 bsdtar --format zip --options zip:compression=store,zip:hdrcharset=CP932 "
        "-cf t.zip a.txt b.bin 表ソ.txt");
  const Bytes archive = test::ReadFileBytes(dir.File("files/t.zip"));
  const std::vector<Row> rows = WalkZip(archive);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2].caption, test::J("表ソ.txt"));
  SplitAndCombine("t.zip", ArchiveKindType::Zip, rows);
  ExpectContents(dir.File("files/t(ReCreate00).zip"), {"a.txt", "b.bin"});
}

class RealLzh : public RealTools, public ::testing::WithParamInterface<int> {};

TEST_P(RealLzh, JlhaLevels) {
  BRIMLODE_NEEDS("jlha");
  MakeFiles();
  const std::string level = std::to_string(GetParam());
  Shell("LC_ALL=C.UTF-8 JAVA_TOOL_OPTIONS='-Dlha.encoding=MS932 -Dsun.jnu.encoding=UTF-8' "
        "jlha a" + level + " t.lzh a.txt b.bin 表ソ.txt sub/s.txt");
  const Bytes archive = test::ReadFileBytes(dir.File("files/t.lzh"));
  const std::vector<Row> rows = WalkLzh(archive);
  ASSERT_EQ(rows.size(), 4u);
  // Level 0 keeps the folder in the name ("sub\s.txt"); the output goes into it.
  EXPECT_EQ(rows[3].caption, GetParam() == 0 ? "sub\\s.txt" : "s.txt");
  SplitAndCombine("t.lzh", ArchiveKindType::Lzh, rows);
  // The combined archive is the entries back to back and the end byte.
  const Bytes combined = test::ReadFileBytes(dir.File("files/t(ReCreate00).lzh"));
  EXPECT_EQ(combined, Concat({Slice(archive, 0, rows[3].start + rows[3].size), Bytes{0}}));
}

INSTANTIATE_TEST_SUITE_P(Levels, RealLzh, ::testing::Values(0, 1, 2));

}  // namespace
}  // namespace brim
