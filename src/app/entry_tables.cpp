#include "app/entry_tables.h"

#include "base/cp932.h"
#include "base/ui_texts.h"

namespace brim {

bool CheckAnalysedFile(ProgramState& s, const FileStream& f) {
  if (IsAnalysedFile(s, f)) return true;
  if (s.AnalysedFile && f.Path() == s.ListingPath) {
    s.desktop.ShowMessage(FormatText(Ui().fileChangedSinceAnalysis, Utf8ToCp932(f.Path())) + Ui().analyseAgain);
  } else {
    s.desktop.ShowMessage(Ui().notAnalysed);
  }
  return false;
}

size_t CountChecked(const ProgramState& s) {
  size_t n = 0;
  for (size_t i = 0; i < s.ListView2.Count(); ++i) n += s.ListView2.Checked(i) ? 1 : 0;
  return n;
}

int64_t FindLocatorRow(const ProgramState& s, uint32_t offset) { return s.ListView1.FindByOffset(offset); }

void TallyExtension(ProgramState& s, std::string_view ext) { s.ListView5.Tally(ext); }

}  // namespace brim
