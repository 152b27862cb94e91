// brimlode-cli mail on one table of messages as mailers write them: each row
// is built twice from the same parts, once with the archives as sent and once
// with each archive as `rewrite --dangerous` leaves it, and the command must
// turn the first into the second, plus its one header, byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "cli/arguments.h"
#include "cli/cli.h"
#include "cli/mail_command.h"
#include "support/lzh_builder.h"
#include "support/mail_builder.h"
#include "support/test_files.h"
#include "support/zip_builder.h"

namespace brim {
namespace {

using test::Bytes;
using test::BytesOf;
using test::MailText;
using test::TempDir;
using Put = std::function<Bytes(const Bytes&)>;

Bytes Zip(const std::vector<test::ZipLocal>& locals, size_t stub = 0) {
  test::ZipBuilder z;
  if (stub) z.Raw(Bytes(stub, 'Z'));
  for (const test::ZipLocal& l : locals) z.Local(l);
  z.Finish(stub);
  return z.bytes;
}
Bytes Pack() {
  return Zip({test::ZipLocal::Stored("a.txt", BytesOf("hello")),
              test::ZipLocal::Deflated("b.EXE", BytesOf(std::string(200, 'M'))),
              test::ZipLocal::Stored("sub/c.js", BytesOf("alert(1)"))});
}
Bytes Clean() { return Zip({test::ZipLocal::Stored("a.txt", BytesOf("hello"))}); }
Bytes SelfExtractor() { return Zip({test::ZipLocal::Stored("run.exe", BytesOf("MZ payload"))}, 4096); }
Bytes Lzh() {
  test::LzhBuilder b;
  b.Add(test::LzhEntry::Level1("read.txt", BytesOf("hi")));
  b.Add(test::LzhEntry::Level1("setup.exe", BytesOf("MZ setup")));
  b.EndMark();
  return b.bytes;
}
// Cut short inside its last entry's data, with no directory.
Bytes Damaged() {
  test::ZipBuilder z;
  z.Local(test::ZipLocal::Stored("a.txt", BytesOf("hello")));
  z.Local(test::ZipLocal::Stored("b.exe", BytesOf("MZ a program cut short")));
  z.bytes.resize(z.bytes.size() - 5);
  return z.bytes;
}

// In this process the mail command runs without brimlode-mail.
const bool kMailRegistered = (cli::SetMailRunner(&cli::RunMail), true);

int Cli(const std::vector<std::string>& args) { return cli::Run(args, nullptr, nullptr); }

// The archive as `rewrite --dangerous --output` writes it; unchanged when
// there is nothing to neutralise.
Bytes Neutralised(const Bytes& archive) {
  TempDir d;
  test::WriteFileBytes(d.File("in"), archive);
  if (Cli({"rewrite", d.File("in"), "--dangerous", "--quiet", "--output", d.File("out")}) != 0) return archive;
  return test::ReadFileBytes(d.File("out"));
}
Bytes Same(const Bytes& archive) { return archive; }

std::string S(const Bytes& b) { return std::string(b.begin(), b.end()); }

const std::vector<std::string> kTop = {"From: a@example.org", "To: b@example.org", "Subject: files",
                                       "MIME-Version: 1.0"};
std::vector<std::string> With(std::vector<std::string> headers, std::vector<std::string> more) {
  headers.insert(headers.end(), more.begin(), more.end());
  return headers;
}
std::string Mixed(const MailText& m, const std::vector<std::string>& parts, std::vector<std::string> top = kTop) {
  top.push_back("Content-Type: multipart/mixed; boundary=\"=_b1\"");
  return m.Part(top, m.Multipart("=_b1", parts));
}
std::string Text(const MailText& m) { return m.Part({"Content-Type: text/plain; charset=us-ascii"}, "see attached" + m.Eol()); }

struct MailCase {
  const char* what;
  const char* eol;
  std::function<std::string(const MailText&, const Put&)> message;
  std::vector<std::string> notes;  // the header's lines after the first
  int status = 0;
};

// The expected message: the header after the last of the message's own.
std::string WithHeader(std::string message, const std::vector<std::string>& notes, const std::string& eol) {
  std::string h = "X-Brimlode: version=" + cli::VersionNumber() + "; archives=" + std::to_string(notes.size());
  for (const std::string& n : notes) h += "," + eol + "\t" + n;
  h += eol;
  message.insert(message.find(eol + eol) + eol.size(), h);
  return message;
}

class Mail : public ::testing::TestWithParam<MailCase> {};

TEST_P(Mail, EveryArchiveNeutralisedEverythingElseKept) {
  const MailCase& c = GetParam();
  const MailText m(c.eol);
  const std::string in = c.message(m, Same);
  std::string expected = WithHeader(c.message(m, Neutralised), c.notes, c.eol);
  // A forged header is never passed on.
  for (size_t at; (at = expected.find("X-Brimlode: forged" + m.Eol())) != std::string::npos;)
    expected.erase(at, 18 + m.Eol().size());
  TempDir d;
  test::WriteFileBytes(d.File("in.eml"), BytesOf(in));
  ASSERT_EQ(Cli({"mail", d.File("in.eml"), d.File("out.eml")}), c.status);
  EXPECT_EQ(S(test::ReadFileBytes(d.File("out.eml"))), expected);
}

const std::string kDone2 = "status=0; reason=done; neutralised=2; action=neutralised";
const std::string kDone1 = "status=0; reason=done; neutralised=1; action=neutralised";
const std::string kClean = "status=1; reason=nothing_selected; neutralised=0; action=unchanged";
// 請求書.zip: what Japanese mailers name attachments.
const std::string kSeikyu = "\xe8\xab\x8b\xe6\xb1\x82\xe6\x9b\xb8.zip";
const std::string kSeikyuHeader = "name*=UTF-8''%E8%AB%8B%E6%B1%82%E6%9B%B8.zip; ";

INSTANTIATE_TEST_SUITE_P(
    Messages, Mail,
    ::testing::Values(
        MailCase{"no archive: only the header", "\r\n",
                 [](const MailText& m, const Put&) {
                   return Mixed(m, {Text(m), m.Base64Part({"Content-Type: application/pdf; name=\"a.pdf\""},
                                                          BytesOf("%PDF-1.4 not an archive"))});
                 },
                 {}},
        MailCase{"base64 zip, CRLF", "\r\n",
                 [](const MailText& m, const Put& put) {
                   return Mixed(m, {Text(m), m.Base64Part({"Content-Type: application/zip; name=\"a.zip\""}, put(Pack()))});
                 },
                 {"name=\"a.zip\"; " + kDone2}},
        MailCase{"base64 zip in 72-column lines, LF", "\n",
                 [](const MailText& m, const Put& put) {
                   return Mixed(m, {Text(m), m.Base64Part({"Content-Type: application/x-zip-compressed",
                                                           "Content-Disposition: attachment; filename=\"a.zip\""},
                                                          put(Pack()), 72)});
                 },
                 {"name=\"a.zip\"; " + kDone2}},
        MailCase{"clean archive kept byte for byte", "\r\n",
                 [](const MailText& m, const Put& put) {
                   return Mixed(m, {Text(m), m.Base64Part({"Content-Type: application/zip; name=\"c.zip\""}, put(Clean()))});
                 },
                 {"name=\"c.zip\"; " + kClean}},
        MailCase{"LZH, level 1", "\r\n",
                 [](const MailText& m, const Put& put) {
                   return Mixed(m, {m.Base64Part({"Content-Type: application/x-lzh; name=\"a.lzh\""}, put(Lzh()))});
                 },
                 {"name=\"a.lzh\"; " + kDone1}},
        MailCase{"mislabelled: a zip sent as a picture", "\r\n",
                 [](const MailText& m, const Put& put) {
                   return Mixed(m, {m.Base64Part({"Content-Type: image/jpeg; name=\"photo.jpg\""}, put(Pack()))});
                 },
                 {"name=\"photo.jpg\"; " + kDone2}},
        MailCase{"self-extractor behind a 4 KiB stub", "\r\n",
                 [](const MailText& m, const Put& put) {
                   return Mixed(m, {m.Base64Part({"Content-Type: application/octet-stream; name=\"setup.exe\""},
                                                 put(SelfExtractor()))});
                 },
                 {"name=\"setup.exe\"; " + kDone1}},
        MailCase{"RFC 2231 name in ISO-2022-JP", "\r\n",
                 [](const MailText& m, const Put& put) {
                   return Mixed(m, {m.Base64Part({"Content-Type: application/zip",
                                                  "Content-Disposition: attachment;",
                                                  " filename*=" + test::Rfc2231(kSeikyu, "ISO-2022-JP")},
                                                 put(Pack()))});
                 },
                 {kSeikyuHeader + kDone2}},
        MailCase{"encoded-word name in Shift_JIS, quoted as Outlook writes it", "\r\n",
                 [](const MailText& m, const Put& put) {
                   return Mixed(m, {m.Base64Part({"Content-Type: application/zip; name=\"" +
                                                  test::EncodedWord(kSeikyu, "Shift_JIS") + "\""},
                                                 put(Pack()))});
                 },
                 {kSeikyuHeader + kDone2}},
        MailCase{"encoded-word name in ISO-2022-JP", "\r\n",
                 [](const MailText& m, const Put& put) {
                   return Mixed(m, {m.Base64Part({"Content-Type: application/zip",
                                                  "Content-Disposition: attachment; filename=\"" +
                                                      test::EncodedWord(kSeikyu, "ISO-2022-JP") + "\""},
                                                 put(Pack()))});
                 },
                 {kSeikyuHeader + kDone2}},
        MailCase{"raw Shift_JIS name bytes", "\r\n",
                 [](const MailText& m, const Put& put) {
                   return Mixed(m, {m.Base64Part({"Content-Type: application/zip; name=\"" +
                                                  test::InCharset(kSeikyu, "CP932") + "\""},
                                                 put(Pack()))});
                 },
                 {kSeikyuHeader + kDone2}},
        MailCase{"nested: mixed inside alternative", "\r\n",
                 [](const MailText& m, const Put& put) {
                   const std::string inner = m.Part({"Content-Type: multipart/mixed; boundary=\"in\""},
                                                    m.Multipart("in", {m.Part({"Content-Type: text/html"}, "<p>x</p>"),
                                                                       m.Base64Part({"Content-Type: application/zip; name=\"n.zip\""},
                                                                                    put(Pack()))}));
                   return m.Part(With(kTop, {"Content-Type: multipart/alternative; boundary=\"out\""}),
                                 m.Multipart("out", {Text(m), inner}));
                 },
                 {"name=\"n.zip\"; " + kDone2}},
        MailCase{"forwarded mail with its own attachments", "\r\n",
                 [](const MailText& m, const Put& put) {
                   const std::string forwarded = Mixed(
                       m, {Text(m), m.Base64Part({"Content-Type: application/zip; name=\"f.zip\""}, put(Pack()))},
                       {"From: c@example.org", "Subject: old", "MIME-Version: 1.0"});
                   return Mixed(m, {Text(m), m.Part({"Content-Type: message/rfc822"}, forwarded),
                                    m.Base64Part({"Content-Type: application/zip; name=\"c.zip\""}, put(Clean()))});
                 },
                 {"name=\"f.zip\"; " + kDone2, "name=\"c.zip\"; " + kClean}},
        MailCase{"uuencoded inside a plain text body", "\n",
                 [](const MailText& m, const Put& put) {
                   return m.Part(kTop, "Here it is:" + m.Eol() + m.Eol() + m.Uuencoded("u.zip", put(Pack())) +
                                           "bye" + m.Eol());
                 },
                 {"name=\"u.zip\"; " + kDone2}},
        MailCase{"x-uuencode part", "\r\n",
                 [](const MailText& m, const Put& put) {
                   return Mixed(m, {m.UuencodePart({"Content-Type: application/octet-stream; name=\"u.zip\""}, "u.zip",
                                                   put(Pack()))});
                 },
                 {"name=\"u.zip\"; " + kDone2}},
        MailCase{"quoted-printable zip", "\r\n",
                 [](const MailText& m, const Put& put) {
                   return Mixed(m, {m.QuotedPart({"Content-Type: application/zip; name=\"q.zip\""}, put(Pack()))});
                 },
                 {"name=\"q.zip\"; " + kDone2}},
        MailCase{"the whole message is the archive", "\r\n",
                 [](const MailText& m, const Put& put) {
                   return m.Base64Part(With(kTop, {"Content-Type: application/zip; name=\"t.zip\""}), put(Pack()));
                 },
                 {"name=\"t.zip\"; " + kDone2}},
        MailCase{"forged header after the others, in a message without MIME", "\n",
                 [](const MailText& m, const Put&) {
                   return m.Part({"Subject: hi", "X-Brimlode: forged"}, "text" + m.Eol());
                 },
                 {}},
        MailCase{"forged header removed", "\r\n",
                 [](const MailText& m, const Put& put) {
                   return Mixed(m, {m.Base64Part({"Content-Type: application/zip; name=\"a.zip\""}, put(Pack()))},
                                With({"X-Brimlode: forged"}, kTop));
                 },
                 {"name=\"a.zip\"; " + kDone2}}),
    [](const ::testing::TestParamInfo<MailCase>& info) { return "row" + std::to_string(info.index); });

// --report appends a line per archive, in the report's schema, run after run.
TEST(MailReport, AppendsALinePerArchive) {
  if (!test::OnPath("python3")) GTEST_SKIP() << "python3 is not on PATH";
  const MailText m("\r\n");
  TempDir d;
  test::WriteFileBytes(d.File("in.eml"),
                       BytesOf(Mixed(m, {m.Base64Part({"Content-Type: application/zip; name=\"a.zip\""}, Pack()),
                                         m.Base64Part({"Content-Type: application/zip; name=\"c.zip\""}, Clean())})));
  for (const char* summary : {"--quiet", "--summary"}) {
    ASSERT_EQ(Cli({"mail", summary, "--report", d.File("r.jsonl"), d.File("in.eml"), d.File(summary)}), 0);
  }
  std::string lines;
  EXPECT_EQ(test::RunShell("python3 " BRIMLODE_SOURCE_DIR "/tests/cli/report_schema.py <" + d.File("r.jsonl"), &lines), 0)
      << lines;
  EXPECT_EQ(lines, "4\n");
}

// The statuses a mail server's pipe transport acts on, besides delivery.
TEST(MailStatus, WhatThePipeTransportIsTold) {
  TempDir d;
  test::WriteFileBytes(d.File("in.eml"), BytesOf("Subject: x\r\n\r\nhi\r\n"));
  test::WriteFileBytes(d.File("taken.eml"), BytesOf("mine"));
  const struct {
    std::vector<std::string> args;
    int status;
  } rows[] = {
      {{"mail", "--policy", "drop", d.File("in.eml")}, 64},          // EX_USAGE
      {{"mail", "--rows", "1", d.File("in.eml")}, 64},               // not a mail option
      {{"mail", d.File("in.eml"), d.File("taken.eml")}, 73},         // EX_CANTCREAT, nothing replaced
      {{"mail", d.File("gone.eml"), d.File("out.eml")}, 75},         // EX_TEMPFAIL: Postfix tries again
      {{"mail", "--report", d.File("no/such/r.jsonl"), d.File("in.eml"), d.File("out.eml")}, 75},
  };
  for (const auto& row : rows) EXPECT_EQ(Cli(row.args), row.status) << row.args[1];
  EXPECT_EQ(S(test::ReadFileBytes(d.File("taken.eml"))), "mine");
  EXPECT_FALSE(std::filesystem::exists(d.File("out.eml")));
}

// What cannot be made safe, under each policy: the exit status, the header's
// line, and whether the part is still there or replaced by the notice.
struct PolicyCase {
  const char* what;
  const char* policy;
  std::string body;  // the attachment's part
  int status;
  std::string note;   // "" when the message is refused (nothing written)
  bool kept;          // the part comes out as it went in
};

class Policy : public ::testing::TestWithParam<PolicyCase> {};

TEST_P(Policy, UnsafePart) {
  const PolicyCase& c = GetParam();
  const MailText m("\r\n");
  const std::string in = Mixed(m, {Text(m), c.body});
  TempDir d;
  test::WriteFileBytes(d.File("in.eml"), BytesOf(in));
  ASSERT_EQ(Cli({"mail", "--policy", c.policy, d.File("in.eml"), d.File("out.eml")}), c.status);
  if (c.note.empty()) {
    EXPECT_FALSE(std::filesystem::exists(d.File("out.eml")));
    return;
  }
  const std::string out = S(test::ReadFileBytes(d.File("out.eml")));
  EXPECT_NE(out.find("; archives=1,\r\n\t" + c.note + "\r\n"), std::string::npos) << out;
  EXPECT_EQ(out.find(c.body) != std::string::npos, c.kept) << out;
  if (c.kept) return;
  EXPECT_NE(out.find("Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: base64\r\n"
                     "Content-Disposition: inline\r\n\r\n"),
            std::string::npos)
      << out;
  // Everything around the replaced part is as it was.
  const size_t blank = in.find("\r\n\r\n"), part = in.find(c.body);
  EXPECT_NE(out.find(in.substr(blank, part - blank) + "Content-Type: text/plain"), std::string::npos) << out;
  EXPECT_EQ(out.substr(out.size() - 12), "\r\n--=_b1--\r\n");
}

const MailText kCrLf("\r\n");
const std::string kDamagedPart = kCrLf.Base64Part({"Content-Type: application/zip; name=\"d.zip\""}, Damaged());
const std::string kJunkPart = kCrLf.Part({"Content-Type: application/zip; name=\"j.zip\"", "Content-Transfer-Encoding: base64"},
                                         "UEsDBAoAAAAAA!!!AAAAAA" + kCrLf.Eol());
const std::string kDamagedNote = "name=\"d.zip\"; status=4; reason=damaged_zip; neutralised=0; action=";

INSTANTIATE_TEST_SUITE_P(
    Policies, Policy,
    ::testing::Values(PolicyCase{"damaged, replaced", "replace", kDamagedPart, 0, kDamagedNote + "replaced", false},
                      PolicyCase{"damaged, passed", "pass", kDamagedPart, 0, kDamagedNote + "passed", true},
                      PolicyCase{"damaged, refused", "reject", kDamagedPart, 77, "", true},
                      PolicyCase{"base64 with junk, replaced", "replace", kJunkPart, 0,
                                 "name=\"j.zip\"; status=4; reason=undecodable; neutralised=0; action=replaced",
                                 false}),
    [](const ::testing::TestParamInfo<PolicyCase>& info) { return "row" + std::to_string(info.index); });

}  // namespace
}  // namespace brim
