// Walks a ZIP archive's local headers, finds the end record from the back and
// matches the central directory to the rows (positions in the locator table).
// Then every view of an entry counts: the directories of other end records
// met on the way, central headers no walk reached (listed from the local
// header they name, or from themselves), and every copy of a name (local,
// central, Unicode Path fields). A row shows the name extractors write and
// carries the other copies and its marks; damage ends the walk but keeps
// what it found, and the directory still adds its entries.
#pragma once
#include "app/program_state.h"
#include "base/byte_window.h"

namespace brim {

// detected: the window format detection searched through, which holds the
// first local header already; without it the walk reads through its own.
void AnalyseZip(ProgramState& s, ByteWindow* detected = nullptr);

}  // namespace brim
