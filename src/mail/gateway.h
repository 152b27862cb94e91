// A whole message through the gateway: every body that may hold a ZIP or
// LZH archive is decoded and handed to a neutraliser (the command line hands
// the rewrite), and what comes back is put into the message where the
// original bytes stood. Everything else stays byte for byte: headers, other
// parts, boundaries, line ends. One "X-Brimlode:" header says what was done;
// one the message already had is removed, as a sender could forge it.
//
// GMime finds the parts (any depth, forwarded messages, RFC 2231 and
// encoded-word names); the message is never written back by GMime, only the
// changed byte ranges of the original are replaced.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace brim::mail {

// What the neutraliser made of one body.
struct ArchiveOutcome {
  enum class Kind {
    NotAnArchive,  // no ZIP or LZH archive in these bytes: the part is not mentioned
    Unchanged,     // an archive with nothing to neutralise
    Neutralised,   // bytes holds the archive after the rewrite
    Unsafe,        // cannot be made safe (damaged, partly done...): the policy decides
    Failed,        // an input/output failure: the message is to be tried again later
  };
  Kind kind = Kind::NotAnArchive;
  std::string bytes;
  int status = 0;           // the rewrite's exit status
  std::string reason;       // and its reason code
  uint64_t neutralised = 0; // entries neutralised
};
// name: the attachment's file name (UTF-8, may be empty); bytes: decoded.
using Neutraliser = std::function<ArchiveOutcome(const std::string& name, std::string_view bytes)>;

// What happens to a part that cannot be made safe.
enum class Policy {
  Replace,  // replaced by a short Japanese and English text part saying why
  Reject,   // the whole message is refused
  Pass,     // delivered as it is; the header says so
};

enum class Action { Neutralised, Unchanged, Replaced, Passed, Rejected };
std::string_view ActionId(Action a);

// One archive (or undecodable part) named in the header.
struct ArchiveNote {
  std::string name;  // UTF-8, control characters replaced
  int status = 0;
  std::string reason;
  uint64_t neutralised = 0;
  Action action = Action::Unchanged;
};

enum class Fate {
  Deliver,   // message holds the message to deliver
  Reject,    // refused by the policy
  TryLater,  // an input/output failure (failure says which)
};

struct MailResult {
  Fate fate = Fate::Deliver;
  std::string message;
  std::vector<ArchiveNote> notes;
  std::string failure;
};

struct MailOptions {
  Policy policy = Policy::Replace;
  std::string version;  // written into the header
};

MailResult NeutraliseMessage(std::string_view message, const Neutraliser& neutralise, const MailOptions& options);

// The status and reason a part gets when its body cannot be decoded one way.
inline constexpr int kUndecodableStatus = 4;
inline constexpr std::string_view kUndecodableReason = "undecodable";

// The header's value, for a message whose lines end with eol:
//   X-Brimlode: version=0.40; archives=2,
//   \tname="a.zip"; status=0; reason=done; neutralised=3; action=neutralised,
//   \tname*=UTF-8''%E8%AB%8B.lzh; status=4; reason=damaged_lzh; neutralised=0; action=replaced
// A name that is not plain printable ASCII free of quotes, commas and
// semicolons is written as name*= in RFC 2231 percent form.
std::string GatewayHeader(const std::string& version, const std::vector<ArchiveNote>& notes, std::string_view eol);

}  // namespace brim::mail
