// A stored name as Windows and extractors write it: cut at its first NUL,
// its file name after the last "/" or "\", cut again at a ":" (an NTFS
// stream) and stripped of trailing dots and spaces. Every copy of a name,
// whatever record holds it, goes through these rules: its extension key
// decides whether the name is dangerous, and its mask lands on the last byte
// of that extension.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "base/name_encoding.h"

namespace brim {

// Where the file name starts: after the last "/" or "\" (a CP932 second
// byte 0x5C is no separator).
size_t WindowsFileStart(std::string_view name, NameEncoding encoding);
// The file name an extractor writes from one stored copy of a name: after
// the last "/" or "\", up to the first NUL.
std::string_view WrittenFileName(std::string_view name, NameEncoding encoding);
// The file name Windows writes: cut at the first ":", trailing dots and
// spaces dropped.
std::string_view WindowsFileName(std::string_view file);
// The extension Windows would see, lower-case and without its dot, made in
// buffer. "evil.EXE. " -> "exe"; "evil.exe\0.txt" -> "exe".
std::string_view WindowsExtensionKey(std::string_view name, NameEncoding encoding, std::string& buffer);
// The index in name of the byte a mask turns into "$": the last byte of
// that extension; npos when there is none.
size_t WindowsMaskAt(std::string_view name, NameEncoding encoding);

}  // namespace brim
