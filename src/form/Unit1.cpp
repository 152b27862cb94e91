#include "form/Unit1.h"

#include "analysis/format_detection.h"
#include "analysis/lzh_analysis.h"
#include "analysis/zip_analysis.h"
#include "app/check_marks.h"
#include "app/log_pane.h"
#include "base/ui_texts.h"
#include "regenerate/regeneration.h"
#include "rewrite/rewrite_command.h"

namespace brim {

template <typename Command>
void TForm1::Exclusive(Command command) {
  if (busy_) return;
  struct Guard {
    bool& flag;
    ~Guard() { flag = false; }
  } guard{busy_};
  busy_ = true;
  command();
}

void TForm1::DropFiles(const std::vector<std::string>& paths) {
  if (paths.empty()) return;
  Exclusive([&] {
    state.Label1.SetCaption(paths.front());
    state.StatusBar1.ClearAll();
  });
}

void TForm1::Button1Click() {
  Exclusive([&] {
    if (auto chosen = state.desktop.ChooseFile()) state.Label1.SetCaption(*chosen);
    state.StatusBar1.ClearAll();
  });
}

void TForm1::Button3Click() {
  if (!state.Label1.Caption().empty()) state.AbortRequested = true;
}

void TForm1::Zip1Click() { Exclusive([&] { DetectFormatAndAnalyse(state); }); }
void TForm1::N2Click() {
  Exclusive([&] {
    if (!RunRewriteCommand(state)) return;
    const bool damaged = IsDamaged(state.StatusBar1.Outcome());
    const size_t rewritten = state.RowsDone;
    // Here only Yes goes on. Detection is not run again: ArchiveKind and panel
    // 1 (the ZIP leading byte count) stay as the last detection left them.
    if (state.desktop.AskYesNo(Ui().confirmReanalyse) != Answer::Yes) return;
    // The rewrite's lines are the record of what was neutralised: the new
    // analysis's log (it starts with its separator) goes below them.
    std::vector<std::string> rewriteLines = state.Memo1.Lines();
    struct KeepAbove {
      Memo& memo;
      std::vector<std::string>& above;
      ~KeepAbove() {
        std::vector<std::string> below = memo.Lines();
        memo.Clear();
        for (std::string& line : above) memo.Append(std::move(line));
        for (std::string& line : below) memo.Append(std::move(line));
      }
    } keep{state.Memo1, rewriteLines};
    if (state.ArchiveKind == ArchiveKindType::Zip) AnalyseZip(state);
    else AnalyseLzh(state);
    // The new analysis cleared panel 2; what the rewrite did stays said.
    if (damaged && IsDamaged(state.StatusBar1.Outcome())) ShowDamagedRewrite(state, rewritten);
  });
}
void TForm1::N6Click() { Exclusive([&] { RegenerateIndividually(state); }); }
void TForm1::N7Click() { Exclusive([&] { RegenerateCombined(state); }); }

void TForm1::N8Click() { CheckByTalliedExtensions(state); }
void TForm1::N9Click() { CheckAll(state); }
void TForm1::N10Click() { UncheckAll(state); }
void TForm1::N11Click() { InvertChecks(state); }
void TForm1::DangerousClick() { CheckDangerous(state); }

void TForm1::N4Click() { WriteLogFile(state); }
void TForm1::kuria1Click() { state.Memo1.Clear(); }
void TForm1::About1Click() { state.desktop.ShowAbout(); }

}  // namespace brim
