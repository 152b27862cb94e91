#include "cli/state_printer.h"

#include <algorithm>
#include <cstring>

#include "app/entry_tables.h"
#include "base/hex_cell.h"
#include "base/ui_texts.h"
#include "cli/json_writer.h"
#include "cli/text_cells.h"

namespace brim::cli {

namespace {

const char* KindName(ArchiveKindType kind) { return kind == ArchiveKindType::Zip ? "zip" : "lzh"; }

void Name(JsonWriter& w, std::string_view bytes, NameEncoding encoding) {
  if (encoding == NameEncoding::Cp932) w.Cp932String(bytes);
  else w.String(NameToUtf8(bytes, encoding));  // composed, as every view shows it
}

void WriteLocator(JsonWriter& w, const EntryTable& t) {
  w.BeginArray();
  for (size_t row = 0; row < t.Count(); ++row) {
    w.BeginArray();
    Name(w, t.Caption(row), t.Encoding(row));
    char buf[32];
    for (size_t col = 0; col < kLocatorColumns; ++col) {
      w.Plain(std::string_view(buf, t.CellTo(buf, row, static_cast<EntryColumn>(kColOffset + col))));
    }
    w.EndArray();
  }
  w.EndArray();
}

void WriteListing(JsonWriter& w, const EntryTable& t) {
  w.BeginArray();
  for (size_t row = 0; row < t.Count(); ++row) {
    w.BeginArray();
    Name(w, t.Caption(row), t.Encoding(row));
    char buf[32];
    for (EntryColumn col : {kColRatio, kColCompress, kColOriginal}) {
      w.Plain(std::string_view(buf, t.CellTo(buf, row, col)));
    }
    Name(w, t.Folder(row), t.Encoding(row));
    w.Bool(t.Checked(row));
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
    w.BeginObject();
    w.Key("row").Number(static_cast<int64_t>(row));
    w.Key("encoding").Plain(EncodingName(t.Encoding(row)));
    w.Key("marks").BeginArray();
    for (int i = 0; i < kEntryMarkCount; ++i) {
      if (t.Marks(row) & MarkAt(i)) w.String(MarkId(MarkAt(i)));
    }
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

std::string Utf8Of(std::string_view bytes, NameEncoding encoding) {
  return encoding == NameEncoding::Cp932 ? CellToUtf8(bytes) : NameToUtf8(bytes, encoding);
}

// ---- Text output ----

// Where the text goes: a file through a 64 KiB buffer, or a string.
class Sink {
 public:
  explicit Sink(std::FILE* file) : file_(file) { buf_.reserve(kBlock + 4096); }
  explicit Sink(std::string* text) : text_(text) {}
  void Write(std::string_view v) {
    if (text_) {
      text_->append(v);
      return;
    }
    buf_.append(v);
    if (buf_.size() >= kBlock) Flush();
  }
  bool Flush() {
    if (file_ && !buf_.empty()) {
      if (std::fwrite(buf_.data(), 1, buf_.size(), file_) != buf_.size()) failed_ = true;
      buf_.clear();
    }
    return !failed_;
  }

 private:
  static constexpr size_t kBlock = 64 * 1024;
  std::FILE* file_ = nullptr;
  std::string* text_ = nullptr;
  std::string buf_;
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

bool PlainAscii(std::string_view s) {
  for (char c : s) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b < 0x20 || b >= 0x7F) return false;
  }
  return true;
}

// A table in two passes over its rows: the first finds the column widths,
// from the largest value of a number column and by measuring each name; the
// second writes line by line, formatting each number once and converting
// names again (cheaper than keeping them).
class TextTable {
 public:
  TextTable(std::vector<Column> columns, const EntryTable* entries, const TallyTable* tally)
      : columns_(std::move(columns)), entries_(entries), tally_(tally) {}

  void Write(Sink& out, size_t rows) {
    const size_t n = columns_.size();
    widths_.assign(n, 0);
    for (size_t c = 0; c < n; ++c) widths_[c] = DisplayWidth(columns_[c].header);
    char buf[32];
    for (size_t c = 0; c < n; ++c) {
      if (!IsName(columns_[c].shows)) widths_[c] = std::max(widths_[c], PlainColumnWidth(columns_[c], rows));
    }
    for (size_t row = 0; row < rows; ++row) {
      for (size_t c = 0; c < n; ++c) {
        if (IsName(columns_[c].shows)) widths_[c] = std::max(widths_[c], NameWidth(row, columns_[c]));
      }
    }

    // assign(1, ' '), not = " ": GCC 12 warns (-Wrestrict) on that.
    line_.assign(1, ' ');
    for (size_t c = 0; c < n; ++c) Put(c, columns_[c].header, DisplayWidth(columns_[c].header));
    Finish(out);
    for (size_t row = 0; row < rows; ++row) {
      line_.assign(1, ' ');
      for (size_t c = 0; c < n; ++c) {
        if (IsName(columns_[c].shows)) {
          const std::string_view text = NameText(row, columns_[c]);
          Put(c, text, PlainAscii(RawName(row, columns_[c]).first) ? text.size() : DisplayWidth(text));
        } else {
          const size_t len = Plain(buf, row, columns_[c]);
          Put(c, std::string_view(buf, len), len);
        }
      }
      Finish(out);
    }
  }

 private:
  static bool IsName(Shows s) {
    return s == Shows::Caption || s == Shows::Folder || s == Shows::TallyCaption || s == Shows::Marks;
  }

  // A cell that is not a name, into buf; its length, which is its width.
  size_t Plain(char* buf, size_t row, const Column& c) const {
    switch (c.shows) {
      case Shows::RowNumber: return FormatDecimalTo(buf, row);
      case Shows::Tick: {
        const bool on = tally_ ? tally_->Checked(row) : entries_->Checked(row);
        std::memcpy(buf, on ? "[x]" : "[ ]", 3);
        return 3;
      }
      case Shows::TallyCount: return FormatDecimalTo(buf, tally_->Number(row));
      default: return entries_->CellTo(buf, row, c.entry);
    }
  }

  // The widest cell of a column that is not a name. A number is as wide as
  // the largest value of its column, so only that one is formatted here and
  // every cell once, when it is written; the other cells are measured by
  // formatting them.
  size_t PlainColumnWidth(const Column& c, size_t rows) const {
    char buf[32];
    if (rows == 0) return 0;
    if (c.shows == Shows::RowNumber) return FormatDecimalTo(buf, rows - 1);
    if (c.shows == Shows::Tick) return 3;
    if (c.shows == Shows::Entry && c.entry != kColRatio && c.entry != kColPath) {
      const EntryColumn stored = c.entry == kColCompress ? kColSize : c.entry;
      bool any = false;
      uint64_t largest = 0;
      for (size_t row = 0; row < rows; ++row) {
        if (!entries_->Has(row, stored)) continue;
        any = true;
        largest = std::max<uint64_t>(largest, c.entry == kColOriginal ? entries_->Original(row)
                                                                      : entries_->Value(row, stored));
      }
      if (!any) return 0;
      if (c.entry == kColCompress || c.entry == kColOriginal) return FormatThousandsTo(buf, largest);
      return FormatHexTo(buf, static_cast<uint32_t>(largest));
    }
    size_t widest = 0;
    for (size_t row = 0; row < rows; ++row) widest = std::max(widest, Plain(buf, row, c));
    return widest;
  }

  // The name cell's stored bytes and their encoding.
  std::pair<std::string_view, NameEncoding> RawName(size_t row, const Column& c) const {
    if (c.shows == Shows::TallyCaption) return {tally_->Caption(row), NameEncoding::Cp932};
    if (c.shows == Shows::Marks) return {MarkList(row), NameEncoding::Cp932};
    return {c.shows == Shows::Caption ? entries_->Caption(row) : entries_->Folder(row), entries_->Encoding(row)};
  }

  // The name cell as the terminal gets it. Names are converted again on the
  // second pass rather than kept: keeping them cost more memory per row than
  // the table itself holds.
  std::string_view NameText(size_t row, const Column& c) {
    const auto [raw, encoding] = RawName(row, c);
    if (PlainAscii(raw)) return raw;  // reads the same in both encodings and needs no change
    // Rows of one folder follow each other: their folder is converted once.
    if (raw == nameRaw_ && encoding == nameEncoding_) return name_;
    nameRaw_.assign(raw);
    nameEncoding_ = encoding;
    name_ = ForTerminal(Utf8Of(raw, encoding));
    return name_;
  }

  size_t NameWidth(size_t row, const Column& c) {
    const auto [raw, encoding] = RawName(row, c);
    if (PlainAscii(raw)) return raw.size();
    if (raw == widthRaw_ && encoding == widthEncoding_) return nameWidth_;
    nameWidth_ = DisplayWidth(NameText(row, c));
    widthRaw_.assign(raw);
    widthEncoding_ = encoding;
    return nameWidth_;
  }

  void Put(size_t c, std::string_view t, size_t w) {
    const size_t pad = widths_[c] - std::min(widths_[c], w);
    const bool last = c + 1 == columns_.size();
    if (columns_[c].align == Align::Right) line_.append(pad, ' ');
    line_ += t;
    if (columns_[c].align == Align::Left && !last) line_.append(pad, ' ');
    if (!last) line_ += "  ";
  }

  void Finish(Sink& out) {
    while (!line_.empty() && line_.back() == ' ') line_.pop_back();
    line_ += '\n';
    out.Write(line_);
  }

  std::string_view MarkList(size_t row) const {
    marks_.clear();
    for (int i = 0; i < kEntryMarkCount; ++i) {
      if (!(entries_->Marks(row) & MarkAt(i))) continue;
      if (!marks_.empty()) marks_ += ',';
      marks_ += MarkId(MarkAt(i));
    }
    return marks_;
  }

  std::vector<Column> columns_;
  mutable std::string marks_;  // the last row's mark list
  const EntryTable* entries_;
  const TallyTable* tally_;
  std::vector<size_t> widths_;
  std::string name_;  // the last name converted for the terminal
  std::string nameRaw_;  // its stored bytes
  NameEncoding nameEncoding_ = NameEncoding::Cp932;
  std::string widthRaw_;  // the last name measured, and its width
  NameEncoding widthEncoding_ = NameEncoding::Cp932;
  size_t nameWidth_ = 0;
  std::string line_;
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
  for (const std::string& line : s.Memo1.Lines()) w.Cp932String(line);
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
  out.Write("\nlisting: " + Count(listing.Count(), "entry", "entries") + ", " +
            std::to_string(CountChecked(s)) + " ticked\n");
  if (listing.Count() > 0) {
    std::vector<Column> columns{{"#", Align::Right, Shows::RowNumber},
                                {"", Align::Left, Shows::Tick},
                                {u(ui.colFileName), Align::Left, Shows::Caption},
                                {u(ui.colRatio), Align::Right, Shows::Entry, kColRatio},
                                {u(ui.colCompress), Align::Right, Shows::Entry, kColCompress},
                                {u(ui.colOriginal), Align::Right, Shows::Entry, kColOriginal},
                                {u(ui.colPath), Align::Left, Shows::Folder}};
    // Only a listing with a marked row grows the column, so others stay as they were.
    bool marked = false;
    for (size_t row = 0; row < listing.Count() && !marked; ++row) marked = listing.Marks(row) != 0;
    if (marked) columns.insert(columns.begin() + 3, Column{"marks", Align::Left, Shows::Marks});
    TextTable(std::move(columns), &listing, nullptr).Write(out, listing.Count());
  }

  const EntryTable& locator = s.ListView1;
  out.Write("\nlocator: " + Count(locator.Count(), "row", "rows") + "\n");
  if (locator.Count() > 0) {
    TextTable({{"#", Align::Right, Shows::RowNumber},
               {u(ui.colFileName), Align::Left, Shows::Caption},
               {u(ui.colOffset), Align::Right, Shows::Entry, kColOffset},
               {u(ui.colStart), Align::Right, Shows::Entry, kColStart},
               {u(ui.colSize), Align::Right, Shows::Entry, kColSize},
               {u(ui.colExt), Align::Right, Shows::Entry, kColExt},
               {u(ui.colExtI), Align::Right, Shows::Entry, kColExtI},
               {u(ui.colOffsetI), Align::Right, Shows::Entry, kColOffsetI}},
              &locator, nullptr)
        .Write(out, locator.Count());
  }

  const TallyTable& tally = s.ListView5;
  out.Write("\ntally: " + Count(tally.Count(), "extension", "extensions") + "\n");
  if (tally.Count() > 0) {
    TextTable({{"", Align::Left, Shows::Tick},
               {u(ui.colExtension), Align::Left, Shows::TallyCaption},
               {u(ui.colCount), Align::Right, Shows::TallyCount}},
              nullptr, &tally)
        .Write(out, tally.Count());
  }

  out.Write("\nlog: " + Count(s.Memo1.Count(), "line", "lines") + "\n");
  for (const std::string& line : s.Memo1.Lines()) {
    // Appended rather than " " + string: GCC 12 warns (-Wrestrict) on that.
    std::string text = " ";
    text += ForTerminal(u(line));
    text += '\n';
    out.Write(text);
  }
}

std::string StateText(const ProgramState& s) {
  std::string text;
  Sink sink(&text);
  WriteText(sink, s);
  return text;
}

bool WriteStateText(const ProgramState& s, std::FILE* out) {
  Sink sink(out);
  WriteText(sink, s);
  return sink.Flush();
}

}  // namespace brim::cli
