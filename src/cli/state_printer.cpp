#include "cli/state_printer.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <optional>
#include <span>

#include "app/entry_tables.h"
#include "base/hex_cell.h"
#include "base/name_encoding.h"
#include "base/ui_texts.h"
#include "cli/json_writer.h"
#include "cli/recurring_texts.h"
#include "cli/text_cells.h"

namespace brim::cli {

namespace {

const char* KindName(ArchiveKindType kind) { return kind == ArchiveKindType::Zip ? "zip" : "lzh"; }

void Name(JsonWriter& w, std::string_view bytes, NameEncoding encoding) {
  if (encoding == NameEncoding::Cp932) w.Cp932String(bytes);
  else w.String(NameToUtf8(bytes, encoding));  // composed, as every view shows it
}

// The name as Name writes it, at out (JsonLiteralRoom(bytes)); nullptr
// when it needs the long way: iconv, or composing.
char* NameTo(char* out, std::string_view bytes, NameEncoding encoding) {
  if (encoding == NameEncoding::Cp932) return JsonCp932StringTo(out, bytes);
  const Utf8Shape shape = ShapeOfUtf8(bytes);
  return shape.mayCompose ? nullptr : JsonStringTo(out, bytes, shape.valid);
}

// ,"cell" for each locator column, "%X" straight from the row's numbers.
char* HexCellsTo(char* p, const EntryCells& e) {
  for (size_t col = 0; col < kLocatorColumns; ++col) {
    *p++ = ',';
    *p++ = '"';
    if ((e.present >> col) & 1) p += FormatHexTo(p, e.v[col]);
    *p++ = '"';
  }
  return p;
}

// ,"cell" for the listing's numbers (a cell takes 32 bytes at most).
char* ListingCellsTo(char* p, const EntryCells& e) {
  for (EntryColumn col : {kColRatio, kColCompress, kColOriginal}) {
    *p++ = ',';
    *p++ = '"';
    p += e.CellTo(p, col);
    *p++ = '"';
  }
  return p;
}

// What a row needs beyond its names: brackets, commas, quotes, up to nine
// cells of 32 bytes and the check box.
constexpr size_t kRowRoom = 9 * 35 + 16;

// The rows of both tables are written straight into the writer's buffer, a
// row at a time; a row with a name that needs the long way (iconv,
// composing, or longer than the buffer) goes value by value.
void WriteLocator(JsonWriter& w, const EntryTable& t) {
  w.BeginArray();
  for (size_t row = 0; row < t.Count(); ++row) {
    const EntryCells e = t.Cells(row);
    if (char* p = w.ValueRoom(JsonLiteralRoom(e.caption) + kRowRoom)) {
      *p++ = '[';
      if ((p = NameTo(p, e.caption, e.encoding))) {
        p = HexCellsTo(p, e);
        *p++ = ']';
        w.WroteValue(p);
        continue;
      }
    }
    w.BeginArray();
    Name(w, e.caption, e.encoding);
    char buf[32];
    for (size_t col = 0; col < kLocatorColumns; ++col) {
      w.Plain(std::string_view(buf, e.CellTo(buf, static_cast<EntryColumn>(col))));
    }
    w.EndArray();
  }
  w.EndArray();
}

void WriteListing(JsonWriter& w, const EntryTable& t) {
  w.BeginArray();
  for (size_t row = 0; row < t.Count(); ++row) {
    const EntryCells e = t.Cells(row);
    if (char* p = w.ValueRoom(JsonLiteralRoom(e.caption) + JsonLiteralRoom(e.folder) + kRowRoom)) {
      *p++ = '[';
      if ((p = NameTo(p, e.caption, e.encoding))) {
        p = ListingCellsTo(p, e);
        *p++ = ',';
        p = NameTo(p, e.folder, e.encoding);
      }
      if (p) {
        const std::string_view checked = e.checked ? std::string_view(",true]") : std::string_view(",false]");
        std::memcpy(p, checked.data(), checked.size());
        w.WroteValue(p + checked.size());
        continue;
      }
    }
    w.BeginArray();
    Name(w, e.caption, e.encoding);
    char buf[32];
    for (EntryColumn col : {kColRatio, kColCompress, kColOriginal}) w.Plain(std::string_view(buf, e.CellTo(buf, col)));
    Name(w, e.folder, e.encoding);
    w.Bool(e.checked);
    w.EndArray();
  }
  w.EndArray();
}

void WriteTally(JsonWriter& w, const TallyTable& t) {
  w.BeginArray();
  for (size_t row = 0; row < t.Count(); ++row) {
    w.BeginArray().Cp932String(t.Caption(row)).Cp932String(t.Text(row, 1)).Bool(t.Checked(row));
    w.EndArray();
  }
  w.EndArray();
}

// Whether a row has more to say than its cells: a name read as UTF-8, marks,
// other copies of its name. Only such rows appear under "entries", so the
// JSON of an archive whose rows have none stays as it always was.
bool HasDetail(const EntryTable& t, size_t row) {
  return t.Encoding(row) != NameEncoding::Cp932 || t.Marks(row) != 0 || !t.NameCopies(row).empty();
}

const char* EncodingName(NameEncoding encoding) { return encoding == NameEncoding::Utf8 ? "utf8" : "cp932"; }

// "entries": [{"row": i, "encoding": ..., "marks": [ids], "names": [{"kind", "name"}]}]
// for the rows HasDetail picks; nothing at all when there are none.
void WriteEntryDetails(JsonWriter& w, const EntryTable& t) {
  bool any = false;
  for (size_t row = 0; row < t.Count(); ++row) {
    if (!HasDetail(t, row)) continue;
    if (!any) w.Key("entries").BeginArray();
    any = true;
    // A row read as UTF-8 and nothing more, most rows of such an archive:
    // written at once.
    const std::span<const NameCopy> copies = t.NameCopies(row);
    if (t.Marks(row) == 0 && copies.empty()) {
      if (char* p = w.ValueRoom(64)) {
        p = std::copy_n("{\"row\":", 7, p);
        p += FormatDecimalTo(p, row);
        const std::string_view rest = "\",\"marks\":[],\"names\":[]}";
        p = std::copy_n(",\"encoding\":\"", 13, p);
        const std::string_view encoding = EncodingName(t.Encoding(row));
        p = std::copy(encoding.begin(), encoding.end(), p);
        w.WroteValue(std::copy(rest.begin(), rest.end(), p));
        continue;
      }
    }
    w.BeginObject();
    w.Key("row").Number(static_cast<int64_t>(row));
    w.Key("encoding").Plain(EncodingName(t.Encoding(row)));
    w.Key("marks").BeginArray();
    ForEachMark(t.Marks(row), [&](EntryMark m) { w.String(MarkId(m)); });
    w.EndArray();
    w.Key("names").BeginArray();
    for (const NameCopy& copy : t.NameCopies(row)) {
      w.BeginObject();
      w.Key("kind").String(NameCopyKindId(copy.kind));
      w.Key("encoding").String(EncodingName(copy.encoding));
      w.Key("name");
      Name(w, copy.bytes, copy.encoding);
      w.EndObject();
    }
    w.EndArray();
    w.EndObject();
  }
  if (any) w.EndArray();
}

// ---- Text output ----

// Where the text goes: a file or a string, through a buffer that tables
// write their lines into in place.
class Sink {
 public:
  explicit Sink(std::FILE* file) : file_(file) {}
  explicit Sink(std::string* text) : text_(text) {}
  void Write(std::string_view v) {
    char* p = Room(v.size());
    if (!v.empty()) std::memcpy(p, v.data(), v.size());
    Commit(p + v.size());
  }
  // Space for at least n more bytes; Commit(end) keeps what was written up
  // to end.
  char* Room(size_t n) {
    if (size_ - used_ < n) Grow(n);
    return buf_.get() + used_;
  }
  void Commit(const char* end) {
    used_ = static_cast<size_t>(end - buf_.get());
    if (used_ >= kBlock) Flush();
  }
  bool Flush() {
    if (used_ > 0) {
      if (text_) text_->append(buf_.get(), used_);
      else if (std::fwrite(buf_.get(), 1, used_, file_) != used_) failed_ = true;
      used_ = 0;
    }
    return !failed_;
  }

