// The two program-wide buffers whose bytes the rewrite writes into headers:
// the masked extension ("$" over its last byte) and the LZH method id.
#pragma once
#include <string>
#include <string_view>

#include "app/program_state.h"

namespace brim {

// NameMask := the bytes of text with the last one turned into "$"; an empty
// text leaves NameMask empty. Written over the same bytes of a name, it
// changes only the name's last byte.
void SetNameMask(ProgramState& s, std::string_view text);

// MethodId := the first five bytes of text ("-lh0-").
void SetMethodId(ProgramState& s, std::string_view text);

namespace rewrite {
// The extension of a caption without its dot, in its own case ("" for none
// and for a name ending in a dot). Its last byte is what the mask changes.
std::string MaskSource(std::string_view caption);
}  // namespace rewrite

}  // namespace brim
