#include "app/check_marks.h"

#include <unordered_set>

#include "app/dangerous_extensions.h"
#include "base/cp932.h"

namespace brim {

namespace {

// Whether any key of a listing row satisfies wanted: the caption's key, as
// the tally counted it, or the key of another copy of its name, since the
// copy an extractor writes may not be the one the listing shows.
template <typename Wanted>
bool AnyKey(const EntryTable& rows, size_t row, std::string& key, Wanted wanted) {
  const std::string_view caption = rows.Caption(row);
  if (rows.Encoding(row) == NameEncoding::Utf8) key = TallyKeyOf(caption, NameEncoding::Utf8);
  else ExtensionKeyInto(key, caption, SplitName(caption));
  if (wanted(std::string_view(key))) return true;
  for (const NameCopy& copy : rows.NameCopies(row)) {
    // A ZIP copy keeps its "/" folders; "/" is never part of a character.
    const std::string_view bytes = copy.bytes;
    const size_t slash = bytes.rfind('/');
    const std::string_view file = slash == std::string_view::npos ? bytes : bytes.substr(slash + 1);
    key = TallyKeyOf(file, copy.encoding);
    if (wanted(std::string_view(key))) return true;
  }
  return false;
}

}  // namespace

void CheckByTalliedExtensions(ProgramState& s) {
  // One pass over the listing against the set of ticked captions ticks the
  // same rows as comparing every tally row with every listing row.
  std::unordered_set<std::string_view> wanted;
  for (size_t t = 0; t < s.ListView5.Count(); ++t) {
    if (s.ListView5.Checked(t)) wanted.insert(s.ListView5.Caption(t));
  }
  CheckHalfNeutralised(s);
  if (wanted.empty()) return;
  std::string key;
  auto isWanted = [&](std::string_view k) { return wanted.count(k) > 0; };
  for (size_t row = 0; row < s.ListView2.Count(); ++row) {
    if (AnyKey(s.ListView2, row, key, isWanted)) s.ListView2.SetChecked(row, true);
  }
}

void CheckHalfNeutralised(ProgramState& s) {
  for (size_t row = 0; row < s.ListView2.Count(); ++row) {
    if (s.ListView2.Marks(row) & kMarkHalfNeutralised) s.ListView2.SetChecked(row, true);
  }
}

void CheckDangerous(ProgramState& s) {
  CheckHalfNeutralised(s);
  for (size_t row = 0; row < s.ListView2.Count(); ++row) {
    if (IsDangerousRow(s.ListView2, row)) s.ListView2.SetChecked(row, true);
  }
}

void CheckAll(ProgramState& s) {
  for (size_t row = 0; row < s.ListView2.Count(); ++row) s.ListView2.SetChecked(row, true);
}

void UncheckAll(ProgramState& s) {
  for (size_t row = 0; row < s.ListView2.Count(); ++row) s.ListView2.SetChecked(row, false);
}

void InvertChecks(ProgramState& s) {
  for (size_t row = 0; row < s.ListView2.Count(); ++row) {
    s.ListView2.SetChecked(row, !s.ListView2.Checked(row));
  }
}

}  // namespace brim
