// Runs of the command line inside the test process: usage errors and the
// path handed to the window's drop handler.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "cli/cli.h"

namespace brim::cli {
namespace {

std::string Drain(std::FILE* f) {
  std::rewind(f);
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  return text;
}

struct Captured {
  int status;
  std::string out, err;
};

Captured RunCaptured(const std::vector<std::string>& args) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  Captured c{Run(args, out, err), "", ""};
  c.out = Drain(out);
  c.err = Drain(err);
  std::fclose(out);
  std::fclose(err);
  return c;
}

TEST(CliRun, UsageErrorsExitTwoWithTheReasonOnStandardError) {
  ::setenv("LC_ALL", "C.UTF-8", 1);  // the usage line in English
  for (const auto& args : std::vector<std::vector<std::string>>{
           {}, {"analyse"}, {"analyse", "a.zip", "--bogus"}, {"rewrite", "a.zip"}, {"split", "a.zip", "--rows", "x"}}) {
    Captured c = RunCaptured(args);
    EXPECT_EQ(c.status, 2);
    EXPECT_TRUE(c.out.empty());
    EXPECT_NE(c.err.find("brimlode-cli: "), std::string::npos);
    EXPECT_NE(c.err.find("usage:"), std::string::npos);
  }
}

TEST(CliRun, HelpGoesToStandardOutput) {
  Captured c = RunCaptured({"--help"});
  EXPECT_EQ(c.status, 0);
  EXPECT_NE(c.out.find("Exit status"), std::string::npos);
  EXPECT_TRUE(c.err.empty());
}

TEST(CliRun, ARowPastTheListingIsAUsageError) {
  // Nothing is listed for a file that does not exist, so row 0 is out of range
  // (or the analysis fails first with the error box).
  Captured c = RunCaptured({"combine", "/nonexistent/brimlode/x.zip", "--rows", "0", "--json"});
  EXPECT_TRUE(c.status == 2 || c.status == 3) << c.status;
}

TEST(AbsolutePath, JoinsAndTidies) {
  EXPECT_EQ(AbsolutePath("a.zip", "/home/u"), "/home/u/a.zip");
  EXPECT_EQ(AbsolutePath("./x/./a.zip", "/home/u"), "/home/u/x/a.zip");
  EXPECT_EQ(AbsolutePath("x//a.zip", "/"), "/x/a.zip");
  EXPECT_EQ(AbsolutePath("/abs/../a.zip", "/home/u"), "/abs/../a.zip");
  EXPECT_EQ(AbsolutePath("dir/", "/home/u"), "/home/u/dir/");
  EXPECT_EQ(AbsolutePath(".", "/home/u"), "/home/u");
}

}  // namespace
}  // namespace brim::cli
