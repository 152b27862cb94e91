// Neutralises ticked LZH entries in place: "$" as the last byte of every
// copy of the name's extension, "-lh0-", zero data, then the size and CRC-16
// of the zeros and the header sum or header CRC of the entry's own level.
// Every position comes from the entry's header as it reads now; a row whose
// cells say otherwise is left alone and reported. Each entry is a plan of
// writes (write_plan.h); its sums are taken over the header as the plan
// leaves it.
#include <algorithm>
#include <string>
#include <vector>

#include "app/entry_tables.h"
#include "formats/lzh_layout.h"
#include "base/cp932.h"
#include "formats/lzh_records.h"
#include "base/byte_window.h"
#include "base/errors.h"
#include "base/file_stream.h"
#include "base/ui_texts.h"
#include "checksum/crc.h"
#include "rewrite/name_mask.h"
#include "rewrite/rewrite_command.h"
#include "rewrite/write_plan.h"

namespace brim {

namespace {

using rewrite::Phase;
using rewrite::PlanBuilder;

constexpr std::string_view kStoredMethod = "-lh0-";
// The header CRC is taken over the planned header this many bytes at a time.
constexpr size_t kCrcChunk = 64 * 1024;

// Header sum of levels 0 and 1: the byte sum of the H bytes from P + 2.
void PlanHeaderSum(PlanBuilder& out, const lzh::Header& h) {
  const uint64_t p = h.position;
  int sum = 0;
  if (h.headerSize > 0) {
    const uint8_t* header = out.Read(p + lzh::kMethod, static_cast<size_t>(h.headerSize));
    sum = HeaderSum(header, static_cast<int64_t>(h.headerSize) - 1);
  }
  out.Put8(Phase::Sums, p + lzh::kHeaderSum, static_cast<uint8_t>(sum));
}

// Header CRC of levels 1 and 2: CRC-16 of the header from P up to the data,
// taken with its own field at 0. Planned after every other write into the
// header, so it covers them.
void PlanHeaderCrc(PlanBuilder& out, const lzh::Header& h) {
  const uint64_t p = h.position;
  const uint64_t length = h.dataStart - p;
  std::vector<uint8_t> chunk(static_cast<size_t>(std::min<uint64_t>(length, kCrcChunk)));
  uint16_t crc = 0;
  for (uint64_t from = 0; from < length;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(length - from, kCrcChunk));
    out.Copy(p + from, chunk.data(), n);
    for (uint64_t at = h.headerCrc; at < h.headerCrc + 2; ++at) {
      if (at >= p + from && at < p + from + n) chunk[static_cast<size_t>(at - p - from)] = 0;
    }
    crc = Crc16Update(crc, chunk.data(), n);
    from += n;
  }
  out.Put16(Phase::Sums, h.headerCrc, crc);
  out.Plan().headerCheckLength = length;
}

}  // namespace

