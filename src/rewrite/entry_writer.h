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

// The file is not the one the analysis read, or not as it was then.
struct NotTheAnalysedFile {};

// Writes into the open archive. Never extends it, and never writes outside
// the entry: every range is checked by Require before the entry's first
// write, and the caller refuses the entry when one is outside.
class EntryWriter {
 public:
  explicit EntryWriter(FileStream& file) : file_(file) {}

  // Takes the file's length now (once per entry) and forgets the entry's
  // bytes until Confine names them.
  void Measure() {
    length_ = file_.Size();
    confined_ = false;
  }
  // The bytes the entry owns: its range from "Offset" to "Start" + "Size",
  // and for ZIP its central header (an empty range for LZH).
  void Confine(uint64_t from, uint64_t to, uint64_t centralFrom, uint64_t centralTo);
  // Throws "ファイル %s は解析後に変更されています" unless [pos, pos + len)
  // lies inside the file as measured and, once confined, inside the entry.
  void Require(uint64_t pos, uint64_t len) const;
  [[noreturn]] void Refuse() const;
  // Throws NotTheAnalysedFile unless the bytes at pos are signature.
  void Expect(uint64_t pos, std::string_view signature) const;

  // len zero bytes at pos, from one block of at most 1 MiB kept for the
  // whole command, so memory does not grow with the entry.
  void Zeros(uint64_t pos, uint64_t len);
  void Put8(uint64_t pos, uint8_t value) { file_.WriteAt(pos, &value, 1); }
  void Put16(uint64_t pos, uint16_t value);
  void Put32(uint64_t pos, uint32_t value);
  void Bytes(uint64_t pos, std::string_view bytes);
  uint8_t ReadByte(uint64_t pos) const;
  void Read(uint64_t pos, uint8_t* buf, size_t n) const { file_.ReadExactAt(pos, buf, n); }
  // For a walk that reads an entry's header as it is now.
  const FileStream& File() const { return file_; }

 private:
  FileStream& file_;
  uint64_t length_ = 0;
  bool confined_ = false;
  uint64_t from_ = 0, to_ = 0, centralFrom_ = 0, centralTo_ = 0;
  std::vector<uint8_t> zeros_;
};

using EntryCheck = void (*)(const ProgramState& s, EntryWriter& out, size_t row);
using EntryRewrite = void (*)(ProgramState& s, EntryWriter& out, size_t row);

// Opens the analysed archive for reading and writing and rewrites every
// ticked row in order. It must be the file the analysis read, unchanged
// since, and every ticked row must pass check (its locator cells, the
// signatures at its positions, every range inside the file and the entry)
// before the first byte is written; otherwise it shows "解析されていません"
// or the row's error and changes nothing. A tick is read when its row's turn
// comes, so one set while an earlier row is rewritten is honoured (checked
// then). "中断" stops before the next ticked row; the rows done stay done
// and the log says "中断しました". False when refused before writing.
bool RewriteTicked(ProgramState& s, EntryCheck check, EntryRewrite rewriteEntry);

}  // namespace brim::rewrite
