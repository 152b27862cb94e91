// The builders must write what real readers accept, or every test built on
// them proves nothing.
#include <gtest/gtest.h>

#include "support/lzh_builder.h"
#include "support/needs.h"
#include "support/test_files.h"
#include "support/zip_builder.h"

namespace brim::test {
namespace {

TEST(ZipBuilder, ArchivesPassUnzipTest) {
  BRIMLODE_NEEDS("unzip");
  TempDir dir;
  ZipBuilder z;
  z.Local(ZipLocal::Stored("a.txt", BytesOf("hello, world\n")));
  z.Local(ZipLocal::Deflated("dir/b.BIN", BytesOf(std::string(5000, 'b'))));
  z.Local(ZipLocal::Stored("dir/", {}));
  z.Finish(0, "comment");
  WriteFileBytes(dir.File("a.zip"), z.bytes);
  std::string out;
  EXPECT_EQ(RunShell("unzip -t '" + dir.File("a.zip") + "'", &out), 0) << out;
  EXPECT_NE(out.find("No errors detected"), std::string::npos) << out;

  // A stub with offsets adjusted to include it is a clean archive too.
  ZipBuilder s;
  s.Raw(Bytes(1000, 'x'));
  s.Local(ZipLocal::Stored("c.txt", BytesOf("stub")));
  s.Local(ZipLocal::Streamed("d.txt", BytesOf("streamed data")));
  s.DataDescriptorForLast();
  s.Finish(0);
  WriteFileBytes(dir.File("s.zip"), s.bytes);
  EXPECT_EQ(RunShell("unzip -t '" + dir.File("s.zip") + "'", &out), 0) << out;
  if (Installed("bsdtar")) {
    EXPECT_EQ(RunShell("bsdtar -xOf - < '" + dir.File("s.zip") + "' > /dev/null", &out), 0) << out;
  }
}

TEST(LzhBuilder, EveryLevelPassesLhasaTest) {
  TempDir dir;
  for (int level = 0; level <= 2; ++level) {
    LzhBuilder b;
    LzhEntry first = level == 0   ? LzhEntry::Level0("A.TXT", BytesOf("123456789"))
                     : level == 1 ? LzhEntry::Level1("A.TXT", BytesOf("123456789"))
                                  : LzhEntry::Level2("A.TXT", BytesOf("123456789"));
    b.Add(first);
    LzhEntry second = level == 2 ? LzhEntry::Level2("b.c", BytesOf("second entry"))
                                 : LzhEntry::Level0("b.c", BytesOf("second entry"));
    second.level = level;
    if (level >= 1) {
      if (level == 1) second.extended.push_back(LzhExtended::Common());
      second.extended.push_back(LzhExtended::Directory("docs/sub/"));
    }
    b.Add(second);
    b.EndMark();
    std::string path = dir.File("l" + std::to_string(level) + ".lzh");
    WriteFileBytes(path, b.bytes);
    std::string out;
    if (Installed("lhasa")) {
      EXPECT_EQ(RunShell("lhasa t '" + path + "'", &out), 0) << out;
      // lhasa stops silently at a header it rejects: count what it tested.
      size_t tested = 0;
      for (size_t at = out.find("Tested"); at != std::string::npos; at = out.find("Tested", at + 1))
        ++tested;
      EXPECT_EQ(tested, 2u) << "level " << level << ": " << out;
    }
    if (!Installed("bsdtar")) continue;
    EXPECT_EQ(RunShell("bsdtar -tvf '" + path + "'", &out), 0) << out;
    if (level >= 1) {
      EXPECT_NE(out.find("docs/sub/b.c"), std::string::npos) << "level " << level << ": " << out;
    }
  }
}

}  // namespace
}  // namespace brim::test
