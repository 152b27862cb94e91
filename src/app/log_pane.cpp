#include "app/log_pane.h"

#include "base/cp932.h"
#include "base/new_file.h"
#include "base/ui_texts.h"

namespace brim {

ProgressLine::ProgressLine(ProgramState& s, std::string firstText) : s_(s) {
  s_.Memo1.Append(std::move(firstText));
  index_ = s_.Memo1.Count() - 1;
}

void ProgressLine::Update(std::string text) {
  s_.Memo1.Replace(index_, std::move(text));
  s_.ProcessMessages();
}

void WriteLogFile(ProgramState& s) {
  if (s.LogFilePath.empty()) {
    s.desktop.ShowMessage(Ui().noLogFileName);
    return;
  }
  std::string bytes;
  for (size_t i = 0; i < s.Memo1.Count(); ++i) {
    bytes += s.Memo1.Line(i);
    bytes += "\r\n";
  }
  // Written aside and renamed over the log's name: a link at that name (to
  // a file elsewhere, or a second name of the archive) is replaced, never
  // written through.
  NewFile out = NewFile::Create(std::string(NativeFolderPart(s.LogFilePath)),
                                std::string(NativeFileNamePart(s.LogFilePath)), false);
  out.Stream().Append(bytes.data(), bytes.size());
  out.PublishReplacing();
}

std::string LogFilePathFor(const std::string& archivePath, const std::string& suffixCp932) {
  return std::string(NativeWithoutExtension(archivePath)) + Cp932ToUtf8(suffixCp932);
}

bool StopBetweenEntries(ProgramState& s) {
  s.ProcessMessages();
  if (!s.AbortRequested) return false;
  s.Memo1.Append(Ui().aborted);
  return true;
}

}  // namespace brim
