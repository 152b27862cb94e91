#include "app/check_marks.h"

#include <unordered_set>

#include "base/cp932.h"

namespace brim {

namespace {

// A row is ticked by an extension any copy of its name has: the copy an
// extractor writes may not be the one the listing shows.
bool CopyIsWanted(const ProgramState& s, size_t row, const std::unordered_set<std::string_view>& wanted) {
  for (const NameCopy& copy : s.ListView2.NameCopies(row)) {
    if (wanted.count(TallyKeyOf(copy.bytes, copy.encoding)) > 0) return true;
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
  if (wanted.empty()) return;
  std::string key;
  for (size_t row = 0; row < s.ListView2.Count(); ++row) {
    const std::string_view caption = s.ListView2.Caption(row);
    const bool found = s.ListView2.Encoding(row) == NameEncoding::Utf8
                           ? wanted.count(key = TallyKeyOf(caption, NameEncoding::Utf8)) > 0
                           : wanted.count(ExtensionKeyInto(key, caption, SplitName(caption))) > 0;
    if (found || CopyIsWanted(s, row, wanted)) s.ListView2.SetChecked(row, true);
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
