#include "cli/state_printer.h"

#include <algorithm>

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

// ---- Text tables ----

enum class Align { Left, Right };

struct Column {
  std::string header;  // UTF-8
  Align align;
};

class TextTable {
 public:
  explicit TextTable(std::vector<Column> columns) : columns_(std::move(columns)) {
    widths_.resize(columns_.size());
    for (size_t c = 0; c < columns_.size(); ++c) widths_[c] = DisplayWidth(columns_[c].header);
  }
  void AddRow(std::vector<std::string> cellsUtf8) {
    for (size_t c = 0; c < cellsUtf8.size(); ++c) {
      cellsUtf8[c] = ForTerminal(cellsUtf8[c]);
      widths_[c] = std::max(widths_[c], DisplayWidth(cellsUtf8[c]));
    }
    rows_.push_back(std::move(cellsUtf8));
  }
  void AppendTo(std::string& out) const {
    std::vector<std::string> headers;
    for (const Column& c : columns_) headers.push_back(c.header);
    AppendLine(out, headers);
    for (const auto& row : rows_) AppendLine(out, row);
  }

 private:
  void AppendLine(std::string& out, const std::vector<std::string>& cells) const {
    std::string line = " ";
    for (size_t c = 0; c < cells.size(); ++c) {
      size_t pad = widths_[c] - std::min(widths_[c], DisplayWidth(cells[c]));
      bool last = c + 1 == cells.size();
      if (columns_[c].align == Align::Right) line.append(pad, ' ');
      line += cells[c];
      if (columns_[c].align == Align::Left && !last) line.append(pad, ' ');
      if (!last) line += "  ";
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out += line;
    out += '\n';
  }

  std::vector<Column> columns_;
  std::vector<size_t> widths_;
  std::vector<std::vector<std::string>> rows_;
};

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

std::string StateText(const ProgramState& s) {
  const UiTexts& ui = Ui();
  auto u = [](const std::string& cp932) { return CellToUtf8(cp932); };
  std::string out;

  out += "kind     " + std::string(KindName(s.ArchiveKind)) + "\n";
  for (size_t p = 0; p < StatusBar::kPanels; ++p) {
    std::string text = ForTerminal(u(s.StatusBar1.Panel(p)));
    out += "panel " + std::to_string(p) + (text.empty() ? "" : "  " + text) + "\n";
  }
  out += "gauge    " + std::to_string(s.Gauge1.Progress()) + "\n";

  const EntryTable& listing = s.ListView2;
  out += "\nlisting: " + Count(listing.Count(), "entry", "entries") + ", " +
         std::to_string(CountChecked(s)) + " ticked\n";
  if (listing.Count() > 0) {
    TextTable t({{"#", Align::Right}, {"", Align::Left}, {u(ui.colFileName), Align::Left},
                 {u(ui.colRatio), Align::Right}, {u(ui.colCompress), Align::Right},
                 {u(ui.colOriginal), Align::Right}, {u(ui.colPath), Align::Left}});
    for (size_t row = 0; row < listing.Count(); ++row) {
      const NameEncoding e = listing.Encoding(row);
      t.AddRow({std::to_string(row), Tick(listing.Checked(row)), Utf8Of(listing.Caption(row), e),
                listing.CellText(row, kColRatio), listing.CellText(row, kColCompress),
                listing.CellText(row, kColOriginal), Utf8Of(listing.Folder(row), e)});
    }
    t.AppendTo(out);
  }

  const EntryTable& locator = s.ListView1;
  out += "\nlocator: " + Count(locator.Count(), "row", "rows") + "\n";
  if (locator.Count() > 0) {
    TextTable t({{"#", Align::Right}, {u(ui.colFileName), Align::Left},
                 {u(ui.colOffset), Align::Right}, {u(ui.colStart), Align::Right},
                 {u(ui.colSize), Align::Right}, {u(ui.colExt), Align::Right},
                 {u(ui.colExtI), Align::Right}, {u(ui.colOffsetI), Align::Right}});
    for (size_t row = 0; row < locator.Count(); ++row) {
      std::vector<std::string> cells{std::to_string(row), Utf8Of(locator.Caption(row), locator.Encoding(row))};
      for (size_t col = 0; col < kLocatorColumns; ++col) {
        cells.push_back(locator.CellText(row, static_cast<EntryColumn>(kColOffset + col)));
      }
      t.AddRow(std::move(cells));
    }
    t.AppendTo(out);
  }

  const TallyTable& tally = s.ListView5;
  out += "\ntally: " + Count(tally.Count(), "extension", "extensions") + "\n";
  if (tally.Count() > 0) {
    TextTable t({{"", Align::Left}, {u(ui.colExtension), Align::Left}, {u(ui.colCount), Align::Right}});
    for (size_t row = 0; row < tally.Count(); ++row) {
      t.AddRow({Tick(tally.Checked(row)), u(tally.Caption(row)), tally.Text(row, 1)});
    }
    t.AppendTo(out);
  }

  out += "\nlog: " + Count(s.Memo1.Count(), "line", "lines") + "\n";
  for (const std::string& line : s.Memo1.Lines()) out += " " + ForTerminal(u(line)) + "\n";
  return out;
}

}  // namespace brim::cli
