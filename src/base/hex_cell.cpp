#include "base/hex_cell.h"

#include <cstdio>

#include "base/errors.h"

namespace brim {

std::string FormatHexCell(uint32_t value) {
  char buf[8];
  char* p = buf + sizeof buf;
  do {
    *--p = "0123456789ABCDEF"[value & 0xF];
    value >>= 4;
  } while (value != 0);
  return std::string(p, buf + sizeof buf - p);
}

uint32_t ParseHexCell(std::string_view cell) {
  auto fail = [&] { return NotAnInteger("$" + std::string(cell)); };
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
