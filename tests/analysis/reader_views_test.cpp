// Every reader's view: for each archive that fools one kind of reader, every
// program name a real extractor writes (through a file, or streaming from a
// pipe) is a row's caption or a copy of its name, "危険な拡張子" ticks it,
// and after the rewrite no extractor writes a file under such a name.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>

#include "analysis/name_marks.h"
#include "app/application.h"
#include "app/dangerous_extensions.h"
#include "base/cp932.h"
#include "support/analysed_archive.h"
#include "support/reader_views.h"

namespace brim {
namespace {

namespace fs = std::filesystem;
using test::ViewHole;

struct Extractor {
  const char* program;
  bool zip;             // the format it is run on
  const char* command;  // %A the archive, %D the folder
};

const Extractor kExtractors[] = {
    {"unzip", true, "unzip -o -qq %A -d %D"},
    {"7z", true, "7z x -y -o%D %A"},
    {"bsdtar", true, "bsdtar -xf %A -C %D"},
    // A real pipe: a file redirected to stdin is seekable and read by its directory.
    {"bsdtar", true, "cat %A | bsdtar -xf - -C %D"},
    {"python3", true, "python3 -c 'import sys,zipfile\nz=zipfile.ZipFile(sys.argv[1])\nfor i in z.infolist():\n"
                      " try: z.extract(i, sys.argv[2])\n except Exception: pass' %A %D"},
    {"lhasa", false, "cd %D && lhasa xf %A"},
    {"7z", false, "7z x -y -o%D %A"},
    {"bsdtar", false, "bsdtar -xf %A -C %D"},
    {"bsdtar", false, "cat %A | bsdtar -xf - -C %D"},
};

// Listings, one name a line after prefix: what a user sees before extracting.
struct Lister {
  const char* program;
  bool zip;
  const char* command;  // %A the archive
  const char* prefix;
};

const Lister kListers[] = {
    {"unzip", true, "unzip -Z1 %A", ""},
    {"7z", true, "7z l -slt %A", "Path = "},
    {"7z", false, "7z l -slt %A", "Path = "},
    {"bsdtar", true, "cat %A | bsdtar -tf -", ""},
    {"bsdtar", false, "bsdtar -tf %A", ""},
};

std::string Fill(std::string command, const std::string& archive, const std::string& folder) {
  command.replace(command.find("%A"), 2, "'" + archive + "'");
  command.replace(command.find("%D"), 2, "'" + folder + "'");
  return command + " > /dev/null 2>&1";
}

// The names of the files an extractor wrote whose extension Windows runs.
std::set<std::string> DangerousFiles(const Extractor& x, const std::string& archive, const std::string& folder) {
  fs::create_directories(folder);
  test::RunShell(Fill(x.command, archive, folder));
  std::set<std::string> out;
  for (const auto& f : fs::recursive_directory_iterator(folder)) {
    if (!f.is_regular_file()) continue;
    const std::string name = f.path().filename().string();
    std::string key;
    if (IsDangerousExtension(WindowsExtensionKey(name, NameEncoding::Utf8, key))) out.insert(name);
  }
  return out;
}

// The file part of every name the rows show, captions and copies, in UTF-8,
// each up to its first NUL as extractors cut it.
std::set<std::string> ListedNames(const ProgramState& s) {
  std::set<std::string> out;
  auto add = [&](std::string name) {
    name = name.substr(0, name.find('\0'));
    std::replace(name.begin(), name.end(), '\\', '/');
    const size_t slash = name.rfind('/');
    out.insert(slash == std::string::npos ? name : name.substr(slash + 1));
  };
  for (size_t row = 0; row < s.ListView1.Count(); ++row) {
    add(NameToUtf8(s.ListView1.Caption(row), s.ListView1.Encoding(row)));
    for (const NameCopy& copy : s.ListView1.NameCopies(row)) add(NameToUtf8(copy.bytes, copy.encoding));
  }
  return out;
}

class ReaderViews : public ::testing::TestWithParam<ViewHole> {};

TEST_P(ReaderViews, NoExtractorWritesAProgramTheRewriteLeft) {
  const ViewHole& hole = GetParam();
  test::AnalysedArchive a;
  a.Analyse(hole.bytes);
  const std::set<std::string> listed = ListedNames(a.s);
  std::set<std::string> written;
  for (size_t i = 0; i < std::size(kExtractors); ++i) {
    const Extractor& x = kExtractors[i];
    if (x.zip != hole.zip || !test::OnPath(x.program)) continue;
    for (const std::string& name : DangerousFiles(x, a.path, a.dir.File("before" + std::to_string(i)))) {
      written.insert(name);
      EXPECT_TRUE(listed.count(name)) << x.command << " writes " << name << " that no row shows";
    }
  }
  if (written.empty()) GTEST_SKIP() << "no extractor wrote a program (none installed?)";

  a.form.DangerousClick();
  a.desktop.answers = {Answer::Yes, Answer::Yes};
  RunCommand(a.desktop, [&] { a.form.N2Click(); });
  for (size_t i = 0; i < std::size(kExtractors); ++i) {
    const Extractor& x = kExtractors[i];
    if (x.zip != hole.zip || !test::OnPath(x.program)) continue;
    for (const std::string& name : DangerousFiles(x, a.path, a.dir.File("after" + std::to_string(i)))) {
      ADD_FAILURE() << x.command << " still writes " << name;
    }
  }
}

// After the rewrite no listing names a program either: every copy of the
// name was masked, each header's own.
TEST_P(ReaderViews, NoListingNamesAProgramAfterTheRewrite) {
  const ViewHole& hole = GetParam();
  test::AnalysedArchive a;
  a.Analyse(hole.bytes);
  a.form.DangerousClick();
  a.desktop.answers = {Answer::Yes, Answer::No};
  RunCommand(a.desktop, [&] { a.form.N2Click(); });
  for (const Lister& x : kListers) {
    if (x.zip != hole.zip || !test::OnPath(x.program)) continue;
    std::string command = x.command;
    command.replace(command.find("%A"), 2, "'" + a.path + "'");
    std::string out;
    test::RunShell(command + " 2>/dev/null", &out);
    size_t from = 0;
    for (size_t end; (end = out.find('\n', from)) != std::string::npos; from = end + 1) {
      const std::string line = out.substr(from, end - from);
      if (line.rfind(x.prefix, 0) != 0) continue;
      std::string key;
      EXPECT_FALSE(IsDangerousExtension(WindowsExtensionKey(line.substr(std::strlen(x.prefix)), NameEncoding::Utf8, key)))
          << x.command << " lists " << line;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Holes, ReaderViews, ::testing::ValuesIn(test::ReaderViewHoles()),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace brim
