#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "base/errors.h"
#include "base/file_stream.h"
#include "regenerate/output_naming.h"
#include "support/test_files.h"

namespace brim {
namespace {

using test::TempDir;

struct NamingCase {
  const char* label;
  const char* archive;                  // relative to the temporary folder
  std::vector<const char*> present;     // files that exist already
  std::vector<const char*> folders;     // folders that exist already
  const char* suffix;
  const char* expected;
};

class MakeReCreateNameTest : public ::testing::TestWithParam<NamingCase> {};

TEST_P(MakeReCreateNameTest, TakesTheFirstFreeNumber) {
  const NamingCase& c = GetParam();
  TempDir dir;
  for (const char* f : c.folders) std::filesystem::create_directories(dir.File(f));
  for (const char* f : c.present) test::WriteFileBytes(dir.File(f), {1});
  EXPECT_EQ(MakeReCreateName(dir.File(c.archive), c.suffix), dir.File(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MakeReCreateNameTest,
    ::testing::Values(
        NamingCase{"Fresh", "pack.zip", {}, {}, ".zip", "pack(ReCreate00).zip"},
        NamingCase{"Sequence", "data.lzh", {"data(ReCreate00).lzh", "data(ReCreate01).lzh"}, {},
                   ".lzh", "data(ReCreate02).lzh"},
        NamingCase{"GapFilledFirst", "data.lzh", {"data(ReCreate00).lzh", "data(ReCreate02).lzh"},
                   {}, ".lzh", "data(ReCreate01).lzh"},
        NamingCase{"OtherExtensionDoesNotCount", "data.lzh", {"data(ReCreate00).lzh"}, {}, ".zip",
                   "data(ReCreate00).zip"},
        NamingCase{"SuffixReplacesTheExtension", "setup.exe", {}, {}, ".zip",
                   "setup(ReCreate00).zip"},
        NamingCase{"OnlyTheLastExtension", "data.tar.zip", {}, {}, ".zip",
                   "data.tar(ReCreate00).zip"},
        NamingCase{"NoExtension", "data", {}, {}, ".zip", "data(ReCreate00).zip"},
        NamingCase{"DottedFolderNoExtension", "old.set/list", {}, {"old.set"}, ".zip",
                   "old.set/list(ReCreate00).zip"},
        NamingCase{"DottedFolderWithExtension", "old.set/list.lzh", {"old.set/list(ReCreate00).lzh"},
                   {"old.set"}, ".lzh", "old.set/list(ReCreate01).lzh"},
        NamingCase{"FolderOfThatNameTakesIt", "pack.zip", {}, {"pack(ReCreate00).zip"}, ".zip",
                   "pack(ReCreate01).zip"},
        NamingCase{"JapaneseName", "書庫.zip", {"書庫(ReCreate00).zip"}, {}, ".zip",
                   "書庫(ReCreate01).zip"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(MakeReCreateName, AllHundredTakenGivesNinetyNineWhichExists) {
  TempDir dir;
  for (int i = 0; i < 100; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "pack(ReCreate%02d).zip", i);
    test::WriteFileBytes(dir.File(name), {1});
  }
  std::string name = MakeReCreateName(dir.File("pack.zip"), ".zip");
  EXPECT_EQ(name, dir.File("pack(ReCreate99).zip"));
  EXPECT_TRUE(PathTaken(name));  // the command refuses on this
}

TEST(IndividualOutputPath, EntryNameUnderTheArchivesFolder) {
  const std::string archive = "/arc/pack.zip";
  EXPECT_EQ(*IndividualOutputPath(archive, "readme.txt", ".zip"), "/arc/readme.txt.zip");
  EXPECT_EQ(*IndividualOutputPath(archive, "pack", ".zip"), "/arc/pack.zip");
  // LZH names keep their folders; a 0x5C second byte is no separator.
  EXPECT_EQ(*IndividualOutputPath("/arc/p.lzh", "src\\main.c", ".lzh"), "/arc/src/main.c.lzh");
  EXPECT_EQ(*IndividualOutputPath("/arc/p.lzh", test::J("ソフト\\表.txt"), ".lzh"),
            "/arc/ソフト/表.txt.lzh");
  // ".." as a whole name is a file "...zip" in the folder, not a way out.
  EXPECT_EQ(*IndividualOutputPath(archive, "..", ".zip"), "/arc/...zip");
  EXPECT_EQ(*IndividualOutputPath(archive, ".\\a", ".zip"), "/arc/./a.zip");
}

TEST(IndividualOutputPath, RefusesNamesThatLeaveTheFolder) {
  const std::string archive = "/arc/pack.lzh";
  for (const std::string name : {"..\\evil", "a\\..\\..\\evil", "../evil", "\\etc\\passwd",
                                 "/etc/passwd", "..\\"}) {
    EXPECT_FALSE(IndividualOutputPath(archive, name, ".lzh")) << name;
  }
  EXPECT_FALSE(IndividualOutputPath(archive, std::string("a\0b", 3), ".lzh"));
}

}  // namespace
}  // namespace brim
