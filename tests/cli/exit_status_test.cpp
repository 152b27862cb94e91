#include <gtest/gtest.h>

#include "cli/exit_status.h"

namespace brim::cli {
namespace {

struct StatusCase {
  const char* what;
  RunRecord record;
  int status;
};

RunRecord R(Subcommand c, bool errorBox, bool refused, bool confirmed, bool nothingTicked, bool analysed,
            bool reanalyse = false) {
  RunRecord r;
  r.command = c;
  r.errorBox = errorBox;
  r.refused = refused;
  r.confirmed = confirmed;
  r.nothingTicked = nothingTicked;
  r.finalPanelAnalysed = analysed;
  r.reanalyse = reanalyse;
  return r;
}

class Exit : public ::testing::TestWithParam<StatusCase> {};

TEST_P(Exit, Status) { EXPECT_EQ(ExitStatus(GetParam().record), GetParam().status) << GetParam().what; }

using S = Subcommand;
INSTANTIATE_TEST_SUITE_P(
    Outcomes, Exit,
    ::testing::Values(
        StatusCase{"analysed", R(S::Analyse, false, false, false, false, true), 0},
        StatusCase{"damaged or aborted or not an archive", R(S::Analyse, false, false, false, false, false), 1},
        StatusCase{"too large (a message box)", R(S::Analyse, false, true, false, false, false), 1},
        StatusCase{"cannot open", R(S::Analyse, true, false, false, false, false), 3},
        StatusCase{"rewrite ran", R(S::Rewrite, false, false, true, false, true), 0},
        // Without --reanalyse the panel still reads analysed from before, but
        // it does not matter either way.
        StatusCase{"rewrite ran, no reanalysis", R(S::Rewrite, false, false, true, false, false), 0},
        StatusCase{"rewrite refused: not analysed", R(S::Rewrite, false, true, false, false, false), 1},
        StatusCase{"rewrite refused: nothing ticked", R(S::Rewrite, false, true, false, false, true), 1},
        StatusCase{"rewrite never asked", R(S::Rewrite, false, false, false, false, true), 1},
        StatusCase{"rewrite, reanalysed", R(S::Rewrite, false, false, true, false, true, true), 0},
        StatusCase{"rewrite, reanalysis damaged", R(S::Rewrite, false, false, true, false, false, true), 1},
        StatusCase{"rewrite write failed", R(S::Rewrite, true, false, true, false, true), 3},
        StatusCase{"split done", R(S::Split, false, false, false, false, true), 0},
        StatusCase{"split of a damaged archive's rows", R(S::Split, false, false, false, false, false), 0},
        StatusCase{"split, nothing ticked", R(S::Split, false, false, false, true, true), 1},
        StatusCase{"split cannot create", R(S::Split, true, false, false, false, true), 3},
        StatusCase{"combine done", R(S::Combine, false, false, false, false, true), 0},
        StatusCase{"combine refused (names taken)", R(S::Combine, false, true, false, false, true), 1},
        StatusCase{"combine nothing ticked", R(S::Combine, false, false, false, true, true), 1}));

}  // namespace
}  // namespace brim::cli
