// Every command that reads or writes entries acts only on the file the
// analysis read, unchanged since; and a rewrite that would fail on a row
// fails before its first write.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "app/application.h"
#include "base/ui_texts.h"
#include "form/Unit1.h"
#include "support/scripted_desktop.h"
#include "support/test_files.h"
#include "support/zip_builder.h"

namespace brim {
namespace {

using test::Bytes;
using test::BytesOf;

Bytes ThreeEntries() {
  test::ZipBuilder z;
  z.Local(test::ZipLocal::Stored("a.exe", BytesOf("first entry")));
  z.Local(test::ZipLocal::Stored("b.exe", BytesOf("second entry")));
  z.Local(test::ZipLocal::Stored("c.exe", BytesOf("third entry")));
  z.Finish();
  return z.bytes;
}

struct Session {
  test::TempDir dir;
  std::string path = dir.File("mail.zip");
  test::ScriptedDesktop d;
  TForm1 form{d};

  explicit Session(const Bytes& archive) {
    test::WriteFileBytes(path, archive);
    form.DropFiles({path});
    form.Zip1Click();
    EXPECT_EQ(form.state.StatusBar1.Panel(0), Ui().analysed);
    form.N9Click();
    d.answers = {Answer::Yes, Answer::No};
  }
  size_t Names() {
    size_t n = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.Path())) ++n;
    return n;
  }
};

enum class Change { Replaced, Grown, Touched };
enum class Command { Rewrite, Split, Combine };

class ChangedSinceAnalysis : public ::testing::TestWithParam<std::tuple<Change, Command>> {};

// Another file put in the archive's place (a new inode), the archive grown
// in place, or only its time changed: every command refuses, saying that the
// file changed since its analysis, and nothing is written anywhere.
TEST_P(ChangedSinceAnalysis, IsRefusedAndNothingChanges) {
  const auto [change, command] = GetParam();
  Session w(ThreeEntries());
  Bytes now = ThreeEntries();
  switch (change) {
    case Change::Replaced:
      for (uint8_t& b : now) b = static_cast<uint8_t>(b ^ 0x55);
      test::WriteFileBytes(w.dir.File("other"), now);
      ASSERT_EQ(::rename(w.dir.File("other").c_str(), w.path.c_str()), 0);
      break;
    case Change::Grown:
      now.push_back(0);
      test::WriteFileBytes(w.path, now);
      break;
    case Change::Touched: {
      const struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
      ASSERT_EQ(::utimensat(AT_FDCWD, w.path.c_str(), times, 0), 0);
      break;
    }
  }
  const size_t names = w.Names();
  switch (command) {
    case Command::Rewrite: w.form.N2Click(); break;
    case Command::Split: w.form.N6Click(); break;
    case Command::Combine: w.form.N7Click(); break;
  }
  // The box says the file changed, not merely that it is not analysed.
  EXPECT_EQ(w.d.messages, std::vector<std::string>{FormatText(Ui().fileChangedSinceAnalysis, w.path) +
                                                   Ui().analyseAgain});
  EXPECT_TRUE(w.d.errors.empty());
  EXPECT_EQ(test::ReadFileBytes(w.path), now);
  EXPECT_EQ(w.Names(), names);
}

INSTANTIATE_TEST_SUITE_P(All, ChangedSinceAnalysis,
                         ::testing::Combine(::testing::Values(Change::Replaced, Change::Grown, Change::Touched),
                                            ::testing::Values(Command::Rewrite, Command::Split,
                                                              Command::Combine)));

// A row whose central header was never found (no "Ext(I)") is neutralised
// in its local parts, and the other rows still run.
TEST(RewritePreCheck, ARowWithoutCentralHeaderBlocksNoOther) {
  test::ZipBuilder z;
  z.Local(test::ZipLocal::Stored("a.exe", BytesOf("first entry")));
  z.Local(test::ZipLocal::Stored("b.exe", BytesOf("second entry")));
  std::vector<test::ZipCentral> centrals = z.CentralsFor();
  centrals[1].localHeaderOffset = 7;  // points at no local header
  const uint64_t from = z.Size();
  for (const auto& c : centrals) z.Central(c);
  z.End(z.EndFor(from, z.Size()));
  Session w(z.bytes);
  ASSERT_TRUE(w.form.state.StatusBar1.Panel(0) == Ui().analysed);
  EXPECT_TRUE(RunCommand(w.d, [&] { w.form.N2Click(); }));
  EXPECT_TRUE(w.d.errors.empty());
  const Bytes b = test::ReadFileBytes(w.path);
  const std::string now(b.begin(), b.end());
  EXPECT_EQ(now.find("first entry"), std::string::npos);
  EXPECT_EQ(now.find("second entry"), std::string::npos);
  EXPECT_NE(now.find("b.ex$"), std::string::npos);
}

}  // namespace
}  // namespace brim
