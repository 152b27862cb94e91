#include "regenerate/range_copy.h"

#include "app/entry_tables.h"

namespace brim {

bool CopyRange(ProgramState& s, const FileStream& source, OutputFile& destination,
               uint64_t offset, uint64_t length, CopyGauge gauge) {
  const bool perEntry = gauge.total == 0;
  const uint64_t blocks = length / kCopyBlock;
  const uint64_t rest = length % kCopyBlock;
  for (uint64_t k = 1; k <= blocks; ++k) {
    destination.AppendFrom(source, offset + (k - 1) * kCopyBlock, kCopyBlock);
    s.Gauge1.SetProgress(perEntry ? static_cast<int>((k - 1) * 100 / blocks)
                                  : PercentOf(gauge.before + k * kCopyBlock, gauge.total));
    // A block is a megabyte of positions: the pump looks at its clock after
    // every one, so a large entry's copy keeps the window painted.
    s.ProcessMessages(kCopyBlock);
    if (s.AbortRequested) return false;
  }
  if (rest != 0) {
    destination.AppendFrom(source, offset + blocks * kCopyBlock, rest);
    // The combined command pumps once per row itself.
    if (perEntry) s.ProcessMessages();
  }
  s.Gauge1.SetProgress(perEntry ? 100 : PercentOf(gauge.before + length, gauge.total));
  return true;
}

}  // namespace brim
