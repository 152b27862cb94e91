// The one encoding of numbers in table cells: upper-case hexadecimal without
// prefix or leading zeros ("%X"), read back as "$" followed by the text.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace brim {

std::string FormatHexCell(uint32_t value);
// The same into buf (8 bytes); returns the length.
size_t FormatHexTo(char* buf, uint32_t value);
// The same written back from end, for a right-aligned cell.
void FormatHexBefore(char* end, uint32_t value);

// Parses "$" + cell as a hexadecimal integer of at most 32 bits. Anything else
// (an empty cell, a stray character, more than eight digits) throws
// NotAnInteger with the text that was parsed, "$" included.
uint32_t ParseHexCell(std::string_view cell);

}  // namespace brim
