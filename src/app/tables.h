// The entry tables, held typed. The window's tables are texts; here a row
// keeps numbers (with an "absent" state where a cell is empty) and the raw
// name bytes, and a cell's text is made only when a view asks for it. A
// listing of 65,535 entries costs about 40 bytes a row plus its names.
#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "app/entry_marks.h"
#include "base/cp932.h"

namespace brim {

// Every column of the locator table (ListView1) and the listing (ListView2),
// which share their rows: row i of both is one entry. Column 0 of both is the
// caption, the entry's name.
enum EntryColumn : uint8_t {
  // ---- ListView1, the locator table (hexadecimal cells, "%X") ----
  kColOffset,  // the entry's header
  kColStart,   // the entry's data
  kColSize,    // the length of its stored data
  // The byte after the name's last "." in the entry's header; 0: no extension.
  // ZIP: of the file-name part; LZH: of the whole stored name.
  kColExt,
  // ZIP: the same position in the entry's central directory header (0: that
  //      name has no extension); absent until a central header is matched.
  // LZH: the header CRC (levels 1 and 2); 0 at level 0.
  kColExtI,
  // ZIP: the entry's central directory header; absent until matched.
  // LZH: the CRC-16 field (levels 0 and 1); 0 at level 2.
  kColOffsetI,
  // ---- ListView2, the listing (display text, never read back) ----
  kColRatio,     // ZIP: space saved "%2d%%"; LZH: ratio "%3.1f%%"; empty when the original size is 0
  kColCompress,  // stored size with thousands commas (the same value as kColSize)
  kColOriginal,  // original size with thousands commas
  kColPath,      // ZIP: the stored name's folder part; LZH: the directory record
};
inline constexpr size_t kLocatorColumns = 6;  // sub-columns of ListView1
inline constexpr size_t kListingColumns = 4;  // sub-columns of ListView2

enum class RatioStyle : uint8_t { SpaceSaved, Ratio };

// Revision counters a view compares to learn what changed since it looked.
class Revisions {
 public:
  // Bumped by every change; RowsRevision only when rows are added or
  // cleared; ClearRevision by Clear only, so a view can tell "cleared and
  // refilled" from "rows appended" even when the count grew.
  uint64_t Revision() const { return revision_; }
  uint64_t RowsRevision() const { return rowsRevision_; }
  uint64_t ClearRevision() const { return clearRevision_; }

 protected:
  void Touch() { ++revision_; }
  void RowsTouched() { ++rowsRevision_, ++revision_; }
  void Cleared() { ++clearRevision_, ++rowsRevision_, ++revision_; }

 private:
  uint64_t revision_ = 0;
  uint64_t rowsRevision_ = 0;
  uint64_t clearRevision_ = 0;
};

// What a view of a visible table asks: texts made when asked, check boxes.
// Column 0 is the caption.
class ShownTable : public Revisions {
 public:
  virtual ~ShownTable() = default;
  virtual size_t Count() const = 0;
  // The cell's text; names in their encoding, everything else ASCII.
  virtual std::string Text(size_t row, size_t column) const = 0;
  virtual NameEncoding Encoding(size_t row) const = 0;
  virtual bool Checked(size_t row) const = 0;
  virtual void SetChecked(size_t row, bool checked) = 0;
  // Only the tally lets the user edit its captions.
  virtual void SetCaption(size_t row, std::string caption) { (void)row, (void)caption; }
};

// One entry as an analyser lists it.
struct NewEntry {
  std::string_view folder;   // the listing's "パス名"
  std::string_view caption;  // the name both tables show
  NameEncoding encoding = NameEncoding::Cp932;
  RatioStyle ratio = RatioStyle::SpaceSaved;
  uint32_t offset = 0, start = 0, size = 0, ext = 0;
  // Absent (an empty cell) unless set.
  bool hasCentral = true;
  uint32_t extI = 0, offsetI = 0;
  uint64_t original = 0;  // a Zip64 entry can hold 4 GiB and more
  // ZIP: the length of the data descriptor after the data (12, 16, 20 or
  // 24), 0 when there is none.
  uint8_t descriptor = 0;
  uint16_t marks = 0;  // EntryMark bits
};

// A copy of an entry's name other than the caption, as stored (raw bytes in
// their encoding) and where: kept for rows whose copies differ, so the
// listing can show each and the tally and selection count each.
struct NameCopy {
  NameCopyKind kind = NameCopyKind::Local;
  NameEncoding encoding = NameEncoding::Cp932;
  std::string bytes;
  uint64_t position = 0;  // the first name byte in the file
};

// The six locator cells of a row as numbers.
struct Locator {
  uint32_t offset = 0;
  uint32_t start = 0;
  uint32_t size = 0;
  uint32_t ext = 0;
  uint32_t extI = 0;
  uint32_t offsetI = 0;
};

// Every cell of one row, read at once by a writer that walks all rows.
struct EntryCells {
  std::string_view folder;
  std::string_view caption;
  uint32_t v[kLocatorColumns] = {};  // kColOffset.. kColOffsetI; 0 when absent
  uint64_t original = 0;             // 0 when absent
  uint8_t present = 0;               // bit c: locator cell c; bit kLocatorColumns: the original size
  bool checked = false;
  NameEncoding encoding = NameEncoding::Cp932;
  RatioStyle ratio = RatioStyle::SpaceSaved;
  uint16_t marks = 0;

