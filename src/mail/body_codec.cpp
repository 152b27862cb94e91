#include "mail/body_codec.h"

#include <gmime/gmime.h>

namespace brim::mail {

namespace {

bool IsBase64Letter(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}
bool IsSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Readers skip what is not base64 in their own ways (some stop at it, some
// pass it, some stop at the first "="), so such a body has no one meaning.
bool StrictBase64(std::string_view text) {
  size_t letters = 0, padding = 0;
  for (unsigned char c : text) {
    if (IsSpace(c)) continue;
    if (c == '=') {
      ++padding;
    } else if (IsBase64Letter(c) && padding == 0) {
      ++letters;
    } else {
      return false;
    }
  }
  return padding <= 2 && (letters + padding) % 4 != 1 && (padding == 0 || (letters + padding) % 4 == 0);
}

std::string_view FirstLine(std::string_view text) {
  const size_t nl = text.find('\n');
  std::string_view line = text.substr(0, nl);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

bool EndsWithLineEnd(std::string_view text) { return !text.empty() && text.back() == '\n'; }

// The lines of text, each without its line end.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    const size_t stop = nl == std::string_view::npos ? text.size() : nl;
    std::string_view line = text.substr(start, stop - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = stop + 1;
  }
  return lines;
}

std::string Base64Lines(std::string_view bytes, size_t width, std::string_view eol, bool finalEol) {
  gchar* flat = g_base64_encode(reinterpret_cast<const guchar*>(bytes.data()), bytes.size());
  const std::string_view all(flat);
  std::string out;
  out.reserve(all.size() + (width ? all.size() / width * eol.size() : 0) + eol.size());
  for (size_t i = 0; i < all.size(); i += width) {
    if (i > 0) out += eol;
    out += all.substr(i, width);
  }
  g_free(flat);
  if (finalEol) out += eol;
  return out;
}

// Quoted-printable for bytes that are not text: every line end, space and
// control byte is encoded, so nothing depends on how a reader treats them.
std::string QuotedPrintable(std::string_view bytes, std::string_view eol, bool finalEol) {
  static const char kHex[] = "0123456789ABCDEF";
  constexpr size_t kWidth = 76;  // before the "=" of a soft break
  std::string out;
  size_t column = 0;
  for (unsigned char c : bytes) {
    const bool literal = c > 32 && c < 127 && c != '=';
    const size_t width = literal ? 1 : 3;
    if (column + width > kWidth - 1) {
      out += '=';
      out += eol;
      column = 0;
    }
    if (literal) {
      out += static_cast<char>(c);
    } else {
      out += '=';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
    column += width;
  }
  if (finalEol) out += eol;
  return out;
}

bool IsBeginLine(std::string_view line) {
  // "begin 644 name": three octal digits as a rule, some writers give four.
  if (line.substr(0, 6) != "begin ") return false;
  size_t i = 6, digits = 0;
  while (i < line.size() && line[i] >= '0' && line[i] <= '7') ++i, ++digits;
  return digits >= 3 && digits <= 4 && i < line.size() && line[i] == ' ';
}

}  // namespace

std::string_view LineEndOf(std::string_view text) {
  const size_t nl = text.find('\n');
  return nl != std::string_view::npos && nl > 0 && text[nl - 1] == '\r' ? "\r\n" : "\n";
}

std::optional<std::string> DecodeBody(BodyEncoding encoding, std::string_view encoded) {
  std::string out;
  switch (encoding) {
    case BodyEncoding::Raw:
      return std::string(encoded);
    case BodyEncoding::Base64: {
      if (!StrictBase64(encoded)) return std::nullopt;
      out.resize(encoded.size() * 3 / 4 + 3);
      int state = 0;
      guint32 save = 0;
      out.resize(g_mime_encoding_base64_decode_step(reinterpret_cast<const unsigned char*>(encoded.data()),
                                                    encoded.size(), reinterpret_cast<unsigned char*>(out.data()),
                                                    &state, &save));
      return out;
    }
    case BodyEncoding::QuotedPrintable: {
      out.resize(encoded.size() + 3);
      int state = 0;
      guint32 save = 0;
      out.resize(g_mime_encoding_quoted_decode_step(reinterpret_cast<const unsigned char*>(encoded.data()),
                                                    encoded.size(), reinterpret_cast<unsigned char*>(out.data()),
                                                    &state, &save));
      return out;
    }
    case BodyEncoding::Uuencode: {
      const std::vector<UuBlock> blocks = FindUuBlocks(encoded);
      if (blocks.empty()) return std::nullopt;
      const std::string_view block = encoded.substr(blocks[0].begin, blocks[0].end - blocks[0].begin);
      const size_t data = block.find('\n');
      if (data == std::string_view::npos) return std::string();
      const std::string_view lines = block.substr(data + 1);
      out.resize(lines.size() + 3);
      int state = GMIME_UUDECODE_STATE_BEGIN;
      guint32 save = 0;
      out.resize(g_mime_encoding_uudecode_step(reinterpret_cast<const unsigned char*>(lines.data()), lines.size(),
                                               reinterpret_cast<unsigned char*>(out.data()), &state, &save));
      return out;
    }
  }
  return std::nullopt;
}

std::string EncodeLike(BodyEncoding encoding, std::string_view original, std::string_view bytes) {
  const std::string_view eol = LineEndOf(original);
  const bool finalEol = EndsWithLineEnd(original);
  switch (encoding) {
    case BodyEncoding::Raw:
      return std::string(bytes);
    case BodyEncoding::Base64: {
      size_t width = FirstLine(original).size();
      if (width == 0 || width % 4 != 0) width = 76;
      return Base64Lines(bytes, width, eol, finalEol);
    }
    case BodyEncoding::QuotedPrintable:
      return QuotedPrintable(bytes, eol, finalEol);
    case BodyEncoding::Uuencode: {
      // The "begin" line and everything from the "end" line on stay as written.
      const std::vector<std::string_view> lines = Lines(original);
      std::string out(FirstLine(original));
      out += eol;
      std::string encoded(GMIME_UUENCODE_LEN(bytes.size()), '\0');
      unsigned char uubuf[60];
      int state = 0;
      guint32 save = 0;
      encoded.resize(g_mime_encoding_uuencode_close(reinterpret_cast<const unsigned char*>(bytes.data()),
                                                    bytes.size(), reinterpret_cast<unsigned char*>(encoded.data()),
                                                    uubuf, &state, &save));
      for (std::string_view line : Lines(encoded)) {
        out += line;
        out += eol;
      }
      bool tail = false;
      for (size_t i = 1; i < lines.size(); ++i) {
        if (!tail && lines[i] != "end") continue;
        if (tail) out += eol;
        out += lines[i];
        tail = true;
      }
      if (tail && finalEol) out += eol;
      return out;
    }
  }
  return std::string(bytes);
}

std::vector<UuBlock> FindUuBlocks(std::string_view body) {
  std::vector<UuBlock> blocks;
  size_t start = 0;
  UuBlock* open = nullptr;
  while (start < body.size()) {
    size_t nl = body.find('\n', start);
    const size_t next = nl == std::string_view::npos ? body.size() : nl + 1;
    std::string_view line = body.substr(start, next - start);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (!open && IsBeginLine(line)) {
      const size_t nameAt = line.find(' ', 6) + 1;
      blocks.push_back({start, body.size(), std::string(line.substr(nameAt))});
      open = &blocks.back();
    } else if (open && line == "end") {
      open->end = next;
      open = nullptr;
    }
    start = next;
  }
  return blocks;
}

}  // namespace brim::mail
