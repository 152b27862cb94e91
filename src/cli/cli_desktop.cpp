#include "cli/cli_desktop.h"

#include "base/ui_texts.h"
#include "cli/text_cells.h"

namespace brim::cli {

namespace {
volatile std::sig_atomic_t interrupted = 0;  // the signal that came, 0 for none
extern "C" void OnInterrupt(int signal) {
  if (!interrupted) interrupted = signal;
}
}  // namespace

void StopOnInterrupt() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  action.sa_flags = SA_RESETHAND;  // the second one of a kind is the default one
  sigemptyset(&action.sa_mask);
  // A service manager's stop and a closed terminal end a run as Ctrl+C
  // does: outputs complete or absent, the status telling which signal.
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

bool Interrupted() { return interrupted != 0; }

int InterruptedStatus() { return 128 + (interrupted ? static_cast<int>(interrupted) : SIGINT); }

void CliDesktop::ProcessMessages() {
  // Each command clears the flag as it starts; the interrupt stays, so the
  // commands after it stop too.
  if (interrupted && abortRequested_) *abortRequested_ = true;
}

void CliDesktop::Write(const char* label, const std::string& textCp932) {
  if (!err_) return;
  std::string line = std::string("brimlode-cli: ") + label + ForTerminal(CellToUtf8(textCp932)) + "\n";
  std::fwrite(line.data(), 1, line.size(), err_);
  std::fflush(err_);
}

void CliDesktop::ShowMessage(const std::string& text) {
  boxes_.push_back(text);
  ++messages_;
  Write("", text);
}

void CliDesktop::ShowError(const std::string& text) {
  boxes_.push_back(text);
  ++errors_;
  Write("error: ", text);
}

// Answered by the text asked, not by its turn, so a question nobody expected
// is declined rather than taken for another one.
Answer CliDesktop::AskYesNo(const std::string& text) {
  questions_.push_back(text);
  if (beforeAnswer_) beforeAnswer_(text);
  Answer answer = Answer::No;
  if (text == Ui().confirmRewrite) answer = Answer::Yes;
  if (text == Ui().confirmReanalyse && reanalyse_) answer = Answer::Yes;
  if (!quiet_) Write(answer == Answer::Yes ? "(yes) " : "(no) ", text);
  return answer;
}

}  // namespace brim::cli
