// Every sample archive of the corpus: analysed, every row ticked, split and
// combined. The source stays as it was, and whatever a real reader accepts in
// the source it accepts in the outputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "analysis/format_detection.h"
#include "base/file_stream.h"
#include "base/ui_texts.h"
#include "regen_fixture.h"
#include "regenerate/output_naming.h"
#include "regenerate/regeneration.h"
#include "support/needs.h"

namespace brim {
namespace {

using namespace regen_test;
using test::Bytes;

std::vector<std::string> CorpusFiles() {
  std::vector<std::string> names;
  const std::string folder = test::CorpusPath("libarchive");
  if (!std::filesystem::is_directory(folder)) return names;
  for (auto& e : std::filesystem::directory_iterator(folder)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

int Rc(const std::string& command) { return test::RunShell(command + " < /dev/null"); }

size_t LhasaTested(const std::string& path) {
  std::string out;
  test::RunShell("lhasa t " + Q(path), &out);
  size_t n = 0;
  for (size_t at = out.find("- Tested"); at != std::string::npos; at = out.find("- Tested", at + 1)) {
    ++n;
  }
  return n;
}

// unzip warns (exit 1) about names flagged UTF-8 whose central copy it
// decodes differently; the names are copied byte for byte all the same.
bool Utf8Flagged(const std::string& name) { return name.find("utf8") != std::string::npos; }

class RegenerateCorpus : public RegenTest, public ::testing::WithParamInterface<std::string> {
 protected:
  // The verdicts a reader gives the source must hold for the output too.
  void ExpectSameVerdicts(const std::string& source, const std::string& out, bool zip) {
    SCOPED_TRACE(out);
    const std::string bsd = "bsdtar --options hdrcharset=CP932 -tf ";
    if (test::Installed("bsdtar") && Rc(bsd + Q(source)) == 0) {
      EXPECT_EQ(Rc(bsd + Q(out)), 0);
    }
    if (zip) {
      if (test::Installed("7z") && Rc("7z t " + Q(source)) == 0) {
        EXPECT_EQ(Rc("7z t " + Q(out)), 0);
      }
      if (test::Installed("unzip") && Rc("unzip -t " + Q(source)) == 0) {
        EXPECT_LE(Rc("unzip -t " + Q(out)), Utf8Flagged(GetParam()) ? 1 : 0);
      }
    }
  }
};

TEST_P(RegenerateCorpus, SplitAndCombineEveryListedEntry) {
  const std::string name = GetParam();
  BRIMLODE_NEEDS_CORPUS();
  const std::string source = dir.File(name);
  std::filesystem::copy_file(test::CorpusPath("libarchive/" + name), source);
  std::filesystem::permissions(source, std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
  const Bytes original = test::ReadFileBytes(source);
  s.Label1.SetCaption(source);
  ASSERT_TRUE(Run(DetectFormatAndAnalyse));
  const bool zip = s.ArchiveKind == ArchiveKindType::Zip;
  const size_t rows = s.ListView2.Count();
  for (size_t i = 0; i < rows; ++i) s.ListView2.SetChecked(i, true);
  // Entry names with folders (LZH) need them to exist; make them.
  for (size_t i = 0; i < rows; ++i) {
    const auto path = IndividualOutputPath(source, std::string(s.ListView1.Caption(i)), ".x", s.ListView1.Encoding(i));
    ASSERT_TRUE(path);
    std::filesystem::create_directories(std::filesystem::path(*path).parent_path());
  }
  desktop.messages.clear();

  ASSERT_TRUE(Run(RegenerateCombined)) << desktop.errors.front();
  const std::string combined =
      std::string(NativeWithoutExtension(source)) + "(ReCreate00)" + (zip ? ".zip" : ".lzh");
  const Bytes out = test::ReadFileBytes(combined);
  if (rows == 0) {
    EXPECT_EQ(out.size(), zip ? 22u : 1u);
  } else {
    ExpectSameVerdicts(source, combined, zip);
    if (!zip && test::Installed("lhasa")) {
      EXPECT_EQ(LhasaTested(combined), LhasaTested(source));
    }
  }

  s.Memo1.Clear();
  ASSERT_TRUE(Run(RegenerateIndividually)) << desktop.errors.front();
  // Each row is written (two lines) or, when an earlier row of the same name
  // was, skipped (one line).
  std::set<std::string> written;
  for (size_t i = 0; i < rows; ++i) {
    const std::string path =
        *IndividualOutputPath(source, std::string(s.ListView1.Caption(i)), zip ? ".zip" : ".lzh",
                              s.ListView1.Encoding(i));
    if (written.insert(path).second) ExpectSameVerdicts(source, path, zip);
  }
  EXPECT_EQ(s.Memo1.Count(), written.size() * 2 + (rows - written.size()));
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_EQ(test::ReadFileBytes(source), original);
}

// Without the corpus there is nothing to instantiate.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(RegenerateCorpus);
INSTANTIATE_TEST_SUITE_P(Samples, RegenerateCorpus, ::testing::ValuesIn(CorpusFiles()),
                         [](const auto& info) {
                           std::string n = info.param;
                           for (char& c : n) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return n;
                         });

}  // namespace
}  // namespace brim