// Every write of one ticked row, made from its header as it reads before
// the rewrite: the header is read again by its own level, as the analysis
// reads it, and the row is planned only when its cells and caption are what
// that reading lists, so no write can land on the entry's data or another
// entry. Otherwise the row is refused alone.
void rewrite::PlanLzhEntry(const ProgramState& s, PlanBuilder& out, size_t row) {
  const Locator v = s.ListView1.ReadLocator(row);
  const uint64_t p = v.offset;
  const uint64_t end = uint64_t{v.start} + v.size;
  const auto disagrees = [&] { throw rewrite::RowRefused{out.Plan().logName + Ui().rowHeaderDisagrees, true}; };
  out.Own(p, end);

  ByteWindow& w = out.Window(p);
  lzh::Header h;
  if (lzh::ReadHeader(w, p, out.Read8(p + lzh::kLevel), h) != lzh::Read::Header) disagrees();
  if (!lzh::IsListed(h, w.FileSize())) disagrees();
  // Every copy extractors may write, read once: its caption, where the
  // listing's extension cell would point, and the extension to mask.
  struct NameRead {
    lzh::Span span;
    std::string caption;
    uint64_t ext = 0;
    std::string mask;
    uint64_t maskAt = 0;  // the byte "$" goes to; 0: none
  };
  const std::vector<lzh::NameCopySpan> copies = lzh::NameCopySpans(h);
  std::vector<NameRead> names;
  names.reserve(copies.size() + 1);
  for (const lzh::NameCopySpan& c : copies) {
    NameRead n;
    n.span = c.span;
    // A view into the window, used before anything moves it.
    const std::string_view bytes = lzh::ViewAt(w, c.span);
    n.caption = lzh::CaptionOf(std::string(bytes), h.level);
    const NameParts parts = SplitName(n.caption);
    if (parts.extension != std::string_view::npos) {
      n.mask = n.caption.substr(parts.extension + 1, parts.extensionEnd - parts.extension - 1);
    }
    // One split serves both while the caption reads as the stored bytes.
    const size_t dot = n.caption != bytes ? ExtensionCellDot(bytes)
                       : parts.extension != std::string_view::npos ? parts.extension : parts.lastDot;
    n.ext = dot == std::string_view::npos ? 0 : c.span.position + dot + 1;
    names.push_back(std::move(n));
  }
  // A header without a name of its own is listed by the last part of its
  // directory record, else by its UTF-16 name, which has no "Ext" cell.
  std::string shownCaption = names.empty() ? std::string() : names.back().caption;
  uint64_t shownExt = names.empty() ? 0 : names.back().ext;
  if (!h.HasShownName()) {
    if (const std::optional<lzh::Span> part = lzh::DirectoryNamePart(w, h)) {
      NameRead n;
      n.span = *part;
      n.caption = std::string(lzh::ViewAt(w, *part));
      const NameParts parts = SplitName(n.caption);
      if (parts.extension != std::string_view::npos) {
        n.mask = n.caption.substr(parts.extension + 1, parts.extensionEnd - parts.extension - 1);
      }
      const size_t dot = parts.extension != std::string_view::npos ? parts.extension : parts.lastDot;
      n.ext = dot == std::string_view::npos ? 0 : part->position + dot + 1;
      shownCaption = n.caption;
      shownExt = n.ext;
      names.push_back(std::move(n));
    } else if (!h.utf16Names.empty()) {
      shownCaption = lzh::CaptionOf(lzh::Utf16NameAt(w, h.utf16Names.back()), 2);
      shownExt = 0;
    }
  }
  const Locator want = lzh::LocatorOf(h, shownExt);
  if (!(want.offset == v.offset && want.start == v.start && want.size == v.size && want.ext == v.ext &&
        want.extI == v.extI && want.offsetI == v.offsetI && shownCaption == s.ListView1.Caption(row))) {
    disagrees();
  }
  // Each UTF-16 name is masked at its own extension: "$" as its last code unit.
  std::vector<uint64_t> wideMasks;
  for (const lzh::Span& span : h.utf16Names) {
    if (const uint64_t at = lzh::Utf16MaskAt(w, span)) wideMasks.push_back(at);
  }

  // Every field written or summed lies in the entry's range, from its
  // header to the end of its data; a header that overlaps itself otherwise
  // (a size too small for its fixed fields) is not written.
  auto inside = [&](uint64_t pos, uint64_t len) { return pos >= p && pos <= end && len <= end - pos; };
  bool fits = inside(p, lzh::kLevel + 1) && inside(h.dataCrc, 2) && inside(p, h.dataStart - p) &&
              (h.level == 2 || inside(p, 2 + h.headerSize)) && (h.headerCrc == 0 || inside(h.headerCrc, 2));
  // Every copy extractors may write, each masked at its own extension.
  for (NameRead& n : names) {
    if (n.mask.empty() || n.ext == 0) continue;
    const uint64_t last = n.ext + n.mask.size() - 1;
    if (last < n.span.position || last >= n.span.position + n.span.length) continue;
    fits = fits && inside(last, 1);
    n.maskAt = last;
  }
  for (uint64_t at : wideMasks) fits = fits && inside(at, 2);
  if (!fits) disagrees();

  rewrite::EntryPlan& plan = out.Plan();
  plan.mask = names.empty() ? std::string() : names.back().mask;  // the caption's, as checked above
  plan.masked = v.ext != 0 || !wideMasks.empty();
  for (const NameRead& n : names) {
    if (n.maskAt != 0) out.Put8(Phase::Names, n.maskAt, '$');
  }
  for (uint64_t at : wideMasks) out.Put16(Phase::Names, at, '$');
  out.Bytes(Phase::Method, p + lzh::kMethod, kStoredMethod);
  out.Zeros(v.start, v.size);
  out.Put32(Phase::Sums, p + lzh::kOriginalSize, v.size);
  out.Put16(Phase::Sums, h.dataCrc, Crc16Zeros(0, v.size));
  // The sum (levels 0, 1) lies inside the range of the header CRC (level 1),
  // so it is planned first.
  if (h.level != 2) PlanHeaderSum(out, h);
  if (h.level != 0 && h.headerCrc != 0) PlanHeaderCrc(out, h);
}

namespace {

// The log lines of a done entry, in the order an entry written alone gives them.
void ReportLzhEntry(ProgramState& s, const rewrite::EntryPlan& plan) {
  s.Memo1.Append(plan.logName, Ui().logWillRewrite);
  SetNameMask(s, plan.mask);
  SetMethodId(s, kStoredMethod);
  s.Memo1.Append(plan.logName, Ui().logZeroed);
  rewrite::CrcProgressReport(s, plan.zerosLength);
  if (plan.masked) s.Memo1.Append(plan.logName, Ui().logExtensionMasked);
  if (plan.headerCheckLength != 0) rewrite::CrcProgressReport(s, plan.headerCheckLength);
  s.Memo1.Append(plan.logName, Ui().logHeaderRebuilt);
}

// What must hold of every ticked row before the first byte is written: its
// cells are numbers, its header's method is where they say, its data lies
// inside the file. Otherwise this is not the file the analysis read, and
// nothing is changed; a box has said so. Header disagreements are the
// plan's, row by row.
bool TickedRowsFitTheFile(ProgramState& s) {
  const FileStream file = FileStream::Open(s.Label1.Caption(), FileStream::Mode::Read);
  if (!CheckAnalysedFile(s, file)) return false;
  ByteWindow w(file);
  const uint64_t size = w.FileSize();
  const auto require = [&](uint64_t pos, uint64_t len) {
    if (pos > size || len > size - pos) {
      throw CommandError(FormatText(Ui().fileChangedSinceAnalysis, Utf8ToCp932(file.Path())));
    }
  };
  for (size_t row = 0; row < s.ListView1.Count(); ++row) {
    if (!s.ListView2.Checked(row)) continue;
    const Locator v = s.ListView1.ReadLocator(row);
    const uint64_t p = v.offset;
    for (uint64_t at : {p + lzh::kMethod, p + lzh::kMethod + lzh::kMethodLength - 1}) {
      const uint8_t* dash = w.At(at, 1);
      if (dash == nullptr || *dash != '-') {
        s.desktop.ShowMessage(Ui().notAnalysed);
        return false;
      }
    }
    require(p, lzh::kLevel + 1);
    require(v.start, v.size);
  }
  return true;
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
  if (!TickedRowsFitTheFile(s)) return false;
  return rewrite::RewritePlanned(s, rewrite::PlanLzhEntry, ReportLzhEntry);
}

}  // namespace brim
