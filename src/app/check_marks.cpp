#include "app/check_marks.h"

#include <unordered_set>

#include "base/cp932.h"

namespace brim {

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
    if (found) s.ListView2.SetChecked(row, true);
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
