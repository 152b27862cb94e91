// "解析": tells an LZH archive (-lh?- at offset 2) from a ZIP archive (the
// first local header signature anywhere, else an LZH header with checked
// sums behind a program stub), records ArchiveKind and, for ZIP,
// the leading byte count in panel 1, and runs the matching analyser.
#pragma once
#include "app/program_state.h"

namespace brim {

void DetectFormatAndAnalyse(ProgramState& s);

}  // namespace brim
