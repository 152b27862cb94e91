// End-to-end runs of the built brimlode-cli on real archives: exit status,
// the JSON it prints, and the files it changes or makes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "base/cp932.h"
#include "base/ui_texts.h"
#include "cli/json_reader.h"
#include "support/lzh_builder.h"
#include "support/needs.h"
#include "support/test_files.h"

namespace brim {
namespace {

using test::Json;
using test::RunShell;
using test::TempDir;

std::string U(const std::string& cp932) { return Cp932ToUtf8(cp932); }

struct CliResult {
  int status = -1;
  std::string out;
  std::string err;
  Json json() const { return Json::parse(out); }
};

// Runs the binary in folder cwd with the given (shell-quoted) arguments.
CliResult RunCli(const std::string& cwd, const std::string& args) {
  TempDir scratch;
  std::string outFile = scratch.File("out"), errFile = scratch.File("err");
  CliResult r;
  // In a subshell: RunShell sends the shell's own standard error to its
  // output, which must not override the redirections here.
  r.status = RunShell("(cd '" + cwd + "' && LC_ALL=C.UTF-8 '" BRIMLODE_CLI_PATH "' " + args + " >'" + outFile + "' 2>'" +
                      errFile + "')");
  auto bytes = test::ReadFileBytes(outFile);
  r.out.assign(bytes.begin(), bytes.end());
  bytes = test::ReadFileBytes(errFile);
  r.err.assign(bytes.begin(), bytes.end());
  return r;
}

std::vector<std::string> Captions(const Json& rows) {
  std::vector<std::string> out;
  for (const Json& row : rows) out.push_back(row[0].get<std::string>());
  return out;
}

// A ZIP made by Info-ZIP zip: three files, one in a folder.
class CliOnZip : public ::testing::Test {
 protected:
  void SetUp() override {
    BRIMLODE_NEEDS("zip");
    std::filesystem::create_directories(src.File("sub"));
    test::WriteFileBytes(src.File("a.txt"), test::BytesOf(std::string(300, 'a')));
    test::WriteFileBytes(src.File("b.exe"), test::BytesOf("MZ just a program, honestly"));
    test::WriteFileBytes(src.File("sub/c.js"), test::BytesOf("alert(1);\n"));
    ASSERT_EQ(RunShell("cd '" + src.Path() + "' && zip -q -D '" + dir.File("pack.zip") + "' a.txt b.exe sub/c.js"), 0);
  }
  TempDir src, dir;
};

TEST_F(CliOnZip, AnalyseJsonHasEveryKeyAndTheListing) {
  CliResult r = RunCli(dir.Path(), "analyse pack.zip --json");
  ASSERT_EQ(r.status, 0) << r.err;
  Json v = r.json();
  EXPECT_EQ(test::Keys(v), (std::vector<std::string>{"kind", "panels", "gauge", "log", "locator", "listing", "tally",
                                                 "messages"}));
  EXPECT_EQ(v["kind"].get<std::string>(), "zip");
  EXPECT_EQ(v["panels"][0].get<std::string>(), U(Ui().analysed));
  EXPECT_EQ(v["panels"][1].get<std::string>(), "0");
  EXPECT_EQ(Captions(v["listing"]), (std::vector<std::string>{"a.txt", "b.exe", "c.js"}));
  EXPECT_EQ(v["listing"][2][4].get<std::string>(), "sub\\");
  EXPECT_EQ(v["listing"][0][3].get<std::string>(), "300");
  EXPECT_FALSE(v["listing"][0][5].get<bool>());
  ASSERT_EQ(v["locator"].size(), 3u);
  EXPECT_EQ(v["locator"][0][1].get<std::string>(), "0");  // first local header at 0
  EXPECT_EQ(Captions(v["tally"]), (std::vector<std::string>{"txt", "exe", "js"}));
  EXPECT_EQ(v["log"][0].get<std::string>(), U(Ui().logSeparator));
  EXPECT_TRUE(v["messages"].empty());
  EXPECT_TRUE(r.err.empty()) << r.err;
}

TEST_F(CliOnZip, AnalyseTextShowsPanelsAndRows) {
  CliResult r = RunCli(dir.Path(), "analyse pack.zip");
  ASSERT_EQ(r.status, 0) << r.err;
  for (const std::string& part : {U(Ui().analysed), std::string("c.js"), std::string("sub\\"),
                                  U(Ui().colCompress)}) {
    EXPECT_NE(r.out.find(part), std::string::npos) << part;
  }
}

TEST_F(CliOnZip, RewriteByExtensionThenReanalyse) {
  auto before = test::ReadFileBytes(dir.File("pack.zip"));
  CliResult r = RunCli(dir.Path(), "rewrite pack.zip --ext EXE --reanalyse --json");
  ASSERT_EQ(r.status, 0) << r.err;
  Json v = r.json();
  EXPECT_EQ(v["panels"][0].get<std::string>(), U(Ui().analysed));
  EXPECT_EQ(Captions(v["listing"]), (std::vector<std::string>{"a.txt", "b.ex$", "c.js"}));
  EXPECT_EQ(test::ReadFileBytes(dir.File("pack.zip")).size(), before.size());
  if (test::Installed("unzip")) {
    EXPECT_EQ(RunShell("unzip -tq '" + dir.File("pack.zip") + "'"), 0);
  }
  // Both questions were answered Yes, and said so.
  EXPECT_NE(r.err.find(U(Ui().confirmRewrite)), std::string::npos);
  EXPECT_NE(r.err.find(U(Ui().confirmReanalyse)), std::string::npos);
}

TEST_F(CliOnZip, RewriteWithoutReanalyseKeepsTheOldListingAndInvertTicksTheRest) {
  CliResult r = RunCli(dir.Path(), "rewrite pack.zip --rows 0 --invert --json");
  ASSERT_EQ(r.status, 0) << r.err;
  Json v = r.json();
  EXPECT_EQ(Captions(v["listing"]), (std::vector<std::string>{"a.txt", "b.exe", "c.js"}));
  EXPECT_FALSE(v["listing"][0][5].get<bool>());
  EXPECT_TRUE(v["listing"][1][5].get<bool>());
  EXPECT_TRUE(v["listing"][2][5].get<bool>());
  CliResult again = RunCli(dir.Path(), "analyse pack.zip --json");
  EXPECT_EQ(Captions(again.json()["listing"]), (std::vector<std::string>{"a.txt", "b.ex$", "c.j$"}));
}

TEST_F(CliOnZip, RewriteOfNothingIsRefused) {
  auto before = test::ReadFileBytes(dir.File("pack.zip"));
  CliResult r = RunCli(dir.Path(), "rewrite pack.zip --ext doc --json");
  EXPECT_EQ(r.status, 1);
  Json v = r.json();
  ASSERT_EQ(v["messages"].size(), 1u);
  EXPECT_EQ(v["messages"][0].get<std::string>(), U(Ui().nothingChecked));
  EXPECT_NE(r.err.find(U(Ui().nothingChecked)), std::string::npos);
  EXPECT_EQ(test::ReadFileBytes(dir.File("pack.zip")), before);
}

TEST_F(CliOnZip, ARowPastTheListingChangesNothing) {
  auto before = test::ReadFileBytes(dir.File("pack.zip"));
  CliResult r = RunCli(dir.Path(), "rewrite pack.zip --rows 1,3");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("no row 3"), std::string::npos) << r.err;
  EXPECT_EQ(test::ReadFileBytes(dir.File("pack.zip")), before);
}

TEST_F(CliOnZip, SplitWritesNextToTheArchiveWhateverTheWorkingFolder) {
  CliResult r = RunCli(src.Path(), "split '" + dir.File("pack.zip") + "' --rows 0,2 --json");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(std::filesystem::exists(dir.File("a.txt.zip")));
  EXPECT_TRUE(std::filesystem::exists(dir.File("c.js.zip")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("b.exe.zip")));
  if (test::Installed("unzip")) {
    EXPECT_EQ(RunShell("unzip -tq '" + dir.File("a.txt.zip") + "'"), 0);
  }
  EXPECT_EQ(r.json()["log"].size(), 1u + 4u);  // "---" and two lines per output
}

TEST_F(CliOnZip, CombineRelativePathAndNothingTicked) {
  CliResult none = RunCli(dir.Path(), "combine ./pack.zip --ext gif");
  EXPECT_EQ(none.status, 1);
  EXPECT_FALSE(std::filesystem::exists(dir.File("pack(ReCreate00).zip")));

  CliResult r = RunCli(dir.Path(), "combine ./pack.zip --all --json");
  ASSERT_EQ(r.status, 0) << r.err;
  if (test::Installed("unzip")) {
    EXPECT_EQ(RunShell("unzip -tq '" + dir.File("pack(ReCreate00).zip") + "'"), 0);
  }
  EXPECT_EQ(r.json()["panels"][2].get<std::string>(), "");
}

// Standard output is a pipe whose reader has gone: the split is done, the
// failed write is reported, and the status says the output was lost (3, not
// SIGPIPE's death).
TEST_F(CliOnZip, AClosedStandardOutputKeepsTheCommandsStatus) {
  const std::string errFile = src.File("err");
  const int status = RunShell("(cd '" + dir.Path() +
                              "' && LC_ALL=C.UTF-8 python3 -c 'import os, subprocess, sys\n"
                              "r, w = os.pipe()\nos.close(r)\n"
                              "sys.exit(subprocess.call(sys.argv[1:], stdout=w) % 256)' '" BRIMLODE_CLI_PATH
                              "' split pack.zip --all 2>'" + errFile + "')");
  const auto err = test::ReadFileBytes(errFile);
  const std::string errText(err.begin(), err.end());
  EXPECT_EQ(status, 3) << errText;
  EXPECT_NE(errText.find("the output could not be written"), std::string::npos) << errText;
  EXPECT_TRUE(std::filesystem::exists(dir.File("b.exe.zip")));
}

// A file limit (ulimit -f) hit mid-split: the error box, and no cut output
// under any name, so a later split does not skip it as existing.
TEST_F(CliOnZip, AFileLimitLeavesNoCutOutput) {
  test::WriteFileBytes(src.File("big.bin"), test::Bytes(3 << 20, 0x5A));
  ASSERT_EQ(RunShell("cd '" + src.Path() + "' && zip -q -0 '" + dir.File("big.zip") + "' big.bin"), 0);
  ASSERT_EQ(RunShell("cd '" + dir.Path() + "' && ulimit -f 1024 && '" BRIMLODE_CLI_PATH
                     "' split big.zip --all >/dev/null 2>&1; test $? -eq 3"),
            0);
  std::vector<std::string> names;
  for (auto& e : std::filesystem::directory_iterator(dir.Path())) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"big.zip", "pack.zip"}));
}

