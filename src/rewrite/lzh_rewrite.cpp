// Neutralises ticked LZH entries in place: "$" as the last byte of every
// copy of the name's extension, "-lh0-", zero data, then the size and CRC-16
// of the zeros and the header sum or header CRC of the entry's own level.
// Every position comes from the entry's header as it reads now; a row whose
// cells say otherwise is left alone and reported.
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "formats/lzh_layout.h"
#include "base/cp932.h"
#include "formats/lzh_records.h"
#include "base/byte_window.h"
#include "base/errors.h"
#include "base/file_stream.h"
#include "base/ui_texts.h"
#include "checksum/crc.h"
#include "rewrite/name_mask.h"
#include "rewrite/entry_writer.h"
#include "rewrite/rewrite_command.h"

namespace brim {

namespace {

using rewrite::EntryWriter;

constexpr std::string_view kStoredMethod = "-lh0-";
// A header's reads: a level-2 header and any one record fit.
constexpr size_t kHeaderWindow = 64 * 1024 + 16;

// Header CRC of levels 1 and 2: CRC-16 of the header from P up to the data,
// taken with its own field at 0, then written into that field.
void RewriteHeaderCrc(ProgramState& s, EntryWriter& out, const lzh::Header& h) {
  out.Put16(h.headerCrc, 0);
  const uint64_t p = h.position;
  const uint16_t crc = Crc16ProgressRead(
      s, h.dataStart - p, [&](uint64_t from, uint8_t* buf, size_t n) { out.Read(p + from, buf, n); });
  out.Put16(h.headerCrc, crc);
}

// Header sum of levels 0 and 1: the byte sum of the H bytes from P + 2.
void RewriteHeaderSum(EntryWriter& out, const lzh::Header& h) {
  const uint64_t p = h.position;
  std::array<uint8_t, 255> header{};
  const size_t length = static_cast<size_t>(h.headerSize);
  out.Read(p + lzh::kMethod, header.data(), length);
  const int sum = HeaderSum(header.data(), static_cast<int64_t>(h.headerSize) - 1);
  out.Put8(p + lzh::kHeaderSum, static_cast<uint8_t>(sum));
}

// What one entry's rewrite writes, all of it inside the entry's header or
// its zero run, made from the header before the first write.
struct LzhPlan {
  Locator v;
  lzh::Header h;
  bool agrees = false;       // the row's cells are what the header says
  std::string ext;           // the caption's extension, for the name mask
  std::vector<uint64_t> masks;  // the last byte of each name copy's extension
};

LzhPlan PlanLzhEntry(const ProgramState& s, EntryWriter& out, size_t row) {
  LzhPlan plan;
  plan.v = s.ListView1.ReadLocator(row);
  const Locator& v = plan.v;
  const uint64_t p = v.offset;

  // The header must be where the analysis found it ("-lh?-" and the like).
  out.Measure();
  out.Expect(p + lzh::kMethod, "-");
  out.Expect(p + lzh::kMethod + lzh::kMethodLength - 1, "-");
  out.Require(p, lzh::kLevel + 1);
  out.Require(v.start, v.size);  // past the end: not the file analysed

  // The header read again by its own level, as the analysis reads it: the
  // row is done only when its cells and caption are what that reading
  // lists, so no write can land on the entry's data or another entry.
  ByteWindow w(out.File(), kHeaderWindow);
  lzh::Header& h = plan.h;
  if (lzh::ReadHeader(w, p, out.ReadByte(p + lzh::kLevel), h) != lzh::Read::Header) return plan;
  if (!lzh::IsListed(h, w.FileSize())) return plan;
  const std::vector<lzh::NameCopySpan> names = lzh::NameCopySpans(h);
  std::string shown;
  uint64_t ext = 0;
  if (!names.empty()) {
    shown = lzh::BytesAt(w, names.back().span);
    ext = lzh::ExtPositionOf(shown, names.back().span.position);
  }
  const Locator want = lzh::LocatorOf(h, ext);
  plan.agrees = want.offset == v.offset && want.start == v.start && want.size == v.size &&
                want.ext == v.ext && want.extI == v.extI && want.offsetI == v.offsetI &&
                lzh::CaptionOf(shown, h.level) == s.ListView1.Caption(row);
  if (!plan.agrees) return plan;

  // Every field written or summed lies in the entry's range, from its
  // header to the end of its data; a header that overlaps itself otherwise
  // (a size too small for its fixed fields) is not written.
  const uint64_t end = uint64_t{v.start} + v.size;
  auto inside = [&](uint64_t pos, uint64_t len) { return pos >= p && pos <= end && len <= end - pos; };
  bool fits = inside(p, lzh::kLevel + 1) && inside(h.dataCrc, 2) && inside(p, h.dataStart - p) &&
              (h.level == 2 || inside(p, 2 + h.headerSize)) && (h.headerCrc == 0 || inside(h.headerCrc, 2));
  plan.ext = rewrite::MaskSource(s.ListView1.Caption(row));
  // Every copy extractors may write, each masked at its own extension.
  for (const lzh::NameCopySpan& c : names) {
    const std::string bytes = lzh::BytesAt(w, c.span);
    const std::string copyExt = rewrite::MaskSource(lzh::CaptionOf(bytes, h.level));
    const uint64_t at = lzh::ExtPositionOf(bytes, c.span.position);
    if (copyExt.empty() || at == 0) continue;
    const uint64_t last = at + copyExt.size() - 1;
    if (last < c.span.position || last >= c.span.position + c.span.length) continue;
    fits = fits && inside(last, 1);
    plan.masks.push_back(last);
  }
  plan.agrees = fits;
  return plan;
}

void CheckLzhEntry(const ProgramState& s, EntryWriter& out, size_t row) { PlanLzhEntry(s, out, row); }

// Names first, then the method, then the zeros, then sizes and checks: at
// any moment the archive shows no dangerous name over live data.
void RewriteLzhEntry(ProgramState& s, EntryWriter& out, size_t row) {
  // The log file is CP932.
  const std::string name = s.ListView1.Encoding(row) == NameEncoding::Utf8 ? Utf8ToCp932(s.ListView2.Caption(row))
                                                                          : std::string(s.ListView2.Caption(row));
  const LzhPlan plan = PlanLzhEntry(s, out, row);
  if (!plan.agrees) {
    s.RowsNotDone.push_back({row, name + Ui().rowHeaderDisagrees});
    s.Memo1.Append(name + Ui().rowHeaderDisagrees);
    return;
  }
  const Locator& v = plan.v;
  const lzh::Header& h = plan.h;
  const uint64_t p = v.offset;
  s.Memo1.Append(name + Ui().logWillRewrite);

  SetNameMask(s, plan.ext);
  for (uint64_t at : plan.masks) out.Put8(at, '$');
  SetMethodId(s, kStoredMethod);
  out.Bytes(p + lzh::kMethod,
            std::string_view(reinterpret_cast<const char*>(s.MethodId.data()), s.MethodId.size()));
  out.Zeros(v.start, v.size);
  s.Memo1.Append(name + Ui().logZeroed);

  out.Put32(p + lzh::kOriginalSize, v.size);
  out.Put16(h.dataCrc, Crc16ProgressZeros(s, v.size));
  if (v.ext != 0) s.Memo1.Append(name + Ui().logExtensionMasked);
  // The sum (levels 0, 1) lies inside the range of the header CRC (level 1),
  // so it is written first.
  if (h.level != 2) RewriteHeaderSum(out, h);
  if (h.level != 0 && h.headerCrc != 0) RewriteHeaderCrc(s, out, h);
  s.Memo1.Append(name + Ui().logHeaderRebuilt);
}

}  // namespace

bool RewriteLzhEntries(ProgramState& s) {
  s.RowsNotDone.clear();
  // Without a level 0, 1 or 2 no analysis of this archive ended well:
  // nothing can say how its headers are checked.
  const std::optional<uint8_t> level = s.StatusBar1.LzhLevel();
  if (s.StatusBar1.Outcome() != AnalysisOutcome::Analysed || !level || *level > 2) {
    s.desktop.ShowMessage(Ui().notAnalysed);
    return false;
  }
  return rewrite::RewriteTicked(s, CheckLzhEntry, RewriteLzhEntry);
}

}  // namespace brim
