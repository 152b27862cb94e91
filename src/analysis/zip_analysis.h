// Walks a ZIP archive's local headers, finds the end record from the back and
// matches the central directory to the rows (positions in the locator table).
#pragma once
#include "app/program_state.h"

namespace brim {

void AnalyseZip(ProgramState& s);

}  // namespace brim
