// Walks an LZH archive's headers (levels 0, 1, 2, each header by its own
// level byte) from its first header to the end mark. Positions stay counted
// from the file's first byte, also behind a self-extractor's program stub.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>

#include "app/program_state.h"
#include "base/byte_window.h"
#include "base/file_stream.h"

namespace brim {

// The first checked LZH header after offset 0 (a self-extractor's archive
// behind its program stub), found in the blocks a forward scan reads, so a
// scan that looks for something else finds it in the same pass.
class LzhStartScan {
 public:
  explicit LzhStartScan(const FileStream& f);
  ~LzhStartScan();
  // Looks at the method candidates at from .. from + owned - 1, in block
  // (span bytes read at from); one that runs past the block is read apart.
  void Look(uint64_t from, const uint8_t* block, size_t span, size_t owned);
  // The header's position, once a Look found one.
  std::optional<uint64_t> Found() const { return found_; }

 private:
  // Records the header whose method (5 bytes, or null) is at methodAt, if it checks.
  void Check(uint64_t methodAt, const uint8_t* method);

  std::unique_ptr<ByteWindow> probe_;  // a header's own reads, apart from the scan's blocks
  std::optional<uint64_t> found_;
};

// Where the archive's first header starts: 0 when "-lh?-" is at offset 2
// (checked no further), else the first header after a stub whose level,
// layout and header sum or CRC check; nothing when there is none. Only
// headers that start before `before` are looked for.
std::optional<uint64_t> FindLzhStart(ProgramState& s, const FileStream& f, uint64_t before = UINT64_MAX - 16);

// knownStart: the first header's position as detection found it; without
// it the analysis finds it again (a re-analysis after a rewrite).
void AnalyseLzh(ProgramState& s, std::optional<uint64_t> knownStart = std::nullopt);

}  // namespace brim
