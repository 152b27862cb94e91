// Archives that each fool one kind of reader the listing did not model: a
// streaming reader that splits a stored bit-3 entry at a descriptor inside
// its data, Unicode Path fields of any version, with a NUL, a trailing dot
// or a second block, duplicate central headers, LZH UTF-16 name records and
// an LZH directory record that carries the file name. Each hides
// "evil.exe" from a listing built from fewer views.
#pragma once
#include <ostream>
#include <vector>

#include "support/crafted_zip.h"

namespace brim::test {

struct ViewHole {
  const char* label;
  bool zip;
  Bytes bytes;
};

inline void PrintTo(const ViewHole& h, std::ostream* os) { *os << h.label; }

std::vector<ViewHole> ReaderViewHoles();

// An LZH extended record of type 0x44: name as UTF-16LE (ASCII only here).
Bytes Utf16Le(const std::string& ascii);

}  // namespace brim::test
