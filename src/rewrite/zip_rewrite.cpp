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

std::string_view Signature(const uint8_t (&bytes)[4]) {
  return std::string_view(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

// Where one entry is written, every position checked: inside the file, and
// inside the entry's range or its central header.
struct ZipPlan {
  Locator v;
  std::string ext;
  uint64_t centralAt = 0;
  size_t centralLength = 0;
};

ZipPlan PlanZipEntry(const ProgramState& s, EntryWriter& out, size_t row) {
  ZipPlan p;
  p.ext = rewrite::MaskSource(s.ListView1.Caption(row));
  p.v = s.ListView1.ReadLocator(row);
  const Locator& v = p.v;

  // The headers must be where the analysis found them; the central header's
  // lengths then give its extent.
  out.Measure();
  out.Require(v.offsetI, zip::kCentralHeaderSize);
  out.Expect(v.offset, Signature(zip::kLocalSignature));
  out.Expect(v.offsetI, Signature(zip::kCentralSignature));
  uint8_t lengths[6];
  out.Read(uint64_t{v.offsetI} + zip::kCentralNameLength, lengths, sizeof lengths);
  const uint64_t centralNameStart = uint64_t{v.offsetI} + zip::kCentralHeaderSize;
  const uint64_t centralNameEnd = centralNameStart + le::Get16(lengths);
  const uint64_t centralEnd = centralNameEnd + le::Get16(lengths + 2) + le::Get16(lengths + 4);
  out.Confine(v.offset, uint64_t{v.start} + v.size, v.offsetI, centralEnd);

  out.Require(v.start, v.size);
  out.Require(v.offset, zip::kLocalHeaderSize);
  out.Require(v.offsetI, zip::kCentralHeaderSize);
  if (v.ext != 0) out.Require(v.ext, p.ext.size());
  // The central name may carry a different extension than the local one: the
  // local mask is written at its extension position but never past the
  // central name's own bytes. When it would run past, its tail is written, so
  // the central name still ends in "$" ("a.c" beside a local "a.txt" becomes
  // "a.$", not "a.t").
  if (v.ext != 0 && v.extI != 0 && v.extI >= centralNameStart && v.extI < centralNameEnd) {
    p.centralAt = v.extI;
    p.centralLength = static_cast<size_t>(std::min<uint64_t>(p.ext.size(), centralNameEnd - v.extI));
    if (p.centralLength > 0) out.Require(p.centralAt, p.centralLength);
  }
  return p;
}

void CheckZipEntry(const ProgramState& s, EntryWriter& out, size_t row) { PlanZipEntry(s, out, row); }

void RewriteZipEntry(ProgramState& s, EntryWriter& out, size_t row) {
  const std::string name(s.ListView2.Caption(row));
  const ZipPlan p = PlanZipEntry(s, out, row);
  const Locator& v = p.v;

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
    SetNameMask(s, p.ext);
    out.Bytes(v.ext, s.NameMask);
    s.Memo1.Append(name + Ui().logExtensionMasked);
    if (p.centralLength > 0) {
      out.Bytes(p.centralAt, std::string_view(s.NameMask).substr(s.NameMask.size() - p.centralLength));
    }
  }
}

}  // namespace

bool RewriteZipEntries(ProgramState& s) {
  if (s.StatusBar1.Outcome() != AnalysisOutcome::Analysed) {
    s.desktop.ShowMessage(Ui().notAnalysed);
    return false;
  }
  return rewrite::RewriteTicked(s, CheckZipEntry, RewriteZipEntry);
}

}  // namespace brim
