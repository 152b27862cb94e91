#include "rewrite/rewrite_command.h"

#include "analysis/lzh_analysis.h"
#include "analysis/zip_analysis.h"
#include "app/entry_tables.h"
#include "base/ui_texts.h"

namespace brim {

void RunRewriteCommand(ProgramState& s) {
  if (s.StatusBar1.Panel(kPanelState) != Ui().analysed) {
    s.desktop.ShowMessage(Ui().notAnalysed);
    return;
  }
  if (CountChecked(s) == 0) {
    s.desktop.ShowMessage(Ui().nothingChecked);
    return;
  }
  // The rewrite cannot be undone: a box closed without an answer is a No.
  if (s.desktop.AskYesNo(Ui().confirmRewrite) != Answer::Yes) return;

  const bool zip = s.ArchiveKind == ArchiveKindType::Zip;
  if (zip) RewriteZipEntries(s);
  else RewriteLzhEntries(s);

  // Here only Yes goes on. Detection is not run again: ArchiveKind and panel 1
  // (the ZIP leading byte count) stay as the last detection left them.
  if (s.desktop.AskYesNo(Ui().confirmReanalyse) != Answer::Yes) return;
  if (zip) AnalyseZip(s);
  else AnalyseLzh(s);
}

}  // namespace brim
