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
    bool copyFound = false;  // a name copy extractors may write instead
    for (const NameCopy& copy : found ? std::span<const NameCopy>() : s.ListView2.NameCopies(row)) {
      if (copy.encoding == NameEncoding::Utf8) {
        const std::string_view bytes = copy.bytes;
        const size_t slash = bytes.rfind('/');
        const std::string_view file = slash == std::string_view::npos ? bytes : bytes.substr(slash + 1);
        copyFound |= wanted.count(key = TallyKeyOf(file, NameEncoding::Utf8)) > 0;
      } else {
        copyFound |= wanted.count(ExtensionKeyInto(key, copy.bytes, SplitName(copy.bytes))) > 0;
      }
    }
    if (found || copyFound) s.ListView2.SetChecked(row, true);
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
