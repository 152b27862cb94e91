// Walks an LZH archive's headers (levels 0, 1, 2, each header by its own
// level byte) from its first header to the end mark. Positions stay counted
// from the file's first byte, also behind a self-extractor's program stub.
#pragma once
#include <cstdint>
#include <optional>

#include "app/program_state.h"
#include "base/file_stream.h"

namespace brim {

// Where the archive's first header starts: 0 when "-lh?-" is at offset 2
// (checked no further), else the first header after a stub whose level,
// layout and header sum or CRC check; nothing when there is none. Only
// headers that start before `before` are looked for.
std::optional<uint64_t> FindLzhStart(ProgramState& s, const FileStream& f, uint64_t before = UINT64_MAX - 16);

// knownStart: the first header's position as detection found it; without
// it the analysis finds it again (a re-analysis after a rewrite).
void AnalyseLzh(ProgramState& s, std::optional<uint64_t> knownStart = std::nullopt);

}  // namespace brim
