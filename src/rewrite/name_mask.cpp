#include "rewrite/name_mask.h"

#include "base/cp932.h"

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

std::string rewrite::MaskSource(std::string_view caption) {
  std::string_view ext = ExtensionOf(caption);
  return ext.empty() ? std::string() : std::string(ext.substr(1));
}

}  // namespace brim
