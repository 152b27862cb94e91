// New files appear complete or not at all, beneath their folder and never
// through a symbolic link; each case runs with openat2 and O_TMPFILE and
// with the fallbacks for kernels without them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "base/errors.h"
#include "base/new_file.h"
#include "support/test_files.h"

namespace brim {
namespace {

using test::Bytes;
using test::TempDir;

class NewFileTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    UseFallbacksForTests(GetParam());
    std::filesystem::create_directories(dir.File("base/real/deeper"));
    std::filesystem::create_directories(dir.File("outside"));
    ASSERT_EQ(::symlink("../outside", dir.File("base/link").c_str()), 0);
    ASSERT_EQ(::symlink("../../outside", dir.File("base/real/link").c_str()), 0);
  }
  void TearDown() override { UseFallbacksForTests(false); }
  // The names in a folder, temporary ones included.
  std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> out;
    for (auto& e : std::filesystem::directory_iterator(folder)) out.push_back(e.path().filename());
    std::sort(out.begin(), out.end());
    return out;
  }
  void Write(const std::string& relative, const std::string& text, bool replacing) {
    NewFile f = NewFile::Create(dir.File("base/"), relative, !replacing);
    f.Stream().Append(text.data(), text.size());
    if (replacing) f.PublishReplacing();
    else f.Publish();
  }
  TempDir dir;
};

TEST_P(NewFileTest, FoldersAreResolvedBeneathWithoutLinks) {
  Write("real/deeper/a.zip", "abc", false);
  EXPECT_EQ(test::ReadFileBytes(dir.File("base/real/deeper/a.zip")), test::BytesOf("abc"));
  for (const char* refused : {"link/a.zip", "real/link/a.zip", "../outside/a.zip", "real/../../outside/a.zip",
                              "missing/a.zip", "real/deeper/a.zip"}) {
    EXPECT_THROW(Write(refused, "x", false), CommandError) << refused;
  }
  EXPECT_TRUE(Names(dir.File("outside")).empty());
  EXPECT_EQ(test::ReadFileBytes(dir.File("base/real/deeper/a.zip")), test::BytesOf("abc"));
}

// Never named until published; an unpublished file leaves no trace, and a
// name taken meanwhile is not replaced.
TEST_P(NewFileTest, CompleteOrAbsent) {
  {
    NewFile f = NewFile::Create(dir.File("base/"), "cut.zip", true);
    f.Stream().Append("abc", 3);
    EXPECT_FALSE(std::filesystem::exists(dir.File("base/cut.zip")));
  }
  EXPECT_EQ(Names(dir.File("base")), (std::vector<std::string>{"link", "real"}));

  NewFile late = NewFile::Create(dir.File("base/"), "late.zip", true);
  late.Stream().Append("new", 3);
  ASSERT_EQ(::symlink("../outside/target", dir.File("base/late.zip").c_str()), 0);
  EXPECT_THROW(late.Publish(), CommandError);
  EXPECT_TRUE(Names(dir.File("outside")).empty());
  EXPECT_EQ(Names(dir.File("base")), (std::vector<std::string>{"late.zip", "link", "real"}));
}

// Replacing a name replaces a link there, never the file it leads to.
TEST_P(NewFileTest, ReplacingSwapsTheNameNotTheLinkedFile) {
  test::WriteFileBytes(dir.File("outside/victim"), test::BytesOf("keep"));
  ASSERT_EQ(::symlink("../outside/victim", dir.File("base/soft.log").c_str()), 0);
  ASSERT_EQ(::link(dir.File("outside/victim").c_str(), dir.File("base/hard.log").c_str()), 0);
  Write("soft.log", "log1", true);
  Write("hard.log", "log2", true);
  EXPECT_EQ(test::ReadFileBytes(dir.File("outside/victim")), test::BytesOf("keep"));
  EXPECT_EQ(test::ReadFileBytes(dir.File("base/soft.log")), test::BytesOf("log1"));
  EXPECT_EQ(test::ReadFileBytes(dir.File("base/hard.log")), test::BytesOf("log2"));
  EXPECT_FALSE(std::filesystem::is_symlink(dir.File("base/soft.log")));
  EXPECT_EQ(Names(dir.File("base")), (std::vector<std::string>{"hard.log", "link", "real", "soft.log"}));
}

INSTANTIATE_TEST_SUITE_P(Ways, NewFileTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Fallbacks" : "Openat2AndTmpfile"; });

}  // namespace
}  // namespace brim
