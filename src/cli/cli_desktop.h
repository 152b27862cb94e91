// The Desktop of the command line: no window, no dialogs. Boxes go to
// standard error and are kept for the "messages" of the output; questions are
// answered from the flags.
#pragma once
#include <csignal>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/desktop.h"

namespace brim::cli {

class CliDesktop : public Desktop {
 public:
  // reanalyse: the answer to "analyse the rewritten content?".
  CliDesktop(std::FILE* err, bool reanalyse) : err_(err), reanalyse_(reanalyse) {}

  // Where the window would handle a click on "中断": an interrupt (SIGINT)
  // received since StopOnInterrupt() requests the abort.
  void ProcessMessages() override;
  void SetAbortFlag(bool* abortRequested) { abortRequested_ = abortRequested; }
  // --quiet: questions are answered without a word on standard error.
  void SetQuiet(bool quiet) { quiet_ = quiet; }
  // Called with each question before it is answered: the moment a command
  // has done its part and asks about the next.
  void SetBeforeAnswer(std::function<void(const std::string&)> hook) { beforeAnswer_ = std::move(hook); }
  void ShowMessage(const std::string& text) override;
  Answer AskYesNo(const std::string& text) override;
  void ShowError(const std::string& text) override;
  std::optional<std::string> ChooseFile() override { return std::nullopt; }
  void OpenUrl(const std::string&) override {}
  void ShowAbout() override {}

  // Texts of the message and error boxes, CP932, in order.
  const std::vector<std::string>& Boxes() const { return boxes_; }
  size_t MessageCount() const { return messages_; }
  size_t ErrorCount() const { return errors_; }
  // Questions asked, CP932, in order.
  const std::vector<std::string>& Questions() const { return questions_; }

 private:
  void Write(const char* label, const std::string& textCp932);

  std::FILE* err_;
  bool reanalyse_;
  std::vector<std::string> boxes_;
  std::vector<std::string> questions_;
  size_t messages_ = 0;
  size_t errors_ = 0;
  bool* abortRequested_ = nullptr;
  bool quiet_ = false;
  std::function<void(const std::string&)> beforeAnswer_;
};

// Ctrl+C (SIGINT), SIGTERM and SIGHUP stop the running command as "中断"
// does in the window, at its next check; a second one ends the process at
// once.
void StopOnInterrupt();
// Whether an interrupt came.
bool Interrupted();
// The exit status of an interrupted run: 128 + the signal (130 for Ctrl+C).
int InterruptedStatus();

}  // namespace brim::cli
