// The command line as a mail gateway scripts it: one exit status and reason
// code per outcome, the typed --report, rewrite --output beside the source,
// several archives per call and standard input.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <sstream>

#include "base/cp932.h"
#include "base/errors.h"
#include "base/file_stream.h"
#include "base/ui_texts.h"
#include "cli/json_reader.h"
#include "support/lzh_builder.h"
#include "support/test_files.h"
#include "support/zip_builder.h"

namespace brim {
namespace {

using test::BytesOf;
using test::Json;
using test::TempDir;

struct CliRun {
  int status = -1;
  std::string out, err;
  // The --report lines, one document each.
  std::vector<Json> Reports() const {
    std::vector<Json> docs;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) docs.push_back(Json::parse(line));
    return docs;
  }
};

// args: the command line's arguments, or a shell script that runs "$CLI".
CliRun RunCli(const std::string& cwd, const std::string& args) {
  TempDir scratch;
  CliRun r;
  const std::string command = args.find("$CLI") != std::string::npos ? args : "\"$CLI\" " + args;
  // The command line's own texts follow the locale: English here.
  r.status = test::RunShell("(cd '" + cwd + "' && export LC_ALL=C.UTF-8 CLI='" BRIMLODE_CLI_PATH "' && { " +
                            command + "; } >'" + scratch.File("o") + "' 2>'" + scratch.File("e") + "')");
  auto o = test::ReadFileBytes(scratch.File("o")), e = test::ReadFileBytes(scratch.File("e"));
  r.out.assign(o.begin(), o.end());
  r.err.assign(e.begin(), e.end());
  return r;
}

test::Bytes Zip(const std::vector<test::ZipLocal>& locals, bool finish = true) {
  test::ZipBuilder z;
  for (const test::ZipLocal& l : locals) z.Local(l);
  if (finish) z.Finish();
  return z.bytes;
}

test::Bytes Pack() {
  return Zip({test::ZipLocal::Stored("a.txt", BytesOf("hello")),
              test::ZipLocal::Deflated("b.EXE", BytesOf(std::string(200, 'M'))),
              test::ZipLocal::Stored("sub/c.js", BytesOf("alert(1)"))});
}

test::Bytes Clean() { return Zip({test::ZipLocal::Stored("a.txt", BytesOf("hello"))}); }

test::Bytes DamagedZip() {
  test::Bytes b = Zip({test::ZipLocal::Stored("a.txt", BytesOf("hello")),
                       test::ZipLocal::Stored("b.exe", BytesOf("MZ a program cut short"))},
                      false);
  b.resize(b.size() - 5);
  return b;
}

test::Bytes DamagedLzh() {
  test::LzhBuilder b;
  b.Add(test::LzhEntry::Level0("a.txt", BytesOf("hello")));
  b.Add(test::LzhEntry::Level0("b.exe", BytesOf("MZ a program cut short")));
  b.bytes.resize(b.bytes.size() - 5);
  return b.bytes;
}

test::Bytes Mine() { return BytesOf("mine"); }
// A rewrite killed after the name: masked, still deflated.
test::Bytes HalfDone() {
  return Zip({test::ZipLocal::Stored("a.txt", BytesOf("hello")),
              test::ZipLocal::Deflated("evil.ex$", BytesOf(std::string(300, 'x')))});
}

// One outcome: the folder is made by setup, then args run in it.
struct OutcomeCase {
  const char* what;
  std::function<void(const TempDir&)> setup;
  const char* args;
  int status;
  const char* reason;  // of the last report line; "" when there is none (usage)
};

class Outcome : public ::testing::TestWithParam<OutcomeCase> {};

TEST_P(Outcome, StatusAndReason) {
  const OutcomeCase& c = GetParam();
  TempDir dir;
  c.setup(dir);
  CliRun r = RunCli(dir.Path(), c.args);
  EXPECT_EQ(r.status, c.status) << r.err;
  if (*c.reason == '\0') return;
  auto reports = r.Reports();
  ASSERT_FALSE(reports.empty()) << r.out;
  EXPECT_EQ(reports.back()["reason"].get<std::string>(), c.reason) << r.out;
  if (reports.size() == 1) {
    EXPECT_EQ(reports.back()["status"].get<int>(), c.status);
  }
}

// Writes each named file; a folder "out" too when asked.
std::function<void(const TempDir&)> Write(std::vector<std::pair<const char*, test::Bytes (*)()>> files,
                                          bool outFolder = false) {
  return [files, outFolder](const TempDir& d) {
    for (const auto& [name, make] : files) test::WriteFileBytes(d.File(name), make());
    if (outFolder) std::filesystem::create_directory(d.File("out"));
  };
}
std::function<void(const TempDir&)> Write(const char* name, test::Bytes (*make)()) { return Write({{name, make}}); }

INSTANTIATE_TEST_SUITE_P(
    Gateway, Outcome,
    ::testing::Values(
        OutcomeCase{"analysed", Write("p.zip", Pack), "analyse p.zip --report", 0, "done"},
        OutcomeCase{"dangerous entries neutralised", Write("p.zip", Pack), "rewrite p.zip --dangerous --report", 0,
                    "done"},
        OutcomeCase{"clean: nothing to do", Write("p.zip", Clean), "rewrite p.zip --dangerous --report", 1,
                    "nothing_selected"},
        OutcomeCase{"usage", Write("p.zip", Pack), "rewrite p.zip --report", 2, ""},
        OutcomeCase{"a row past the listing", Write("p.zip", Pack), "split p.zip --rows 9 --report", 2, "usage"},
        OutcomeCase{"missing", [](const TempDir&) {}, "analyse gone.zip --report", 3, "cannot_open"},
        OutcomeCase{"a folder", [](const TempDir& d) { std::filesystem::create_directory(d.File("f.zip")); },
                    "analyse f.zip --report", 3, "cannot_open"},
        OutcomeCase{"output name taken", Write({{"p.zip", Pack}, {"o.zip", Mine}}),
                    "rewrite p.zip --all --output o.zip --report", 3, "output_exists"},
        OutcomeCase{"not an archive", Write("n.txt", Mine), "rewrite n.txt --dangerous --report", 4, "not_an_archive"},
        OutcomeCase{"damaged zip", Write("d.zip", DamagedZip), "rewrite d.zip --dangerous --report", 4,
                    "damaged_zip"},
        // Its listed row is ticked: the copy is refused and the source left alone.
        OutcomeCase{"damaged zip with --output", Write("d.zip", DamagedZip),
                    "rewrite d.zip --all --output o.zip --report", 4, "damaged_zip"},
        // A dry run writes nothing: the archive still equals its copy, and
        // only then does the second run report.
        OutcomeCase{"damaged zip, dry run", Write({{"d.zip", DamagedZip}, {"copy.zip", DamagedZip}}),
                    "rewrite d.zip --all --dry-run >/dev/null 2>&1; cmp -s d.zip copy.zip && '" BRIMLODE_CLI_PATH
                    "' rewrite d.zip --all --dry-run --report",
                    4, "damaged_zip"},
        OutcomeCase{"damaged lzh", Write("d.lzh", DamagedLzh), "analyse d.lzh --report", 4, "damaged_lzh"},
        OutcomeCase{"too large (a sparse 4 GiB file)",
                    [](const TempDir& d) {
                      test::WriteFileBytes(d.File("big.zip"), Pack());
                      std::filesystem::resize_file(d.File("big.zip"), uint64_t{1} << 32);
                    },
                    "analyse big.zip --report", 4, "too_large"},
        OutcomeCase{"split skips an existing name", Write({{"p.zip", Pack}, {"a.txt.zip", Mine}}),
                    "split p.zip --rows 0,1 --report", 5, "partly_done"},
        OutcomeCase{"several: the worst", Write("p.zip", Pack), "analyse p.zip gone.zip p.zip --report", 3,
                    "done"},
        OutcomeCase{"several: done beats nothing to do", Write({{"p.zip", Pack}, {"c.zip", Clean}}, true),
                    "rewrite p.zip c.zip --dangerous --output-dir out --report", 0, "nothing_selected"},
        OutcomeCase{"standard input", Write("p.zip", Pack), "analyse - --report <p.zip", 0, "done"},
        // Ctrl+C while standard input is being read: once the private copy
        // (unnamed) is open, the handler is in place.
        OutcomeCase{"interrupted", Write("p.zip", Pack),
                    "export TMPDIR=$PWD; { sleep 30 & echo $! >writer; wait; cat p.zip; } | "
                    "{ exec 3<&0; \"$CLI\" analyse - --report <&3 & pid=$!; "
                    "for i in $(seq 600); do ls -l /proc/$pid/fd 2>/dev/null | grep -q deleted && break; sleep 0.05; done; "
                    "kill -INT $pid; wait $pid; status=$?; kill $(cat writer); exit $status; }",
                    130, "interrupted"},
        OutcomeCase{"standard input neutralised into a new file", Write("p.zip", Pack),
                    "rewrite - --dangerous --output o.zip --report <p.zip", 0, "done"},
        // No selection matches "evil.ex$", yet the rewrite finishes it: the
        // new analysis finds nothing half done.
        OutcomeCase{"a half-done row is finished", Write("h.zip", HalfDone),
                    "\"$CLI\" rewrite h.zip --ext txt --report >/dev/null && \"$CLI\" analyse h.zip --report | "
                    "grep -v half_neutralised",
                    0, "done"},
        // The report is lost: standard error says the rewrite was done.
        OutcomeCase{"a report that cannot be written", Write("p.zip", Pack),
                    "\"$CLI\" rewrite p.zip --dangerous --report >/dev/full 2>err; st=$?; "
                    "grep -q 'p.zip: done (0)' err && grep -q 'could not be written' err && exit $st",
                    3, ""},
        // Control characters in an archive's path are escaped as names are.
        OutcomeCase{"an archive path holding ESC", Write("p.zip", Pack),
                    "out=$(\"$CLI\" analyse p.zip \"$(printf 'x\\033.zip')\" 2>&1); "
                    "case \"$out\" in *\"$(printf '\\033')\"*) exit 9;; *\"==> x\"*) exit 0;; esac; exit 8",
                    0, ""},
        OutcomeCase{"a dry run with a taken output name", Write({{"p.zip", Pack}, {"o.zip", Mine}}),
                    "rewrite p.zip --all --output o.zip --dry-run --report", 3, "output_exists"}),
    [](const auto& info) {
      std::string name;
      for (char ch : std::string(info.param.what)) name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
      return name;
    });

TEST(Gateway, OutputLeavesTheSourceAndIsCompleteOrAbsent) {
  TempDir dir;
  const test::Bytes big = Zip({test::ZipLocal::Stored("big.exe", test::Bytes(3 << 20, 0x5A))});
  test::WriteFileBytes(dir.File("big.zip"), big);
  // 1 MiB allowed: the copy cannot be made whole.
  const std::string args = "rewrite big.zip --dangerous --output out.zip";
  EXPECT_EQ(RunCli(dir.Path(), "ulimit -f 1024 && \"$CLI\" " + args + " --quiet").status, 3);
  EXPECT_EQ(std::vector<std::string>{"big.zip"}, [&] {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(dir.Path())) names.push_back(e.path().filename());
    return names;
  }());

