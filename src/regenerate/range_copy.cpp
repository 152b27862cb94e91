#include "regenerate/range_copy.h"

namespace brim {

void CopyRange(ProgramState& s, const FileStream& source, OutputFile& destination,
               uint64_t offset, uint64_t length) {
  const uint64_t blocks = length / kCopyBlock;
  const uint64_t rest = length % kCopyBlock;
  for (uint64_t k = 1; k <= blocks; ++k) {
    destination.AppendFrom(source, offset + (k - 1) * kCopyBlock, kCopyBlock);
    s.Gauge1.SetProgress(static_cast<int>((k - 1) * 100 / blocks));
    s.ProcessMessages();
  }
  if (rest != 0) {
    destination.AppendFrom(source, offset + blocks * kCopyBlock, rest);
    s.ProcessMessages();
  }
  s.Gauge1.SetProgress(100);
}

}  // namespace brim
