// Rows for the entry tables written the way the window's tables would hold
// them, for tests that fill the tables by hand.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "app/controls.h"
#include "app/program_state.h"
#include "app/tables.h"

namespace brim::test {

// Appends a row: the locator cells as hex texts in column order (an empty or
// missing cell is absent), then the stored and original sizes of the listing
// (its ratio, "Compress" and "Original" cells come from them) and the folder.
size_t AddEntry(EntryTable& t, std::string_view caption, const std::vector<std::string>& locator = {},
                RatioStyle ratio = RatioStyle::SpaceSaved, std::string_view folder = {});
// The same with the listing's sizes given apart from the locator's.
size_t AddListed(EntryTable& t, std::string_view caption, uint32_t stored, uint32_t original,
                 RatioStyle ratio = RatioStyle::SpaceSaved, std::string_view folder = {});

// The row's locator texts, caption first.
std::vector<std::string> LocatorTexts(const EntryTable& t, size_t row);
// The row's listing texts, caption first.
std::vector<std::string> ListingTexts(const EntryTable& t, size_t row);

// Sets a status panel from the text it would show: panel 0 an outcome's text
// ("" for none), panel 1 "Level=N" or a leading byte count ("" for none),
// panel 2 any progress text.
void SetPanelText(StatusBar& bar, size_t panel, const std::string& text);

// Notes the file at path as the one the analysis read, as it is now (left
// unset when it cannot be opened), for tests that fill the tables by hand.
void NoteAnalysedFile(ProgramState& s, const std::string& path);

}  // namespace brim::test
