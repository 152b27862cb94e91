#include "app/tables.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "base/errors.h"
#include "base/hex_cell.h"

namespace brim {

namespace {

enum RowFlag : uint16_t {
  // Bits 0..6: the number cells kColOffset..kColOriginal are present.
  kChecked = 1 << 7,
  kUtf8 = 1 << 8,
  kRatioStyle = 1 << 9,  // set: RatioStyle::Ratio
  // Bits 10..12: the data descriptor, its length / 4 - 2 (0: none).
  kDescriptorShift = 10,
  kDescriptorBits = 7 << kDescriptorShift,
};

constexpr size_t kSlots = 7;
constexpr size_t Slot(EntryColumn col) { return EntryTable::SlotOf(col); }
constexpr bool IsNumber(EntryColumn col) { return EntryTable::IsNumberColumn(col); }
constexpr uint16_t PresentBit(EntryColumn col) { return static_cast<uint16_t>(1u << Slot(col)); }

}  // namespace

EntryTable::EntryTable() = default;
EntryTable::~EntryTable() = default;

uint32_t EntryTable::Store(std::string_view a, std::string_view b) {
  const size_t n = a.size() + b.size();
  if (arena_.empty() || kArenaBlock - arenaUsed_ < n) {
    if (arena_.size() >= (uint64_t{1} << 32) / kArenaBlock) throw std::length_error("entry names");
    arena_.emplace_back(new char[kArenaBlock]);  // never zero-filled
    arenaUsed_ = 0;
  }
  char* p = arena_.back().get() + arenaUsed_;
  if (!a.empty()) std::memcpy(p, a.data(), a.size());
  if (!b.empty()) std::memcpy(p + a.size(), b.data(), b.size());
  const uint32_t at = static_cast<uint32_t>((arena_.size() - 1) * kArenaBlock + arenaUsed_);
  arenaUsed_ += n;
  return at;
}

size_t EntryTable::Add(const NewEntry& e) {
  if (e.folder.size() > 0xFFFF || e.caption.size() > 0xFFFF) throw std::length_error("entry name");
  if (count_ % kRowsPerBlock == 0 && count_ / kRowsPerBlock == rows_.size()) {
    rows_.emplace_back(new Row[kRowsPerBlock]);
  }
  static_assert(sizeof(Row) == 40 && sizeof(Row::v) == kSlots * sizeof(uint32_t));
  const size_t row = count_;
  Row& r = At(row);
  r.text = Store(e.folder, e.caption);
  r.folderLength = static_cast<uint16_t>(e.folder.size());
  r.captionLength = static_cast<uint16_t>(e.caption.size());
  r.v[kColOffset] = e.offset;
  r.v[kColStart] = e.start;
  r.v[kColSize] = e.size;
  r.v[kColExt] = e.ext;
  r.v[kColExtI] = e.extI;
  r.v[kColOffsetI] = e.offsetI;
  r.v[Slot(kColOriginal)] = static_cast<uint32_t>(e.original);
  if (e.original >> 32) originalHigh_[static_cast<uint32_t>(row)] = static_cast<uint32_t>(e.original >> 32);
  r.flags = static_cast<uint16_t>((1u << kSlots) - 1);
  if (e.descriptor != 0) r.flags |= static_cast<uint16_t>((e.descriptor / 4 - 2) << kDescriptorShift);
  if (!e.hasCentral) r.flags &= static_cast<uint16_t>(~(PresentBit(kColExtI) | PresentBit(kColOffsetI)));
  if (e.encoding == NameEncoding::Utf8) r.flags |= kUtf8;
  if (e.ratio == RatioStyle::Ratio) r.flags |= kRatioStyle;
  r.marks = e.marks;
  if (row > 0 && e.offset < At(row - 1).v[kColOffset]) ascending_ = false;
  ++count_;
  if (indexValid_) index_.try_emplace(e.offset, static_cast<uint32_t>(row));
  RowsTouched();
  return row;
}

void EntryTable::Clear() {
  rows_.clear();
  count_ = 0;
  arena_.clear();
  originalHigh_.clear();
  nameCopies_.clear();
  arenaUsed_ = kArenaBlock;
  ascending_ = true;
  hint_ = 0;
  indexValid_ = false;
  index_.clear();
  Cleared();
}

std::string_view EntryTable::Caption(size_t row) const {
  const Row& r = At(row);
  const size_t at = r.text;
  return {arena_[at / kArenaBlock].get() + at % kArenaBlock + r.folderLength, r.captionLength};
}

void EntryTable::SetName(size_t row, std::string_view folder, std::string_view caption,
                         NameEncoding encoding) {
  if (folder.size() > 0xFFFF || caption.size() > 0xFFFF) throw std::length_error("entry name");
  const uint32_t text = Store(folder, caption);
  Row& r = At(row);
  r.text = text;
  r.folderLength = static_cast<uint16_t>(folder.size());
  r.captionLength = static_cast<uint16_t>(caption.size());
  r.flags = encoding == NameEncoding::Utf8 ? (r.flags | kUtf8) : (r.flags & static_cast<uint16_t>(~kUtf8));
  Touch();
}

std::string_view EntryTable::Folder(size_t row) const {
  const Row& r = At(row);
  const size_t at = r.text;
  return {arena_[at / kArenaBlock].get() + at % kArenaBlock, r.folderLength};
}

NameEncoding EntryTable::Encoding(size_t row) const {
  return (At(row).flags & kUtf8) ? NameEncoding::Utf8 : NameEncoding::Cp932;
}

bool EntryTable::Checked(size_t row) const { return (At(row).flags & kChecked) != 0; }

void EntryTable::SetChecked(size_t row, bool checked) {
  Row& r = At(row);
  if (((r.flags & kChecked) != 0) == checked) return;
  r.flags ^= kChecked;
  Touch();
}

uint64_t EntryTable::Original(size_t row) const {
  if (!Has(row, kColOriginal)) return 0;
  const uint64_t low = At(row).v[Slot(kColOriginal)];
  if (originalHigh_.empty()) return low;
  auto it = originalHigh_.find(static_cast<uint32_t>(row));
  return it == originalHigh_.end() ? low : (uint64_t{it->second} << 32) | low;
}

uint8_t EntryTable::Descriptor(size_t row) const {
  const unsigned code = (At(row).flags & kDescriptorBits) >> kDescriptorShift;
  return static_cast<uint8_t>(code == 0 ? 0 : (code + 2) * 4);
}

uint16_t EntryTable::Marks(size_t row) const { return At(row).marks; }

void EntryTable::AddMarks(size_t row, uint16_t marks) {
  Row& r = At(row);
  if ((r.marks | marks) == r.marks) return;
  r.marks |= marks;
  Touch();
}

void EntryTable::AddNameCopy(size_t row, NameCopy copy) {
  nameCopies_[static_cast<uint32_t>(row)].push_back(std::move(copy));
  Touch();
}

std::span<const NameCopy> EntryTable::NameCopies(size_t row) const {
  if (nameCopies_.empty()) return {};
  auto it = nameCopies_.find(static_cast<uint32_t>(row));
  if (it == nameCopies_.end()) return {};
  return it->second;
}

void EntryTable::SetValue(size_t row, EntryColumn col, uint32_t value) {
  Row& r = At(row);
  r.v[Slot(col)] = value;
  r.flags |= PresentBit(col);
  if (col == kColOriginal) originalHigh_.erase(static_cast<uint32_t>(row));
  if (col == kColOffset) {
    ascending_ = false;
    indexValid_ = false;
  }
  Touch();
}

void EntryTable::SetAbsent(size_t row, EntryColumn col) {
  At(row).flags &= static_cast<uint16_t>(~PresentBit(col));
  if (col == kColOffset) {
    ascending_ = false;
    indexValid_ = false;
  }
  Touch();
}

uint32_t EntryTable::ReadBack(size_t row, EntryColumn col) const {
  if (row >= count_ || !Has(row, col)) throw NotAnInteger("$");
  return At(row).v[Slot(col)];
}

Locator EntryTable::ReadLocator(size_t row) const {
  Locator v;
  v.offset = ReadBack(row, kColOffset);
  v.start = ReadBack(row, kColStart);
  v.size = ReadBack(row, kColSize);
  v.ext = ReadBack(row, kColExt);
  v.extI = ReadBack(row, kColExtI);
  v.offsetI = ReadBack(row, kColOffsetI);
  return v;
}

namespace {

// A cell other than kColPath from a row's numbers; present holds the bits of
// PresentBit, v the stored slots.
size_t FormatCell(char* buf, EntryColumn col, unsigned present, RatioStyle ratio, const uint32_t* v,
                  uint64_t original) {
  switch (col) {
    case kColRatio:
      if (!(present & PresentBit(kColSize)) || !(present & PresentBit(kColOriginal))) return 0;
      return FormatRatioTo(buf, ratio, v[kColSize], original);
    case kColCompress:
      return (present & PresentBit(kColSize)) ? FormatThousandsTo(buf, v[kColSize]) : 0;
    case kColOriginal:
      return (present & PresentBit(kColOriginal)) ? FormatThousandsTo(buf, original) : 0;
    case kColPath:
      return 0;
    default:
      return (present & PresentBit(col)) ? FormatHexTo(buf, v[col]) : 0;
  }
}

}  // namespace

size_t EntryTable::CellTo(char* buf, size_t row, EntryColumn col) const {
  const Row& r = At(row);
  const RatioStyle ratio = (r.flags & kRatioStyle) ? RatioStyle::Ratio : RatioStyle::SpaceSaved;
  const uint64_t original = col == kColRatio || col == kColOriginal ? Original(row) : 0;
  return FormatCell(buf, col, r.flags, ratio, r.v, original);
}

EntryCells EntryTable::Cells(size_t row) const {
  const Row& r = At(row);
  EntryCells c;
  const char* text = arena_[r.text / kArenaBlock].get() + r.text % kArenaBlock;
  c.folder = {text, r.folderLength};
  c.caption = {text + r.folderLength, r.captionLength};
  std::memcpy(c.v, r.v, sizeof c.v);
  c.present = static_cast<uint8_t>(r.flags & ((1u << kSlots) - 1));
  if (r.flags & PresentBit(kColOriginal)) {
    c.original = originalHigh_.empty() ? r.v[Slot(kColOriginal)] : Original(row);
  }
  c.checked = (r.flags & kChecked) != 0;
  c.encoding = (r.flags & kUtf8) ? NameEncoding::Utf8 : NameEncoding::Cp932;
  c.ratio = (r.flags & kRatioStyle) ? RatioStyle::Ratio : RatioStyle::SpaceSaved;
  c.marks = r.marks;
  return c;
}

size_t EntryCells::CellTo(char* buf, EntryColumn col) const {
  return FormatCell(buf, col, present, ratio, v, original);
}

std::string EntryTable::CellText(size_t row, EntryColumn col) const {
  if (col == kColPath) return std::string(Folder(row));
  char buf[32];
  return std::string(buf, CellTo(buf, row, col));
}

std::string EntryTable::Text(size_t row, size_t column) const {
  if (column == 0) return std::string(Caption(row));
  return CellText(row, static_cast<EntryColumn>(kColRatio + column - 1));
}

int64_t EntryTable::FindByOffset(uint32_t offset) const {
  if (ascending_) {
    // The central directory lists the entries in the order of their local
    // headers as a rule: try the row after the last one found first.
    if (hint_ < count_ && At(hint_).v[kColOffset] == offset &&
        (hint_ == 0 || At(hint_ - 1).v[kColOffset] != offset)) {
      return static_cast<int64_t>(hint_++);
    }
    size_t lo = 0, hi = count_;
    while (lo < hi) {
      const size_t mid = lo + (hi - lo) / 2;
      if (At(mid).v[kColOffset] < offset) lo = mid + 1;
      else hi = mid;
    }
    if (lo < count_ && At(lo).v[kColOffset] == offset) {
      hint_ = lo + 1;
      return static_cast<int64_t>(lo);
    }
    return -1;
  }
  if (!indexValid_) {
    index_.clear();
    for (size_t row = 0; row < count_; ++row) {
      if (Has(row, kColOffset)) index_.try_emplace(At(row).v[kColOffset], static_cast<uint32_t>(row));
    }
    indexValid_ = true;
  }
  auto it = index_.find(offset);
  return it == index_.end() ? -1 : static_cast<int64_t>(it->second);
}

// ---- The tally ----

size_t TallyTable::Add(std::string caption, uint64_t count) {
  const size_t row = rows_.size();
  if (indexValid_) index_[caption].push_back(static_cast<uint32_t>(row));
  rows_.push_back(Row{std::move(caption), count, false});
  RowsTouched();
  return row;
}

void TallyTable::Clear() {
  rows_.clear();
  index_.clear();
  indexValid_ = true;
  Cleared();
}

void TallyTable::Tally(std::string_view ext) {
  if (!indexValid_) {
    index_.clear();
    for (size_t row = 0; row < rows_.size(); ++row) index_[rows_[row].caption].push_back(static_cast<uint32_t>(row));
    indexValid_ = true;
  }
  auto it = index_.find(ext);
  if (it == index_.end()) {
    Add(std::string(ext), 1);
    return;
  }
  for (uint32_t row : it->second) ++rows_[row].count;
  Touch();
}

void TallyTable::SetNumber(size_t row, uint64_t count) {
  rows_[row].count = count;
  Touch();
}

void TallyTable::SetChecked(size_t row, bool checked) {
  if (rows_[row].checked == checked) return;
  rows_[row].checked = checked;
  Touch();
}

void TallyTable::SetCaption(size_t row, std::string caption) {
  if (rows_[row].caption == caption) return;
  rows_[row].caption = std::move(caption);
  indexValid_ = false;
  Touch();
}

std::string TallyTable::Text(size_t row, size_t column) const {
  if (column == 0) return rows_[row].caption;
  char buf[20];
  return std::string(buf, FormatDecimalTo(buf, rows_[row].count));
}

// ---- The combined-entry table ----

size_t CombinedTable::Add(const CombinedRow& row) {
  rows_.push_back(row);
  RowsTouched();
  return rows_.size() - 1;
}

void CombinedTable::Clear() {
  rows_.clear();
  Cleared();
}

std::string CombinedTable::CellText(size_t row, size_t column) const {
  return FormatHexCell(column == 0 ? rows_[row].localOffset : rows_[row].cells[column - 1]);
}

// ---- Cell formats ----

size_t FormatDecimalTo(char* buf, uint64_t value) {
  return static_cast<size_t>(std::to_chars(buf, buf + 20, value).ptr - buf);
}

namespace {

// "00".."99": two digits per division.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The count of decimal digits of value: from its bit length (log10(2) is
// about 1233 / 4096), corrected by one comparison.
size_t DecimalDigits(uint64_t value) {
  static constexpr uint64_t kPowers[20] = {
      1u, 10u, 100u, 1000u, 10000u, 100000u, 1000000u, 10000000u, 100000000u, 1000000000u,
      10000000000u, 100000000000u, 1000000000000u, 10000000000000u, 100000000000000u,
      1000000000000000u, 10000000000000000u, 100000000000000000u, 1000000000000000000u,
      10000000000000000000u};
  value |= 1;  // 0 has one digit; no other count changes
  const size_t estimate = static_cast<size_t>((64 - __builtin_clzll(value)) * 1233) >> 12;
  return estimate + (value >= kPowers[estimate] ? 1 : 0);
}

}  // namespace

// Two digits at a time, then one or two.
void FormatDecimalBefore(char* end, uint64_t value) {
  while (value >= 100) {
    end -= 2;
    std::memcpy(end, kDigitPairs + 2 * (value % 100), 2);
    value /= 100;
  }
  if (value >= 10) std::memcpy(end - 2, kDigitPairs + 2 * value, 2);
  else end[-1] = static_cast<char>('0' + value);
}

void FormatThousandsBefore(char* end, uint64_t value) {
  // Groups of three from the right, each after a ",".
  while (value >= 1000) {
    end -= 3;
    const uint64_t group = value % 1000;
    end[0] = static_cast<char>('0' + group / 100);
    std::memcpy(end + 1, kDigitPairs + 2 * (group % 100), 2);
    *--end = ',';
    value /= 1000;
  }
  FormatDecimalBefore(end, value);
}

size_t FormatThousandsTo(char* buf, uint64_t value) {
  const size_t digits = DecimalDigits(value);
  const size_t n = digits + (digits - 1) / 3;
  FormatThousandsBefore(buf + n, value);
  return n;
}

std::string FormatThousands(int64_t value) {
  char buf[32];
  if (value >= 0) return std::string(buf, FormatThousandsTo(buf, static_cast<uint64_t>(value)));
  const uint64_t magnitude = ~static_cast<uint64_t>(value) + 1;
  buf[0] = '-';
  return std::string(buf, 1 + FormatThousandsTo(buf + 1, magnitude));
}

size_t FormatRatioTo(char* buf, RatioStyle style, uint64_t stored, uint64_t original) {
  if (original == 0) return 0;
  if (style == RatioStyle::SpaceSaved) {
    // 100 minus the ratio rounded half up, "%2d%%".
    const int64_t saved = 100 - static_cast<int64_t>((200 * stored + original) / (2 * original));
    if (saved >= 0 && saved < 100) {  // the usual case: three bytes
      if (saved < 10) buf[0] = ' ', buf[1] = static_cast<char>('0' + saved);
      else std::memcpy(buf, kDigitPairs + 2 * saved, 2);
      buf[2] = '%';
      return 3;
    }
    char digits[24];
    size_t n = FormatDecimalTo(digits, saved < 0 ? ~static_cast<uint64_t>(saved) + 1 : static_cast<uint64_t>(saved));
    size_t out = 0;
    const size_t width = n + (saved < 0 ? 1 : 0);
    if (width < 2) buf[out++] = ' ';
    if (saved < 0) buf[out++] = '-';
    std::memcpy(buf + out, digits, n);
    out += n;
    buf[out++] = '%';
    return out;
  }
  // "%3.1f%%" of stored * 100 / original. The tenths rounded from the exact
  // quotient are what the double would print, except at an exact tie, where
  // the double's own rounding decides.
  const unsigned __int128 scaled = static_cast<unsigned __int128>(stored) * 1000;
  const uint64_t whole = static_cast<uint64_t>(scaled / original);
  const uint64_t rest = static_cast<uint64_t>(scaled % original);
  if (2 * static_cast<unsigned __int128>(rest) == original) {
    return static_cast<size_t>(std::snprintf(buf, 32, "%3.1f%%",
                                             static_cast<double>(stored * 100) / static_cast<double>(original)));
  }
  const uint64_t tenths = whole + (2 * static_cast<unsigned __int128>(rest) > original ? 1 : 0);
  size_t out = FormatDecimalTo(buf, tenths / 10);
  buf[out++] = '.';
  buf[out++] = static_cast<char>('0' + tenths % 10);
  buf[out++] = '%';
  return out;
}

}  // namespace brim
