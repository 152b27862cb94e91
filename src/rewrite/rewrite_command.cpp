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

  const bool ran = s.ArchiveKind == ArchiveKindType::Zip ? RewriteZipEntries(s) : RewriteLzhEntries(s);
  // A damaged archive's listed entries are neutralised all the same: the
  // log and the status bar say both, so nobody takes the file for sound.
  if (ran && IsDamaged(s.StatusBar1.Outcome())) {
    s.Memo1.Append(FormatNumbers(Ui().logRewroteDamaged, static_cast<int64_t>(s.RowsDone)));
    ShowDamagedRewrite(s, s.RowsDone);
  }
  return ran;
}

bool IsDamaged(AnalysisOutcome outcome) {
  return outcome == AnalysisOutcome::DamagedZip || outcome == AnalysisOutcome::DamagedLzh;
}

void ShowDamagedRewrite(ProgramState& s, size_t rows) {
  s.StatusBar1.SetProgress(FormatNumbers(Ui().panelRewroteDamaged, static_cast<int64_t>(rows)));
}

}  // namespace brim
