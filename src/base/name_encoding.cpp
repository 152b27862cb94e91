#include "base/name_encoding.h"

#include <unicode/uchar.h>
#include <unicode/unorm2.h>

#include <algorithm>
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

NameEncoding ReadNameEncoding(std::string_view bytes, bool flaggedUtf8) {
  if (flaggedUtf8) return NameEncoding::Utf8;
  size_t i = AsciiPrefix(bytes);
  if (i == bytes.size()) return NameEncoding::Cp932;  // ASCII: both read it alike
  // A byte from 0x80 up: UTF-8 when every character from here is valid, as
  // that byte then starts a multi-byte one.
  while (i < bytes.size()) {
    const size_t n = Utf8CharLength(bytes, i);
    if (n == 0) return NameEncoding::Cp932;
    i += n;
  }
  return NameEncoding::Utf8;
}

namespace {

UChar32 DecodeUtf8(std::string_view bytes, size_t i, size_t n) {
  const unsigned char b = static_cast<unsigned char>(bytes[i]);
  UChar32 c = n == 1 ? b : n == 2 ? b & 0x1F : n == 3 ? b & 0x0F : b & 0x07;
  for (size_t k = 1; k < n; ++k) c = (c << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
  return c;
}

}  // namespace

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
  if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    return std::string(text);
  }
  UErrorCode status = U_ZERO_ERROR;
  const UNormalizer2* nfc = unorm2_getNFCInstance(&status);
  if (U_FAILURE(status)) return std::string(text);
  // Canonical composition (UAX #15) by pairs, without the decomposition
  // step of full NFC: a character composes with the last starter unless a
  // character between them blocks it. A byte that is no UTF-8 is kept as
  // -1 - byte and blocks.
  constexpr size_t kNoStarter = SIZE_MAX;
  std::vector<UChar32> chars;
  size_t starter = kNoStarter;
  uint8_t lastClass = 0;
  bool composed = false;
  for (size_t i = 0; i < text.size();) {
    const size_t n = Utf8CharLength(text, i);
    if (n == 0) {
      chars.push_back(-1 - static_cast<unsigned char>(text[i++]));
      starter = kNoStarter;
      continue;
    }
    const UChar32 c = DecodeUtf8(text, i, n);
    i += n;
    const uint8_t cc = u_getCombiningClass(c);
    if (starter != kNoStarter && (starter + 1 == chars.size() || (lastClass != 0 && lastClass < cc))) {
      const UChar32 pair = unorm2_composePair(nfc, chars[starter], c);
      if (pair >= 0) {
        chars[starter] = pair;
        composed = true;
        continue;
      }
    }
    if (cc == 0) starter = chars.size();
    chars.push_back(c);
    lastClass = cc;
  }
  if (!composed) return std::string(text);
  std::string out;
  out.reserve(text.size());
  for (UChar32 c : chars) {
    if (c < 0) out += static_cast<char>(-1 - c);
    else AppendUtf8(out, static_cast<uint32_t>(c));
  }
  return out;
}

}  // namespace brim
