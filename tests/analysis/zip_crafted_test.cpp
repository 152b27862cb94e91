// Crafted archives judged by real extractors: every program name an
// extractor writes has a row (its caption or a copy of its name), and after
// "rewrite" of every row no extractor writes data under such a name.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "analysis/name_marks.h"
#include "app/application.h"
#include "app/dangerous_extensions.h"
#include "base/cp932.h"
#include "base/errors.h"
#include "support/analysed_archive.h"
#include "support/crafted_zip.h"
#include "support/needs.h"

namespace brim {
namespace {

namespace fs = std::filesystem;
using test::CraftedZip;

struct Extractor {
  const char* program;
  const char* command;  // %A the archive, %D the folder
};

const Extractor kExtractors[] = {
    {"unzip", "unzip -o -qq %A -d %D"},
    {"7z", "7z x -y -o%D %A"},
    {"bsdtar", "bsdtar -xf %A -C %D"},
    {"python3", "python3 -c 'import sys,zipfile\nz=zipfile.ZipFile(sys.argv[1])\nfor i in z.infolist():\n"
                " try: z.extract(i, sys.argv[2])\n except Exception: pass' %A %D"},
};

std::string Fill(std::string command, const std::string& archive, const std::string& folder) {
  command.replace(command.find("%A"), 2, "'" + archive + "'");
  command.replace(command.find("%D"), 2, "'" + folder + "'");
  return command + " > /dev/null 2>&1";
}

// file name -> its bytes, for every file an extractor wrote whose name
// Windows would open as a program.
std::map<std::string, test::Bytes> DangerousFiles(const Extractor& x, const std::string& archive,
                                                  const std::string& folder) {
  fs::create_directories(folder);
  test::RunShell(Fill(x.command, archive, folder));
  std::map<std::string, test::Bytes> out;
  for (const auto& f : fs::recursive_directory_iterator(folder)) {
    if (!f.is_regular_file()) continue;
    const std::string name = f.path().filename().string();
    std::string key;
    if (IsDangerousExtension(WindowsExtensionKey(name, NameEncoding::Utf8, key))) {
      out[name] = test::ReadFileBytes(f.path().string());
    }
  }
  return out;
}

// Every file name the listing shows for its rows, in UTF-8.
std::set<std::string> ListedNames(const ProgramState& s) {
  std::set<std::string> out;
  for (size_t row = 0; row < s.ListView1.Count(); ++row) {
    out.insert(NameToUtf8(s.ListView1.Caption(row), s.ListView1.Encoding(row)));
    for (const NameCopy& copy : s.ListView1.NameCopies(row)) {
      std::string name = NameToUtf8(copy.bytes, copy.encoding);
      std::replace(name.begin(), name.end(), '\\', '/');
      out.insert(name.substr(name.rfind('/') == std::string::npos ? 0 : name.rfind('/') + 1));
    }
  }
  return out;
}

class CraftedZipTest : public ::testing::TestWithParam<CraftedZip> {};

TEST_P(CraftedZipTest, ExtractorsWriteNoProgramTheListingHides) {
  const CraftedZip& c = GetParam();
  test::AnalysedArchive a;
  a.Analyse(c.bytes);
  const std::set<std::string> listed = ListedNames(a.s);
  size_t judged = 0;
  for (const Extractor& x : kExtractors) {
    if (!test::OnPath(x.program)) continue;
    ++judged;
    const std::string before = a.dir.File(std::string("before-") + x.program);
    for (const auto& [name, data] : DangerousFiles(x, a.path, before)) {
      EXPECT_TRUE(listed.count(name)) << x.program << " writes " << name << " that no row shows";
    }
  }
  if (judged == 0) GTEST_SKIP() << "no extractor installed";

  a.form.N9Click();  // tick every row
  a.desktop.answers = {Answer::Yes, Answer::Yes};
  RunCommand(a.desktop, [&] { a.form.N2Click(); });
  for (const Extractor& x : kExtractors) {
    if (!test::OnPath(x.program)) continue;
    const std::string after = a.dir.File(std::string("after-") + x.program);
    for (const auto& [name, data] : DangerousFiles(x, a.path, after)) {
      const bool zeros = std::all_of(data.begin(), data.end(), [](uint8_t b) { return b == 0; });
      EXPECT_TRUE(zeros) << x.program << " still writes the data of " << name;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Classes, CraftedZipTest, ::testing::ValuesIn(test::CraftedZips()),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace brim
