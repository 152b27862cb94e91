// What the ZIP and LZH rewrites share: reading a locator row back, and
// writing into the archive only where the analysis found the entry.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/program_state.h"
#include "base/file_stream.h"

namespace brim::rewrite {

// The extension of a caption without its dot, in its own case ("" for none
// and for a name ending in a dot). Its last byte is what the mask changes.
std::string MaskSource(std::string_view caption);

// Writes into the open archive. Never extends it: every range is checked
// against the file's current length by Require before the entry's first
// write, and the caller refuses the entry when one is outside.
class EntryWriter {
 public:
  explicit EntryWriter(FileStream& file) : file_(file) {}

  // Takes the file's length now (once per entry).
  void Measure() { length_ = file_.Size(); }
  // Throws "ファイル %s は解析後に変更されています" unless [pos, pos + len)
  // lies inside the file as measured.
  void Require(uint64_t pos, uint64_t len) const;
  [[noreturn]] void Refuse() const;

  // len zero bytes at pos, from one block of at most 1 MiB kept for the
  // whole command, so memory does not grow with the entry.
  void Zeros(uint64_t pos, uint64_t len);
  void Put8(uint64_t pos, uint8_t value) { file_.WriteAt(pos, &value, 1); }
  void Put16(uint64_t pos, uint16_t value);
  void Put32(uint64_t pos, uint32_t value);
  void Bytes(uint64_t pos, std::string_view bytes);
  uint8_t ReadByte(uint64_t pos) const;
  void Read(uint64_t pos, uint8_t* buf, size_t n) const { file_.ReadExactAt(pos, buf, n); }

 private:
  FileStream& file_;
  uint64_t length_ = 0;
  std::vector<uint8_t> zeros_;
};

using EntryRewrite = void (*)(ProgramState& s, EntryWriter& out, size_t row);

// Opens the analysed archive for reading and writing and rewrites every
// ticked row in order. A tick is read when its row's turn comes, so one set
// while an earlier row is rewritten is honoured.
void RewriteTicked(ProgramState& s, EntryRewrite rewriteEntry);

}  // namespace brim::rewrite
