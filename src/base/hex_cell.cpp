#include "base/hex_cell.h"

#include <cstdio>

#include "base/errors.h"

namespace brim {

size_t FormatHexTo(char* buf, uint32_t value) {
  const size_t n = value == 0 ? 1 : static_cast<size_t>((35 - __builtin_clz(value)) / 4);
  for (size_t i = n; i-- > 0; value >>= 4) buf[i] = "0123456789ABCDEF"[value & 0xF];
  return n;
}

std::string FormatHexCell(uint32_t value) {
  char buf[8];
  return std::string(buf, FormatHexTo(buf, value));
}

uint32_t ParseHexCell(std::string_view cell) {
  auto fail = [&] {
    // Appended rather than "$" + string: GCC 12 warns (-Wrestrict) on that.
    std::string text = "$";
    text += cell;
    return NotAnInteger(text);
  };
  if (cell.empty()) throw fail();
  // Leading zeros do not count towards the 32-bit limit.
  size_t first = cell.find_first_not_of('0');
  if (first != std::string_view::npos && cell.size() - first > 8) throw fail();
  uint32_t value = 0;
  for (char c : cell) {
    uint32_t digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else throw fail();
    value = (value << 4) | digit;
  }
  return value;
}

}  // namespace brim
