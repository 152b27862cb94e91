// Operations on the entry tables that the analysers and commands share.
#pragma once
#include <cstdint>
#include <string_view>

#include "app/program_state.h"

namespace brim {

// True when f is the file the last analysis read, unchanged since. Otherwise
// a box says why not: "解析されていません", or, for the very path analysed,
// that the file changed since its analysis. A command then stops.
bool CheckAnalysedFile(ProgramState& s, const FileStream& f);

// Number of ticked rows of the listing.
size_t CountChecked(const ProgramState& s);

// Index of the first locator row whose "Offset" is offset, or -1.
int64_t FindLocatorRow(const ProgramState& s, uint32_t offset);

// Counts one more entry with extension key ext in the tally.
void TallyExtension(ProgramState& s, std::string_view ext);

// Whole percentage of pos in total, from the exact product (no 32-bit wrap).
inline int PercentOf(uint64_t pos, uint64_t total) {
  return total == 0 ? 0 : static_cast<int>((static_cast<unsigned __int128>(pos) * 100) / total);
}

}  // namespace brim
