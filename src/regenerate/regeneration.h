// "再生成": new archives made of ticked entries, copied byte for byte.
#pragma once
#include "app/program_state.h"

namespace brim {

// "個別に生成": one archive per ticked entry, next to the source. "中断"
// stops it between entries; the outputs finished stay.
void RegenerateIndividually(ProgramState& s);
// "結合して生成": one archive of all ticked entries, "(ReCreate%.2d)".
// "中断" stops it between entries and removes the unfinished output.
void RegenerateCombined(ProgramState& s);

}  // namespace brim
