// The bodies of attachments as a message carries them: decoded from their
// transfer encoding, and an altered archive encoded back in the style the
// original was written in (line length, line ends, a final line end), so
// that a part keeps its look and, where the lengths allow, its line layout.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brim::mail {

enum class BodyEncoding { Raw, Base64, QuotedPrintable, Uuencode };

// The bytes of an encoded body, or nullopt when readers could disagree on
// them: base64 with a byte outside its alphabet or data after the padding,
// a uuencoded body without its "begin" line.
std::optional<std::string> DecodeBody(BodyEncoding encoding, std::string_view encoded);

// bytes encoded as original was: base64 in lines of the original's first
// line's length, quoted-printable with soft breaks, uuencode between the
// original's own "begin" and "end" lines; with the original's line end and
// with a final line end when the original had one.
std::string EncodeLike(BodyEncoding encoding, std::string_view original, std::string_view bytes);

// "\r\n" when the first line of text ends so, else "\n".
std::string_view LineEndOf(std::string_view text);

// A uuencoded block inside a text body: "begin MODE NAME" ... "end".
struct UuBlock {
  size_t begin = 0;  // the "begin" line
  size_t end = 0;    // past the "end" line's line end
  std::string name;  // as the "begin" line gives it
};
// The blocks of body in order. A "begin" line without an "end" line reaches
// to the end of body.
std::vector<UuBlock> FindUuBlocks(std::string_view body);

}  // namespace brim::mail
