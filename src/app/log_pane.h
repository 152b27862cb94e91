// The log pane's progress line and the log file.
#pragma once
#include <string>

#include "app/program_state.h"

namespace brim {

// A line of the log pane that changes in place: appended once, then replaced
// by index (a line cleared away meanwhile is simply not found).
class ProgressLine {
 public:
  ProgressLine(ProgramState& s, std::string firstText);
  // Replaces the line and lets the window process messages.
  void Update(std::string text);

 private:
  ProgramState& s_;
  size_t index_;
};

// Between two entries of a long command: lets the window process messages
// and, when "中断" was pressed meanwhile, logs "中断しました" and answers true.
bool StopBetweenEntries(ProgramState& s);

// "出力": writes every line of the pane followed by CR LF to LogFilePath, as
// the CP932 bytes the pane holds. Shows "ファイル名が設定されていません" when
// no analysis has set a path; throws CannotCreate/CannotWrite. The file is
// written under a temporary name and renamed over LogFilePath.
void WriteLogFile(ProgramState& s);

// The log file path for an archive path: the path without its extension
// (the extension of the file-name part only) plus suffix.
std::string LogFilePathFor(const std::string& archivePath, const std::string& suffixCp932);

}  // namespace brim
