#include "rewrite/rewrite_command.h"

#include "app/entry_tables.h"
#include "base/ui_texts.h"

namespace brim {

bool RewriteAccepts(AnalysisOutcome outcome) {
  return outcome == AnalysisOutcome::Analysed || outcome == AnalysisOutcome::DamagedZip ||
         outcome == AnalysisOutcome::DamagedLzh;
}

bool RunRewriteCommand(ProgramState& s) {
  if (!RewriteAccepts(s.StatusBar1.Outcome())) {
    s.desktop.ShowMessage(Ui().notAnalysed);
    return false;
  }
  if (CountChecked(s) == 0) {
    s.desktop.ShowMessage(Ui().nothingChecked);
    return false;
  }
  // The rewrite cannot be undone: a box closed without an answer is a No.
  if (s.desktop.AskYesNo(Ui().confirmRewrite) != Answer::Yes) return false;

  return s.ArchiveKind == ArchiveKindType::Zip ? RewriteZipEntries(s) : RewriteLzhEntries(s);
}

}  // namespace brim
