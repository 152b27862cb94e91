// ZIP archives on which extractors and a listing built from the local
// headers alone disagree: each hides a program, "evil.exe", from such a
// listing while unzip, 7z, bsdtar or Python still write it. One builder per
// trick, all through ZipBuilder.
#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "support/zip_builder.h"

namespace brim::test {

struct CraftedZip {
  const char* label;
  Bytes bytes;
};

inline void PrintTo(const CraftedZip& c, std::ostream* os) { *os << c.label; }

// The payload every crafted archive hides: not zeros, so a neutralised
// copy tells itself apart.
Bytes CraftedPayload();

// One archive per class: a stray central signature, local sizes 0 over real
// data, a folder name locally with a file name centrally, a local header in
// another's extra field, an archive appended to another, an end record in a
// comment, an end record whose count is short, a Zip64 locator that names
// another end record than the one before it, a garbage gap, a NUL in the
// name, a central name or Unicode Path field that differs.
std::vector<CraftedZip> CraftedZips();

// The Info-ZIP Unicode Path extra block for utf8Name beside headerName.
Bytes UnicodePathBlock(const std::string& headerName, const std::string& utf8Name);

}  // namespace brim::test
