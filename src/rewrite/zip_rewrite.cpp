// Neutralises ticked ZIP entries in place: zero data, stored method, the CRC
// and size of the zeros in both headers (and in the data descriptor), "$" as
// the extension's last byte in both names, and no encryption: a neutralised
// entry is a plain stored entry every reader can test. Every position comes
// from the locator table; the headers it points at are read for their flags,
// versions and Zip64 fields. Each entry is a plan of writes (write_plan.h).
#include <algorithm>
#include <optional>

#include "base/cp932.h"
#include "base/windows_name.h"
#include "formats/zip_layout.h"
#include "formats/zip_records.h"
#include "base/le.h"
#include "base/ui_texts.h"
#include "checksum/crc.h"
#include "rewrite/name_mask.h"
#include "rewrite/rewrite_command.h"
#include "rewrite/write_plan.h"

namespace brim {

namespace {

using rewrite::Phase;
using rewrite::PlanBuilder;

std::string_view Signature(const uint8_t (&bytes)[4]) {
  return std::string_view(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagStrongEncryption = 0x0040;
constexpr uint16_t kVersionStored = 20;  // what a stored entry needs
constexpr uint16_t kVersionZip64 = 45;   // with a Zip64 field

// One header as it is before the rewrite: its fields, its extra field, and
// the Unicode Path field (0x7075) when it has one that readers believe.
struct HeaderFacts {
  uint64_t at = 0;
  bool central = false;
  uint16_t version = 0, flags = 0;
  zip::Zip64Wants wants;
  uint64_t nameAt = 0, extraAt = 0;
  size_t nameLength = 0;
  std::vector<uint8_t> extra;
  std::vector<zip::UnicodePath> unicodePaths;  // every 0x7075 block, positions inside extra
  uint32_t nameCrc = 0;                        // the CRC-32 of the header's name as it was
};

HeaderFacts ReadHeader(PlanBuilder& out, uint64_t header, bool central) {
  HeaderFacts f;
  f.at = header;
  f.central = central;
  const size_t fixed = central ? zip::kCentralHeaderSize : zip::kLocalHeaderSize;
  const uint8_t* h = out.Read(header, fixed);
  f.nameLength = le::Get16(&h[central ? zip::kCentralNameLength : zip::kLocalNameLength]);
  const size_t m = le::Get16(&h[central ? zip::kCentralExtraLength : zip::kLocalExtraLength]);
  f.version = le::Get16(&h[central ? zip::kCentralVersionNeeded : zip::kLocalVersionNeeded]);
  f.flags = le::Get16(&h[central ? zip::kCentralFlags : zip::kLocalFlags]);
  f.wants = central ? zip::CentralZip64Wants(h) : zip::LocalZip64Wants(h);
  f.nameAt = header + fixed;
  f.extraAt = f.nameAt + f.nameLength;
  if (m > 0) {
    const uint8_t* e = out.Read(f.extraAt, m);
    f.extra.assign(e, e + m);
  }
  zip::ForEachUnicodePath(f.extra.data(), m, [&](const zip::UnicodePath& p) { f.unicodePaths.push_back(p); });
  if (!f.unicodePaths.empty()) f.nameCrc = Crc32Update(0, out.Read(f.nameAt, f.nameLength), f.nameLength);
  return f;
}

// The writes into one header besides its name: the encryption flags
// cleared, "version needed" lowered to what a stored entry needs, stored,
// and the CRC and original size of the zeros where readers look for them
// (the Zip64 field when the 32-bit one holds the marker). Its Unicode Path
// name is masked too, and a CRC that readers believed is made to match the
// masked header name (planned before this).
bool HasZip64Field(const HeaderFacts& f) {
  return zip::FindExtraBlock(f.extra.data(), f.extra.size(), zip::kExtraZip64).has_value();
}

// Where the Zip64 field holds the original size: where the markers say, or,
// with no marker at all, at its start when it holds both sizes (libzip
// writes such fields after changing the method, and readers compare them).
std::optional<uint64_t> Zip64OriginalAt(const HeaderFacts& f) {
  const size_t m = f.extra.size();
  if (f.wants.Any()) {
    if (!f.wants.original) return std::nullopt;
    const zip::Zip64Values v = zip::ParseZip64Extra(f.extra.data(), m, f.wants);
    if (!v.original) return std::nullopt;
    return f.extraAt + v.original->at;
  }
  const std::optional<size_t> block = zip::FindExtraBlock(f.extra.data(), m, zip::kExtraZip64);
  if (!block || le::Get16(&f.extra[*block + 2]) < 16) return std::nullopt;
  return f.extraAt + *block + zip::kExtraBlockHeader;
}

// entryZip64: either header of the entry has a Zip64 field; both headers get
// the same "version needed".
void PlanHeader(PlanBuilder& out, const HeaderFacts& f, bool entryZip64, uint32_t size, uint32_t crc) {
  const bool central = f.central;
  const uint64_t header = f.at;
  const uint16_t newFlags = static_cast<uint16_t>(f.flags & ~(kFlagEncrypted | kFlagStrongEncryption));
  const uint16_t newVersion = f.version <= kVersionStored ? f.version : entryZip64 ? kVersionZip64 : kVersionStored;
  if (newVersion != f.version) {
    out.Put16(Phase::Method, header + (central ? zip::kCentralVersionNeeded : zip::kLocalVersionNeeded), newVersion);
  }
  if (newFlags != f.flags) out.Put16(Phase::Method, header + (central ? zip::kCentralFlags : zip::kLocalFlags), newFlags);
  out.Put16(Phase::Method, header + (central ? zip::kCentralMethod : zip::kLocalMethod), 0);

  // Every Unicode Path name is masked at its own extension, by the rules
  // its header name gets (cut at a NUL, as Windows writes it); a CRC that
  // readers believed is made to match the masked header name.
  for (const zip::UnicodePath& p : f.unicodePaths) {
    const std::string_view name(reinterpret_cast<const char*>(&f.extra[p.nameAt]), p.nameLength);
    const size_t at = WindowsMaskAt(name, NameEncoding::Utf8);
    if (at != std::string_view::npos) out.Bytes(Phase::Names, f.extraAt + p.nameAt + at, "$");
    if (p.Believed(f.nameCrc)) {
      const uint8_t* masked = out.Read(f.nameAt, f.nameLength);
      out.Put32(Phase::Names, f.extraAt + p.blockAt + zip::kUnicodePathCrcInBlock, Crc32Update(0, masked, f.nameLength));
    }
  }

  out.Put32(Phase::Sums, header + (central ? zip::kCentralCrc : zip::kLocalCrc), crc);
  const uint64_t originalAt = header + (central ? zip::kCentralOriginalSize : zip::kLocalOriginalSize);
  const std::optional<uint64_t> zip64At = Zip64OriginalAt(f);
  // The 32-bit field keeps its marker when the Zip64 field is where readers look.
  if (!zip64At || !f.wants.original) out.Put32(Phase::Sums, originalAt, size);
  if (zip64At) {
    out.Put32(Phase::Sums, *zip64At, size);
    out.Put32(Phase::Sums, *zip64At + 4, 0);
  }
}

// The extension the mask changes, by the rules of the name's encoding.
std::string MaskSourceOf(std::string_view caption, NameEncoding encoding) {
  if (encoding == NameEncoding::Cp932) return rewrite::MaskSource(caption);
  const std::string_view ext = ExtensionOf(caption, encoding);
  return ext.empty() ? std::string() : std::string(ext.substr(1));
}

constexpr uint16_t kFlagUtf8 = 0x0800;

// The CRC-32 of size zeros; small entries of a large archive repeat their
// sizes, so those are computed once.
uint32_t ZerosCrc(uint32_t size) {
  static constexpr uint32_t kRemembered = 4096;
  static uint32_t crcs[kRemembered];
  static bool known[kRemembered];
  if (size >= kRemembered) return Crc32Zeros(0, size);
  if (!known[size]) {
    crcs[size] = Crc32Zeros(0, size);
    known[size] = true;
  }
  return crcs[size];
}

// "$" over the last byte of a header's own name when that name has an
// extension by the rules of its encoding: for a copy of the name that the
// row's mask does not reach.
void MaskOwnExtension(PlanBuilder& out, const HeaderFacts& f) {
  if (f.nameLength == 0) return;
  const uint8_t* name = out.Read(f.nameAt, f.nameLength);
  std::string_view text(reinterpret_cast<const char*>(name), f.nameLength);
  // Extractors write a name up to its first NUL, and the extension is the
  // one Windows sees (trailing dots and spaces, a stream suffix left out).
  text = text.substr(0, text.find('\0'));
  // ZIP folders end in "/", which is never the second byte of a CP932 character.
  const size_t slash = text.rfind('/');
  const size_t fileStart = slash == std::string_view::npos ? 0 : slash + 1;
  const NameEncoding encoding = (f.flags & kFlagUtf8) ? NameEncoding::Utf8 : NameEncoding::Cp932;
  const NameParts parts = SplitName(text.substr(fileStart), encoding);
  if (parts.extension == std::string_view::npos || parts.extensionEnd <= parts.extension + 1) return;
  out.Bytes(Phase::Names, f.nameAt + fileStart + parts.extensionEnd - 1, "$");
}

std::string Masked(std::string text) {
  if (!text.empty()) text.back() = '$';
  return text;
}

// Every write of one entry, each position checked: inside the file, and
// inside the entry's range (its data descriptor included) or its central
// header. A row without a central header gets its local parts.
}  // namespace

void rewrite::PlanZipEntry(const ProgramState& s, PlanBuilder& out, size_t row) {
  const EntryTable& t = s.ListView1;
  const uint64_t offset = t.ReadBack(row, kColOffset);
  const uint64_t start = t.ReadBack(row, kColStart);
  const uint32_t size = t.ReadBack(row, kColSize);
  const uint64_t ext = t.ReadBack(row, kColExt);
  const std::optional<uint64_t> offsetI =
      t.Has(row, kColOffsetI) ? std::optional<uint64_t>(t.Value(row, kColOffsetI)) : std::nullopt;
  const uint64_t extI = offsetI && t.Has(row, kColExtI) ? t.Value(row, kColExtI) : 0;
  const uint8_t descriptor = t.Descriptor(row);

  // A row known from the directory alone whose local header is not in this
  // file (the last part of a split set, a file cut short): its data is
  // elsewhere, and that is why, not a change since the analysis.
  if (t.Marks(row) & kMarkDirectoryOnly) {
    const uint8_t* sig = out.Window(offset).At(offset, sizeof zip::kLocalSignature);
    if (!sig || Signature(zip::kLocalSignature) != std::string_view(reinterpret_cast<const char*>(sig), 4)) {
      throw rewrite::RowRefused{Ui().reasonDataNotHere};
    }
  }
  // The headers must be where the analysis found them; the central header's
  // lengths then give its extent.
  out.Expect(offset, Signature(zip::kLocalSignature));
  out.Own(offset, start + size + descriptor);
  uint64_t centralNameStart = 0, centralNameEnd = 0;
  if (offsetI) {
    out.Expect(*offsetI, Signature(zip::kCentralSignature));
    const uint8_t* lengths = out.Read(*offsetI + zip::kCentralNameLength, 6);
    centralNameStart = *offsetI + zip::kCentralHeaderSize;
    centralNameEnd = centralNameStart + le::Get16(lengths);
    out.Own(*offsetI, centralNameEnd + le::Get16(lengths + 2) + le::Get16(lengths + 4));
  }
  out.Require(start, size);

  const uint32_t crc = ZerosCrc(size);
  const HeaderFacts local = ReadHeader(out, offset, false);
  // The row must say what the header says: its data right after the local
  // header, its mask inside the local name. Otherwise the stored cells are
  // not this header's, and no byte is written for them.
  if (start != local.extraAt + local.extra.size()) out.Refuse();
  if (ext != 0 && (ext < local.nameAt || ext > local.extraAt)) out.Refuse();
  const std::optional<HeaderFacts> central =
      offsetI ? std::optional<HeaderFacts>(ReadHeader(out, *offsetI, true)) : std::nullopt;
  // Another central header that points at this entry (a second directory):
  // the analysis keeps its name as a copy; it is neutralised like the first.
  std::vector<HeaderFacts> others;
  for (const NameCopy& copy : t.NameCopies(row)) {
    if (copy.kind != NameCopyKind::Central || copy.position < zip::kCentralHeaderSize) continue;
    const uint64_t h = copy.position - zip::kCentralHeaderSize;
    if (offsetI && h == *offsetI) continue;
    out.Expect(h, Signature(zip::kCentralSignature));
    HeaderFacts f = ReadHeader(out, h, true);
    if (f.nameLength != copy.bytes.size()) out.Refuse();
    const uint8_t* lengths = out.Read(h + zip::kCentralNameLength, 6);
    out.Own(h, f.extraAt + le::Get16(lengths + 2) + le::Get16(lengths + 4));
    others.push_back(std::move(f));
  }
  bool centralMasked = false;
  if (ext != 0) {
    out.Plan().masked = true;
    const std::string& mask = out.Plan().mask = Masked(MaskSourceOf(t.Caption(row), t.Encoding(row)));
    if (ext + mask.size() > local.extraAt) out.Refuse();
    out.Bytes(Phase::Names, ext, mask);
    // The central name may carry a different extension than the local one:
    // the local mask is written at its extension position but never past
    // the central name's own bytes. When it would run past, its tail is
    // written, so the central name still ends in "$" ("a.c" beside a local
    // "a.txt" becomes "a.$", not "a.t").
    if (extI != 0 && extI >= centralNameStart && extI < centralNameEnd) {
      const size_t length = static_cast<size_t>(std::min<uint64_t>(mask.size(), centralNameEnd - extI));
      out.Bytes(Phase::Names, extI, std::string_view(mask).substr(mask.size() - length));
      centralMasked = true;
    }
  }
  // A central name with an extension that the local one lacks ("evil.exe"
  // beside "harmless") is what some extractors write.
  if (central && !centralMasked) MaskOwnExtension(out, *central);
  for (const HeaderFacts& f : others) MaskOwnExtension(out, f);
  bool zip64 = HasZip64Field(local) || (central && HasZip64Field(*central));
  for (const HeaderFacts& f : others) zip64 = zip64 || HasZip64Field(f);
  PlanHeader(out, local, zip64, size, crc);
  if (central) PlanHeader(out, *central, zip64, size, crc);
  for (const HeaderFacts& f : others) PlanHeader(out, f, zip64, size, crc);
  out.Zeros(start, size);
  // Streaming readers take CRC and sizes from the descriptor.
  if (descriptor != 0) {
    const uint64_t at = start + size;
    const size_t width = zip::DescriptorSizeWidth(descriptor);
    out.Put32(Phase::Sums, at + zip::DescriptorCrcAt(descriptor), crc);
    for (size_t field : {zip::DescriptorCompressedAt(descriptor), zip::DescriptorOriginalAt(descriptor)}) {
      out.Put32(Phase::Sums, at + field, size);
      if (width == 8) out.Put32(Phase::Sums, at + field + 4, 0);
    }
  }
}

namespace {

// An entry inside another one's data (a streaming reader's view, a header
// in an extra field): neutralising it changed the outer entry's bytes, so
// its CRC no longer fits. The log names each such outer entry.
void LogOuterEntries(ProgramState& s, const rewrite::EntryPlan& plan) {
  const EntryTable& t = s.ListView1;
  if (!(t.Marks(plan.row) & kMarkOverlap)) return;
  const uint64_t from = t.Value(plan.row, kColOffset);
  for (size_t r = 0; r < t.Count(); ++r) {
    if (r == plan.row) continue;
    const uint64_t start = t.Value(r, kColStart), end = start + t.Value(r, kColSize);
    if (from < start || from >= end) continue;
    std::string outer(t.Caption(r));
    if (t.Encoding(r) == NameEncoding::Utf8) outer = Utf8ToCp932(outer);
    s.Memo1.Append(plan.logName + FormatText(Ui().logOuterEntryChanged, outer));
  }
}

void ReportZipEntry(ProgramState& s, const rewrite::EntryPlan& plan) {
  s.Memo1.Append(plan.logName, Ui().logZeroed);
  rewrite::CrcProgressReport(s, plan.zerosLength);
  if (plan.masked) {
    s.NameMask = plan.mask;
    s.Memo1.Append(plan.logName, Ui().logExtensionMasked);
  }
  LogOuterEntries(s, plan);
}

}  // namespace

bool RewriteZipEntries(ProgramState& s) {
  if (!RewriteAccepts(s.StatusBar1.Outcome())) {
    s.desktop.ShowMessage(Ui().notAnalysed);
    return false;
  }
  return rewrite::RewritePlanned(s, rewrite::PlanZipEntry, ReportZipEntry);
}

}  // namespace brim
