// The check-mark commands: they change the ticks of listing rows only.
#pragma once
#include "app/program_state.h"

namespace brim {

// Ticks every listing row whose extension key is the caption of a ticked
// tally row (as the caption reads now, edited or not). Only adds ticks.
void CheckByTalliedExtensions(ProgramState& s);
// Ticks every listing row whose extension key is on DangerousExtensions().
// Only adds ticks.
void CheckDangerous(ProgramState& s);
// Ticks every row a rewrite stopped part way (its name masked, its method,
// data or CRC not yet): its name may no longer match any selection, yet a
// rewrite must finish it. Every selection ticks them too.
void CheckHalfNeutralised(ProgramState& s);
void CheckAll(ProgramState& s);
void UncheckAll(ProgramState& s);
void InvertChecks(ProgramState& s);

}  // namespace brim
