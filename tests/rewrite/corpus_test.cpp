// Every sample archive that analyses completely is rewritten with all rows
// ticked; only the fields the rewrite names may differ from the original.
#include <gtest/gtest.h>

#include <filesystem>

#include "analysis/format_detection.h"
#include "form/Unit1.h"
#include "app/application.h"
#include "base/cp932.h"
#include "base/hex_cell.h"
#include "base/le.h"
#include "base/ui_texts.h"
#include "base/byte_window.h"
#include "base/file_stream.h"
#include "formats/lzh_records.h"
#include "formats/zip_records.h"
#include "checksum/crc.h"
#include "rewrite/rewrite_command.h"
#include "rewrite/rewrite_support.h"
#include "support/needs.h"
#include "support/scripted_desktop.h"

namespace brim {
namespace {

using test::Bytes;

struct Range {
  uint64_t from, to;
};

// A locator row's texts: caption, then the six cells.
using Texts = std::vector<std::string>;
uint32_t Cell(const Texts& row, size_t col) { return ParseHexCell(row[1 + col]); }

// The byte ranges the rewrite of one row may write, by format and level.
std::vector<Range> WrittenRanges(const ProgramState& s, const Texts& r, const Bytes& original, size_t row) {
  const uint64_t p = Cell(r, kColOffset), start = Cell(r, kColStart), size = Cell(r, kColSize);
  // A row without a central header has empty central cells: only its local
  // parts are written.
  const bool central = !r[1 + kColOffsetI].empty();
  const uint64_t ext = Cell(r, kColExt);
  const uint64_t extI = central ? Cell(r, kColExtI) : 0, offsetI = central ? Cell(r, kColOffsetI) : 0;
  const size_t dot = r[0].rfind('.');
  std::string_view e = s.ListView1.Encoding(row) == NameEncoding::Utf8
                           ? (dot == std::string::npos ? std::string_view() : std::string_view(r[0]).substr(dot))
                           : ExtensionOf(r[0]);
  const uint64_t mask = e.empty() ? 0 : e.size() - 1;
  std::vector<Range> w = {{start, start + size}};
  if (ext != 0) w.push_back({ext, ext + mask});
  if (s.ArchiveKind == ArchiveKindType::Zip) {
    w.insert(w.end(), {{p + 8, p + 10}, {p + 14, p + 18}, {p + 22, p + 26}});
    if (central) w.insert(w.end(), {{offsetI + 10, offsetI + 12}, {offsetI + 16, offsetI + 20}, {offsetI + 24, offsetI + 28}});
    // A neutralised entry: no encryption flags, version needed lowered, the
    // original size in a Zip64 field that holds it, the descriptor's values.
    w.push_back({p + 4, p + 8});
    if (central) w.push_back({offsetI + 6, offsetI + 10});
    w.push_back({start + size, start + size + s.ListView1.Descriptor(row)});
    for (const auto& [h, isCentral] : {std::pair{p, false}, std::pair{offsetI, true}}) {
      if (isCentral && !central) continue;
      const uint64_t extraAt = h + (isCentral ? 46 : 30) + le::Get16(&original[h + (isCentral ? 28 : 26)]);
      const uint64_t m = le::Get16(&original[h + (isCentral ? 30 : 28)]);
      const zip::Zip64Wants wants = isCentral ? zip::CentralZip64Wants(&original[h]) : zip::LocalZip64Wants(&original[h]);
      const zip::Zip64Values v = zip::ParseZip64Extra(&original[extraAt], m, wants);
      if (v.original) w.push_back({extraAt + v.original->at, extraAt + v.original->at + 8});
      // A Unicode Path field: its name CRC and the last byte of its name.
      if (auto b = zip::FindExtraBlock(&original[extraAt], m, zip::kExtraUnicodePath)) {
        const uint64_t at = extraAt + *b, len = le::Get16(&original[at + 2]);
        w.push_back({at + zip::kUnicodePathCrcInBlock, at + zip::kUnicodePathNameInBlock});
        w.push_back({at + 4 + len - 1, at + 4 + len});
      }
    }
    if (central && ext != 0 && extI != 0) {
      const uint64_t nameEnd = offsetI + 46 + le::Get16(&original[offsetI + 28]);
      w.push_back({extI, std::min(extI + mask, nameEnd)});
    }
  } else {
    const std::string& level = s.StatusBar1.Panel(kPanelDetail);
    w.insert(w.end(), {{p + 2, p + 7}, {p + 11, p + 15}});
    if (level == "Level=2") w.push_back({p + 21, p + 23});
    else w.insert(w.end(), {{offsetI, offsetI + 2}, {p + 1, p + 2}});
    if (level != "Level=0" && extI != 0) w.push_back({extI, extI + 2});
    // Each UTF-16 name record's last extension code unit.
    const FileStream f = FileStream::Open(s.Label1.Caption(), FileStream::Mode::Read);
    ByteWindow window(f);
    lzh::Header h;
    if (lzh::ReadHeader(window, p, original[p + 20], h) == lzh::Read::Header) {
      for (const lzh::Span& span : h.utf16Names) {
        if (const uint64_t at = lzh::Utf16MaskAt(window, span)) w.push_back({at, at + 2});
      }
    }
  }
  return w;
}

TEST(CorpusRewrite, OnlyTheNamedFieldsChange) {
  BRIMLODE_NEEDS_CORPUS();
  int rewritten = 0;
  for (const auto& item : std::filesystem::directory_iterator(test::CorpusPath("libarchive"))) {
    const std::string name = item.path().filename().string();
    SCOPED_TRACE(name);
    test::TempDir dir;
    const std::string path = dir.File("copy");
    const Bytes original = test::ReadFileBytes(item.path().string());
    test::WriteFileBytes(path, original);

    test::ScriptedDesktop d;
    TForm1 form(d);
    ProgramState& s = form.state;
    s.Label1.SetCaption(path);
    DetectFormatAndAnalyse(s);
    if (s.StatusBar1.Outcome() != AnalysisOutcome::Analysed || s.ListView1.Count() == 0) continue;
    const size_t rows = s.ListView1.Count();
    // A row the central directory did not match has empty central cells: it
    // gets its local parts, and blocks no other row.
    std::vector<Texts> locators;
    for (size_t row = 0; row < rows; ++row) locators.push_back(test::LocatorTexts(s.ListView1, row));
    std::vector<bool> writable(original.size(), false);
    for (size_t row = 0; row < rows; ++row) {
      for (Range r : WrittenRanges(s, locators[row], original, row)) {
        for (uint64_t i = r.from; i < r.to && i < writable.size(); ++i) writable[i] = true;
      }
    }

    form.N9Click();
    d.answers = {Answer::Yes, Answer::Yes};
    const bool ok = RunCommand(d, [&] { form.N2Click(); });
    ++rewritten;
    const Bytes now = test::ReadFileBytes(path);
    ASSERT_EQ(now.size(), original.size());
    size_t changedOutside = 0;
    for (size_t i = 0; i < now.size(); ++i) {
      if (now[i] != original[i] && !writable[i]) ++changedOutside;
    }
    EXPECT_EQ(changedOutside, 0u);
    ASSERT_TRUE(ok && d.messages.empty());
    EXPECT_TRUE(s.RowsNotDone.empty());

    // Re-analysed: the same rows, now stored zeros with "$" names.
    ASSERT_EQ(s.StatusBar1.Outcome(), AnalysisOutcome::Analysed);
    ASSERT_EQ(s.ListView1.Count(), rows);
    for (size_t row = 0; row < rows; ++row) {
      const std::string caption(s.ListView2.Caption(row));
      EXPECT_EQ(s.ListView2.CellText(row, kColCompress), s.ListView2.CellText(row, kColOriginal)) << caption;
      std::string_view ext = ExtensionOf(caption);
      if (ext.size() > 1) {
        EXPECT_EQ(ext.back(), '$') << caption;
      }
    }
    // Rewriting again, with the new rows, changes nothing.
    form.N9Click();
    d.answers = {Answer::Yes, Answer::No};
    form.N2Click();
    EXPECT_EQ(test::ReadFileBytes(path), now);
  }
  EXPECT_GE(rewritten, 10);
}

}  // namespace
}  // namespace brim
