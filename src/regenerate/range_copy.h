// The range copy of both regeneration commands: one byte range of the archive
// to the end of an output, in 1 MiB blocks, with the window kept live and
// "中断" looked at between blocks, so a large entry can be stopped.
#pragma once
#include <cstdint>

#include "app/program_state.h"
#include "base/file_stream.h"
#include "regenerate/output_file.h"

namespace brim {

inline constexpr uint64_t kCopyBlock = 1 << 20;

// How the copy drives Gauge1. Per entry (total 0; one output per entry):
// the range's whole blocks, ending at 100. Otherwise as bytes of the whole
// command (the combined output): `before` of its `total` bytes went before
// this range, so a large entry's copy moves the gauge as it goes.
struct CopyGauge {
  uint64_t before = 0;
  uint64_t total = 0;
};

// Appends the length bytes at offset of source to destination. After each
// whole block k of b, messages are processed and the copy ends early, false,
// when "中断" was requested meanwhile. Per entry, Gauge1 shows
// ((k - 1) * 100) div b before each of those, messages are processed once
// more after the rest, and Gauge1 ends at 100; for the whole command it
// shows the percentage of its bytes copied (the caller pumps after the
// rest). True when every byte went. Throws CannotRead when the source holds
// fewer bytes, CannotWrite when the output fails.
bool CopyRange(ProgramState& s, const FileStream& source, OutputFile& destination,
               uint64_t offset, uint64_t length, CopyGauge gauge = {});

}  // namespace brim