TEST_F(CliOnZip, CombineWithEveryNumberTakenIsRefused) {
  for (int n = 0; n < 100; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "pack(ReCreate%02d).zip", n);
    test::WriteFileBytes(dir.File(name), test::BytesOf("taken"));
  }
  CliResult r = RunCli(dir.Path(), "combine pack.zip --all --json");
  EXPECT_EQ(r.status, 4);
  Json v = r.json();
  ASSERT_EQ(v["messages"].size(), 1u);
  EXPECT_EQ(v["messages"][0].get<std::string>(), U(Ui().allReCreateNamesTaken));
}

// An entry named like its archive would be written over it: the error box,
// exit 3, and the archive intact.
TEST(CliBinary, SplitNeverWritesOverTheArchive) {
  BRIMLODE_NEEDS("zip");
  TempDir src, dir;
  test::WriteFileBytes(src.File("pack"), test::BytesOf("the entry named like the archive"));
  ASSERT_EQ(RunShell("cd '" + src.Path() + "' && zip -q '" + dir.File("pack.zip") + "' pack"), 0);
  auto before = test::ReadFileBytes(dir.File("pack.zip"));
  CliResult r = RunCli(dir.Path(), "split pack.zip --all --json");
  EXPECT_EQ(r.status, 3);
  Json v = r.json();
  ASSERT_EQ(v["messages"].size(), 1u);
  EXPECT_EQ(v["messages"][0].get<std::string>(), U(FormatText(Ui().fileCannotCreate, dir.File("pack.zip")) + "."));
  EXPECT_EQ(test::ReadFileBytes(dir.File("pack.zip")), before);
}

