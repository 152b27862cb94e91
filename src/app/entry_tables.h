// Operations on the entry tables that the analysers and commands share.
#pragma once
#include <cstdint>
#include <string>

#include "app/program_state.h"

namespace brim {

// Decimal with "," between groups of three digits: 1234567 -> "1,234,567".
std::string FormatThousands(int64_t value);

// Number of ticked rows of the listing.
size_t CountChecked(const ProgramState& s);

// Index of the first locator row whose "Offset" cell reads key, or -1.
// Answered from a hash index; returns what a scan from the top would.
int64_t FindLocatorRow(const ProgramState& s, const std::string& key);

// Counts one more entry with extension key ext in the tally: every row whose
// caption is ext gains 1; a new row "ext", "1" when none does.
void TallyExtension(ProgramState& s, const std::string& ext);

// Whole percentage of pos in total, from the exact product (no 32-bit wrap).
inline int PercentOf(uint64_t pos, uint64_t total) {
  return total == 0 ? 0 : static_cast<int>((static_cast<unsigned __int128>(pos) * 100) / total);
}

}  // namespace brim
