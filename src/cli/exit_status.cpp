#include "cli/exit_status.h"

namespace brim::cli {

namespace {

Verdict FailedFile(const RunRecord& r) {
  if (r.changedSinceAnalysis) return {kExitRefused, "changed_since_analysis"};
  switch (r.failure) {
    case FileFailure::Open: return {kExitError, "cannot_open"};
    case FileFailure::Create: return {kExitError, "cannot_create"};
    case FileFailure::Write: return {kExitError, "cannot_write"};
    case FileFailure::Read: return {kExitError, "cannot_read"};
    case FileFailure::None: break;
  }
  return {kExitError, "error"};
}

// The analysis did not end with a full listing; nullopt when it did.
std::optional<Verdict> Unanalysed(AnalysisOutcome outcome) {
  switch (outcome) {
    case AnalysisOutcome::NotAnArchive: return Verdict{kExitRefused, "not_an_archive"};
    case AnalysisOutcome::DamagedZip: return Verdict{kExitRefused, "damaged_zip"};
    case AnalysisOutcome::DamagedLzh: return Verdict{kExitRefused, "damaged_lzh"};
    case AnalysisOutcome::LzhAndZip: return Verdict{kExitRefused, "lzh_and_zip"};
    case AnalysisOutcome::Aborted: return Verdict{kExitInterrupted, "interrupted"};
    case AnalysisOutcome::None: return Verdict{kExitRefused, "not_analysed"};
    case AnalysisOutcome::Analysed: break;
  }
  return std::nullopt;
}

}  // namespace

Verdict Judge(const RunRecord& r) {
  if (r.interrupted) return {kExitInterrupted, "interrupted"};
  if (r.usage) return {kExitUsage, "usage"};
  if (r.outputExists) return {kExitError, "output_exists"};
  if (r.errorBox) return FailedFile(r);
  if (r.refusal == Refusal::TooLarge) return {kExitRefused, "too_large"};
  // Split and combine still write the rows a damaged listing holds, as the
  // window does; what they did then decides. Every other command refuses.
  const bool wroteRows = (r.command == Subcommand::Split || r.command == Subcommand::Combine) && r.rowsDone > 0;
  if (!wroteRows) {
    if (auto v = Unanalysed(r.analysis)) return *v;
  }
  // A part of the file no view accounts for may hold a name some reader
  // writes: a rewrite cannot promise the archive is safe, whatever it ticked.
  const bool refused = r.refusal != Refusal::None && r.refusal != Refusal::NothingChecked;
  if (r.command == Subcommand::Rewrite && r.unexplained && !refused) return {kExitPartlyDone, "unexplained"};
  switch (r.refusal) {
    case Refusal::NothingChecked: return {kExitNothingToDo, "nothing_selected"};
    // The listing was complete, so the file is no longer the one analysed.
    case Refusal::NotAnalysed: return {kExitRefused, "changed_since_analysis"};
    case Refusal::NamesTaken: return {kExitRefused, "names_taken"};
    case Refusal::TooManyEntries: return {kExitRefused, "too_many_entries"};
    case Refusal::Other: return {kExitRefused, "refused"};
    case Refusal::TooLarge:
    case Refusal::None: break;
  }
  if (r.nothingTicked) return {kExitNothingToDo, "nothing_selected"};
  if (r.command == Subcommand::Rewrite && !r.confirmed) return {kExitNothingToDo, "nothing_selected"};
  if (r.rowsNotDone > 0) return {kExitPartlyDone, "partly_done"};
  if (r.command == Subcommand::Rewrite && r.reanalyse && !r.finalPanelAnalysed) {
    // Neutralised, but the new analysis did not list the result whole.
    return {kExitRefused, "reanalysis_incomplete"};
  }
  return {kExitDone, "done"};
}

int WorseStatus(int a, int b) {
  auto rank = [](int status) {
    if (status > 128) return 6;  // interrupted, by whichever signal
    switch (status) {
      case kExitUsage: return 5;
      case kExitError: return 4;
      case kExitRefused: return 3;
      case kExitPartlyDone: return 2;
      case kExitDone: return 1;
      default: return 0;  // nothing to do
    }
  };
  return rank(a) >= rank(b) ? a : b;
}

}  // namespace brim::cli
