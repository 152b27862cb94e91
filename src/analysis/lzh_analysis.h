// Walks an LZH archive's headers (levels 0, 1, 2) from offset 0 to the end mark.
#pragma once
#include "app/program_state.h"

namespace brim {

void AnalyseLzh(ProgramState& s);

}  // namespace brim
