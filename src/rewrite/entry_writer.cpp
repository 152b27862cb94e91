#include "rewrite/entry_writer.h"

#include <algorithm>

#include "base/cp932.h"
#include "base/errors.h"
#include "base/hex_cell.h"
#include "base/le.h"
#include "base/ui_texts.h"

namespace brim::rewrite {

namespace {
constexpr size_t kZeroBlock = 1024 * 1024;

uint32_t Cell(const ListItem& row, size_t col) {
  static const std::string empty;
  return ParseHexCell(col < row.subItems.size() ? row.subItems[col] : empty);
}
}  // namespace

Locator ParseLocatorRow(const ListItem& row) {
  Locator v;
  v.offset = Cell(row, kColOffset);
  v.start = Cell(row, kColStart);
  v.size = Cell(row, kColSize);
  v.ext = Cell(row, kColExt);
  v.extI = Cell(row, kColExtI);
  v.offsetI = Cell(row, kColOffsetI);
  return v;
}

bool RowTicked(const ProgramState& s, size_t row) {
  return row < s.ListView2.Count() && s.ListView2.Item(row).checked;
}

std::string MaskSource(std::string_view caption) {
  std::string_view ext = ExtensionOf(caption);
  return ext.empty() ? std::string() : std::string(ext.substr(1));
}

void EntryWriter::Require(uint64_t pos, uint64_t len) const {
  if (pos > length_ || len > length_ - pos) Refuse();
}

void EntryWriter::Refuse() const {
  throw CommandError(FormatText(Ui().fileChangedSinceAnalysis, Utf8ToCp932(file_.Path())));
}

void EntryWriter::Zeros(uint64_t pos, uint64_t len) {
  if (len == 0) return;
  if (zeros_.size() < kZeroBlock && zeros_.size() < len) {
    zeros_.assign(static_cast<size_t>(std::min<uint64_t>(len, kZeroBlock)), 0);
  }
  while (len > 0) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(len, zeros_.size()));
    file_.WriteAt(pos, zeros_.data(), n);
    pos += n;
    len -= n;
  }
}

void EntryWriter::Put16(uint64_t pos, uint16_t value) {
  uint8_t b[2];
  le::Put16(b, value);
  file_.WriteAt(pos, b, sizeof b);
}

void EntryWriter::Put32(uint64_t pos, uint32_t value) {
  uint8_t b[4];
  le::Put32(b, value);
  file_.WriteAt(pos, b, sizeof b);
}

void EntryWriter::Bytes(uint64_t pos, std::string_view bytes) {
  if (!bytes.empty()) file_.WriteAt(pos, bytes.data(), bytes.size());
}

uint8_t EntryWriter::ReadByte(uint64_t pos) const {
  uint8_t b = 0;
  file_.ReadExactAt(pos, &b, 1);
  return b;
}

}  // namespace brim::rewrite
