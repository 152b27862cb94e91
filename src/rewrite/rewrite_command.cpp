#include "rewrite/rewrite_command.h"

#include "app/entry_tables.h"
#include "base/ui_texts.h"

namespace brim {

bool RunRewriteCommand(ProgramState& s) {
  if (s.StatusBar1.Outcome() != AnalysisOutcome::Analysed) {
    s.desktop.ShowMessage(Ui().notAnalysed);
    return false;
  }
  if (CountChecked(s) == 0) {
    s.desktop.ShowMessage(Ui().nothingChecked);
    return false;
  }
  // Only an explicit No stops here; a box closed without an answer goes on.
  if (s.desktop.AskYesNo(Ui().confirmRewrite) == Answer::No) return false;

  if (s.ArchiveKind == ArchiveKindType::Zip) RewriteZipEntries(s);
  else RewriteLzhEntries(s);
  return true;
}

}  // namespace brim
