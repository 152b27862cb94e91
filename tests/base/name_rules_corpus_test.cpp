// The name rules against every name of the sample corpus and of the
// project's own archives and fixtures: the names real CP932 producers wrote
// must split exactly as they did before stray lead bytes kept their meaning,
// and none of them may read as UTF-8.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/cp932.h"
#include "base/name_encoding.h"
#include "support/analysed_archive.h"
#include "support/needs.h"

namespace brim {
namespace {

namespace fs = std::filesystem;
using test::J;

// The rules before: a lead byte always took the next byte with it.
NameParts SplitTakingAnyTrail(std::string_view t) {
  size_t separator = std::string_view::npos, dot = std::string_view::npos;
  for (size_t i = 0; i < t.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(t[i]);
    if (IsCp932LeadByte(b)) ++i;
    else if (b == '.') dot = i;
    else if (b == '\\' || b == ':') separator = i;
  }
  NameParts p;
  p.fileStart = separator == std::string_view::npos ? 0 : separator + 1;
  p.lastDot = dot;
  if (dot != std::string_view::npos && (separator == std::string_view::npos || dot > separator)) p.extension = dot;
  return p;
}

struct NameSource {
  std::string label;
  std::string archive;             // a file to analyse, or empty
  std::vector<std::string> names;  // CP932 names given directly
};

void PrintTo(const NameSource& c, std::ostream* os) { *os << c.label; }

std::vector<NameSource> Sources() {
  std::vector<NameSource> out;
  // Names the tests build archives from.
  out.push_back({"fixtures", "",
                 {J("ソフト\\表示.TXT"), J("ソフト\\表.txt"), J("表ソ.txt"), J("画像.exe"), J("ソ.ソ"),
                  J("ソ\\x.TXT"), J("a.表"), J("表\\a"), J("ｱｲ.txt"), "x\\\xFA\x5C.txt", "\xFB\xFC\xFA\xB1.\xFA\x5C",
                  "\xFB\xFC\\a.c", "\x88\xea\x97\x97\x95\\.txt"}});
  std::vector<std::string> files;
  for (const char* folder : {BRIMLODE_CORPUS_DIR "/libarchive", BRIMLODE_SOURCE_DIR "/tests/data/keep"}) {
    if (!fs::is_directory(folder)) continue;
    for (const auto& e : fs::directory_iterator(folder)) {
      if (e.is_regular_file() && e.path().extension() != ".txt") files.push_back(e.path().string());
    }
  }
  std::sort(files.begin(), files.end());
  for (const std::string& f : files) out.push_back({fs::path(f).filename().string(), f, {}});
  return out;
}

class NameRulesCorpus : public ::testing::TestWithParam<NameSource> {};

TEST_P(NameRulesCorpus, Cp932NamesSplitAsBeforeAndStayCp932) {
  BRIMLODE_NEEDS_CORPUS();
  const NameSource& c = GetParam();
  std::vector<std::string> names = c.names;
  test::AnalysedArchive a;
  if (!c.archive.empty()) {
    a.AnalyseFile(c.archive);
    const test::Bytes file = test::ReadFileBytes(c.archive);
    for (size_t row = 0; row < a.Rows(); ++row) {
      // No name without flag bit 11 (of its central header, else its local
      // one) may read as UTF-8; LZH has no such flag.
      bool flagged = false;
      if (a.s.ArchiveKind == ArchiveKindType::Zip) {
        const bool central = a.s.ListView1.Has(row, kColOffsetI);
        const uint64_t flags = a.s.ListView1.Value(row, central ? kColOffsetI : kColOffset) + (central ? 8 : 6);
        flagged = flags + 1 < file.size() && (file[flags + 1] & 0x08) != 0;
      }
      const std::string name = std::string(a.s.ListView1.Folder(row)) + std::string(a.s.ListView1.Caption(row));
      // Info-ZIP on Linux wrote the kept archives' Japanese names as UTF-8.
      const bool utf8ByDesign = a.s.ListView1.Caption(row) == "ソフト.exe" || a.s.ListView1.Caption(row) == "画像.exe";
      if (!flagged && !utf8ByDesign) EXPECT_EQ(a.s.ListView1.Encoding(row), NameEncoding::Cp932) << name;
      if (a.s.ListView1.Encoding(row) == NameEncoding::Cp932) names.push_back(name);
    }
  }
  for (const std::string& name : names) {
    EXPECT_EQ(ReadNameEncoding(name, false), NameEncoding::Cp932) << name;
    const NameParts now = SplitName(name), before = SplitTakingAnyTrail(name);
    EXPECT_EQ(now.fileStart, before.fileStart) << name;
    EXPECT_EQ(now.extension, before.extension) << name;
    EXPECT_EQ(now.lastDot, before.lastDot) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(All, NameRulesCorpus, ::testing::ValuesIn(Sources()), [](const auto& info) {
  std::string n = info.param.label;
  for (char& ch : n)
    if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
  return n;
});

}  // namespace
}  // namespace brim
