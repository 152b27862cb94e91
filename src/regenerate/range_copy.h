// The range copy of the individual command: one byte range of the archive to
// the end of an output, in 1 MiB blocks, with the gauge and the window kept
// live between blocks.
#pragma once
#include <cstdint>

#include "app/program_state.h"
#include "base/file_stream.h"
#include "regenerate/output_file.h"

namespace brim {

inline constexpr uint64_t kCopyBlock = 1 << 20;

// Appends the length bytes at offset of source to destination. After each
// whole block k of b, Gauge1 shows ((k - 1) * 100) div b and messages are
// processed; once more after the rest; Gauge1 ends at 100. Throws CannotRead
// when the source holds fewer bytes, CannotWrite when the output fails.
void CopyRange(ProgramState& s, const FileStream& source, OutputFile& destination,
               uint64_t offset, uint64_t length);

}  // namespace brim
