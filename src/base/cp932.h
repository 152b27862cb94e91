// CP932 (Shift-JIS as Windows writes it) byte strings: conversion to and from
// UTF-8, and the path rules that every command shares.
//
// The rules search for the last "\", ":" or "." of a text. A byte 0x5C that
// is the second byte of a double-byte character (ソ = 83 5C, 表 = 95 5C) is part
// of that character and never a separator, so the text is walked from its
// start, stepping over whole characters. A lead byte pairs only with a byte
// that can be a second byte: after a stray one (a UTF-8 name read as CP932
// holds many), "." and "/" keep their meaning.
#pragma once
#include <cstring>
#include <string>
#include <string_view>

namespace brim {

// How the bytes of a name read from an archive are to be read.
enum class NameEncoding : uint8_t {
  Cp932,  // the default: the names of both formats
  Utf8,   // ZIP flag bit 11, or bytes that read as UTF-8 (ReadNameEncoding)
};

inline bool IsCp932LeadByte(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
inline bool IsCp932TrailByte(unsigned char b) {
  return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}
// The length of the character at text[i]: 2 for a lead byte followed by a
// second byte, else 1.
inline size_t Cp932CharLength(std::string_view text, size_t i) {
  return IsCp932LeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() &&
                 IsCp932TrailByte(static_cast<unsigned char>(text[i + 1]))
             ? 2
             : 1;
}

// CP932 -> UTF-8 through iconv's "CP932" (not "SHIFT_JIS", which turns 0x5C
// into the yen sign). A byte sequence that is not CP932 becomes U+FFFD; *ok,
// when given, says whether every byte converted.
std::string Cp932ToUtf8(std::string_view cp932, bool* ok = nullptr);
// Whether every byte is below 0x80: such a text reads the same in CP932
// and UTF-8 (iconv's CP932 keeps 0x5C and 0x7E). Inline, eight bytes at a
// time: every cell of a listing asks.
inline bool IsAscii(std::string_view text) {
  size_t i = 0;
  uint64_t any = 0;
  for (uint64_t w; i + 8 <= text.size(); i += 8) {
    std::memcpy(&w, text.data() + i, 8);
    any |= w;
  }
  for (; i < text.size(); ++i) any |= static_cast<unsigned char>(text[i]);
  return (any & 0x8080808080808080u) == 0;
}
// The top bit of every byte of w that is a control, '"', '\\' or DEL, and
// perhaps of others (never of a byte from 0x20 to 0x7E otherwise). Bit
// tricks: a byte equal to c gives 0 after ^ c, and a byte below c borrows
// into its top bit; a match is never missed, a false one only sends the word
// the slow way. The lowest mark is always a match: a false mark needs a
// borrow out of the byte below, which is then marked itself. Bytes from 0x80
// up are the caller's to look at.
constexpr uint64_t MaybeEscapedAscii(uint64_t w) {
  constexpr uint64_t kOnes = 0x0101010101010101u;
  const auto zero = [](uint64_t x) { return (x - kOnes) & ~x; };
  return (((w - kOnes * 0x20) & ~w) | zero(w ^ (kOnes * '"')) | zero(w ^ (kOnes * '\\')) | zero(w ^ (kOnes * 0x7F))) &
         (kOnes * 0x80);
}
// The top bit of every byte of w that is 0xC2 or 0xE2 (and perhaps of
// others, as above): the UTF-8 leads of the C1 controls, of U+2028 and
// U+2029 and of the bidirectional controls.
constexpr uint64_t MaybeC2OrE2(uint64_t w) {
  constexpr uint64_t kOnes = 0x0101010101010101u;
  const auto zero = [](uint64_t x) { return (x - kOnes) & ~x; };
  return (zero(w ^ (kOnes * 0xC2)) | zero(w ^ (kOnes * 0xE2))) & (kOnes * 0x80);
}
// Replacements for ASCII bytes, for a writer that escapes while converting:
// byte b becomes text[b] (length[b] bytes, 0: b itself).
struct AsciiEscapes {
  uint8_t length[128] = {};
  char text[128][6] = {};
  // Set when only bytes MaybeEscapedAscii marks are replaced: a run of eight
  // other ASCII bytes is then copied at once.
  bool fewReplaced = false;
};
// The same into out, which holds 3 bytes per byte of cp932 (6 with
// escapes), without allocating: the length written, or kNeedsIconv when a
// byte sequence needs the full conversion above (then out holds nothing
// usable). Every byte below 0x80 it writes is one of cp932's own ASCII
// bytes or its replacement, and it writes no C1 control, U+2028 or U+2029:
// escaping the ASCII makes a JSON string.
inline constexpr size_t kNeedsIconv = static_cast<size_t>(-1);
size_t Cp932ToUtf8To(std::string_view cp932, char* out, const AsciiEscapes* escapes = nullptr);
// Name bytes in their encoding -> UTF-8; bytes that do not decode become
// U+FFFD, and decomposed UTF-8 is composed (ComposeUtf8).
std::string NameToUtf8(std::string_view bytes, NameEncoding encoding);
// UTF-8 -> CP932. A character CP932 cannot hold becomes "?".
std::string Utf8ToCp932(std::string_view utf8, bool* ok = nullptr);

// ---- Path rules on CP932 text ("\" and ":" separate folders) ----

// Index of the last byte of text that is one of chars, skipping the second
// bytes of double-byte characters; npos when there is none.
size_t FindLastOfCp932(std::string_view text, std::string_view chars);

// Where the rules below cut a text. The extension is the one Windows sees:
// it drops the dots and spaces that end a name, and a ":" suffix names an
// NTFS stream of the file before it, so "evil.exe.", "evil.exe " and
// "evil.exe::$DATA" all write evil.exe. Where Windows sees no extension the
// rule stays the plain one ("readme." has the extension ".").
// A ":" separates a drive or folder in CP932 names as always, except the
// first ":" of a stream suffix whose file has an extension while the text
// after the last ":" has none: the file name then runs to the end. UTF-8
// names (ZIP flag bit 11) are separated by "/" only.
struct NameParts {
  size_t fileStart = 0;                         // where the file name starts
  size_t extension = std::string_view::npos;    // the extension's "."
  size_t extensionEnd = std::string_view::npos; // one past its last byte
  size_t lastDot = std::string_view::npos;      // the last "." anywhere
};
NameParts SplitName(std::string_view text, NameEncoding encoding = NameEncoding::Cp932);
// The tally key of a file name in its encoding, in CP932 as the tally holds
// every key.
std::string TallyKeyOf(std::string_view fileName, NameEncoding encoding);
// The extension key (as ExtensionKey) of text cut at parts, made in buffer.
std::string_view ExtensionKeyInto(std::string& buffer, std::string_view text, const NameParts& parts);
// The "." after which a locator's Ext cell points: the extension's, or for a
// name without one its last "." anywhere, as the cell always showed.
size_t ExtensionCellDot(std::string_view text);

// Up to the file name: the last "\" or ":" included; empty when there is none.
std::string_view FolderPart(std::string_view text);
// The rest after the folder part.
std::string_view FileNamePart(std::string_view text);
// The extension with its dot ("a.txt" -> ".txt", "evil.exe." -> ".exe");
// empty when there is none.
std::string_view ExtensionOf(std::string_view text, NameEncoding encoding = NameEncoding::Cp932);
// The text before the extension's dot; the whole text when there is none.
std::string_view WithoutExtension(std::string_view text);
// ASCII A-Z lowered byte by byte; every other byte unchanged.
std::string LowerAscii(std::string_view text);
// The extension lowered and without its dot: "A.TXT" -> "txt", "readme." -> "".
std::string ExtensionKey(std::string_view text);

// ---- The same rules on native paths (UTF-8, "/" separates folders) ----

std::string_view NativeFolderPart(std::string_view path);
std::string_view NativeFileNamePart(std::string_view path);
std::string_view NativeWithoutExtension(std::string_view path);

// A native relative path from an entry name: CP932 -> UTF-8, then "\" -> "/".
// A byte sequence that is not CP932 becomes U+FFFD, as in the texts the
// program prints, so every name it gives the file system is valid UTF-8.
std::string EntryNameToNativePath(std::string_view nameCp932);

}  // namespace brim
