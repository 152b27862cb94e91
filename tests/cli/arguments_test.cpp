#include <gtest/gtest.h>

#include "base/cp932.h"
#include "base/ui_texts.h"
#include "cli/arguments.h"
#include "support/test_files.h"

namespace brim::cli {
namespace {

using test::J;

struct GoodCase {
  std::vector<std::string> args;
  Subcommand command;
  std::string archive;
  Selection selection;
  std::vector<std::string> extensions;  // CP932 keys
  std::vector<uint64_t> rows;
  bool invert, reanalyse, json;
};

class ParseGood : public ::testing::TestWithParam<GoodCase> {};

TEST_P(ParseGood, Fields) {
  const GoodCase& c = GetParam();
  ParseResult r = ParseArguments(c.args);
  ASSERT_TRUE(r.arguments) << r.error;
  const Arguments& a = *r.arguments;
  EXPECT_FALSE(a.help);
  EXPECT_EQ(a.command, c.command);
  EXPECT_EQ(a.archive, c.archive);
  EXPECT_EQ(a.selection, c.selection);
  EXPECT_EQ(a.extensions, c.extensions);
  EXPECT_EQ(a.rows, c.rows);
  EXPECT_EQ(a.invert, c.invert);
  EXPECT_EQ(a.reanalyse, c.reanalyse);
  EXPECT_EQ(a.json, c.json);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, ParseGood,
    ::testing::Values(
        GoodCase{{"analyse", "a.zip"}, Subcommand::Analyse, "a.zip", Selection::None, {}, {}, false, false, false},
        GoodCase{{"analyse", "--json", "a.zip"}, Subcommand::Analyse, "a.zip", Selection::None, {}, {}, false, false, true},
        GoodCase{{"rewrite", "a.zip", "--all", "--reanalyse", "--json"}, Subcommand::Rewrite, "a.zip",
                 Selection::All, {}, {}, false, true, true},
        // Keys are lowered, a leading dot dropped, an empty key kept.
        GoodCase{{"split", "--ext", "EXE,.Js,", "a.lzh"}, Subcommand::Split, "a.lzh", Selection::Extensions,
                 {"exe", "js", ""}, {}, false, false, false},
        GoodCase{{"split", "a.lzh", "--ext", ""}, Subcommand::Split, "a.lzh", Selection::Extensions, {""}, {},
                 false, false, false},
        GoodCase{{"split", "a.lzh", "--ext=."}, Subcommand::Split, "a.lzh", Selection::Extensions, {""}, {},
                 false, false, false},
        // A double-byte key is converted to CP932; only ASCII letters are lowered.
        GoodCase{{"combine", "a.lzh", "--ext", "\uFF34\uFF58\uFF54,TXT"}, Subcommand::Combine, "a.lzh",
                 Selection::Extensions, {J("Ｔｘｔ"), "txt"}, {}, false, false, false},
        GoodCase{{"combine", "a.zip", "--rows", "0,3,7,3", "--invert"}, Subcommand::Combine, "a.zip",
                 Selection::Rows, {}, {0, 3, 7, 3}, true, false, false},
        GoodCase{{"combine", "a.zip", "--rows=12"}, Subcommand::Combine, "a.zip", Selection::Rows, {}, {12},
                 false, false, false},
        // After "--" a name that looks like an option is the archive.
        GoodCase{{"analyse", "--", "--json"}, Subcommand::Analyse, "--json", Selection::None, {}, {}, false,
                 false, false},
        GoodCase{{"rewrite", "--all", "--", "-x.zip"}, Subcommand::Rewrite, "-x.zip", Selection::All, {}, {},
                 false, false, false}));

struct BadCase {
  std::vector<std::string> args;
  std::string errorPart;
};

class ParseBad : public ::testing::TestWithParam<BadCase> {};

TEST_P(ParseBad, IsAUsageErrorThatSaysWhy) {
  const BadCase& c = GetParam();
  ParseResult r = ParseArguments(c.args);
  EXPECT_FALSE(r.arguments);
  EXPECT_NE(r.error.find(c.errorPart), std::string::npos) << r.error;
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, ParseBad,
    ::testing::Values(BadCase{{}, "no command"}, BadCase{{"list", "a.zip"}, "unknown command"},
                      BadCase{{"analyse"}, "no archive"}, BadCase{{"analyse", ""}, "empty"},
                      // Several archives are fine; what goes with them is checked.
                      BadCase{{"rewrite", "a.zip", "b.zip", "--all", "--output", "o.zip"}, "--output-dir"},
                      BadCase{{"analyse", "-", "-"}, "only once"},
                      BadCase{{"split", "-", "--all"}, "standard input"},
                      BadCase{{"rewrite", "-", "--all"}, "needs --output"},
                      BadCase{{"analyse", "a.zip", "--json", "--report"}, "--json and --report"},
                      BadCase{{"rewrite", "a.zip", "--all", "--output", "o", "--output-dir", "d"}, "choose one"},
                      BadCase{{"rewrite", "a.zip", "--dangerous", "--ext", "exe"}, "choose one"},
                      BadCase{{"split", "a.zip", "--all", "--output", "o.zip"}, "rewrite only"},
                      BadCase{{"analyse", "a.zip", "--dry-run"}, "not an option of analyse"},
                      BadCase{{"analyse", "a.zip", "--verbose"}, "unknown option '--verbose'"},
                      BadCase{{"analyse", "a.zip", "-j"}, "unknown option"},
                      BadCase{{"analyse", "a.zip", "--all"}, "not an option of analyse"},
                      BadCase{{"analyse", "a.zip", "--invert"}, "not an option of analyse"},
                      BadCase{{"split", "a.zip", "--all", "--reanalyse"}, "rewrite only"},
                      BadCase{{"rewrite", "a.zip"}, "needs one of"},
                      BadCase{{"rewrite", "a.zip", "--invert"}, "needs one of"},
                      BadCase{{"rewrite", "a.zip", "--all", "--rows", "1"}, "choose one"},
                      BadCase{{"rewrite", "a.zip", "--ext", "a", "--ext", "b"}, "choose one"},
                      BadCase{{"rewrite", "a.zip", "--ext"}, "needs a value"},
                      BadCase{{"rewrite", "a.zip", "--rows"}, "needs a value"},
                      BadCase{{"rewrite", "a.zip", "--rows", ""}, "at least one"},
                      BadCase{{"rewrite", "a.zip", "--rows", "1,,2"}, "'' is not a row"},
                      BadCase{{"rewrite", "a.zip", "--rows", "-1"}, "not a row"},
                      BadCase{{"rewrite", "a.zip", "--rows", "1.5"}, "not a row"},
                      BadCase{{"rewrite", "a.zip", "--rows", "0x10"}, "not a row"},
                      BadCase{{"rewrite", "a.zip", "--rows", "99999999999999999999"}, "not a row"},
                      BadCase{{"rewrite", "a.zip", "--ext", "tar.gz"}, "holds no dot"},
                      BadCase{{"rewrite", "a.zip", "--ext", "\xF0\x9F\x98\x80"}, "CP932"},
                      BadCase{{"analyse", "a.zip", "--json=yes"}, "takes no value"},
                      BadCase{{"analyse", "a.zip", "--verbose=3"}, "unknown option '--verbose'"},
                      BadCase{{"rewrite", "a.zip", "--all", "--all"}, "choose one"},
                      BadCase{{"rewrite", "a.zip", "--rows="}, "at least one"},
                      BadCase{{"rewrite", "a.zip", "--output"}, "needs a value"},
                      BadCase{{"rewrite", "a.zip", "--all", "--output", ""}, "needs a name"}));

TEST(ParseArguments, TheGatewayStep) {
  ParseResult r = ParseArguments({"rewrite", "a.zip", "b.lzh", "--all", "--", "-x.zip", "--output-dir", "out"});
  ASSERT_TRUE(r.arguments) << r.error;
  EXPECT_EQ(r.arguments->archives, (std::vector<std::string>{"a.zip", "b.lzh", "-x.zip", "--output-dir", "out"}));
  r = ParseArguments({"rewrite", "a.zip", "-", "--output-dir", "out", "--dangerous", "--report", "--quiet",
                      "--dry-run"});
  ASSERT_TRUE(r.arguments) << r.error;
  const Arguments& a = *r.arguments;
  EXPECT_EQ(a.archives, (std::vector<std::string>{"a.zip", "-"}));
  EXPECT_EQ(a.selection, Selection::Dangerous);
  EXPECT_EQ(a.outputDir, "out");
  EXPECT_TRUE(a.report && a.quiet && a.dryRun);
  for (const char* flag : {"--version", "-V"}) {
    r = ParseArguments({flag});
    ASSERT_TRUE(r.arguments) << flag;
    EXPECT_TRUE(r.arguments->version);
  }
}

TEST(ParseArguments, HelpWinsAnywhereBeforeTheEndOfOptions) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--help"}, {"-h"}, {"rewrite", "--bogus", "--help"}, {"analyse", "a.zip", "-h"}}) {
    ParseResult r = ParseArguments(args);
    ASSERT_TRUE(r.arguments);
    EXPECT_TRUE(r.arguments->help);
  }
  ParseResult r = ParseArguments({"analyse", "--", "--help"});
  ASSERT_TRUE(r.arguments);
  EXPECT_FALSE(r.arguments->help);
  EXPECT_EQ(r.arguments->archive, "--help");
}

TEST(ParseArguments, HelpNamesEveryCommandFlagAndExitStatus) {
  std::string help = HelpText();
  for (const char* word : {"analyse", "rewrite", "split", "combine", "--all", "--ext", "--rows", "--invert",
                           "--reanalyse", "--json", "\"kind\"", "\"panels\"", "\"gauge\"", "\"log\"",
                           "\"locator\"", "\"listing\"", "\"tally\"", "\"messages\"", "Exit status",
                           "Exit status"}) {
    EXPECT_NE(help.find(word), std::string::npos) << word;
  }
  EXPECT_NE(help.find(Cp932ToUtf8(Ui().analysed)), std::string::npos);
}

}  // namespace
}  // namespace brim::cli
