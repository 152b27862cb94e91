// Walks a ZIP archive's local headers, finds the end record from the back and
// matches the central directory to the rows (positions in the locator table).
#pragma once
#include "app/program_state.h"
#include "base/byte_window.h"

namespace brim {

// detected: the window format detection searched through, which holds the
// first local header already; without it the walk reads through its own.
void AnalyseZip(ProgramState& s, ByteWindow* detected = nullptr);

}  // namespace brim
