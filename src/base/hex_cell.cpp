#include "base/hex_cell.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "base/errors.h"

namespace brim {

namespace {

// "00".."FF": two digits per step.
constexpr auto kHexPairs = [] {
  std::array<char, 512> pairs{};
  for (int i = 0; i < 256; ++i) {
    pairs[2 * i] = "0123456789ABCDEF"[i >> 4];
    pairs[2 * i + 1] = "0123456789ABCDEF"[i & 0xF];
  }
  return pairs;
}();

}  // namespace

void FormatHexBefore(char* end, uint32_t value) {
  for (; value >= 0x100; value >>= 8) {
    end -= 2;
    std::memcpy(end, kHexPairs.data() + 2 * (value & 0xFF), 2);
  }
  if (value >= 0x10) std::memcpy(end - 2, kHexPairs.data() + 2 * value, 2);
  else end[-1] = kHexPairs[2 * value + 1];
}

size_t FormatHexTo(char* buf, uint32_t value) {
  const size_t n = value == 0 ? 1 : static_cast<size_t>((35 - __builtin_clz(value)) / 4);
  FormatHexBefore(buf + n, value);
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
