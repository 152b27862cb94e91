// Neutralises ticked ZIP entries in place: zero data, stored method, the CRC
// and size of the zeros in both headers (and in the data descriptor), "$" as
// the extension's last byte in both names, and no encryption: a neutralised
// entry is a plain stored entry every reader can test. Every position comes
// from the locator table; the headers it points at are read for their flags,
// versions and Zip64 fields. Each entry is a plan of writes (write_plan.h).
#include <algorithm>
#include <optional>

#include "base/cp932.h"
#include "formats/zip_layout.h"
#include "formats/zip_records.h"
#include "base/le.h"
#include "base/ui_texts.h"
#include "checksum/crc.h"
#include "rewrite/name_mask.h"
#include "rewrite/entry_writer.h"
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

// The writes into one header besides its name: the encryption flags
// cleared, "version needed" lowered to what a stored entry needs, stored,
// and the CRC and original size of the zeros where readers look for them
// (the Zip64 field when the 32-bit one holds the marker).
void PlanHeader(PlanBuilder& out, uint64_t header, bool central, uint32_t size, uint32_t crc) {
  const size_t fixed = central ? zip::kCentralHeaderSize : zip::kLocalHeaderSize;
  const uint8_t* h = out.Read(header, fixed);
  const size_t n = le::Get16(&h[central ? zip::kCentralNameLength : zip::kLocalNameLength]);
  const size_t m = le::Get16(&h[central ? zip::kCentralExtraLength : zip::kLocalExtraLength]);
  const uint16_t version = le::Get16(&h[central ? zip::kCentralVersionNeeded : zip::kLocalVersionNeeded]);
  const uint16_t flags = le::Get16(&h[central ? zip::kCentralFlags : zip::kLocalFlags]);
  const zip::Zip64Wants wants = central ? zip::CentralZip64Wants(h) : zip::LocalZip64Wants(h);
  const uint64_t extraAt = header + fixed + n;
  const std::vector<uint8_t> extra = [&] {
    const uint8_t* e = m > 0 ? out.Read(extraAt, m) : nullptr;
    return e ? std::vector<uint8_t>(e, e + m) : std::vector<uint8_t>();
  }();

  const uint16_t newFlags = static_cast<uint16_t>(flags & ~(kFlagEncrypted | kFlagStrongEncryption));
  const bool zip64 = zip::FindExtraBlock(extra.data(), m, zip::kExtraZip64).has_value();
  const uint16_t newVersion = version <= kVersionStored ? version : zip64 ? kVersionZip64 : kVersionStored;
  if (newVersion != version) {
    out.Put16(Phase::Method, header + (central ? zip::kCentralVersionNeeded : zip::kLocalVersionNeeded), newVersion);
  }
  if (newFlags != flags) out.Put16(Phase::Method, header + (central ? zip::kCentralFlags : zip::kLocalFlags), newFlags);
  out.Put16(Phase::Method, header + (central ? zip::kCentralMethod : zip::kLocalMethod), 0);

  out.Put32(Phase::Sums, header + (central ? zip::kCentralCrc : zip::kLocalCrc), crc);
  uint64_t originalAt = header + (central ? zip::kCentralOriginalSize : zip::kLocalOriginalSize);
  size_t originalWidth = 4;
  if (wants.original) {
    const zip::Zip64Values v = zip::ParseZip64Extra(extra.data(), m, wants);
    if (v.original) {
      originalAt = extraAt + v.original->at;
      originalWidth = 8;
    }
  }
  out.Put32(Phase::Sums, originalAt, size);
  if (originalWidth == 8) out.Put32(Phase::Sums, originalAt + 4, 0);
}

// The extension the mask changes, by the rules of the name's encoding.
std::string MaskSourceOf(std::string_view caption, NameEncoding encoding) {
  if (encoding == NameEncoding::Cp932) return rewrite::MaskSource(caption);
  const size_t dot = caption.rfind('.');
  return dot == std::string_view::npos ? std::string() : std::string(caption.substr(dot + 1));
}

std::string Masked(std::string text) {
  if (!text.empty()) text.back() = '$';
  return text;
}

// Every write of one entry, each position checked: inside the file, and
// inside the entry's range (its data descriptor included) or its central
// header. A row without a central header gets its local parts.
void PlanZipEntry(const ProgramState& s, PlanBuilder& out, size_t row) {
  const EntryTable& t = s.ListView1;
  const uint64_t offset = t.ReadBack(row, kColOffset);
  const uint64_t start = t.ReadBack(row, kColStart);
  const uint32_t size = t.ReadBack(row, kColSize);
  const uint64_t ext = t.ReadBack(row, kColExt);
  const std::optional<uint64_t> offsetI =
      t.Has(row, kColOffsetI) ? std::optional<uint64_t>(t.Value(row, kColOffsetI)) : std::nullopt;
  const uint64_t extI = offsetI && t.Has(row, kColExtI) ? t.Value(row, kColExtI) : 0;
  const uint8_t descriptor = t.Descriptor(row);

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

  const uint32_t crc = Crc32Zeros(0, size);
  if (ext != 0) {
    const std::string& mask = out.Plan().mask = Masked(MaskSourceOf(t.Caption(row), t.Encoding(row)));
    out.Bytes(Phase::Names, ext, mask);
    // The central name may carry a different extension than the local one:
    // the local mask is written at its extension position but never past
    // the central name's own bytes. When it would run past, its tail is
    // written, so the central name still ends in "$" ("a.c" beside a local
    // "a.txt" becomes "a.$", not "a.t").
    if (extI != 0 && extI >= centralNameStart && extI < centralNameEnd) {
      const size_t length = static_cast<size_t>(std::min<uint64_t>(mask.size(), centralNameEnd - extI));
      out.Bytes(Phase::Names, extI, std::string_view(mask).substr(mask.size() - length));
    }
  }
  PlanHeader(out, offset, false, size, crc);
  if (offsetI) PlanHeader(out, *offsetI, true, size, crc);
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

void ReportZipEntry(ProgramState& s, const rewrite::EntryPlan& plan) {
  s.Memo1.Append(plan.logName + Ui().logZeroed);
  rewrite::CrcProgressReport(s, plan.zerosLength);
  if (s.ListView1.Value(plan.row, kColExt) != 0) {
    s.NameMask = plan.mask;
    s.Memo1.Append(plan.logName + Ui().logExtensionMasked);
  }
}

}  // namespace

bool RewriteZipEntries(ProgramState& s) {
  if (!RewriteAccepts(s.StatusBar1.Outcome())) {
    s.desktop.ShowMessage(Ui().notAnalysed);
    return false;
  }
  return rewrite::RewritePlanned(s, PlanZipEntry, ReportZipEntry);
}

}  // namespace brim