  CliRun r = RunCli(dir.Path(), args + " --report");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(test::ReadFileBytes(dir.File("big.zip")), big);
  CliRun again = RunCli(dir.Path(), "analyse out.zip --json");
  EXPECT_NE(again.out.find("big.ex$"), std::string::npos);
  const Json report = r.Reports().at(0);
  EXPECT_EQ(report["output"].get<std::string>(), dir.File("out.zip"));
  EXPECT_EQ(report["changes"].size(), 2u);  // the entry neutralised, the copy created
}

// Every kind of document (analysed, refused, missing, damaged, written,
// dry run) against the schema, and names that are not CP932 told apart.
TEST(GatewayReport, HoldsTheSchemaAndTellsBadNamesApart) {
  if (!test::OnPath("python3")) GTEST_SKIP() << "python3 is not on PATH";
  TempDir dir;
  test::WriteFileBytes(dir.File("p.zip"), Pack());
  test::WriteFileBytes(dir.File("d.zip"), DamagedZip());
  test::WriteFileBytes(dir.File("n.txt"), BytesOf("text"));
  test::WriteFileBytes(dir.File("bad.zip"), Zip({test::ZipLocal::Stored("bad\xff.exe", BytesOf("MZ")),
                                                  test::ZipLocal::Stored("bad\xfe.exe", BytesOf("MZ"))}));
  test::ZipBuilder sfx;
  sfx.Raw(test::Bytes(4096, 'Z'));
  sfx.Local(test::ZipLocal::Stored("run.exe", BytesOf("MZ")));
  sfx.Finish(4096);
  test::WriteFileBytes(dir.File("sfx.exe"), sfx.bytes);
  std::filesystem::create_directory(dir.File("out"));
  for (const std::string args : {"rewrite p.zip d.zip n.txt gone.zip bad.zip --dangerous --output-dir out --report",
                                 "split p.zip --all --dry-run --report", "combine bad.zip --all --report",
                                 "rewrite p.zip sfx.exe d.zip --dangerous --report --summary --output-dir out"}) {
    CliRun r = RunCli(dir.Path(), "\"$CLI\" " + args + " | python3 " BRIMLODE_SOURCE_DIR "/tests/cli/report_schema.py");
    EXPECT_EQ(r.status, 0) << args << "\n" << r.out << r.err;
  }
  // A self-extractor's program length; --summary counts instead of entries.
  const Json summary = RunCli(dir.Path(), "analyse sfx.exe --report --summary").Reports().at(0);
  EXPECT_EQ(summary["leading_bytes"].get<int>(), 4096);
  EXPECT_EQ(summary["summary"]["dangerous"].get<int>(), 1);
  EXPECT_FALSE(summary.contains("entries"));
  CliRun r = RunCli(dir.Path(), "analyse bad.zip --report");
  const Json entries = r.Reports().at(0)["entries"];
  EXPECT_EQ(entries[0]["name_hex"].get<std::string>(), "626164ff2e657865");
  EXPECT_EQ(entries[1]["name_hex"].get<std::string>(), "626164fe2e657865");
  EXPECT_TRUE(entries[0]["dangerous"].get<bool>());
  EXPECT_EQ(entries[0]["method"].get<std::string>(), "stored");
}

