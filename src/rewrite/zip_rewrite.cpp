// Neutralises ticked ZIP entries in place: zero data, stored method, the CRC
// and size of the zeros in both headers (and in the data descriptor), "$" as
// the extension's last byte in both names, and no encryption: a neutralised
// entry is a plain stored entry every reader can test. Every position comes
// from the locator table; the headers it points at are read for their flags,
// versions and Zip64 fields.
#include <algorithm>
#include <vector>

#include "base/cp932.h"
#include "formats/zip_layout.h"
#include "formats/zip_records.h"
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

constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagStrongEncryption = 0x0040;
constexpr uint16_t kVersionStored = 20;  // what a stored entry needs
constexpr uint16_t kVersionZip64 = 45;   // with a Zip64 field

// What the rewrite changes in one header besides method, CRC and names: the
// encryption flags cleared, "version needed" lowered to what a stored entry
// needs, and the original size where readers look for it, the Zip64 field
// when the 32-bit one holds the marker.
struct HeaderPlan {
  uint64_t header = 0;
  uint16_t flags = 0, version = 0;          // as they are
  uint16_t newFlags = 0, newVersion = 0;    // as they become
  uint64_t originalAt = 0;                  // where the original size goes
  size_t originalWidth = 4;
};

HeaderPlan PlanHeader(EntryWriter& out, uint64_t header, bool central) {
  const size_t fixed = central ? zip::kCentralHeaderSize : zip::kLocalHeaderSize;
  out.Require(header, fixed);
  std::vector<uint8_t> h(fixed);
  out.Read(header, h.data(), fixed);
  const size_t n = le::Get16(&h[central ? zip::kCentralNameLength : zip::kLocalNameLength]);
  const size_t m = le::Get16(&h[central ? zip::kCentralExtraLength : zip::kLocalExtraLength]);
  const uint64_t extraAt = header + fixed + n;
  out.Require(extraAt, m);
  std::vector<uint8_t> extra(m);
  if (m > 0) out.Read(extraAt, extra.data(), m);

  HeaderPlan p;
  p.header = header;
  p.version = le::Get16(&h[central ? zip::kCentralVersionNeeded : zip::kLocalVersionNeeded]);
  p.flags = le::Get16(&h[central ? zip::kCentralFlags : zip::kLocalFlags]);
  p.newFlags = static_cast<uint16_t>(p.flags & ~(kFlagEncrypted | kFlagStrongEncryption));
  const bool zip64 = zip::FindExtraBlock(extra.data(), m, zip::kExtraZip64).has_value();
  p.newVersion = p.version <= kVersionStored ? p.version : zip64 ? kVersionZip64 : kVersionStored;
  p.originalAt = header + (central ? zip::kCentralOriginalSize : zip::kLocalOriginalSize);
  const zip::Zip64Wants wants = central ? zip::CentralZip64Wants(h.data()) : zip::LocalZip64Wants(h.data());
  if (wants.original) {
    const zip::Zip64Values v = zip::ParseZip64Extra(extra.data(), m, wants);
    if (v.original) {
      p.originalAt = extraAt + v.original->at;
      p.originalWidth = 8;
    }
  }
  return p;
}

void ApplyPlan(EntryWriter& out, const HeaderPlan& p, bool central, uint32_t size) {
  if (p.newVersion != p.version) {
    out.Put16(p.header + (central ? zip::kCentralVersionNeeded : zip::kLocalVersionNeeded), p.newVersion);
  }
  if (p.newFlags != p.flags) {
    out.Put16(p.header + (central ? zip::kCentralFlags : zip::kLocalFlags), p.newFlags);
  }
  out.Put32(p.originalAt, size);
  if (p.originalWidth == 8) out.Put32(p.originalAt + 4, 0);
}

// The extension the mask changes, by the rules of the name's encoding.
std::string MaskSourceOf(std::string_view caption, NameEncoding encoding) {
  if (encoding == NameEncoding::Cp932) return rewrite::MaskSource(caption);
  const std::string_view ext = ExtensionOf(caption, encoding);
  return ext.empty() ? std::string() : std::string(ext.substr(1));
}

// Where one entry is written, every position checked: inside the file, and
// inside the entry's range (its data descriptor included) or its central
// header.
struct ZipPlan {
  Locator v;
  std::string ext;
  uint64_t centralAt = 0;
  size_t centralLength = 0;
  uint8_t descriptor = 0;
  HeaderPlan local, central;
};

ZipPlan PlanZipEntry(const ProgramState& s, EntryWriter& out, size_t row) {
  ZipPlan p;
  p.ext = MaskSourceOf(s.ListView1.Caption(row), s.ListView1.Encoding(row));
  p.v = s.ListView1.ReadLocator(row);
  p.descriptor = s.ListView1.Descriptor(row);
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
  out.Confine(v.offset, uint64_t{v.start} + v.size + p.descriptor, v.offsetI, centralEnd);

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
  p.local = PlanHeader(out, v.offset, false);
  p.central = PlanHeader(out, v.offsetI, true);
  if (p.descriptor != 0) out.Require(uint64_t{v.start} + v.size, p.descriptor);
  return p;
}

void CheckZipEntry(const ProgramState& s, EntryWriter& out, size_t row) { PlanZipEntry(s, out, row); }

void RewriteZipEntry(ProgramState& s, EntryWriter& out, size_t row) {
  // The log file is CP932.
  const std::string caption(s.ListView2.Caption(row));
  const std::string name = s.ListView1.Encoding(row) == NameEncoding::Utf8 ? Utf8ToCp932(caption) : caption;
  const ZipPlan p = PlanZipEntry(s, out, row);
  const Locator& v = p.v;

  out.Zeros(v.start, v.size);
  s.Memo1.Append(name + Ui().logZeroed);
  const uint32_t crc = Crc32ProgressZeros(s, v.size);

  out.Put16(uint64_t{v.offset} + zip::kLocalMethod, 0);
  out.Put32(uint64_t{v.offset} + zip::kLocalCrc, crc);
  ApplyPlan(out, p.local, false, v.size);
  out.Put16(uint64_t{v.offsetI} + zip::kCentralMethod, 0);
  out.Put32(uint64_t{v.offsetI} + zip::kCentralCrc, crc);
  ApplyPlan(out, p.central, true, v.size);
  // Streaming readers take CRC and sizes from the descriptor.
  if (p.descriptor != 0) {
    const uint64_t at = uint64_t{v.start} + v.size;
    const size_t width = zip::DescriptorSizeWidth(p.descriptor);
    out.Put32(at + zip::DescriptorCrcAt(p.descriptor), crc);
    for (size_t field : {zip::DescriptorCompressedAt(p.descriptor), zip::DescriptorOriginalAt(p.descriptor)}) {
      out.Put32(at + field, v.size);
      if (width == 8) out.Put32(at + field + 4, 0);
    }
  }

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
