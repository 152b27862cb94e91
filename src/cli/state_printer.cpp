#include "cli/state_printer.h"

#include <algorithm>
#include <functional>

#include "app/entry_tables.h"
#include "base/ui_texts.h"
#include "cli/json_writer.h"
#include "cli/text_cells.h"

namespace brim::cli {

namespace {

const char* KindName(ArchiveKindType kind) { return kind == ArchiveKindType::Zip ? "zip" : "lzh"; }

void Name(JsonWriter& w, std::string_view bytes, NameEncoding encoding) {
  if (encoding == NameEncoding::Cp932) w.Cp932String(bytes);
  else w.String(bytes);
}

void WriteLocator(JsonWriter& w, const EntryTable& t) {
  w.BeginArray();
  for (size_t row = 0; row < t.Count(); ++row) {
    w.BeginArray();
    Name(w, t.Caption(row), t.Encoding(row));
    for (size_t col = 0; col < kLocatorColumns; ++col) {
      w.Cp932String(t.CellText(row, static_cast<EntryColumn>(kColOffset + col)));
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
    w.Cp932String(t.CellText(row, kColRatio));
    w.Cp932String(t.CellText(row, kColCompress));
    w.Cp932String(t.CellText(row, kColOriginal));
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

struct Column {
  std::string header;  // UTF-8
  Align align;
  // A name: converted and measured once in the first pass and kept for the
  // second. Other cells are ASCII numbers, made again when printed.
  bool kept = false;
};

// Fills out with the cell's UTF-8 text (not yet made safe for a terminal).
using CellText = std::function<void(size_t row, size_t col, std::string& out)>;

bool PlainAscii(std::string_view s) {
  for (char c : s) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b < 0x20 || b >= 0x7F) return false;
  }
  return true;
}

// A table in two passes over its rows: the first finds the column widths,
// the second writes it line by line. No line is held longer than it takes
// to write it.
void WriteTable(Sink& out, const std::vector<Column>& columns, size_t rows, const CellText& cell) {
  const size_t n = columns.size();
  std::vector<size_t> widths(n);
  for (size_t c = 0; c < n; ++c) widths[c] = DisplayWidth(columns[c].header);
  std::string kept;                 // the kept cells' terminal texts, one after another
  std::vector<size_t> keptEnds;     // where each ends in kept
  std::vector<uint32_t> keptWidths; // and its width
  std::string text;
  auto measure = [&](std::string& t) -> size_t {
    if (PlainAscii(t)) return t.size();
    t = ForTerminal(t);
    return DisplayWidth(t);
  };
  for (size_t row = 0; row < rows; ++row) {
    for (size_t c = 0; c < n; ++c) {
      text.clear();
      cell(row, c, text);
      const size_t w = measure(text);
      if (columns[c].kept) {
        kept += text;
        keptEnds.push_back(kept.size());
        keptWidths.push_back(static_cast<uint32_t>(w));
      }
      widths[c] = std::max(widths[c], w);
    }
  }

  std::string line;
  auto put = [&](size_t c, std::string_view t, size_t w) {
    const size_t pad = widths[c] - std::min(widths[c], w);
    const bool last = c + 1 == n;
    if (columns[c].align == Align::Right) line.append(pad, ' ');
    line += t;
    if (columns[c].align == Align::Left && !last) line.append(pad, ' ');
    if (!last) line += "  ";
  };
  auto finish = [&] {
    while (!line.empty() && line.back() == ' ') line.pop_back();
    line += '\n';
    out.Write(line);
  };
  line = " ";
  for (size_t c = 0; c < n; ++c) put(c, columns[c].header, DisplayWidth(columns[c].header));
  finish();
  size_t k = 0;
  for (size_t row = 0; row < rows; ++row) {
    line = " ";
    for (size_t c = 0; c < n; ++c) {
      if (columns[c].kept) {
        const size_t from = k == 0 ? 0 : keptEnds[k - 1];
        put(c, std::string_view(kept).substr(from, keptEnds[k] - from), keptWidths[k]);
        ++k;
      } else {
        text.clear();
        cell(row, c, text);
        const size_t w = measure(text);
        put(c, text, w);
      }
    }
    finish();
  }
}

std::string Tick(bool checked) { return checked ? "[x]" : "[ ]"; }

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
    const std::vector<Column> columns{
        {"#", Align::Right},         {"", Align::Left},
        {u(ui.colFileName), Align::Left, true},
        {u(ui.colRatio), Align::Right}, {u(ui.colCompress), Align::Right},
        {u(ui.colOriginal), Align::Right}, {u(ui.colPath), Align::Left, true}};
    WriteTable(out, columns, listing.Count(), [&](size_t row, size_t col, std::string& t) {
      switch (col) {
        case 0: t += std::to_string(row); break;
        case 1: t += Tick(listing.Checked(row)); break;
        case 2: t += Utf8Of(listing.Caption(row), listing.Encoding(row)); break;
        case 3: t += listing.CellText(row, kColRatio); break;
        case 4: t += listing.CellText(row, kColCompress); break;
        case 5: t += listing.CellText(row, kColOriginal); break;
        default: t += Utf8Of(listing.Folder(row), listing.Encoding(row)); break;
      }
    });
  }

  const EntryTable& locator = s.ListView1;
  out.Write("\nlocator: " + Count(locator.Count(), "row", "rows") + "\n");
  if (locator.Count() > 0) {
    const std::vector<Column> columns{
        {"#", Align::Right},          {u(ui.colFileName), Align::Left, true},
        {u(ui.colOffset), Align::Right}, {u(ui.colStart), Align::Right},
        {u(ui.colSize), Align::Right},   {u(ui.colExt), Align::Right},
        {u(ui.colExtI), Align::Right},   {u(ui.colOffsetI), Align::Right}};
    WriteTable(out, columns, locator.Count(), [&](size_t row, size_t col, std::string& t) {
      if (col == 0) t += std::to_string(row);
      else if (col == 1) t += Utf8Of(locator.Caption(row), locator.Encoding(row));
      else t += locator.CellText(row, static_cast<EntryColumn>(kColOffset + col - 2));
    });
  }

  const TallyTable& tally = s.ListView5;
  out.Write("\ntally: " + Count(tally.Count(), "extension", "extensions") + "\n");
  if (tally.Count() > 0) {
    const std::vector<Column> columns{
        {"", Align::Left}, {u(ui.colExtension), Align::Left, true}, {u(ui.colCount), Align::Right}};
    WriteTable(out, columns, tally.Count(), [&](size_t row, size_t col, std::string& t) {
      if (col == 0) t += Tick(tally.Checked(row));
      else if (col == 1) t += u(tally.Caption(row));
      else t += tally.Text(row, 1);
    });
  }

  out.Write("\nlog: " + Count(s.Memo1.Count(), "line", "lines") + "\n");
  for (const std::string& line : s.Memo1.Lines()) out.Write(" " + ForTerminal(u(line)) + "\n");
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