// An entry's folder that is a symbolic link leading out of the archive's
// folder: the error box for that output, and nothing written through it.
TEST(CliBinary, SplitNeverWritesThroughASymlinkedFolder) {
  TempDir top;
  std::filesystem::create_directories(top.File("outside"));
  std::filesystem::create_directories(top.File("mail"));
  ASSERT_EQ(::symlink("../outside", top.File("mail/docs").c_str()), 0);
  test::LzhBuilder b;
  b.Add(test::LzhEntry::Level0("docs\\readme.exe", test::BytesOf("MZ")));
  b.EndMark();
  test::WriteFileBytes(top.File("mail/pack.lzh"), b.bytes);
  CliResult r = RunCli(top.File("mail"), "split pack.lzh --all --json");
  EXPECT_EQ(r.status, 3);
  Json v = r.json();
  ASSERT_EQ(v["messages"].size(), 1u);
  EXPECT_EQ(v["messages"][0].get<std::string>(),
            U(FormatText(Ui().fileCannotCreate, top.File("mail/docs/readme.exe.lzh")) +
              FormatText(Ui().reasonAfterText, Ui().reasonLinkOnTheWay) + "."));
  EXPECT_TRUE(std::filesystem::is_empty(top.File("outside")));
}

TEST(CliBinary, NotAnArchiveAndMissingFile) {
  TempDir dir;
  test::WriteFileBytes(dir.File("notes.txt"), test::BytesOf("nothing to see here"));
  CliResult r = RunCli(dir.Path(), "analyse notes.txt --json");
  EXPECT_EQ(r.status, 4);
  EXPECT_TRUE(r.json()["listing"].empty());

  CliResult missing = RunCli(dir.Path(), "analyse gone.zip --json");
  EXPECT_EQ(missing.status, 3);
  Json v = missing.json();
  ASSERT_EQ(v["messages"].size(), 1u);
  EXPECT_EQ(v["messages"][0].get<std::string>(),
            U(FormatText(Ui().fileCannotOpen, dir.File("gone.zip")) +
              FormatText(Ui().reasonAfterText, Ui().reasonNoSuchFile) + "."));
  EXPECT_NE(missing.err.find("gone.zip"), std::string::npos);
}

