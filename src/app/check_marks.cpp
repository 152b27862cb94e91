#include "app/check_marks.h"

#include <unordered_set>

#include "base/cp932.h"

namespace brim {

void CheckByTalliedExtensions(ProgramState& s) {
  // One pass over the listing against the set of ticked captions ticks the
  // same rows as comparing every tally row with every listing row.
  std::unordered_set<std::string> wanted;
  for (size_t t = 0; t < s.ListView5.Count(); ++t) {
    if (s.ListView5.Item(t).checked) wanted.insert(s.ListView5.Item(t).caption);
  }
  if (wanted.empty()) return;
  for (size_t row = 0; row < s.ListView2.Count(); ++row) {
    if (wanted.count(ExtensionKey(s.ListView2.Item(row).caption))) s.ListView2.SetChecked(row, true);
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
    s.ListView2.SetChecked(row, !s.ListView2.Item(row).checked);
  }
}

}  // namespace brim
