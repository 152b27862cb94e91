#include "analysis/format_detection.h"

#include <string>

#include "analysis/lzh_analysis.h"
#include "formats/lzh_layout.h"
#include "analysis/signature_search.h"
#include "analysis/zip_analysis.h"
#include "formats/zip_layout.h"
#include "base/byte_window.h"
#include "base/le.h"
#include "base/file_stream.h"
#include "base/ui_texts.h"
#include "app/log_pane.h"

namespace brim {

namespace {

// An archive with no entries holds no local header: only an end record that
// counts none and, with its comment, ends the file (unzip and 7z read it as
// an empty archive). Its position, which is where the archive starts.
std::optional<uint64_t> EmptyZipAt(ByteWindow& w) {
  const uint64_t size = w.FileSize();
  if (size < zip::kEndRecordSize) return std::nullopt;
  const uint64_t lowest = size > 0xFFFF + zip::kEndRecordSize ? size - 0xFFFF - zip::kEndRecordSize : 0;
  const auto at = SearchBackward(w, size - zip::kEndRecordSize, lowest, zip::kEndSignature, [](uint64_t, uint64_t) {});
  const uint8_t* e = at ? w.At(*at, zip::kEndRecordSize) : nullptr;
  if (!e || le::Get16(e + zip::kEndEntriesOnDisk) != 0 || le::Get16(e + zip::kEndEntriesTotal) != 0 ||
      le::Get32(e + zip::kEndDirectorySize) != 0 ||
      *at + zip::kEndRecordSize + le::Get16(e + zip::kEndCommentLength) != size) {
    return std::nullopt;
  }
  return at;
}

}  // namespace

void DetectFormatAndAnalyse(ProgramState& s) {
  const std::string path = s.Label1.Caption();
  if (path.empty()) return;
  // Held open while the analyser runs, so nobody writes the file meanwhile.
  FileStream f = FileStream::Open(path, FileStream::Mode::Read);

  if (StartsWithLzh(s, f)) {
    s.ArchiveKind = ArchiveKindType::Lzh;
    AnalyseLzh(s, 0);
    return;
  }

  // Refused before the search, which would pass every byte of it first.
  if (f.Size() >= kArchiveSizeLimit) {
    f.Close();
    s.ArchiveKind = ArchiveKindType::Zip;
    AnalyseZip(s);
    return;
  }

  // The whole file is searched with 64-bit positions; the window is pumped
  // once per position passed, as a byte-by-byte search would.
  // The same pass looks for an LZH header behind a program stub.
  ByteWindow w(f, kSearchBlock);
  LzhStartScan lzh(f);
  auto found = SearchForward(
      w, 0, zip::kLocalSignature, [&](uint64_t n) { s.ProcessMessages(n); },
      [&](uint64_t from, const uint8_t* block, size_t span, size_t owned) { lzh.Look(from, block, span, owned); });
  lzh.Finish();
  if (!found) {
    // An LZH self-extractor: the archive behind a program stub.
    if (const std::optional<uint64_t> lzhStart = lzh.Found()) {
      s.ArchiveKind = ArchiveKindType::Lzh;
      AnalyseLzh(s, *lzhStart);
      return;
    }
    if (const std::optional<uint64_t> empty = EmptyZipAt(w)) {
      s.ArchiveKind = ArchiveKindType::Zip;
      s.StatusBar1.SetLeadingBytes(*empty);
      AnalyseZip(s, &w);
      return;
    }
    // Neither format: say so instead of leaving the panels blank, so the
    // window and a script can tell it from an archive with nothing in it.
    s.StatusBar1.SetOutcome(AnalysisOutcome::NotAnArchive);
    s.Memo1.Append(Ui().notAnArchive);
    return;
  }
  s.ArchiveKind = ArchiveKindType::Zip;
  s.StatusBar1.SetLeadingBytes(*found);
  AnalyseZip(s, &w);
  // An LZH archive in the bytes before the ZIP (a self-extractor that holds
  // both): 7z and lhasa extract it, so listing only the ZIP would hide it.
  const AnalysisOutcome outcome = s.StatusBar1.Outcome();
  const bool walked = outcome == AnalysisOutcome::Analysed || outcome == AnalysisOutcome::DamagedZip;
  if (walked && *found > 0 && lzh.Found() && *lzh.Found() <= *found) {
    s.StatusBar1.SetOutcome(AnalysisOutcome::LzhAndZip);
    s.Memo1.Append(Ui().lzhAndZip);
  }
}

}  // namespace brim
