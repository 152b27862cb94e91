#include <gtest/gtest.h>

#include "base/cp932.h"
#include "support/test_files.h"

namespace brim {
namespace {

using test::J;

struct PathCase {
  const char* label;
  std::string text;  // CP932
  std::string folder, fileName, extension, withoutExtension, key;
};

void PrintTo(const PathCase& c, std::ostream* os) { *os << c.label; }

class PathRulesTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(PathRulesTest, SplitsLikeTheRules) {
  const PathCase& c = GetParam();
  EXPECT_EQ(FolderPart(c.text), c.folder);
  EXPECT_EQ(FileNamePart(c.text), c.fileName);
  EXPECT_EQ(ExtensionOf(c.text), c.extension);
  EXPECT_EQ(WithoutExtension(c.text), c.withoutExtension);
  EXPECT_EQ(ExtensionKey(c.text), c.key);
}

// ソ is 83 5C and 表 is 95 5C: their second byte is a backslash.
INSTANTIATE_TEST_SUITE_P(
    Cp932, PathRulesTest,
    ::testing::Values(
        PathCase{"plain", "a.txt", "", "a.txt", ".txt", "a", "txt"},
        PathCase{"folder", "dir\\b.BIN", "dir\\", "b.BIN", ".BIN", "dir\\b", "bin"},
        PathCase{"drive", "D:readme", "D:", "readme", "", "D:readme", ""},
        PathCase{"double", "x.tar.gz", "", "x.tar.gz", ".gz", "x.tar", "gz"},
        PathCase{"dotted folder", "src.old\\readme", "src.old\\", "readme", "", "src.old\\readme", ""},
        PathCase{"trailing dot", "readme.", "", "readme.", ".", "readme", ""},
        PathCase{"so", J("ソフト\\表示.TXT"), J("ソフト\\"), J("表示.TXT"), ".TXT", J("ソフト\\表示"), "txt"},
        PathCase{"so only", J("ソ"), "", J("ソ"), "", J("ソ"), ""},
        PathCase{"hyo ext", J("a.表"), "", J("a.表"), J(".表"), "a", J("表")},
        PathCase{"empty", "", "", "", "", "", ""},
        // IBM extensions, lead bytes FA-FC: 纊 is FA 5C, 犾 FB 5C, 髙 FB FC
        // (its trail is itself a lead byte), 﨑 FA B1.
        PathCase{"ibm name", "x\\\xFA\x5C.txt", "x\\", "\xFA\x5C.txt", ".txt", "x\\\xFA\x5C", "txt"},
        PathCase{"ibm last", "a\\\xFB\x5C", "a\\", "\xFB\x5C", "", "a\\\xFB\x5C", ""},
        PathCase{"ibm ext", "\xFB\xFC\xFA\xB1.\xFA\x5C", "", "\xFB\xFC\xFA\xB1.\xFA\x5C", ".\xFA\x5C",
                 "\xFB\xFC\xFA\xB1", "\xFA\x5C"},
        PathCase{"ibm trail a lead byte", "\xFB\xFC\\a.c", "\xFB\xFC\\", "a.c", ".c", "\xFB\xFC\\a", "c"},
        // A lead byte followed by no second byte stands alone (本文.exe in
        // UTF-8 ends in 87 2E); 0x5C after a lead byte is still its second byte.
        PathCase{"utf8 dot", "\xE6\x9C\xAC\xE6\x96\x87.exe", "", "\xE6\x9C\xAC\xE6\x96\x87.exe", ".exe",
                 "\xE6\x9C\xAC\xE6\x96\x87", "exe"},
        PathCase{"stray lead colon", "\x81:b.c", "\x81:", "b.c", ".c", "\x81:b", "c"},
        PathCase{"stray lead 7F", "\xE0\x7F.x", "", "\xE0\x7F.x", ".x", "\xE0\x7F", "x"},
        PathCase{"stray lead FD", "\xFC\xFD.x", "", "\xFC\xFD.x", ".x", "\xFC\xFD", "x"},
        PathCase{"lead at end", "a.\x81", "", "a.\x81", ".\x81", "a", "\x81"},
        PathCase{"5C still a second byte", "\x97\x5C.js", "", "\x97\x5C.js", ".js", "\x97\x5C", "js"},
        // The extension Windows sees: trailing dots and spaces dropped, a
        // stream suffix cut. A ":" before an extension still separates
        // ("abc:evil.exe" is abc_evil.exe to the extractors that replace it).
        PathCase{"win dot", "evil.exe.", "", "evil.exe.", ".exe", "evil", "exe"},
        PathCase{"win space", "evil.exe ", "", "evil.exe ", ".exe", "evil", "exe"},
        PathCase{"win dots spaces", "a\\e.EXE . .", "a\\", "e.EXE . .", ".EXE", "a\\e", "exe"},
        PathCase{"win stream", "evil.exe::$DATA", "", "evil.exe::$DATA", ".exe", "evil", "exe"},
        PathCase{"win named stream", "d\\evil.exe :x", "d\\", "evil.exe :x", ".exe", "d\\evil", "exe"},
        PathCase{"win drive stream", "D:e.js:$DATA", "D:", "e.js:$DATA", ".js", "D:e", "js"},
        PathCase{"win kanji stream", J("表.exe:x"), "", J("表.exe:x"), ".exe", J("表"), "exe"},
        PathCase{"colon separates", "abc:evil.exe", "abc:", "evil.exe", ".exe", "abc:evil", "exe"},
        PathCase{"stream no ext", "readme:x", "readme:", "x", "", "readme:x", ""},
        PathCase{"only dots", "a..", "", "a..", ".", "a.", ""}),
    [](const auto& info) {
      std::string n = info.param.label;
      for (char& ch : n) if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return n;
    });

// UTF-8 names (flag bit 11): "/" is their only separator, the Windows
// extension as for CP932.
TEST(PathRules, Utf8NamesTakeTheExtensionWindowsSees) {
  const std::pair<const char*, const char*> cases[] = {
      {"dir/x.tar.gz", ".gz"},   {"\xE6\x9C\xAC.exe.", ".exe"}, {"a.txt:evil.exe", ".exe"},
      {"evil.exe::$DATA", ".exe"}, {"d.x/readme", ""},         {"readme.", "."},
      {"a\\b.c", ".c"}};
  for (const auto& [name, ext] : cases) EXPECT_EQ(ExtensionOf(name, NameEncoding::Utf8), ext) << name;
  EXPECT_EQ(SplitName("d.x/r:s", NameEncoding::Utf8).fileStart, 4u);
  EXPECT_EQ(TallyKeyOf("\xE6\x9C\xAC.EXE ", NameEncoding::Utf8), "exe");
  EXPECT_EQ(ExtensionCellDot("d.x\\readme"), 1u);  // as the LZH Ext cell always showed
}

TEST(PathRules, NativePathsUseSlashAndKeepDottedFolders) {
  EXPECT_EQ(NativeWithoutExtension("/tmp/a.b/pack"), "/tmp/a.b/pack");
  EXPECT_EQ(NativeWithoutExtension("/tmp/a.b/pack.zip"), "/tmp/a.b/pack");
  EXPECT_EQ(NativeWithoutExtension("/tmp/ソ\\x.zip"), "/tmp/ソ\\x");
  EXPECT_EQ(NativeFolderPart("/tmp/a.b/pack.zip"), "/tmp/a.b/");
  EXPECT_EQ(NativeFileNamePart("/tmp/a.b/pack.zip"), "pack.zip");
}

TEST(Cp932, ConvertsBackslashAsBackslashAndMarksBadBytes) {
  bool ok = false;
  EXPECT_EQ(Cp932ToUtf8(J("表\\a"), &ok), "表\\a");
  EXPECT_TRUE(ok);
  EXPECT_EQ(J("表"), "\x95\x5C");
  EXPECT_EQ(Cp932ToUtf8("a\x80z", &ok), "a\xEF\xBF\xBDz");
  EXPECT_FALSE(ok);
  EXPECT_EQ(Utf8ToCp932("a€b", &ok), "a?b");  // not a CP932 character
  EXPECT_FALSE(ok);
}

TEST(Cp932, EntryNamesBecomeNativeRelativePaths) {
  EXPECT_EQ(EntryNameToNativePath(J("src\\表.c")), "src/表.c");
  // Half-width katakana converts; a byte that is not CP932 becomes U+FFFD.
  EXPECT_EQ(EntryNameToNativePath(std::string("a\xB1\xFD.txt", 7)), "a\xEF\xBD\xB1\xEF\xBF\xBD.txt");
  // 85 has no characters: the listing shows U+FFFD and pairs 83 58 as ス;
  // the name on disk reads the same.
  const std::string bad = "d\\a\x85\x83\x58.txt";
  EXPECT_EQ(Cp932ToUtf8(bad), "d\\a\xEF\xBF\xBDス.txt");
  EXPECT_EQ(EntryNameToNativePath(bad), "d/a\xEF\xBF\xBDス.txt");
}

}  // namespace
}  // namespace brim
