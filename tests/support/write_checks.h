// What the commands that write files must never do, checked on any input:
// each function treats the bytes as an archive in a fresh temporary folder,
// analyses it through the form as "解析" does, ticks rows, runs the command
// through RunCommand, and returns "" when every rule held or a description of
// the first one broken. The fuzz targets and the regression tests share them.
//
// Rows ticked: all of them, unless the input's last byte has its top bit set;
// then row i is ticked when bit (i mod 7) of that byte is.
#pragma once
#include <string>

#include "support/test_files.h"

namespace brim::test {

// "書き換え", answering Yes to go ahead and No to the new analysis: the file
// keeps its length, every changed byte lies in a field the rewrite may write
// for a ticked row (positions from the locator table as analysed), and the
// rewritten file can be analysed again with whole tables.
std::string RewriteViolation(const Bytes& input);

// "個別に生成" then "結合して生成": the source stays byte for byte, nothing
// appears outside the archive's folder, nothing there is replaced, and every
// file that appears is a complete output of its expected length and bytes.
std::string RegenerateViolation(const Bytes& input);

}  // namespace brim::test