TEST(GatewayMessages, TheReasonLineFollowsTheLocale) {
  TempDir dir;
  test::WriteFileBytes(dir.File("n.txt"), BytesOf("text"));
  for (const auto& [locale, reason] : {std::pair<std::string, std::string>{"LANG=ja_JP.UTF-8", "書庫ではありません"},
                                       {"LANG=C.UTF-8", "not an archive"}}) {
    CliRun r = RunCli(dir.Path(), "env -u LC_ALL -u LC_MESSAGES " + locale + " \"$CLI\" analyse n.txt --report");
    EXPECT_EQ(r.status, 4);
    EXPECT_NE(r.err.find("n.txt: " + reason), std::string::npos) << r.err;
  }
}

// "ファイル X は開けません" ends with the cause, for the window and the
// command line alike.
TEST(GatewayMessages, AFileThatCannotBeOpenedSaysWhy) {
  TempDir dir;
  test::WriteFileBytes(dir.File("a.zip"), Pack());
  test::WriteFileBytes(dir.File("secret.zip"), Pack());
  ::chmod(dir.File("secret.zip").c_str(), 0);
  ::mkfifo(dir.File("pipe.zip").c_str(), 0600);
  FileStream rewriting = FileStream::Open(dir.File("a.zip"), FileStream::Mode::ReadWrite);
  const UiTexts& ui = Ui();
  struct Row {
    std::string path;
    const std::string& reason;
  };
  std::vector<Row> rows{{dir.File("gone.zip"), ui.reasonNoSuchFile},
                        {dir.Path(), ui.reasonIsAFolder},
                        {dir.File("pipe.zip"), ui.reasonNotAFile},
                        {dir.File("a.zip/x"), ui.reasonNotAFolderOnTheWay},
                        {dir.File("a.zip"), ui.reasonLocked}};
  if (::geteuid() != 0) rows.push_back({dir.File("secret.zip"), ui.reasonPermissionDenied});
  for (const Row& row : rows) {
    try {
      FileStream::Open(row.path, FileStream::Mode::Read);
      ADD_FAILURE() << row.path << " opened";
    } catch (const CommandError& e) {
      EXPECT_EQ(e.Text(), FormatText(ui.fileCannotOpen, row.path) + FormatText(ui.reasonAfterText, row.reason))
          << row.path;
      EXPECT_EQ(e.Failure(), FileFailure::Open);
    }
  }
}

}  // namespace
}  // namespace brim
