#include "support/table_rows.h"

#include "base/errors.h"
#include "base/file_stream.h"

#include <stdexcept>

#include "base/hex_cell.h"
#include "base/ui_texts.h"

namespace brim::test {

size_t AddEntry(EntryTable& t, std::string_view caption, const std::vector<std::string>& locator,
                RatioStyle ratio, std::string_view folder) {
  NewEntry e;
  e.caption = caption;
  e.folder = folder;
  e.ratio = ratio;
  const size_t row = t.Add(e);
  for (size_t c = 0; c < kLocatorColumns; ++c) {
    const auto col = static_cast<EntryColumn>(kColOffset + c);
    if (c < locator.size() && !locator[c].empty()) t.SetValue(row, col, ParseHexCell(locator[c]));
    else t.SetAbsent(row, col);
  }
  t.SetAbsent(row, kColOriginal);
  return row;
}

size_t AddListed(EntryTable& t, std::string_view caption, uint32_t stored, uint32_t original,
                 RatioStyle ratio, std::string_view folder) {
  NewEntry e;
  e.caption = caption;
  e.folder = folder;
  e.ratio = ratio;
  e.size = stored;
  e.original = original;
  return t.Add(e);
}

std::vector<std::string> LocatorTexts(const EntryTable& t, size_t row) {
  std::vector<std::string> out{std::string(t.Caption(row))};
  for (size_t c = 0; c < kLocatorColumns; ++c) out.push_back(t.CellText(row, static_cast<EntryColumn>(kColOffset + c)));
  return out;
}

std::vector<std::string> ListingTexts(const EntryTable& t, size_t row) {
  std::vector<std::string> out;
  for (size_t c = 0; c <= kListingColumns; ++c) out.push_back(t.Text(row, c));
  return out;
}

void SetPanelText(StatusBar& bar, size_t panel, const std::string& text) {
  const UiTexts& ui = Ui();
  if (panel == 0) {
    if (text.empty()) bar.SetOutcome(AnalysisOutcome::None);
    else if (text == ui.analysed) bar.SetOutcome(AnalysisOutcome::Analysed);
    else if (text == ui.damagedZip) bar.SetOutcome(AnalysisOutcome::DamagedZip);
    else if (text == ui.damagedLzh) bar.SetOutcome(AnalysisOutcome::DamagedLzh);
    else if (text == ui.aborted) bar.SetOutcome(AnalysisOutcome::Aborted);
    else throw std::invalid_argument("no outcome shows " + text);
  } else if (panel == 1) {
    if (text.empty()) bar.ClearDetail();
    else if (text.rfind("Level=", 0) == 0) bar.SetLzhLevel(static_cast<uint8_t>(std::stoul(text.substr(6))));
    else bar.SetLeadingBytes(std::stoull(text));
  } else {
    bar.SetProgress(text);
  }
}

void NoteAnalysedFile(ProgramState& s, const std::string& path) {
  s.AnalysedFile.reset();
  try {
    s.AnalysedFile = FileStream::Open(path, FileStream::Mode::Read).Identity();
  } catch (const CommandError&) {
  }
}

}  // namespace brim::test