TEST(CliBinary, RewriteOfWhatIsNotAnalysedIsRefused) {
  TempDir dir;
  test::WriteFileBytes(dir.File("notes.txt"), test::BytesOf("nothing to see here"));
  CliResult refused = RunCli(dir.Path(), "rewrite notes.txt --all --json");
  EXPECT_EQ(refused.status, 4);
  Json v = refused.json();
  ASSERT_EQ(v["messages"].size(), 1u);
  EXPECT_EQ(v["messages"][0].get<std::string>(), U(Ui().notAnalysed));
}

struct CorpusCase {
  const char* file;
  int status;
  const char* kind;
  const char* panel1;
  size_t rows;
};

class CliOnCorpus : public ::testing::TestWithParam<CorpusCase> {};

TEST_P(CliOnCorpus, ExitStatusAndPanels) {
  BRIMLODE_NEEDS_CORPUS();
  const CorpusCase& c = GetParam();
  TempDir dir;
  CliResult r = RunCli(dir.Path(), "analyse '" + test::CorpusPath(c.file) + "' --json");
  ASSERT_EQ(r.status, c.status) << r.err;
  Json v = r.json();
  EXPECT_EQ(v["kind"].get<std::string>(), c.kind);
  EXPECT_EQ(v["panels"][1].get<std::string>(), c.panel1);
  EXPECT_EQ(v["listing"].size(), c.rows);
  EXPECT_EQ(v["locator"].size(), c.rows);
}

INSTANTIATE_TEST_SUITE_P(
    Archives, CliOnCorpus,
    ::testing::Values(CorpusCase{"libarchive/lha_header0.lzh", 0, "lzh", "Level=0", 2},
                      CorpusCase{"libarchive/lha_header1.lzh", 0, "lzh", "Level=1", 2},
                      CorpusCase{"libarchive/lha_header2.lzh", 0, "lzh", "Level=2", 2},
                      CorpusCase{"libarchive/lha_oversize_header.lzh", 4, "lzh", "Level=0", 6},
                      CorpusCase{"libarchive/zip_sfx", 0, "zip", "1024", 1}));

}  // namespace
}  // namespace brim
