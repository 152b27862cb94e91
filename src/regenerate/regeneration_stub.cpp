// Placeholder until regeneration lands.
#include "regenerate/regeneration.h"

namespace brim {
void RegenerateIndividually(ProgramState&) {}
void RegenerateCombined(ProgramState&) {}
}  // namespace brim
