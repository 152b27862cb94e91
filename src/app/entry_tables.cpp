#include "app/entry_tables.h"

#include <cstdlib>

namespace brim {

std::string FormatThousands(int64_t value) {
  std::string digits = std::to_string(value);
  bool negative = !digits.empty() && digits[0] == '-';
  if (negative) digits.erase(0, 1);
  std::string out;
  out.reserve(digits.size() + digits.size() / 3 + 1);
  size_t lead = digits.size() % 3;
  if (lead == 0) lead = 3;
  out.append(digits, 0, lead);
  for (size_t i = lead; i < digits.size(); i += 3) {
    out.push_back(',');
    out.append(digits, i, 3);
  }
  return negative ? "-" + out : out;
}

size_t CountChecked(const ProgramState& s) {
  size_t n = 0;
  for (size_t i = 0; i < s.ListView2.Count(); ++i) n += s.ListView2.Item(i).checked ? 1 : 0;
  return n;
}

int64_t FindLocatorRow(const ProgramState& s, const std::string& key) {
  return s.ListView1.FindFirstBySubItem(kColOffset, key);
}

void TallyExtension(ProgramState& s, const std::string& ext) {
  const auto& rows = s.ListView5.RowsWithCaption(ext);
  if (rows.empty()) {
    s.ListView5.Add(ext, {"1"});
    return;
  }
  // Copy: SetSubItem does not touch the caption index, but stay safe.
  const std::vector<uint32_t> matching = rows;
  for (uint32_t row : matching) {
    const auto& subs = s.ListView5.Item(row).subItems;
    long long count = subs.empty() ? 0 : std::atoll(subs[0].c_str());
    s.ListView5.SetSubItem(row, 0, std::to_string(count + 1));
  }
}

}  // namespace brim