 private:
  void Grow(size_t n) {
    Flush();
    if (size_ >= n) return;
    size_ = std::max(n, 2 * kBlock);
    buf_.reset(new char[size_]);
  }

  static constexpr size_t kBlock = 64 * 1024;
  std::FILE* file_ = nullptr;
  std::string* text_ = nullptr;
  std::unique_ptr<char[]> buf_;
  size_t size_ = 0;
  size_t used_ = 0;
  bool failed_ = false;
};

enum class Align { Left, Right };

// What a column of a text table shows.
enum class Shows : uint8_t {
  RowNumber,
  Tick,          // the row's check box, "[x]" or "[ ]"
  Caption,       // the entry's name
  Folder,        // the listing's "パス名"
  Entry,         // another cell of the entry tables (ASCII)
  TallyCaption,
  TallyCount,
  Marks,         // the row's marks by id, "overlap,encrypted"
};

struct Column {
  std::string header;  // UTF-8
  Align align;
  Shows shows;
  EntryColumn entry = kColOffset;  // for Shows::Entry
};

// Printable ASCII only (0x20..0x7E): such a name reads the same in both
// encodings, needs no change and is as wide as it is long. Several bytes at
// a time: a byte below 0x20 borrows into its top bit when 0x20 is taken off,
// a byte of 0x7F or more has it set once 1 is added. The last word overlaps
// the one before it rather than going byte by byte.
template <typename Word>
bool PlainWords(const char* p, size_t n) {
  constexpr Word kOnes = static_cast<Word>(0x0101010101010101u), kTops = static_cast<Word>(0x8080808080808080u);
  auto bad = [&](const char* at) {
    Word x;
    std::memcpy(&x, at, sizeof x);
    return ((x - 0x20 * kOnes) | (x + kOnes) | x) & kTops;
  };
  for (size_t i = 0; i + sizeof(Word) < n; i += sizeof(Word)) {
    if (bad(p + i)) return false;
  }
  return !bad(p + n - sizeof(Word));
}

bool PlainAscii(std::string_view s) {
  const size_t n = s.size();
  if (n >= 8) return PlainWords<uint64_t>(s.data(), n);
  if (n >= 4) return PlainWords<uint32_t>(s.data(), n);
  for (char c : s) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b < 0x20 || b >= 0x7F) return false;
  }
  return true;
}

