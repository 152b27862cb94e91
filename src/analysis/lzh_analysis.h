// Walks an LZH archive's headers (levels 0, 1, 2, each header by its own
// level byte) from its first header to the end mark. Positions stay counted
// from the file's first byte, also behind a self-extractor's program stub.
// Each name record is a view of one entry (lhasa, jlha, 7z, bsdtar): the
// base name, every 0x01 file-name record, every 0x44 UTF-16 record, and the
// last part of the 0x02 directory record when the name is empty. The row
// shows the name most of them write, keeps the others as copies (each text
// once, bounded per row), and a record of a kind not known to be harmless
// (formats/known_records.h) marks it "unexplained".
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
