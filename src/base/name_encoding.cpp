#include "base/name_encoding.h"

#include <utf8proc.h>

#include <cstring>
#include <vector>

namespace brim {

size_t Utf8CharLength(std::string_view bytes, size_t i) {
  auto at = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
  const unsigned char b = at(i);
  const size_t n = b < 0x80 ? 1 : (b >= 0xC2 && b <= 0xDF) ? 2 : (b >= 0xE0 && b <= 0xEF) ? 3 : (b >= 0xF0 && b <= 0xF4) ? 4 : 0;
  if (n == 0 || i + n > bytes.size()) return 0;
  uint32_t c = n == 1 ? b : n == 2 ? b & 0x1F : n == 3 ? b & 0x0F : b & 0x07;
  for (size_t k = 1; k < n; ++k) {
    if ((at(i + k) & 0xC0) != 0x80) return 0;
    c = (c << 6) | (at(i + k) & 0x3F);
  }
  // Overlong forms, surrogates and code points past U+10FFFF are no UTF-8.
  if ((n == 3 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) || (n == 4 && (c < 0x10000 || c > 0x10FFFF))) return 0;
  return n;
}

size_t AsciiPrefix(std::string_view bytes) {
  size_t i = 0;
  // Eight bytes at a time, as most names are ASCII throughout.
  for (uint64_t word; i + 8 <= bytes.size(); i += 8) {
    std::memcpy(&word, bytes.data() + i, 8);
    if (word & 0x8080808080808080u) break;
  }
  while (i < bytes.size() && static_cast<unsigned char>(bytes[i]) < 0x80) ++i;
  return i;
}

namespace {

uint32_t DecodeUtf8(std::string_view bytes, size_t i, size_t n) {
  const unsigned char b = static_cast<unsigned char>(bytes[i]);
  uint32_t c = n == 1 ? b : n == 2 ? b & 0x1F : n == 3 ? b & 0x0F : b & 0x07;
  for (size_t k = 1; k < n; ++k) c = (c << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
  return c;
}

// Whether c can compose with a character before it. Such a character is a
// combining mark (a class other than 0, or a mark by category: a few Indic
// vowel signs compose with class 0) or a Hangul vowel or final jamo; none
// lies below U+0300 or among the CJK ideographs, which spares the lookup.
bool MayComposeWithPrevious(uint32_t c) {
  if (c < 0x300 || (c >= 0x3400 && c < 0xA000)) return false;
  if ((c >= 0x1161 && c <= 0x1175) || (c >= 0x11A8 && c <= 0x11C2)) return true;
  const utf8proc_property_t* p = utf8proc_get_property(static_cast<utf8proc_int32_t>(c));
  return p->combining_class != 0 || p->category == UTF8PROC_CATEGORY_MN || p->category == UTF8PROC_CATEGORY_MC ||
         p->category == UTF8PROC_CATEGORY_ME;
}

// One pass over text: its validity, and with kMarks whether it holds a
// character that may compose (without, it stops at the first bad byte).
template <bool kMarks>
Utf8Shape Scan(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  Utf8Shape shape;
  for (size_t i = 0; i < n;) {
    // Eight ASCII bytes at once, up to the first byte from 0x80.
    for (uint64_t w; i + 8 <= n; i += 8) {
      std::memcpy(&w, p + i, 8);
      if (const uint64_t high = w & 0x8080808080808080u) {
        i += static_cast<size_t>(__builtin_ctzll(high)) / 8;
        break;
      }
    }
    if (i == n) break;
    const unsigned b = p[i];
    if (b < 0x80) {
      ++i;
      continue;
    }
    // Kana and kanji at once: a lead from E1 up (not ED, which would start
    // a surrogate) with two continuation bytes is a valid character.
    if (b >= 0xE1 && b != 0xED && b <= 0xEF && i + 3 <= n && (p[i + 1] & 0xC0) == 0x80 && (p[i + 2] & 0xC0) == 0x80) {
      if (kMarks && !shape.mayCompose) {
        shape.mayCompose = MayComposeWithPrevious(((b & 0x0Fu) << 12) | ((p[i + 1] & 0x3Fu) << 6) | (p[i + 2] & 0x3Fu));
      }
      i += 3;
      continue;
    }
    const size_t len = Utf8CharLength(text, i);
    if (len == 0) {
      shape.valid = false;
      if (!kMarks) break;
      ++i;
      continue;
    }
    // Leads below 0xCC start characters below U+0300.
    if (kMarks && b >= 0xCC && !shape.mayCompose) shape.mayCompose = MayComposeWithPrevious(DecodeUtf8(text, i, len));
    i += len;
  }
  return shape;
}

}  // namespace

NameEncoding ReadNameEncoding(std::string_view bytes, bool flaggedUtf8) {
  if (flaggedUtf8) return NameEncoding::Utf8;
  // ASCII reads alike in both; else UTF-8 when every character is valid, as
  // a byte from 0x80 then starts a multi-byte one.
  if (IsAscii(bytes)) return NameEncoding::Cp932;
  return Scan<false>(bytes).valid ? NameEncoding::Utf8 : NameEncoding::Cp932;
}

Utf8Shape ShapeOfUtf8(std::string_view text) { return Scan<true>(text); }

void AppendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string ComposeUtf8(std::string_view text) {
  if (!ShapeOfUtf8(text).mayCompose) return std::string(text);
  // Canonical composition (UAX #15) by utf8proc, without the decomposition
  // step of full NFC, run by run between the bytes that are no UTF-8. With
  // UTF8PROC_STABLE it composes exactly the primary composites (no
  // composition exclusions).
  constexpr auto kCompose = static_cast<utf8proc_option_t>(UTF8PROC_COMPOSE | UTF8PROC_STABLE);
  std::string out;
  out.reserve(text.size());
  std::vector<utf8proc_int32_t> run;
  auto flush = [&] {
    const utf8proc_ssize_t n = utf8proc_normalize_utf32(run.data(), static_cast<utf8proc_ssize_t>(run.size()), kCompose);
    for (utf8proc_ssize_t k = 0; k < n; ++k) AppendUtf8(out, static_cast<uint32_t>(run[k]));
    run.clear();
  };
  for (size_t i = 0; i < text.size();) {
    const size_t n = Utf8CharLength(text, i);
    if (n == 0) {
      flush();
      out += text[i++];
      continue;
    }
    run.push_back(static_cast<utf8proc_int32_t>(DecodeUtf8(text, i, n)));
    i += n;
  }
  flush();
  return out;
}

}  // namespace brim