// Tables over the rows of one EntryTable or TallyTable, in two passes: the
// first finds the column widths, from the largest value of a number column
// and by measuring each name; the second writes each line in place,
// formatting each number once. A name that needs converting is converted in
// the first pass and kept for the second, up to a bound; past it, it is
// converted again. The listing and the locator table show the same rows:
// the first pass measures the columns of both, and both take its names.
class TextTable {
 public:
  TextTable(const EntryTable* entries, const TallyTable* tally, size_t rows)
      : entries_(entries), tally_(tally), rows_(rows) {}

  // The column's index; one that two tables show is measured once. Every
  // column is added before the first Write.
  size_t Add(const Column& column) {
    for (size_t c = 0; c < columns_.size(); ++c) {
      const Column& k = columns_[c];
      if (k.header == column.header && k.align == column.align && k.shows == column.shows &&
          k.entry == column.entry) {
        return c;
      }
    }
    columns_.push_back(column);
    makes_.push_back(MakesOf(column));
    names_.emplace_back();
    return columns_.size() - 1;
  }
  std::vector<size_t> AddAll(const std::vector<Column>& columns) {
    std::vector<size_t> shown;
    for (const Column& c : columns) shown.push_back(Add(c));
    return shown;
  }

  // The header of the columns shown, then a line per row.
  void Write(Sink& out, const std::vector<size_t>& shown) {
    if (!measured_) {
      MeasureColumns(rows_);
      measured_ = true;
      nameCells_.resize(columns_.size());
    }
    steps_.clear();
    for (size_t c : shown) {
      const Column& col = columns_[c];
      steps_.push_back({c, makes_[c], col.entry, col.align == Align::Right, false, widths_[c]});
    }
    steps_.back().last = true;
    nameColumns_.clear();
    lineRoom_ = 2 + kScratch;  // the leading space, the newline, what a fixed-size store writes past
    size_t room = lineRoom_;
    for (size_t c : shown) {
      lineRoom_ += widths_[c] + 2;
      room += widths_[c] + 2 + columns_[c].header.size();
      if (makes_[c] != Makes::Name) continue;
      nameColumns_.push_back(c);
      // The second pass meets the names as the first did.
      names_[c].any = false;
      names_[c].next = 0;
    }
    char* const start = out.Room(room);
    char* p = start;
    *p++ = ' ';
    for (const Step& step : steps_) {
      const std::string& h = columns_[step.column].header;
      p = Put(p, step, {h.data(), h.size(), DisplayWidth(h)});
    }
    out.Commit(EndLine(start, p));
    writing_ = true;
    for (size_t row = 0; row < rows_; ++row) WriteRow(out, row);
  }

