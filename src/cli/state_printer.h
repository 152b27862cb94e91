// The program state after a command, printed for people (text) or programs
// (JSON). Both read the same models the window shows.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "app/program_state.h"

namespace brim::cli {

// One JSON object: kind, panels, gauge, log, locator, listing, tally,
// messages. messages: the texts of the boxes shown (CP932), in order.
std::string StateJson(const ProgramState& s, const std::vector<std::string>& messages);
// The same, streamed to out; false when writing failed.
bool WriteStateJson(const ProgramState& s, const std::vector<std::string>& messages, std::FILE* out);

// Panels, gauge, listing, locator table, tally and log as aligned UTF-8 text.
std::string StateText(const ProgramState& s);
// The same, streamed to out; false when writing failed.
bool WriteStateText(const ProgramState& s, std::FILE* out);

}  // namespace brim::cli
