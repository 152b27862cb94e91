// "書き換え": neutralises the ticked entries inside the analysed archive.
#pragma once
#include "app/program_state.h"

namespace brim {

// The command: checks panel 0 and the ticks, asks, rewrites by ArchiveKind.
// True when the rewrite ran (the caller then offers a new analysis); false
// when it was refused or declined before any file was touched.
bool RunRewriteCommand(ProgramState& s);

// Whether an analysis that ended so leaves rows a rewrite may act on: a
// completed one, and a damaged one, whose listed rows must still be
// neutralisable (damage is no hiding place).
bool RewriteAccepts(AnalysisOutcome outcome);

// Whether an analysis that ended so found the archive damaged.
bool IsDamaged(AnalysisOutcome outcome);
// Status panel 2 after a rewrite of a damaged archive: how many rows it
// neutralised (panel 0 says the damage).
void ShowDamagedRewrite(ProgramState& s, size_t rows);

// The format-specific rewrites (each repeats the panel 0 check). False when
// refused before anything was written.
bool RewriteZipEntries(ProgramState& s);

namespace rewrite {
class PlanBuilder;
// Every write of one ticked ZIP row (write_plan.h), for the rewrite and for
// tests that apply a plan up to a phase.
void PlanZipEntry(const ProgramState& s, PlanBuilder& out, size_t row);
}  // namespace rewrite
bool RewriteLzhEntries(ProgramState& s);
namespace rewrite {
// The same for one ticked LZH row.
void PlanLzhEntry(const ProgramState& s, PlanBuilder& out, size_t row);
}  // namespace rewrite

}  // namespace brim
