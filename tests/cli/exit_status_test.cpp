#include <gtest/gtest.h>

#include "cli/exit_status.h"

namespace brim::cli {
namespace {

struct StatusCase {
  const char* what;
  RunRecord record;
  int status;
  const char* reason;
};

using S = Subcommand;
using O = AnalysisOutcome;

RunRecord R(Subcommand c, bool errorBox, bool refused, bool confirmed, bool nothingTicked, bool analysed,
            bool reanalyse = false, AnalysisOutcome analysis = O::Analysed) {
  RunRecord r;
  r.command = c;
  r.errorBox = errorBox;
  r.refusal = refused ? Refusal::Other : Refusal::None;
  r.confirmed = confirmed;
  r.nothingTicked = nothingTicked;
  r.finalPanelAnalysed = analysed;
  r.reanalyse = reanalyse;
  r.analysis = analysis;
  return r;
}

template <typename Change>
RunRecord With(RunRecord r, Change change) {
  change(r);
  return r;
}

class Exit : public ::testing::TestWithParam<StatusCase> {};

TEST_P(Exit, StatusAndReason) {
  const Verdict v = Judge(GetParam().record);
  EXPECT_EQ(v.status, GetParam().status) << GetParam().what;
  EXPECT_EQ(v.reason, GetParam().reason) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, Exit,
    ::testing::Values(
        StatusCase{"analysed", R(S::Analyse, false, false, false, false, true), 0, "done"},
        StatusCase{"damaged zip", R(S::Analyse, false, false, false, false, false, false, O::DamagedZip), 4,
                   "damaged_zip"},
        StatusCase{"damaged lzh", R(S::Analyse, false, false, false, false, false, false, O::DamagedLzh), 4,
                   "damaged_lzh"},
        StatusCase{"not an archive", R(S::Analyse, false, false, false, false, false, false, O::NotAnArchive), 4,
                   "not_an_archive"},
        StatusCase{"too large", With(R(S::Analyse, false, false, false, false, false, false, O::None),
                                     [](RunRecord& r) { r.refusal = Refusal::TooLarge; }),
                   4, "too_large"},
        StatusCase{"cannot open", With(R(S::Analyse, true, false, false, false, false, false, O::None),
                                       [](RunRecord& r) { r.failure = FileFailure::Open; }),
                   3, "cannot_open"},
        StatusCase{"rewrite ran", R(S::Rewrite, false, false, true, false, true), 0, "done"},
        // Without --reanalyse the panel still reads analysed from before, but
        // it does not matter either way.
        StatusCase{"rewrite ran, no reanalysis", R(S::Rewrite, false, false, true, false, false), 0, "done"},
        StatusCase{"rewrite of a damaged listing", With(R(S::Rewrite, false, false, false, false, false, false,
                                                          O::DamagedZip),
                                                        [](RunRecord& r) { r.refusal = Refusal::NotAnalysed; }),
                   4, "damaged_zip"},
        StatusCase{"rewrite refused: file changed", With(R(S::Rewrite, false, false, false, false, true),
                                                         [](RunRecord& r) { r.refusal = Refusal::NotAnalysed; }),
                   4, "changed_since_analysis"},
        StatusCase{"rewrite refused: changed between entries",
                   With(R(S::Rewrite, true, false, true, false, true),
                        [](RunRecord& r) { r.changedSinceAnalysis = true; }),
                   4, "changed_since_analysis"},
        StatusCase{"rewrite refused: nothing ticked",
                   With(R(S::Rewrite, false, false, false, false, true),
                        [](RunRecord& r) { r.refusal = Refusal::NothingChecked; }),
                   1, "nothing_selected"},
        StatusCase{"rewrite never asked", R(S::Rewrite, false, false, false, false, true), 1, "nothing_selected"},
        StatusCase{"rewrite, reanalysed", R(S::Rewrite, false, false, true, false, true, true), 0, "done"},
        StatusCase{"rewrite, reanalysis damaged", R(S::Rewrite, false, false, true, false, false, true), 4,
                   "reanalysis_incomplete"},
        StatusCase{"rewrite write failed", With(R(S::Rewrite, true, false, true, false, true),
                                                [](RunRecord& r) { r.failure = FileFailure::Write; }),
                   3, "cannot_write"},
        StatusCase{"rewrite, some rows not done", With(R(S::Rewrite, false, false, true, false, true),
                                                       [](RunRecord& r) { r.rowsNotDone = 1; }),
                   5, "partly_done"},
        StatusCase{"rewrite --output over a taken name", With(R(S::Rewrite, false, false, true, false, true),
                                                              [](RunRecord& r) { r.outputExists = true; }),
                   3, "output_exists"},
        StatusCase{"split done", R(S::Split, false, false, false, false, true), 0, "done"},
        StatusCase{"split of a damaged archive's rows",
                   With(R(S::Split, false, false, false, false, false, false, O::DamagedZip),
                        [](RunRecord& r) { r.rowsDone = 2; }),
                   0, "done"},
        StatusCase{"split of a damaged archive that wrote nothing",
                   R(S::Split, false, false, false, true, false, false, O::DamagedZip), 4, "damaged_zip"},
        StatusCase{"split, nothing ticked", R(S::Split, false, false, false, true, true), 1, "nothing_selected"},
        StatusCase{"split, an output name exists", With(R(S::Split, false, false, false, false, true),
                                                        [](RunRecord& r) { r.rowsNotDone = 1, r.rowsDone = 1; }),
                   5, "partly_done"},
        StatusCase{"split cannot create", With(R(S::Split, true, false, false, false, true),
                                               [](RunRecord& r) { r.failure = FileFailure::Create; }),
                   3, "cannot_create"},
        StatusCase{"combine done", R(S::Combine, false, false, false, false, true), 0, "done"},
        StatusCase{"combine refused (names taken)", With(R(S::Combine, false, false, false, false, true),
                                                         [](RunRecord& r) { r.refusal = Refusal::NamesTaken; }),
                   4, "names_taken"},
        StatusCase{"combine nothing ticked", R(S::Combine, false, false, false, true, true), 1, "nothing_selected"},
        StatusCase{"a row past the listing", With(R(S::Combine, false, false, false, false, true),
                                                  [](RunRecord& r) { r.usage = true; }),
                   2, "usage"},
        StatusCase{"interrupted, even with an error", With(R(S::Split, true, false, false, false, true),
                                                           [](RunRecord& r) { r.interrupted = true; }),
                   130, "interrupted"}));

TEST(WorseStatus, OrdersInterruptUsageErrorRefusedPartlyDoneNothing) {
  const int order[] = {130, 2, 3, 4, 5, 0, 1};
  for (size_t i = 0; i < std::size(order); ++i) {
    for (size_t j = i; j < std::size(order); ++j) {
      EXPECT_EQ(WorseStatus(order[i], order[j]), order[i]) << order[i] << " vs " << order[j];
      EXPECT_EQ(WorseStatus(order[j], order[i]), order[i]) << order[j] << " vs " << order[i];
    }
  }
}

}  // namespace
}  // namespace brim::cli
