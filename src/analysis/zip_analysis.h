// Walks a ZIP archive's local headers, finds the end record from the back and
// matches the central directory to the rows (positions in the locator table).
// A row is built from every reader view of its entry:
//   directory readers (unzip, 7z, Python): the end record extractors use,
//     the central headers (each one a copy of the name, even when two carry
//     the same), the local header at each offset, other end records met on
//     the way;
//   streaming readers (bsdtar from a pipe, Java's ZipInputStream): local
//     headers one after another, a stored bit-3 entry split where such a
//     reader finds a descriptor that fits (zip_stream_view.h);
//   every copy of a name: local, central, every Unicode Path block (0x7075,
//     any version) of both headers, each read by the rules of base/windows_name.h.
// A row shows the name extractors write and carries the other copies and its
// marks; what no view accounts for is marked "unexplained". Damage ends the
// walk but keeps what it found, and the directory still adds its entries.
#pragma once
#include "app/program_state.h"
#include "base/byte_window.h"

namespace brim {

// detected: the window format detection searched through, which holds the
// first local header already; without it the walk reads through its own.
void AnalyseZip(ProgramState& s, ByteWindow* detected = nullptr);

}  // namespace brim
