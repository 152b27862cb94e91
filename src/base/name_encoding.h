// How a name's bytes are read, and how a UTF-8 name is shown.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "base/cp932.h"

namespace brim {

// How many bytes from the start are ASCII (below 0x80).
size_t AsciiPrefix(std::string_view bytes);

// A name with ZIP flag bit 11 is UTF-8. So is one without it (Info-ZIP on
// Linux, macOS, Go, minizip, Unix lha) when its bytes are valid UTF-8 with at
// least one multi-byte character: real CP932 names almost never are. Every
// other name is CP932.
NameEncoding ReadNameEncoding(std::string_view bytes, bool flaggedUtf8);

// The length of the valid UTF-8 character at bytes[i] (1 to 4), 0 when no
// valid character starts there (overlong forms and surrogates included).
size_t Utf8CharLength(std::string_view bytes, size_t i);
// Appends code point c as UTF-8.
void AppendUtf8(std::string& out, uint32_t c);

// What one pass over a text finds.
struct Utf8Shape {
  bool valid = true;         // every byte belongs to a valid UTF-8 character
  bool mayCompose = false;   // ComposeUtf8 may change it: it holds a mark
};
// The text's shape, eight bytes at a time over ASCII. Only a character that
// can compose with the one before it (a combining mark, a Hangul vowel or
// final) sets mayCompose: ASCII, kana and kanji names need no composing.
Utf8Shape ShapeOfUtf8(std::string_view text);

// Valid UTF-8 text with its decomposed sequences composed (macOS writes
// が as か + U+3099): base and combining characters become the precomposed
// character where Unicode has one. Nothing else changes (no singletons,
// no compatibility mappings), and text without a combining character comes
// back as it was. A byte that is no UTF-8 is kept, and nothing composes
// across it.
std::string ComposeUtf8(std::string_view utf8);

}  // namespace brim
