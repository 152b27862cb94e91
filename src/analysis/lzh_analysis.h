// Walks an LZH archive's headers (levels 0, 1, 2, each header by its own
// level byte) from its first header to the end mark. Positions stay counted
// from the file's first byte, also behind a self-extractor's program stub.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>

#include "app/program_state.h"
#include "analysis/lzh_start_scan.h"

namespace brim {

// knownStart: the first header's position as detection found it; without
// it the analysis finds it again (a re-analysis after a rewrite).
void AnalyseLzh(ProgramState& s, std::optional<uint64_t> knownStart = std::nullopt);

}  // namespace brim
