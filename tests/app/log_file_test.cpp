// "ログ → 出力" replaces whatever is at the log's name: a symbolic link to
// another file, or a second name of the archive, is never written through.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "form/Unit1.h"
#include "app/log_pane.h"
#include "base/ui_texts.h"
#include "support/scripted_desktop.h"
#include "support/test_files.h"

namespace brim {
namespace {

TEST(LogFile, ALinkAtTheLogsNameIsReplacedNotFollowed) {
  test::TempDir dir;
  test::WriteFileBytes(dir.File("bashrc"), test::BytesOf("keep me"));
  test::WriteFileBytes(dir.File("pack.zip"), test::BytesOf("PK archive"));
  const std::string soft = dir.File("pack(Unzip).log"), hard = dir.File("pack(UnLha).log");
  ASSERT_EQ(::symlink(dir.File("bashrc").c_str(), soft.c_str()), 0);
  ASSERT_EQ(::link(dir.File("pack.zip").c_str(), hard.c_str()), 0);
  test::ScriptedDesktop d;
  TForm1 f(d);
  f.state.Memo1.Append("---");
  for (const std::string& path : {soft, hard}) {
    f.state.LogFilePath = path;
    f.N4Click();
    EXPECT_EQ(test::ReadFileBytes(path), test::BytesOf("---\r\n"));
  }
  EXPECT_TRUE(d.errors.empty());
  EXPECT_EQ(test::ReadFileBytes(dir.File("bashrc")), test::BytesOf("keep me"));
  EXPECT_EQ(test::ReadFileBytes(dir.File("pack.zip")), test::BytesOf("PK archive"));
  EXPECT_FALSE(std::filesystem::is_symlink(soft));
  size_t names = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.Path())) ++names;
  EXPECT_EQ(names, 4u);  // no temporary name left behind
}

}  // namespace
}  // namespace brim
