#include "analysis/analysis_start.h"

#include "app/log_pane.h"
#include "base/ui_texts.h"

namespace brim {

std::optional<FileStream> BeginAnalysis(ProgramState& s, const std::string& logSuffix, bool keepDetail) {
  const std::string path = s.Label1.Caption();
  s.AbortRequested = false;
  if (keepDetail) {
    s.StatusBar1.SetOutcome(AnalysisOutcome::None);
    s.StatusBar1.SetProgress({});
  } else {
    s.StatusBar1.ClearAll();
  }
  s.Memo1.Clear();
  s.ListView1.Clear();
  s.ListView5.Clear();
  s.AnalysedFile.reset();
  s.ListingPath = path;
  s.LogFilePath = LogFilePathFor(path, logSuffix);

  FileStream f = FileStream::Open(path, FileStream::Mode::Read);
  const FileIdentity id = f.Identity();
  if (id.size >= kArchiveSizeLimit) {
    s.desktop.ShowMessage(Ui().fileTooLarge);
    return std::nullopt;
  }
  s.AnalysedFile = id;
  s.Memo1.Append(Ui().logSeparator);
  return f;
}

}  // namespace brim
