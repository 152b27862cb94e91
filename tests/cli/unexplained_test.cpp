// Closed on what no reader view accounts for: each archive below carries a
// part some reader may read a name from that the analysis cannot; its row
// is marked "unexplained" and any rewrite of it exits 5 with that reason,
// whatever it ticked. The report's "dangerous" is the verdict --dangerous
// ticks by, and --list-dangerous / --dangerous-add say and extend the list.
#include <gtest/gtest.h>

#include <cstdio>

#include "cli/cli.h"
#include "support/lzh_builder.h"
#include "support/reader_views.h"
#include "support/test_files.h"
#include "support/zip_builder.h"

namespace brim::cli {
namespace {

using test::Bytes;
using test::BytesOf;

struct Captured {
  int status;
  std::string out;
};

Captured RunOn(std::vector<std::string> args) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  Captured c{Run(args, out, err), ""};
  std::rewind(out);
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, out)) > 0;) c.out.append(buf, n);
  std::fclose(out);
  std::fclose(err);
  return c;
}

struct Case {
  const char* label;
  Bytes bytes;
  bool unexplained;
  bool dangerous;  // the first row's verdict
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.label; }

test::LzhExtended Record(uint8_t type, Bytes body) {
  test::LzhExtended e;
  e.type = type;
  e.body = std::move(body);
  return e;
}

Bytes Lzh(test::LzhEntry e) {
  test::LzhBuilder b;
  b.Add(e);
  b.EndMark();
  return b.bytes;
}

std::vector<Case> Cases() {
  std::vector<Case> out;
  {  // A UTF-16 directory record (0x45) and no name: bsdtar writes it as the file.
    test::LzhEntry e = test::LzhEntry::Level1("", BytesOf("hello"));
    e.extended.push_back(Record(0x45, test::Utf16Le("evil.exe")));
    out.push_back({"lzh_utf16_directory_alone", Lzh(e), true, false});
  }
  {  // Beside a name it is a folder, as producers write it with a code page record.
    test::LzhEntry e = test::LzhEntry::Level2("readme.txt", BytesOf("hello"));
    e.extended.push_back(Record(0x45, test::Utf16Le("docs")));
    e.extended.push_back(Record(0x46, Bytes{0xA4, 0x03, 0, 0}));
    out.push_back({"lzh_utf16_directory_beside_a_name", Lzh(e), false, false});
  }
  {  // A record type nobody documents.
    test::LzhEntry e = test::LzhEntry::Level2("readme.txt", BytesOf("hello"));
    e.extended.push_back(Record(0x77, BytesOf("evil.exe")));
    out.push_back({"lzh_unknown_record", Lzh(e), true, false});
  }
  {  // Unix permission and owner records are harmless.
    test::LzhEntry e = test::LzhEntry::Level2("readme.txt", BytesOf("hello"));
    e.extended.push_back(Record(0x50, Bytes{0xA4, 0x81}));
    e.extended.push_back(Record(0x51, Bytes{0, 0, 0, 0}));
    out.push_back({"lzh_unix_records", Lzh(e), false, false});
  }
  {  // A stored bit-3 entry whose data holds a descriptor signature that does
     // not fit: a reader that checks less ends it there.
    test::ZipBuilder z;
    Bytes data = BytesOf("hello");
    const Bytes stray = {0x50, 0x4B, 0x07, 0x08, 1, 2, 3, 4, 9, 0, 0, 0, 9, 0, 0, 0};
    data.insert(data.end(), stray.begin(), stray.end());
    z.Local(test::ZipLocal::Streamed("readme.txt", data));
    z.DataDescriptorForLast();
    z.Finish();
    out.push_back({"ambiguous_descriptor", z.bytes, true, false});
  }
  {  // A bsdtar-like streamed entry without such bytes.
    test::ZipBuilder z;
    z.Local(test::ZipLocal::Streamed("readme.txt", BytesOf("hello")));
    z.DataDescriptorForLast();
    z.Finish();
    out.push_back({"plain_descriptor", z.bytes, false, false});
  }
  {  // A NUL in a Unicode Path name: the row is dangerous by that copy.
    test::ZipBuilder z;
    test::ZipLocal l = test::ZipLocal::Stored("a.txt", BytesOf("MZ"));
    l.extra = test::UnicodePathBlock("a.txt", std::string("evil.exe\0.txt", 13));
    z.Local(l);
    z.Finish();
    out.push_back({"unicode_path_nul", z.bytes, false, true});
  }
  return out;
}

class Unexplained : public ::testing::TestWithParam<Case> {};

TEST_P(Unexplained, MarkedAndARewriteIsPartlyDone) {
  const Case& c = GetParam();
  test::TempDir dir;
  const std::string path = dir.File(std::string(c.label) + (c.bytes[2] == '-' ? ".lzh" : ".zip"));
  test::WriteFileBytes(path, c.bytes);
  const Captured analysed = RunOn({"analyse", path, "--report"});
  EXPECT_EQ(analysed.status, 0);
  EXPECT_EQ(analysed.out.find("\"unexplained\"") != std::string::npos, c.unexplained) << analysed.out;
  EXPECT_NE(analysed.out.find(c.dangerous ? "\"dangerous\":true" : "\"dangerous\":false"), std::string::npos);
  // Nothing of it is dangerous by name, yet the rewrite cannot say it is safe.
  const Captured rewritten = RunOn({"rewrite", path, "--ext", "nothing", "--report", "--quiet"});
  if (c.unexplained) {
    EXPECT_EQ(rewritten.status, 5);
    EXPECT_NE(rewritten.out.find("\"reason\":\"unexplained\""), std::string::npos) << rewritten.out;
  } else {
    EXPECT_EQ(rewritten.status, 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Parts, Unexplained, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(DangerousList, OneALineWithOneNoteAndASiteOwn) {
  const Captured list = RunOn({"--list-dangerous"});
  EXPECT_EQ(list.status, 0);
  for (const char* key : {"\nexe\n", "\none\n", "\nonepkg\n", "\nmht\n", "\nwsb\n", "\nsearch-ms\n"}) {
    EXPECT_NE(("\n" + list.out).find(key), std::string::npos) << key;
  }
  EXPECT_EQ(("\n" + list.out).find("\ndocm\n"), std::string::npos);
  test::TempDir dir;
  const std::string path = dir.File("a.zip");
  test::ZipBuilder z;
  z.Local(test::ZipLocal::Stored("macro.DOCM", BytesOf("PK")));
  z.Finish();
  test::WriteFileBytes(path, z.bytes);
  EXPECT_EQ(RunOn({"rewrite", path, "--dangerous", "--dry-run", "--quiet"}).status, 1);
  EXPECT_EQ(RunOn({"rewrite", path, "--dangerous", "--dangerous-add", ".docm,xlsm", "--dry-run", "--quiet"}).status, 0);
}

}  // namespace
}  // namespace brim::cli
