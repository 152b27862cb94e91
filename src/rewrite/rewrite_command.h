// "書き換え": neutralises the ticked entries inside the analysed archive.
#pragma once
#include "app/program_state.h"

namespace brim {

// The command: checks panel 0 and the ticks, asks, rewrites by ArchiveKind,
// then offers a new analysis.
void RunRewriteCommand(ProgramState& s);

// The format-specific rewrites (each repeats the panel 0 check).
void RewriteZipEntries(ProgramState& s);
void RewriteLzhEntries(ProgramState& s);

}  // namespace brim