 private:
  // A cell's bytes and its width in columns. A number cell lies in a buffer
  // of kScratch readable bytes and is copied whole, which costs less than a
  // copy of its length.
  struct Cell {
    const char* text = nullptr;
    size_t size = 0;
    size_t width = 0;
    bool inScratch = false;
  };
  static constexpr size_t kScratch = 32;

  // What a name column remembers: the last name that needed converting (rows
  // of one folder follow each other, so their folder is converted once), and
  // the names the first pass converted, in order, for the second.
  struct NameMemo {
    bool any = false;
    std::string raw;
    NameEncoding encoding = NameEncoding::Cp932;
    std::string own;        // its terminal text when converted here
    std::string_view text;  // its terminal text: own or a kept one
    size_t width = 0;
    std::string kept;       // terminal texts of the first pass, one after another
    std::vector<std::pair<uint32_t, uint32_t>> keptEnds;  // end in kept, width
    bool keeping = true;    // false once the bound was reached
    size_t next = 0;        // the next kept text the second pass takes
  };
  static constexpr size_t kKeptBytes = size_t{4} << 20;  // per column

  // How a column's cells are made, worked out once for the table.
  enum class Makes : uint8_t {
    RowNumber,
    Tick,
    Name,
    TallyCount,
    Hex,        // a locator cell of an entry table
    Thousands,  // a size of the listing
    Formatted,  // another cell of an entry table, by EntryCells::CellTo
  };

  // A column of the table being written, with what writing its cells needs.
  struct Step {
    size_t column;
    Makes makes;
    EntryColumn entry;
    bool right;
    bool last;
    size_t width;
  };

  static Makes MakesOf(const Column& c) {
    switch (c.shows) {
      case Shows::RowNumber: return Makes::RowNumber;
      case Shows::Tick: return Makes::Tick;
      case Shows::TallyCount: return Makes::TallyCount;
      case Shows::Entry:
        if (c.entry == kColCompress || c.entry == kColOriginal) return Makes::Thousands;
        return c.entry < kLocatorColumns ? Makes::Hex : Makes::Formatted;
      default: return Makes::Name;
    }
  }

  // The number in an entry cell of Makes::Hex or Makes::Thousands; false
  // when the cell is absent.
  static bool EntryNumber(const EntryCells& e, EntryColumn col, uint64_t& value) {
    switch (col) {
      case kColCompress: value = e.v[kColSize]; return e.Has(kColSize);
      case kColOriginal: value = e.original; return e.Has(kColOriginal);
      default: value = e.v[col]; return e.Has(col);
    }
  }

