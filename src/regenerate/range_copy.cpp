#include "regenerate/range_copy.h"

namespace brim {

bool CopyRange(ProgramState& s, const FileStream& source, OutputFile& destination,
               uint64_t offset, uint64_t length, CopyGauge gauge) {
  const bool showGauge = gauge == CopyGauge::Show;
  const uint64_t blocks = length / kCopyBlock;
  const uint64_t rest = length % kCopyBlock;
  for (uint64_t k = 1; k <= blocks; ++k) {
    destination.AppendFrom(source, offset + (k - 1) * kCopyBlock, kCopyBlock);
    if (showGauge) s.Gauge1.SetProgress(static_cast<int>((k - 1) * 100 / blocks));
    s.ProcessMessages();
    if (s.AbortRequested) return false;
  }
  if (rest != 0) {
    destination.AppendFrom(source, offset + blocks * kCopyBlock, rest);
    // The combined command pumps once per row itself.
    if (showGauge) s.ProcessMessages();
  }
  if (showGauge) s.Gauge1.SetProgress(100);
  return true;
}

}  // namespace brim
