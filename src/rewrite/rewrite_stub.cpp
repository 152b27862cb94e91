// Placeholder until the rewrite lands.
#include "rewrite/rewrite_command.h"

namespace brim {
void RunRewriteCommand(ProgramState&) {}
void RewriteZipEntries(ProgramState&) {}
void RewriteLzhEntries(ProgramState&) {}
}  // namespace brim