  // Every column's width. A number is as wide as the largest value of its
  // column: only that one is formatted, from a row of the largest values.
  // The numbers of each row are all taken, which costs less than asking
  // which columns show them.
  void MeasureColumns(size_t rows) {
    const size_t n = columns_.size();
    widths_.resize(n);
    std::vector<size_t> formatted, names;
    for (size_t c = 0; c < n; ++c) {
      widths_[c] = DisplayWidth(columns_[c].header);
      if (makes_[c] == Makes::Formatted) formatted.push_back(c);
      if (makes_[c] == Makes::Name) names.push_back(c);
    }
    EntryCells largest;
    uint64_t largestCount = 0;
    char buf[kScratch];
    for (size_t row = 0; row < rows; ++row) {
      if (entries_) {
        entry_ = entries_->Cells(row);
        for (size_t i = 0; i < kLocatorColumns; ++i) {
          if ((entry_.present >> i) & 1) largest.v[i] = std::max(largest.v[i], entry_.v[i]);
        }
        if (entry_.Has(kColOriginal)) largest.original = std::max(largest.original, entry_.original);
        largest.present |= entry_.present;
      } else {
        largestCount = std::max(largestCount, tally_->Number(row));
      }
      for (size_t c : formatted) widths_[c] = std::max(widths_[c], entry_.CellTo(buf, columns_[c].entry));
      for (size_t c : names) widths_[c] = std::max(widths_[c], NameCell(row, c).width);
    }
    if (rows == 0) return;
    for (size_t c = 0; c < n; ++c) {
      size_t w = 0;
      uint64_t value = 0;
      switch (makes_[c]) {
        case Makes::RowNumber: w = FormatDecimalTo(buf, rows - 1); break;
        case Makes::Tick: w = 3; break;
        case Makes::TallyCount: w = FormatDecimalTo(buf, largestCount); break;
        case Makes::Hex:
          if (EntryNumber(largest, columns_[c].entry, value)) w = FormatHexTo(buf, static_cast<uint32_t>(value));
          break;
        case Makes::Thousands:
          if (EntryNumber(largest, columns_[c].entry, value)) w = FormatThousandsTo(buf, value);
          break;
        default: break;  // measured cell by cell
      }
      widths_[c] = std::max(widths_[c], w);
    }
  }

  void WriteRow(Sink& out, size_t row) {
    if (entries_) entry_ = entries_->Cells(row);
    // Names first: their length decides the room the line needs.
    size_t room = lineRoom_;
    for (size_t c : nameColumns_) {
      nameCells_[c] = NameCell(row, c);
      room += nameCells_[c].size;
    }
    char* const start = out.Room(room);
    char* p = start;
    *p++ = ' ';
    char buf[kScratch];
    for (const Step& step : steps_) {
      uint64_t value = 0;
      bool present = true;
      switch (step.makes) {
        case Makes::RowNumber:
          value = row;
          break;
        case Makes::TallyCount:
          value = tally_->Number(row);
          break;
        case Makes::Hex:
        case Makes::Thousands:
          present = EntryNumber(entry_, step.entry, value);
          break;
        case Makes::Tick:
          std::memcpy(buf, (tally_ ? tally_->Checked(row) : entry_.checked) ? "[x]" : "[ ]", 3);
          p = Put(p, step, {buf, 3, 3, true});
          continue;
        case Makes::Name:
          p = Put(p, step, nameCells_[step.column]);
          continue;
        case Makes::Formatted: {
          const size_t len = entry_.CellTo(buf, step.entry);
          p = Put(p, step, {buf, len, len, true});
          continue;
        }
      }
      p = PutNumber(p, step, present, value);
    }
    out.Commit(EndLine(start, p));
  }

  // The name cell of column c, from the row's stored bytes (entry_ holds the
  // row of an entry table). Inlined: a call costs more than a plain name.
  [[gnu::always_inline]] Cell NameCell(size_t row, size_t c) {
    std::string_view raw;
    NameEncoding encoding = NameEncoding::Cp932;
    switch (columns_[c].shows) {
      case Shows::TallyCaption: raw = tally_->Caption(row); break;
      case Shows::Marks: raw = MarkList(entry_.marks); break;
      case Shows::Caption: raw = entry_.caption, encoding = entry_.encoding; break;
      default: raw = entry_.folder, encoding = entry_.encoding; break;
    }
    if (PlainAscii(raw)) return {raw.data(), raw.size(), raw.size()};
    return ConvertedName(c, raw, encoding);
  }

