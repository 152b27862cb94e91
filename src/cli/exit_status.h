// What a run of brimlode-cli tells its caller through its exit status.
#pragma once
#include <string>

#include "cli/arguments.h"

namespace brim::cli {

enum ExitCode : int {
  kExitDone = 0,
  kExitNotDone = 1,  // analysis not complete, refused, nothing to do
  kExitUsage = 2,
  kExitError = 3,    // a command ended with the error box
  kExitInterrupted = 130,  // stopped by Ctrl+C (SIGINT), as shells count it
};

// What happened, gathered while the commands ran.
struct RunRecord {
  Subcommand command = Subcommand::Analyse;
  bool reanalyse = false;
  bool errorBox = false;        // any step ended with the error box
  bool refused = false;         // a plain message box during the archive command
  bool confirmed = false;       // the rewrite asked its first question
  bool nothingTicked = false;   // split/combine found no ticked row
  bool finalPanelAnalysed = false;  // panel 0 holds the "analysed" text at the end
  bool interrupted = false;     // SIGINT stopped a command
};

int ExitStatus(const RunRecord& r);

}  // namespace brim::cli
