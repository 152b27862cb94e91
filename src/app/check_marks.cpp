#include "app/check_marks.h"

#include <unordered_set>

#include "app/dangerous_extensions.h"
#include "base/cp932.h"

namespace brim {

namespace {
// The tally key of a listing row, as the tally counted it; `key` is scratch
// space the result may live in.
std::string_view RowKey(const EntryTable& rows, size_t row, std::string& key) {
  const std::string_view caption = rows.Caption(row);
  if (rows.Encoding(row) == NameEncoding::Utf8) return key = TallyKeyOf(caption, NameEncoding::Utf8);
  return ExtensionKeyInto(key, caption, SplitName(caption));
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
    if (wanted.count(RowKey(s.ListView2, row, key)) > 0) s.ListView2.SetChecked(row, true);
  }
}

void CheckDangerous(ProgramState& s) {
  std::string key;
  for (size_t row = 0; row < s.ListView2.Count(); ++row) {
    if (IsDangerousExtension(RowKey(s.ListView2, row, key))) s.ListView2.SetChecked(row, true);
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