  // Kept apart from NameCell, whose plain ASCII path it would slow down.
  [[gnu::noinline]] Cell ConvertedName(size_t c, std::string_view raw, NameEncoding encoding) {
    NameMemo& m = names_[c];
    if (!m.any || raw != m.raw || encoding != m.encoding) {
      m.any = true;
      m.raw.assign(raw);
      m.encoding = encoding;
      Convert(m, raw, encoding);
    }
    return {m.text.data(), m.text.size(), m.width};
  }

  // A name that differs from the last one: the second pass takes the next
  // kept text, which the first pass converted from the same name.
  void Convert(NameMemo& m, std::string_view raw, NameEncoding encoding) {
    if (writing_ && m.next < m.keptEnds.size()) {
      const size_t begin = m.next == 0 ? 0 : m.keptEnds[m.next - 1].first;
      const auto [end, width] = m.keptEnds[m.next++];
      m.text = std::string_view(m.kept).substr(begin, end - begin);
      m.width = width;
      return;
    }
    m.own = TerminalName(raw, encoding);
    m.text = m.own;
    m.width = DisplayWidth(m.own);
    if (writing_ || !m.keeping) return;
    const size_t kept = m.kept.size() + m.own.size();
    if (kept + (m.keptEnds.size() + 1) * sizeof m.keptEnds[0] > kKeptBytes) {
      m.keeping = false;  // from here on the second pass converts again, in the same order
      return;
    }
    m.kept += m.own;
    m.keptEnds.emplace_back(static_cast<uint32_t>(kept), static_cast<uint32_t>(m.width));
  }

  // The cell at p, padded to its column's width, then the two spaces
  // between columns. Fixed-size stores may write past the cell, within the
  // room asked for.
  static char* Put(char* p, const Step& step, const Cell& cell) {
    const size_t pad = step.width - std::min(step.width, cell.width);
    if (step.right) p = Spaces(p, pad);
    if (cell.inScratch) std::memcpy(p, cell.text, kScratch);
    else if (cell.size > 0) std::memcpy(p, cell.text, cell.size);
    p += cell.size;
    if (step.last) return p;
    return Spaces(p, step.right ? 2 : pad + 2);
  }

  // A number cell at p: right-aligned, it is written back from the column's
  // end, with no length to work out first.
  static char* PutNumber(char* p, const Step& step, bool present, uint64_t value) {
    if (!step.right) {
      char buf[kScratch];
      size_t len = 0;
      if (present && step.makes == Makes::Hex) len = FormatHexTo(buf, static_cast<uint32_t>(value));
      else if (present && step.makes == Makes::Thousands) len = FormatThousandsTo(buf, value);
      else if (present) len = FormatDecimalTo(buf, value);
      return Put(p, step, {buf, len, len, true});
    }
    char* const end = p + step.width;
    Spaces(p, step.last ? step.width : step.width + 2);  // the cell and the gap after it
    if (present && step.makes == Makes::Hex) FormatHexBefore(end, static_cast<uint32_t>(value));
    else if (present && step.makes == Makes::Thousands) FormatThousandsBefore(end, value);
    else if (present) FormatDecimalBefore(end, value);
    return step.last ? end : end + 2;
  }

  // The line from start to p without its trailing spaces, and a newline.
  static char* EndLine(char* start, char* p) {
    while (p > start && p[-1] == ' ') --p;
    *p++ = '\n';
    return p;
  }

  // n spaces at p; a short run as one fixed-size store.
  static char* Spaces(char* p, size_t n) {
    if (n <= kScratch) std::memset(p, ' ', kScratch);
    else std::memset(p, ' ', n);
    return p + n;
  }

  // The row's mark ids, "overlap,encrypted". Out of line: NameCell, inlined
  // wherever a name is read, stays small.
  [[gnu::noinline]] std::string_view MarkList(uint16_t marks) {
    marks_.clear();
    ForEachMark(marks, [&](EntryMark m) {
      if (!marks_.empty()) marks_ += ',';
      marks_ += MarkId(m);
    });
    return marks_;
  }

