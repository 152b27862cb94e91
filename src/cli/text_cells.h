// Table and log texts as the command line prints them: CP932 -> UTF-8, made
// safe for a terminal, and measured in terminal columns.
#pragma once
#include <string>
#include <string_view>

#include "base/cp932.h"

namespace brim::cli {

// CP932 -> UTF-8; a byte sequence that is not CP932 becomes U+FFFD. Pure
// ASCII (hex cells, digits, most names) skips the converter.
std::string CellToUtf8(std::string_view cp932);

// A text made harmless for a terminal: C0 controls and DEL become their
// visible control pictures (ESC -> U+241B), C1 controls and the bidirectional
// overrides become U+FFFD, so a name from an archive cannot move the cursor,
// recolour the screen or reorder what follows it.
std::string ForTerminal(std::string_view utf8);
// Whether ForTerminal changes utf8: a C0 control, DEL, a C1 control (C2
// 80..9F) or an override (E2 80 AA..AE, E2 81 A6..A9) in it.
bool ForTerminalChanges(std::string_view utf8);

// A name's bytes in their encoding as the terminal gets them: converted to
// UTF-8 (composed, U+FFFD for what does not decode), then ForTerminal.
std::string TerminalName(std::string_view bytes, NameEncoding encoding);

// Width in terminal columns: East Asian wide and full-width characters take
// two, everything else one. utf8 must be valid UTF-8.
size_t DisplayWidth(std::string_view utf8);

}  // namespace brim::cli
