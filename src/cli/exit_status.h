// What a run of brimlode-cli tells its caller through its exit status, and
// the reason code the report gives with it. One meaning per status.
#pragma once
#include <optional>
#include <string_view>

#include "app/controls.h"
#include "base/errors.h"
#include "cli/arguments.h"

namespace brim::cli {

enum ExitCode : int {
  kExitDone = 0,         // analysed, or every selected entry done
  kExitNothingToDo = 1,  // no entry selected or matched
  kExitUsage = 2,
  kExitError = 3,        // input/output or system error
  kExitRefused = 4,      // not an archive, damaged, too large, changed since analysis
  kExitPartlyDone = 5,   // some selected entries could not be done
  kExitInterrupted = 130,  // stopped by Ctrl+C (SIGINT), as shells count it; SIGTERM 143, SIGHUP 129
};

// brimlode-cli mail speaks to a mail server's pipe transport in the codes
// of sysexits.h, which Postfix turns into delivered, bounced or retried.
enum MailExitCode : int {
  kMailDelivered = 0,     // the message was written out (neutralised, or as the policy says)
  kMailUsage = 64,        // EX_USAGE: a mistake on the command line
  kMailCannotCreate = 73, // EX_CANTCREAT: OUT exists already
  kMailTryLater = 75,     // EX_TEMPFAIL: input/output failure; the server tries again
  kMailRejected = 77,     // EX_NOPERM: refused by --policy reject (5.7.0)
};

// A plain message box the command showed instead of doing its work.
enum class Refusal { None, NotAnalysed, NothingChecked, TooLarge, NamesTaken, TooManyEntries, Other };

// What happened to one archive, gathered while the commands ran.
struct RunRecord {
  Subcommand command = Subcommand::Analyse;
  bool reanalyse = false;
  AnalysisOutcome analysis = AnalysisOutcome::None;  // how the first analysis ended
  bool errorBox = false;        // a step ended with the error box
  FileFailure failure = FileFailure::None;  // what the error box was about
  bool changedSinceAnalysis = false;  // the error box said the file changed
  Refusal refusal = Refusal::None;
  bool confirmed = false;       // the rewrite asked its first question
  bool nothingTicked = false;   // no row ended up ticked
  bool finalPanelAnalysed = false;  // panel 0 holds the "analysed" text at the end
  bool interrupted = false;     // SIGINT stopped a command
  bool outputExists = false;    // rewrite --output: the name is taken
  size_t rowsNotDone = 0;       // ticked rows the command could not do
  size_t rowsDone = 0;          // entries neutralised or outputs written
  bool usage = false;           // a usage error found once the archive was read (--rows)
  bool unexplained = false;     // the analysis left a part of the file no reader view accounts for
};

struct Verdict {
  int status = kExitDone;
  std::string_view reason;  // ASCII code for scripts: "done", "damaged_zip"...
};

Verdict Judge(const RunRecord& r);
inline int ExitStatus(const RunRecord& r) { return Judge(r).status; }

// The status of a call over several archives: the worst of theirs, in the
// order 130, 2, 3, 4, 5, 0, 1 (1 only when no archive had anything to do).
int WorseStatus(int a, int b);

}  // namespace brim::cli
