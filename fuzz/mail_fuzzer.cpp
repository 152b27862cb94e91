// Any bytes as a message through the mail gateway. The first byte picks:
//   even:  no body is an archive; the message must come out byte for byte
//          with only the gateway's header added (and forged ones removed);
//   1 mod 4: the whole `brimlode-cli mail` command, on the bytes as a file,
//          with the real rewrite of whatever archives it finds;
//   3 mod 4: every body comes back "neutralised" (each byte changed, the
//          length kept) or, by its first byte, unsafe under a policy the
//          second byte picks: the splicing and re-encoding paths.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "cli/cli.h"
#include "cli/mail_command.h"
#include "mail/gateway.h"

namespace {

void Fail(const char* what) {
  std::fprintf(stderr, "mail: %s\n", what);
  std::abort();
}

bool HasGatewayName(std::string_view m) {
  std::string lower(m);
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return lower.find("x-brimlode") != std::string::npos;
}

void Unchanged(std::string_view message) {
  brim::mail::MailOptions options;
  options.version = "0";
  options.policy = brim::mail::Policy::Pass;  // undecodable parts stay too
  const brim::mail::MailResult r = brim::mail::NeutraliseMessage(
      message, [](const std::string&, std::string_view) { return brim::mail::ArchiveOutcome{}; }, options);
  if (r.fate != brim::mail::Fate::Deliver) Fail("a message without archives was not delivered");
  if (HasGatewayName(message)) return;  // a header of that name is removed
  const size_t first = r.message.find("X-Brimlode: ");
  if (first == std::string::npos) Fail("no header");
  const size_t nl = r.message.find('\n', first);
  const bool crlf = nl != std::string::npos && nl > 0 && r.message[nl - 1] == '\r';
  const std::string header = brim::mail::GatewayHeader("0", r.notes, crlf ? "\r\n" : "\n");
  const size_t at = r.message.find(header);
  if (at == std::string::npos) Fail("not the header the notes make");
  const size_t end = at + header.size(), eol = crlf ? 2 : 1;
  // The header alone was added, or with a line end before it for a last
  // header that had none.
  std::string alone = r.message, withEol = r.message;
  alone.erase(at, end - at);
  if (alone == message) return;
  if (at >= eol) {
    withEol.erase(at - eol, end - at + eol);
    if (withEol == message) return;
  }
  Fail("bytes other than the header changed");
}

void Transformed(std::string_view message, uint8_t policy) {
  brim::mail::MailOptions options;
  options.version = "0";
  options.policy = static_cast<brim::mail::Policy>(policy % 3);
  using Kind = brim::mail::ArchiveOutcome::Kind;
  const brim::mail::MailResult r = brim::mail::NeutraliseMessage(
      message,
      [](const std::string&, std::string_view bytes) {
        brim::mail::ArchiveOutcome o;
        o.kind = bytes.empty() ? Kind::NotAnArchive : (bytes[0] & 1) ? Kind::Neutralised : Kind::Unsafe;
        o.reason = "x";
        o.bytes.assign(bytes);
        for (char& c : o.bytes) c = static_cast<char>(c ^ 0x55);
        return o;
      },
      options);
  // Nothing here fails: a message not written means two edits met.
  if (r.fate == brim::mail::Fate::TryLater) Fail("edits of one range");
}

void Command(std::string_view message) {
  static const std::string folder = [] {
    char pattern[] = "/tmp/mail-fuzz-XXXXXX";
    return std::string(mkdtemp(pattern));
  }();
  const std::string in = folder + "/in.eml", out = folder + "/out.eml";
  std::filesystem::remove(out);
  if (FILE* f = std::fopen(in.c_str(), "wb")) {
    std::fwrite(message.data(), 1, message.size(), f);
    std::fclose(f);
  }
  static const bool registered = (brim::cli::SetMailRunner(&brim::cli::RunMail), true);
  (void)registered;
  const int status = brim::cli::Run({"mail", "--all", in, out}, nullptr, nullptr);
  if (status != 0 && status != 75 && status != 77) Fail("an exit status the pipe transport does not expect");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const std::string_view message(reinterpret_cast<const char*>(data) + 2, size - 2);
  if ((data[0] & 1) == 0) Unchanged(message);
  else if ((data[0] & 3) == 1) Command(message);
  else Transformed(message, data[1]);
  return 0;
}
