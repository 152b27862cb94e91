#include "rewrite/entry_writer.h"

#include <algorithm>

#include "base/cp932.h"
#include "base/errors.h"
#include "base/le.h"
#include "app/log_pane.h"
#include "base/ui_texts.h"

namespace brim::rewrite {

namespace {
constexpr size_t kZeroBlock = 1024 * 1024;
}  // namespace

bool RewriteTicked(ProgramState& s, EntryCheck check, EntryRewrite rewriteEntry) {
  const size_t rows = s.ListView1.Count();
  FileStream file = FileStream::Open(s.Label1.Caption(), FileStream::Mode::ReadWrite);
  EntryWriter out(file);
  try {
    if (!IsAnalysedFile(s, file)) throw NotTheAnalysedFile{};
    for (size_t row = 0; row < rows; ++row) {
      if (s.ListView2.Checked(row)) check(s, out, row);
    }
  } catch (const NotTheAnalysedFile&) {
    s.desktop.ShowMessage(Ui().notAnalysed);
    return false;
  }
  s.AbortRequested = false;
  try {
    for (size_t row = 0; row < rows && row < s.ListView1.Count(); ++row) {
      if (!s.ListView2.Checked(row)) continue;
      // "中断" stops between entries: an entry is rewritten whole or not at all.
      if (StopBetweenEntries(s)) break;
      rewriteEntry(s, out, row);
    }
  } catch (const NotTheAnalysedFile&) {
    throw CommandError(Ui().notAnalysed);
  }
  // The listing still describes the file: the rewrite moved nothing.
  s.AnalysedFile = file.Identity();
  file.Close();
  return true;
}

std::string MaskSource(std::string_view caption) {
  std::string_view ext = ExtensionOf(caption);
  return ext.empty() ? std::string() : std::string(ext.substr(1));
}

void EntryWriter::Confine(uint64_t from, uint64_t to, uint64_t centralFrom, uint64_t centralTo) {
  confined_ = true;
  from_ = from;
  to_ = to;
  centralFrom_ = centralFrom;
  centralTo_ = centralTo;
}

void EntryWriter::Require(uint64_t pos, uint64_t len) const {
  if (pos > length_ || len > length_ - pos) Refuse();
  if (!confined_) return;
  auto inside = [&](uint64_t from, uint64_t to) { return pos >= from && pos <= to && len <= to - pos; };
  if (!inside(from_, to_) && !inside(centralFrom_, centralTo_)) Refuse();
}

void EntryWriter::Expect(uint64_t pos, std::string_view signature) const {
  std::string got(signature.size(), '\0');
  if (file_.ReadAt(pos, got.data(), got.size()) != got.size() || got != signature) throw NotTheAnalysedFile{};
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
