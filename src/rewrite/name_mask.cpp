#include "rewrite/name_mask.h"

namespace brim {

void SetNameMask(ProgramState& s, std::string_view text) {
  s.NameMask.assign(text);
  if (!s.NameMask.empty()) s.NameMask.back() = '$';
}

void SetMethodId(ProgramState& s, std::string_view text) {
  for (size_t i = 0; i < s.MethodId.size(); ++i) {
    s.MethodId[i] = i < text.size() ? static_cast<uint8_t>(text[i]) : 0;
  }
}

}  // namespace brim
