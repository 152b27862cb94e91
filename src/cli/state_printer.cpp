#include "cli/state_printer.h"

#include <algorithm>

#include "app/entry_tables.h"
#include "base/ui_texts.h"
#include "cli/json_writer.h"
#include "cli/text_cells.h"

namespace brim::cli {

namespace {

constexpr size_t kLocatorColumns = 6;
constexpr size_t kListingColumns = 4;
constexpr size_t kTallyColumns = 1;

// Sub-column col of a row; a row filled short reads empty there.
const std::string& SubItem(const ListItem& item, size_t col) {
  static const std::string empty;
  return col < item.subItems.size() ? item.subItems[col] : empty;
}

const char* KindName(ArchiveKindType kind) { return kind == ArchiveKindType::Zip ? "zip" : "lzh"; }

void WriteRows(JsonWriter& w, const ListView& view, size_t columns, bool withTick) {
  w.BeginArray();
  for (size_t row = 0; row < view.Count(); ++row) {
    const ListItem& item = view.Item(row);
    w.BeginArray().Cp932String(item.caption);
    for (size_t col = 0; col < columns; ++col) w.Cp932String(SubItem(item, col));
    if (withTick) w.Bool(item.checked);
    w.EndArray();
  }
  w.EndArray();
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
  WriteRows(w, s.ListView1, kLocatorColumns, false);
  w.Key("listing");
  WriteRows(w, s.ListView2, kListingColumns, true);
  w.Key("tally");
  WriteRows(w, s.ListView5, kTallyColumns, true);
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

  const ListView& listing = s.ListView2;
  out += "\nlisting: " + Count(listing.Count(), "entry", "entries") + ", " +
         std::to_string(CountChecked(s)) + " ticked\n";
  if (listing.Count() > 0) {
    TextTable t({{"#", Align::Right}, {"", Align::Left}, {u(ui.colFileName), Align::Left},
                 {u(ui.colRatio), Align::Right}, {u(ui.colCompress), Align::Right},
                 {u(ui.colOriginal), Align::Right}, {u(ui.colPath), Align::Left}});
    for (size_t row = 0; row < listing.Count(); ++row) {
      const ListItem& item = listing.Item(row);
      std::vector<std::string> cells{std::to_string(row), Tick(item.checked), u(item.caption)};
      for (size_t col = 0; col < kListingColumns; ++col) cells.push_back(u(SubItem(item, col)));
      t.AddRow(std::move(cells));
    }
    t.AppendTo(out);
  }

  const ListView& locator = s.ListView1;
  out += "\nlocator: " + Count(locator.Count(), "row", "rows") + "\n";
  if (locator.Count() > 0) {
    TextTable t({{"#", Align::Right}, {u(ui.colFileName), Align::Left},
                 {u(ui.colOffset), Align::Right}, {u(ui.colStart), Align::Right},
                 {u(ui.colSize), Align::Right}, {u(ui.colExt), Align::Right},
                 {u(ui.colExtI), Align::Right}, {u(ui.colOffsetI), Align::Right}});
    for (size_t row = 0; row < locator.Count(); ++row) {
      const ListItem& item = locator.Item(row);
      std::vector<std::string> cells{std::to_string(row), u(item.caption)};
      for (size_t col = 0; col < kLocatorColumns; ++col) cells.push_back(u(SubItem(item, col)));
      t.AddRow(std::move(cells));
    }
    t.AppendTo(out);
  }

  const ListView& tally = s.ListView5;
  out += "\ntally: " + Count(tally.Count(), "extension", "extensions") + "\n";
  if (tally.Count() > 0) {
    TextTable t({{"", Align::Left}, {u(ui.colExtension), Align::Left}, {u(ui.colCount), Align::Right}});
    for (size_t row = 0; row < tally.Count(); ++row) {
      const ListItem& item = tally.Item(row);
      t.AddRow({Tick(item.checked), u(item.caption), u(SubItem(item, 0))});
    }
    t.AppendTo(out);
  }

  out += "\nlog: " + Count(s.Memo1.Count(), "line", "lines") + "\n";
  for (const std::string& line : s.Memo1.Lines()) out += " " + ForTerminal(u(line)) + "\n";
  return out;
}

}  // namespace brim::cli