  const EntryTable* entries_;
  const TallyTable* tally_;
  size_t rows_;
  std::vector<Column> columns_;  // of every table shown
  std::vector<Makes> makes_;     // by column
  std::vector<size_t> widths_;   // by column
  std::deque<NameMemo> names_;   // by column; never moved, as their texts are viewed
  bool measured_ = false;
  bool writing_ = false;  // the second pass
  std::vector<Step> steps_;          // the columns of the table being written
  std::vector<size_t> nameColumns_;  // those of them of Makes::Name
  size_t lineRoom_ = 0;  // what its every line may need beyond its names
  std::vector<Cell> nameCells_;  // the row's names, by column
  EntryCells entry_;  // the row being read, of an entry table
  std::string marks_;  // its mark list
};

std::string Count(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

static void FillJson(JsonWriter& w, const ProgramState& s, const std::vector<std::string>& messages) {
  w.BeginObject();
  w.Key("kind").String(KindName(s.ArchiveKind));
  w.Key("panels").BeginArray();
  for (size_t p = 0; p < StatusBar::kPanels; ++p) w.Cp932String(s.StatusBar1.Panel(p));
  w.EndArray();
  w.Key("gauge").Number(s.Gauge1.Progress());
  w.Key("log").BeginArray();
  for (size_t i = 0; i < s.Memo1.Count(); ++i) {
    const auto [head, tail] = s.Memo1.Parts(i);
    w.Cp932String(head, tail);
  }
  w.EndArray();
  w.Key("locator");
  WriteLocator(w, s.ListView1);
  w.Key("listing");
  WriteListing(w, s.ListView2);
  w.Key("tally");
  WriteTally(w, s.ListView5);
  WriteEntryDetails(w, s.ListView1);
  w.Key("messages").BeginArray();
  for (const std::string& m : messages) w.Cp932String(m);
  w.EndArray();
  w.EndObject();
}

std::string StateJson(const ProgramState& s, const std::vector<std::string>& messages) {
  JsonWriter w(2);
  FillJson(w, s, messages);
  return std::move(w.Text());
}

bool WriteStateJson(const ProgramState& s, const std::vector<std::string>& messages, std::FILE* out) {
  JsonWriter w(2, out);
  FillJson(w, s, messages);
  return w.Flush();
}

namespace {

// The log's lines as the terminal gets them: " ", the line, "\n". A line is
// a name and one of the program's texts, which recur line after line: each
// distinct text is converted once. Converting the parts apart gives the
// whole's conversion when the tables read both (the name then ends on a
// character's end, and ForTerminal takes a character at a time); any other
// line goes whole.
class TerminalLog {
 public:
  void Write(Sink& out, std::string_view head, std::string_view tail) {
    const std::string* known = tails_.Get(tail, [](std::string_view cp932) -> std::optional<std::string> {
      std::string utf8(cp932.size() * 3, '\0');
      const size_t n = Cp932ToUtf8To(cp932, utf8.data());
      if (n == kNeedsIconv) return std::nullopt;
      utf8.resize(n);
      return ForTerminal(utf8);
    });
    if (known) {
      char* p = out.Room(head.size() * 3 + known->size() + 2);
      p[0] = ' ';
      const size_t n = Cp932ToUtf8To(head, p + 1);
      if (n != kNeedsIconv && !ForTerminalChanges(std::string_view(p + 1, n))) {
        std::memcpy(p + 1 + n, known->data(), known->size());
        p[1 + n + known->size()] = '\n';
        out.Commit(p + 2 + n + known->size());
        return;
      }
    }
    // Appended rather than " " + string: GCC 12 warns (-Wrestrict) on that.
    std::string line(head);
    line += tail;
    std::string text = " ";
    text += ForTerminal(CellToUtf8(line));
    text += '\n';
    out.Write(text);
  }

 private:
  RecurringTexts tails_;  // the log lines' texts, for the terminal
};

}  // namespace

static void WriteText(Sink& out, const ProgramState& s) {
  const UiTexts& ui = Ui();
  auto u = [](const std::string& cp932) { return CellToUtf8(cp932); };

  out.Write("kind     " + std::string(KindName(s.ArchiveKind)) + "\n");
  for (size_t p = 0; p < StatusBar::kPanels; ++p) {
    std::string text = ForTerminal(u(s.StatusBar1.Panel(p)));
    out.Write("panel " + std::to_string(p) + (text.empty() ? "" : "  " + text) + "\n");
  }
  out.Write("gauge    " + std::to_string(s.Gauge1.Progress()) + "\n");

  const EntryTable& listing = s.ListView2;
  const EntryTable& locator = s.ListView1;
  std::vector<Column> listingColumns{{"#", Align::Right, Shows::RowNumber},
                                     {"", Align::Left, Shows::Tick},
                                     {u(ui.colFileName), Align::Left, Shows::Caption},
                                     {u(ui.colRatio), Align::Right, Shows::Entry, kColRatio},
                                     {u(ui.colCompress), Align::Right, Shows::Entry, kColCompress},
                                     {u(ui.colOriginal), Align::Right, Shows::Entry, kColOriginal},
                                     {u(ui.colPath), Align::Left, Shows::Folder}};
  // Only a listing with a marked row grows the column, so others stay as they were.
  bool marked = false;
  for (size_t row = 0; row < listing.Count() && !marked; ++row) marked = listing.Marks(row) != 0;
  if (marked) listingColumns.insert(listingColumns.begin() + 3, Column{"marks", Align::Left, Shows::Marks});
  const std::vector<Column> locatorColumns{{"#", Align::Right, Shows::RowNumber},
                                           {u(ui.colFileName), Align::Left, Shows::Caption},
                                           {u(ui.colOffset), Align::Right, Shows::Entry, kColOffset},
                                           {u(ui.colStart), Align::Right, Shows::Entry, kColStart},
                                           {u(ui.colSize), Align::Right, Shows::Entry, kColSize},
                                           {u(ui.colExt), Align::Right, Shows::Entry, kColExt},
                                           {u(ui.colExtI), Align::Right, Shows::Entry, kColExtI},
                                           {u(ui.colOffsetI), Align::Right, Shows::Entry, kColOffsetI}};
  // Both show the same rows as a rule: one table measures them once.
  TextTable listingTable(&listing, nullptr, listing.Count());
  std::optional<TextTable> otherRows;
  TextTable& locatorTable =
      &locator == &listing ? listingTable : otherRows.emplace(&locator, nullptr, locator.Count());
  const std::vector<size_t> listingShown = listingTable.AddAll(listingColumns);
  const std::vector<size_t> locatorShown = locatorTable.AddAll(locatorColumns);

  out.Write("\nlisting: " + Count(listing.Count(), "entry", "entries") + ", " +
            std::to_string(CountChecked(s)) + " ticked\n");
  if (listing.Count() > 0) listingTable.Write(out, listingShown);
  out.Write("\nlocator: " + Count(locator.Count(), "row", "rows") + "\n");
  if (locator.Count() > 0) locatorTable.Write(out, locatorShown);

  const TallyTable& tally = s.ListView5;
  out.Write("\ntally: " + Count(tally.Count(), "extension", "extensions") + "\n");
  if (tally.Count() > 0) {
    TextTable table(nullptr, &tally, tally.Count());
    table.Write(out, table.AddAll({{"", Align::Left, Shows::Tick},
                                   {u(ui.colExtension), Align::Left, Shows::TallyCaption},
                                   {u(ui.colCount), Align::Right, Shows::TallyCount}}));
  }

  out.Write("\nlog: " + Count(s.Memo1.Count(), "line", "lines") + "\n");
  TerminalLog log;
  for (size_t i = 0; i < s.Memo1.Count(); ++i) {
    const auto [head, tail] = s.Memo1.Parts(i);
    log.Write(out, head, tail);
  }
}

std::string StateText(const ProgramState& s) {
  std::string text;
  Sink sink(&text);
  WriteText(sink, s);
  sink.Flush();
  return text;
}

bool WriteStateText(const ProgramState& s, std::FILE* out) {
  Sink sink(out);
  WriteText(sink, s);
  return sink.Flush();
}

}  // namespace brim::cli
