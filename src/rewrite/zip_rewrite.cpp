// Neutralises ticked ZIP entries in place: zero data, stored method, the CRC
// and size of the zeros in both headers, and "$" as the extension's last byte
// in both names. Every position comes from the locator table.
#include <algorithm>

#include "formats/zip_layout.h"
#include "base/errors.h"
#include "base/file_stream.h"
#include "base/le.h"
#include "base/ui_texts.h"
#include "checksum/crc.h"
#include "rewrite/name_mask.h"
#include "rewrite/entry_writer.h"
#include "rewrite/rewrite_command.h"

namespace brim {

namespace {

using rewrite::EntryWriter;

void RewriteZipEntry(ProgramState& s, EntryWriter& out, size_t row) {
  const std::string name(s.ListView2.Caption(row));
  const std::string ext = rewrite::MaskSource(s.ListView1.Caption(row));
  const Locator v = s.ListView1.ReadLocator(row);

  // Check every range before the entry's first byte is written, so a file
  // that changed since the analysis is refused whole, never half rewritten.
  out.Measure();
  out.Require(v.start, v.size);
  out.Require(v.offset, zip::kLocalHeaderSize);
  out.Require(v.offsetI, zip::kCentralHeaderSize);
  if (v.ext != 0) out.Require(v.ext, ext.size());
  // The central name may carry a different extension than the local one: the
  // local mask is written at its extension position but never past the
  // central name's own bytes. When it would run past, its tail is written, so
  // the central name still ends in "$" ("a.c" beside a local "a.txt" becomes
  // "a.$", not "a.t").
  uint8_t nameLength[2];
  out.Read(uint64_t{v.offsetI} + zip::kCentralNameLength, nameLength, sizeof nameLength);
  const uint64_t centralNameStart = uint64_t{v.offsetI} + zip::kCentralHeaderSize;
  const uint64_t centralNameEnd = centralNameStart + le::Get16(nameLength);
  uint64_t centralAt = 0;
  size_t centralLength = 0;
  if (v.ext != 0 && v.extI != 0 && v.extI >= centralNameStart && v.extI < centralNameEnd) {
    centralAt = v.extI;
    centralLength = static_cast<size_t>(std::min<uint64_t>(ext.size(), centralNameEnd - v.extI));
    if (centralLength > 0) out.Require(centralAt, centralLength);
  }

  out.Zeros(v.start, v.size);
  s.Memo1.Append(name + Ui().logZeroed);
  const uint32_t crc = Crc32ProgressZeros(s, v.size);

  out.Put16(uint64_t{v.offset} + zip::kLocalMethod, 0);
  out.Put32(uint64_t{v.offset} + zip::kLocalCrc, crc);
  out.Put32(uint64_t{v.offset} + zip::kLocalOriginalSize, v.size);
  out.Put16(uint64_t{v.offsetI} + zip::kCentralMethod, 0);
  out.Put32(uint64_t{v.offsetI} + zip::kCentralCrc, crc);
  out.Put32(uint64_t{v.offsetI} + zip::kCentralOriginalSize, v.size);

  if (v.ext != 0) {
    SetNameMask(s, ext);
    out.Bytes(v.ext, s.NameMask);
    s.Memo1.Append(name + Ui().logExtensionMasked);
    if (centralLength > 0) {
      out.Bytes(centralAt, std::string_view(s.NameMask).substr(s.NameMask.size() - centralLength));
    }
  }
}

}  // namespace

void RewriteZipEntries(ProgramState& s) {
  if (s.StatusBar1.Outcome() != AnalysisOutcome::Analysed) {
    s.desktop.ShowMessage(Ui().notAnalysed);
    return;
  }
  rewrite::RewriteTicked(s, RewriteZipEntry);
}

}  // namespace brim
