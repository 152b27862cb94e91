// "再生成": new archives made of ticked entries, copied byte for byte.
#pragma once
#include "app/program_state.h"

namespace brim {

// "個別に生成": one archive per ticked entry, next to the source.
void RegenerateIndividually(ProgramState& s);
// "結合して生成": one archive of all ticked entries, "(ReCreate%.2d)".
void RegenerateCombined(ProgramState& s);

}  // namespace brim