  bool Has(EntryColumn col) const {
    if (col < kLocatorColumns) return (present >> col) & 1;
    return col == kColOriginal && ((present >> kLocatorColumns) & 1);
  }
  // The cell's text into buf (32 bytes) as EntryTable::CellTo; returns the length.
  size_t CellTo(char* buf, EntryColumn col) const;
};

// ListView1 and ListView2: the locator table and the listing, one row per
// listed entry.
class EntryTable : public ShownTable {
 public:
  EntryTable();
  ~EntryTable() override;

  size_t Count() const override { return count_; }
  size_t Add(const NewEntry& entry);
  void Clear();

  std::string_view Caption(size_t row) const;
  // Shows another copy of the row's name (the one extractors write).
  void SetName(size_t row, std::string_view folder, std::string_view caption, NameEncoding encoding);
  std::string_view Folder(size_t row) const;
  NameEncoding Encoding(size_t row) const override;
  bool Checked(size_t row) const override;
  void SetChecked(size_t row, bool checked) override;

  bool Has(size_t row, EntryColumn col) const {
    return IsNumberColumn(col) && (At(row).flags & (1u << SlotOf(col))) != 0;
  }
  // The number in a cell, or 0 when it is absent.
  uint32_t Value(size_t row, EntryColumn col) const { return Has(row, col) ? At(row).v[SlotOf(col)] : 0; }
  // The original size in full (the kColOriginal cell); 0 when absent.
  uint64_t Original(size_t row) const;
  // The data descriptor's length (NewEntry::descriptor).
  uint8_t Descriptor(size_t row) const;
  // EntryMark bits; 0 for a row nothing is odd about.
  uint16_t Marks(size_t row) const;
  void AddMarks(size_t row, uint16_t marks);
  // The row's other name copies (NameCopy); empty for most rows.
  void AddNameCopy(size_t row, NameCopy copy);
  std::span<const NameCopy> NameCopies(size_t row) const;
  void SetValue(size_t row, EntryColumn col, uint32_t value);
  void SetAbsent(size_t row, EntryColumn col);

  // A number cell read back as the window reads its text: "$" before the
  // text, parsed as hexadecimal. An absent cell is the empty text, so it
  // throws NotAnInteger("$") ("'$' は整数ではありません"). The one place
  // where an empty cell's text decides anything.
  uint32_t ReadBack(size_t row, EntryColumn col) const;
  // All six locator cells by ReadBack, in column order.
  Locator ReadLocator(size_t row) const;

  // The cell's text as the window shows it (CP932 or the row's encoding).
  std::string CellText(size_t row, EntryColumn col) const;
  // The same for every column but kColPath, into buf (32 bytes) without
  // allocating; returns the length.
  size_t CellTo(char* buf, size_t row, EntryColumn col) const;
  // Every cell of the row at once.
  EntryCells Cells(size_t row) const;
  // As a view of the listing: column 0 the caption, then kColRatio... .
  std::string Text(size_t row, size_t column) const override;

  // The lowest row whose "Offset" is offset, or -1.
  int64_t FindByOffset(uint32_t offset) const;

  // The numbers a row holds: the six locator cells, then the original size.
  static constexpr bool IsNumberColumn(EntryColumn col) { return col <= kColOffsetI || col == kColOriginal; }
  static constexpr size_t SlotOf(EntryColumn col) { return col == kColOriginal ? 6 : col; }

