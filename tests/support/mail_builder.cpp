#include "support/mail_builder.h"

#include <gmime/gmime.h>

namespace brim::test {

std::string MailText::Part(const std::vector<std::string>& headers, const std::string& body) const {
  std::string out;
  for (const std::string& h : headers) out += h + eol_;
  return out + eol_ + body;
}

std::string MailText::Base64(const Bytes& bytes, size_t width) const {
  gchar* flat = g_base64_encode(bytes.data(), bytes.size());
  const std::string all(flat);
  g_free(flat);
  std::string out;
  for (size_t i = 0; i < all.size(); i += width) out += all.substr(i, width) + eol_;
  return out;
}

std::string MailText::Base64Part(std::vector<std::string> headers, const Bytes& bytes, size_t width) const {
  headers.push_back("Content-Transfer-Encoding: base64");
  return Part(headers, Base64(bytes, width));
}

std::string MailText::QuotedPart(std::vector<std::string> headers, const Bytes& bytes) const {
  headers.push_back("Content-Transfer-Encoding: quoted-printable");
  static const char kHex[] = "0123456789ABCDEF";
  std::string body;
  size_t column = 0;
  for (uint8_t c : bytes) {
    std::string piece = c > 32 && c < 127 && c != '=' ? std::string(1, static_cast<char>(c))
                                                      : std::string{'=', kHex[c >> 4], kHex[c & 15]};
    if (column + piece.size() > 75) {
      body += "=" + eol_;
      column = 0;
    }
    body += piece;
    column += piece.size();
  }
  return Part(headers, body + eol_);
}

std::string MailText::Uuencoded(const std::string& name, const Bytes& bytes) const {
  std::string encoded(GMIME_UUENCODE_LEN(bytes.size()), '\0');
  unsigned char uubuf[60];
  int state = 0;
  guint32 save = 0;
  encoded.resize(g_mime_encoding_uuencode_close(bytes.data(), bytes.size(),
                                                reinterpret_cast<unsigned char*>(encoded.data()), uubuf, &state, &save));
  std::string out = "begin 644 " + name + eol_;
  size_t start = 0;
  for (size_t nl; (nl = encoded.find('\n', start)) != std::string::npos; start = nl + 1)
    out += encoded.substr(start, nl - start) + eol_;
  return out + "end" + eol_;
}

std::string MailText::UuencodePart(std::vector<std::string> headers, const std::string& name,
                                   const Bytes& bytes) const {
  headers.push_back("Content-Transfer-Encoding: x-uuencode");
  return Part(headers, Uuencoded(name, bytes));
}

std::string MailText::Multipart(const std::string& boundary, const std::vector<std::string>& parts) const {
  std::string out;
  for (const std::string& p : parts) {
    out += "--" + boundary + eol_ + p;
    // A part's own last line end belongs to it; the boundary's comes first.
    if (out.size() < eol_.size() || out.compare(out.size() - eol_.size(), eol_.size(), eol_) != 0) out += eol_;
  }
  return out + "--" + boundary + "--" + eol_;
}

std::string InCharset(const std::string& utf8, const std::string& charset) {
  gsize length = 0;
  gchar* converted = g_convert(utf8.data(), utf8.size(), charset.c_str(), "UTF-8", nullptr, &length, nullptr);
  std::string out(converted ? converted : "", converted ? length : 0);
  g_free(converted);
  return out;
}

std::string EncodedWord(const std::string& utf8, const std::string& charset) {
  const std::string raw = InCharset(utf8, charset);
  gchar* b64 = g_base64_encode(reinterpret_cast<const guchar*>(raw.data()), raw.size());
  std::string out = "=?" + charset + "?B?" + b64 + "?=";
  g_free(b64);
  return out;
}

std::string Rfc2231(const std::string& utf8, const std::string& charset) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out = charset + "''";
  for (unsigned char c : InCharset(utf8, charset)) {
    if (g_ascii_isalnum(c) || c == '.') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace brim::test
