// Inputs built to make a careless reader's work grow faster than their size,
// each at any scale (about 128 KiB of hostile bytes per unit). The growth
// tests run each at two scales and compare the work counted; the benchmark
// writes the same inputs at 1x, 4x and 16x and times them.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "support/test_files.h"

namespace brim::test {

struct HostileInput {
  const char* name;
  Bytes (*build)(size_t scale);
  // The command that the hostile bytes load: "analyse", or "rewrite" (of
  // every entry, in place).
  const char* command;
  // What the analysis must still say: the rows listed, and the leading byte
  // count of panel 1 as a function of the scale ("" for none expected).
  size_t rows;
};

// Every row: a ZIP behind a stub of level-1 LZH candidate headers whose
// record chains all run to the stub's end; the same with level-2 headers
// whose chains and CRCs span 32 KiB; a ZIP behind a stub of random bytes;
// a ZIP whose central headers all point at one local header.
const std::vector<HostileInput>& HostileInputs();

}  // namespace brim::test
