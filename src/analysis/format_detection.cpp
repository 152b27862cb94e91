#include "analysis/format_detection.h"

#include <string>

#include "analysis/lzh_analysis.h"
#include "formats/lzh_layout.h"
#include "analysis/signature_search.h"
#include "analysis/zip_analysis.h"
#include "formats/zip_layout.h"
#include "base/byte_window.h"
#include "base/file_stream.h"
#include "base/ui_texts.h"
#include "app/log_pane.h"

namespace brim {

namespace {

// "-lh?-" at offset 2: the method of an LZH header that starts the file. The
// fifth byte is left open so that any method (-lh0-, -lhd-, -lh7-) passes.
bool LooksLikeLzh(const FileStream& f) {
  uint8_t m[lzh::kMethodLength] = {};  // a short file leaves zeros: no match
  f.ReadAt(lzh::kMethod, m, sizeof m);
  return m[0] == '-' && m[1] == 'l' && m[2] == 'h' && m[4] == '-';
}

}  // namespace

void DetectFormatAndAnalyse(ProgramState& s) {
  const std::string path = s.Label1.Caption();
  if (path.empty()) return;
  // Held open while the analyser runs, so nobody writes the file meanwhile.
  FileStream f = FileStream::Open(path, FileStream::Mode::Read);

  if (LooksLikeLzh(f)) {
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
