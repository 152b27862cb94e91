#include "cli/text_cells.h"

#include <cstdint>
#include <cstring>

#include "base/cp932.h"
#include "base/name_encoding.h"

namespace brim::cli {

namespace {

// Decodes the UTF-8 character at s[i] (assumed valid) and advances i.
uint32_t NextCodePoint(std::string_view s, size_t& i) {
  auto b = [&](size_t k) { return static_cast<uint32_t>(static_cast<unsigned char>(s[k])); };
  uint32_t c = b(i);
  size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
  if (i + n > s.size()) n = 1;
  if (n == 2) c = ((c & 0x1F) << 6) | (b(i + 1) & 0x3F);
  if (n == 3) c = ((c & 0x0F) << 12) | ((b(i + 1) & 0x3F) << 6) | (b(i + 2) & 0x3F);
  if (n == 4) {
    c = ((c & 0x07) << 18) | ((b(i + 1) & 0x3F) << 12) | ((b(i + 2) & 0x3F) << 6) | (b(i + 3) & 0x3F);
  }
  i += n;
  return c;
}

bool IsWide(uint32_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) ||
         (c >= 0x3041 && c <= 0x33FF) || (c >= 0x3400 && c <= 0x4DBF) ||
         (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
         (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
         (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

}  // namespace

std::string CellToUtf8(std::string_view cp932) {
  for (char ch : cp932) {
    if (static_cast<unsigned char>(ch) >= 0x80) return Cp932ToUtf8(cp932);
  }
  return std::string(cp932);
}

bool ForTerminalChanges(std::string_view s) {
  const size_t n = s.size();
  for (size_t i = 0; i < n; ++i) {
    // Eight bytes at once up to the first that may be a control, DEL or a
    // C2 or E2 lead (or a '"' or '\\': those are looked at and passed).
    // The lowest mark is always a real one (base/cp932.h).
    for (uint64_t w; i + 8 <= n;) {
      std::memcpy(&w, s.data() + i, 8);
      const uint64_t marks = MaybeEscapedAscii(w) | MaybeC2OrE2(w);
      if (marks != 0) {
        i += static_cast<size_t>(__builtin_ctzll(marks)) / 8;
        break;
      }
      i += 8;
    }
    if (i == n) break;
    const unsigned char b = static_cast<unsigned char>(s[i]);
    if (b < 0x20 || b == 0x7F) return true;
    if (b == 0xC2 && i + 1 < n && static_cast<unsigned char>(s[i + 1]) <= 0x9F) return true;
    if (b == 0xE2 && i + 1 < n && (static_cast<unsigned char>(s[i + 1]) & 0xFE) == 0x80) return true;
  }
  return false;
}

std::string ForTerminal(std::string_view s) {
  if (!ForTerminalChanges(s)) return std::string(s);
  std::string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    uint32_t c = NextCodePoint(s, i);
    if (c < 0x20) {
      AppendUtf8(out, 0x2400 + c);
    } else if (c == 0x7F) {
      AppendUtf8(out, 0x2421);
    } else if ((c >= 0x80 && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) ||
               (c >= 0x2066 && c <= 0x2069)) {
      AppendUtf8(out, 0xFFFD);
    } else {
      AppendUtf8(out, c);
    }
  }
  return out;
}

std::string TerminalName(std::string_view bytes, NameEncoding encoding) {
  std::string utf8 = encoding == NameEncoding::Cp932 ? CellToUtf8(bytes) : NameToUtf8(bytes, encoding);
  // Most names need nothing replaced: they are kept, not copied.
  return ForTerminalChanges(utf8) ? ForTerminal(utf8) : utf8;
}

size_t DisplayWidth(std::string_view s) {
  size_t width = 0;
  size_t i = 0;
  while (i < s.size()) {
    if (static_cast<unsigned char>(s[i]) < 0x80) {  // ASCII: one column each
      ++width;
      ++i;
      continue;
    }
    width += IsWide(NextCodePoint(s, i)) ? 2 : 1;
  }
  return width;
}

}  // namespace brim::cli
