#include "cli/exit_status.h"

namespace brim::cli {

int ExitStatus(const RunRecord& r) {
  if (r.errorBox) return kExitError;
  if (r.interrupted) return kExitInterrupted;
  switch (r.command) {
    case Subcommand::Analyse:
      return r.finalPanelAnalysed ? kExitDone : kExitNotDone;
    case Subcommand::Rewrite:
      if (r.refused || !r.confirmed) return kExitNotDone;
      if (r.reanalyse && !r.finalPanelAnalysed) return kExitNotDone;
      return kExitDone;
    case Subcommand::Split:
    case Subcommand::Combine:
      return r.nothingTicked || r.refused ? kExitNotDone : kExitDone;
  }
  return kExitNotDone;
}

}  // namespace brim::cli
