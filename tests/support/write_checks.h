// What the commands that write files must never do, checked on any input:
// each function treats the bytes as an archive in a fresh temporary folder,
// analyses it through the form as "解析" does, ticks rows, runs the command
// through RunCommand, and returns "" when every rule held or a description of
// the first one broken. The fuzz targets and the regression tests share them.
//
// The input's last byte picks what happens between the analysis and the
// command. Bit 7: row i is ticked when bit (i mod 6) of that byte is (without
// it, all rows are). Bit 6: the archive shrinks to (length * the byte before
// it) / 256 bytes, as if it had changed since the analysis; the rules then
// hold for the shrunk archive.
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