 private:
  // 40 bytes: the name's place in the arena, seven numbers and the flags.
  struct Row {
    uint32_t text;  // arena position of the folder bytes, the caption right after
    uint16_t folderLength;
    uint16_t captionLength;
    uint32_t v[7];  // the six locator cells, then the original size
    uint16_t flags;
    uint16_t marks;  // EntryMark bits
  };
  // Inline: every cell of every row comes through here.
  Row& At(size_t row) { return rows_[row / kRowsPerBlock][row % kRowsPerBlock]; }
  const Row& At(size_t row) const { return rows_[row / kRowsPerBlock][row % kRowsPerBlock]; }
  uint32_t Store(std::string_view a, std::string_view b);

  static constexpr size_t kRowsPerBlock = 4096;
  static constexpr size_t kArenaBlock = size_t{1} << 20;
  std::vector<std::unique_ptr<Row[]>> rows_;
  size_t count_ = 0;
  std::vector<std::unique_ptr<char[]>> arena_;  // blocks of kArenaBlock bytes
  std::vector<std::string> bigNames_;           // names longer than a block
  // Bits 32 and up of original sizes that need them, by row.
  std::unordered_map<uint32_t, uint32_t> originalHigh_;
  std::unordered_map<uint32_t, std::vector<NameCopy>> nameCopies_;
  size_t arenaUsed_ = kArenaBlock;              // in the last block
  // Offsets are ascending while the analysers fill the table; a lookup is
  // then a binary search, otherwise an index built on first use.
  bool ascending_ = true;
  mutable size_t hint_ = 0;
  mutable bool indexValid_ = false;
  mutable std::unordered_map<uint32_t, uint32_t> index_;
};

// ListView5: the extension tally, in order of first appearance. Captions are
// editable by the user; counts are numbers.
class TallyTable : public ShownTable {
 public:
  size_t Count() const override { return rows_.size(); }
  size_t Add(std::string caption, uint64_t count);
  void Clear();
  // One more entry with key ext: every row whose caption is ext gains 1; a
  // new row "ext", 1 when none does.
  void Tally(std::string_view ext);

  const std::string& Caption(size_t row) const { return rows_[row].caption; }
  uint64_t Number(size_t row) const { return rows_[row].count; }
  void SetNumber(size_t row, uint64_t count);
  NameEncoding Encoding(size_t) const override { return NameEncoding::Cp932; }
  bool Checked(size_t row) const override { return rows_[row].checked; }
  void SetChecked(size_t row, bool checked) override;
  void SetCaption(size_t row, std::string caption) override;
  std::string Text(size_t row, size_t column) const override;

 private:
  struct Row {
    std::string caption;
    uint64_t count = 0;
    bool checked = false;
  };
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  std::vector<Row> rows_;
  // Caption -> the rows that carry it; rebuilt after the user edits one.
  std::unordered_map<std::string, std::vector<uint32_t>, Hash, std::equal_to<>> index_;
  bool indexValid_ = true;
};

// ListView4: the combined-entry table, scratch space of combined regeneration
// of a ZIP archive. Caption: the local header's position in the output; then
// the ten values its central header needs.
enum CombinedColumn : uint8_t {
  kCombVersionNeeded, kCombFlags, kCombMethod, kCombTime, kCombDate, kCombCrc,
  kCombCompressedSize, kCombOriginalSize, kCombNameLength, kCombNamePosition,
};
struct CombinedRow {
  uint32_t localOffset = 0;
  uint32_t cells[10] = {};
};
class CombinedTable : public Revisions {
 public:
  size_t Count() const { return rows_.size(); }
  size_t Add(const CombinedRow& row);
  void Clear();
  const CombinedRow& Row(size_t row) const { return rows_[row]; }
  // Texts as the window's table would hold them: caption, then "%X" cells.
  std::string CellText(size_t row, size_t column) const;

 private:
  std::vector<CombinedRow> rows_;
};

// Decimal with "," between groups of three digits: 1234567 -> "1,234,567".
std::string FormatThousands(int64_t value);
// Plain decimal into buf (20 bytes); returns the length.
size_t FormatDecimalTo(char* buf, uint64_t value);
// The same for a non-negative value into buf (27 bytes); returns the length.
size_t FormatThousandsTo(char* buf, uint64_t value);
// Both written back from end, for a right-aligned cell.
void FormatDecimalBefore(char* end, uint64_t value);
void FormatThousandsBefore(char* end, uint64_t value);
// The listing's ratio cell into buf (32 bytes); returns the length, 0 for an
// empty cell (no original size).
size_t FormatRatioTo(char* buf, RatioStyle style, uint64_t stored, uint64_t original);

}  // namespace brim
