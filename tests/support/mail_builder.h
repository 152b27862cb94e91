// RFC 5322 messages for tests, written out byte by byte: headers as given,
// bodies in the transfer encoding asked for, multiparts with their
// boundaries, all with one line end (CRLF or LF).
//
//   MailText m("\r\n");
//   std::string msg = m.Message({"From: a@example.org", "Subject: hi"},
//       m.Multipart("B", {m.Part({"Content-Type: text/plain"}, "hello"),
//                         m.Base64Part({"Content-Type: application/zip; name=\"a.zip\""}, zip)}));
#pragma once
#include <string>
#include <vector>

#include "support/test_files.h"

namespace brim::test {

class MailText {
 public:
  explicit MailText(std::string eol) : eol_(std::move(eol)) {}
  const std::string& Eol() const { return eol_; }

  // A part or message: header lines, an empty line, the body as it stands.
  std::string Part(const std::vector<std::string>& headers, const std::string& body) const;
  // The same with "Content-Transfer-Encoding: base64" and bytes in lines of width.
  std::string Base64Part(std::vector<std::string> headers, const Bytes& bytes, size_t width = 76) const;
  // ... "quoted-printable": every byte outside 33..126 and "=" as =XX, soft breaks before column 76.
  std::string QuotedPart(std::vector<std::string> headers, const Bytes& bytes) const;
  // ... "x-uuencode": begin 644 name, lines of 45 bytes, "`", end.
  std::string UuencodePart(std::vector<std::string> headers, const std::string& name, const Bytes& bytes) const;
  // A uuencoded block as it stands inside a text.
  std::string Uuencoded(const std::string& name, const Bytes& bytes) const;
  // "--boundary" before each part, "--boundary--" after the last.
  std::string Multipart(const std::string& boundary, const std::vector<std::string>& parts) const;
  std::string Base64(const Bytes& bytes, size_t width) const;

 private:
  std::string eol_;
};

// The text as an RFC 2047 encoded word in charset (converted from UTF-8),
// base64 form.
std::string EncodedWord(const std::string& utf8, const std::string& charset);
// The text in charset, as raw bytes.
std::string InCharset(const std::string& utf8, const std::string& charset);
// RFC 2231 percent form of the text in charset: "charset''%E8...".
std::string Rfc2231(const std::string& utf8, const std::string& charset);

}  // namespace brim::test
