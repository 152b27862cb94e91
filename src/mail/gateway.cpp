#include "mail/gateway.h"

#include <gmime/gmime.h>

#include <algorithm>
#include <mutex>
#include <optional>

#include "base/cp932.h"
#include "base/ui_texts.h"
#include "mail/body_codec.h"

namespace brim::mail {

namespace {

constexpr std::string_view kHeaderName = "X-Brimlode";
constexpr const char* kNoticeEnglish =
    "The attachment \"%s\" was removed: it could not be made safe (reason: %s).";

void InitGMime() {
  static std::once_flag once;
  std::call_once(once, [] { g_mime_init(); });
}

// GMime objects held for the length of a scope.
template <typename T>
struct Held {
  T* p;
  explicit Held(T* object) : p(object) {}
  ~Held() {
    if (p) g_object_unref(p);
  }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
};

// [begin, end) of the message replaced by text.
struct Edit {
  size_t begin, end;
  std::string text;
};

// Where a header that starts at offset ends: past its line end and the
// line ends of its folded lines.
size_t HeaderEnd(std::string_view m, size_t offset) {
  size_t at = offset;
  while (at < m.size()) {
    const size_t nl = m.find('\n', at);
    if (nl == std::string_view::npos) return m.size();
    at = nl + 1;
    if (at >= m.size() || (m[at] != ' ' && m[at] != '\t')) return at;
  }
  return m.size();
}

// The start of the empty line before a body, where a part's headers end.
size_t HeadersEndBefore(std::string_view m, size_t bodyBegin) {
  if (bodyBegin == 0 || m[bodyBegin - 1] != '\n') return bodyBegin;
  size_t p = bodyBegin - 1;
  if (p > 0 && m[p - 1] == '\r') --p;
  return p;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return g_ascii_tolower(x) == g_ascii_tolower(y);
         });
}

// A name fit for a header and a log line: valid UTF-8, no control character.
std::string CleanName(const char* raw) {
  if (!raw) return "";
  gchar* valid = g_utf8_make_valid(raw, -1);
  std::string name(valid);
  g_free(valid);
  for (char& c : name) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f) c = '?';
  }
  return name;
}

std::string Replace(std::string text, std::string_view a, std::string_view b) {
  for (std::string_view arg : {a, b}) {
    const size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, arg);
  }
  return text;
}

// The short text put where a part that cannot be made safe was.
std::string NoticeText(const std::string& name, const std::string& reason, std::string_view eol) {
  std::string text = Replace(Cp932ToUtf8(Ui().mailPartRemoved), name, reason);
  text += eol;
  text += Replace(kNoticeEnglish, name, reason);
  text += eol;
  return text;
}

BodyEncoding EncodingOf(GMimePart* part) {
  switch (g_mime_part_get_content_encoding(part)) {
    case GMIME_CONTENT_ENCODING_BASE64: return BodyEncoding::Base64;
    case GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE: return BodyEncoding::QuotedPrintable;
    case GMIME_CONTENT_ENCODING_UUENCODE: return BodyEncoding::Uuencode;
    default: return BodyEncoding::Raw;
  }
}

struct Leaf {
  GMimeObject* object;
  bool text;  // a text/* part
};

void CollectLeaves(GMimeObject* o, std::vector<Leaf>& leaves, int depth) {
  // Nesting deeper than any mail program writes is left as one body.
  if (!o || depth > 64) return;
  if (GMIME_IS_MULTIPART(o)) {
    GMimeMultipart* mp = GMIME_MULTIPART(o);
    for (int i = 0; i < g_mime_multipart_get_count(mp); ++i)
      CollectLeaves(g_mime_multipart_get_part(mp, i), leaves, depth + 1);
  } else if (GMIME_IS_MESSAGE_PART(o)) {
    GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(o));
    if (inner) CollectLeaves(g_mime_message_get_mime_part(inner), leaves, depth + 1);
  } else if (GMIME_IS_PART(o)) {
    GMimeContentType* type = g_mime_object_get_content_type(o);
    leaves.push_back({o, type && g_mime_content_type_is_type(type, "text", "*")});
  }
}

// Where a part's encoded body lies in the message, if GMime kept it as a
// window of the message.
std::optional<std::pair<size_t, size_t>> BodyRange(GMimePart* part, size_t messageSize) {
  GMimeDataWrapper* content = g_mime_part_get_content(part);
  GMimeStream* stream = content ? g_mime_data_wrapper_get_stream(content) : nullptr;
  if (!stream || stream->bound_start < 0) return std::nullopt;
  const gint64 end = stream->bound_end < 0 ? static_cast<gint64>(messageSize) : stream->bound_end;
  if (end < stream->bound_start || end > static_cast<gint64>(messageSize)) return std::nullopt;
  return std::make_pair(static_cast<size_t>(stream->bound_start), static_cast<size_t>(end));
}

class Surgery {
 public:
  Surgery(std::string_view message, const Neutraliser& neutralise, const MailOptions& options)
      : m_(message), neutralise_(neutralise), options_(options), eol_(LineEndOf(message)) {}

  MailResult Run() {
    InitGMime();
    Held<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(m_.data(), m_.size()));
    Held<GMimeParser> parser(g_mime_parser_new_with_stream(stream.p));
    g_mime_parser_set_persist_stream(parser.p, TRUE);
    GMimeParserOptions* po = g_mime_parser_options_new();
    // Raw 8-bit names: UTF-8, else what Japanese mailers on Windows write.
    const char* fallback[] = {"UTF-8", "CP932", "EUC-JP", "ISO-8859-1", nullptr};
    g_mime_parser_options_set_fallback_charsets(po, fallback);
    Held<GMimeMessage> parsed(g_mime_parser_construct_message(parser.p, po));
    std::vector<Leaf> leaves;
    if (parsed.p) CollectLeaves(g_mime_message_get_mime_part(parsed.p), leaves, 0);
    for (const Leaf& leaf : leaves) {
      Look(GMIME_PART(leaf.object), leaf.text);
      if (result_.fate != Fate::Deliver) break;
    }
    g_mime_parser_options_free(po);
    if (result_.fate != Fate::Deliver) return std::move(result_);
    // The message's own headers, and those of its body part (Content-Type
    // and the like), which GMime keeps apart: one header block in the bytes.
    GMimeObject* top = parsed.p ? g_mime_message_get_mime_part(parsed.p) : nullptr;
    Header({parsed.p ? g_mime_object_get_header_list(GMIME_OBJECT(parsed.p)) : nullptr,
            top ? g_mime_object_get_header_list(top) : nullptr});
    Assemble();
    return std::move(result_);
  }

 private:
  void Look(GMimePart* part, bool text) {
    const auto range = BodyRange(part, m_.size());
    if (!range) return;
    const BodyEncoding encoding = EncodingOf(part);
    const std::string name = CleanName(g_mime_part_get_filename(part));
    const std::string_view body = m_.substr(range->first, range->second - range->first);
    // A text body written as it is may carry uuencoded files in its lines,
    // as mailers did before MIME and some still do.
    // Such a text is looked at block by block, not also as a whole: two
    // edits of one range could not both be made.
    if (text && encoding == BodyEncoding::Raw) {
      const std::vector<UuBlock> blocks = FindUuBlocks(body);
      for (const UuBlock& block : blocks) {
        const size_t at = range->first + block.begin;
        const std::string_view encoded = body.substr(block.begin, block.end - block.begin);
        Body(part, CleanName(block.name.c_str()), BodyEncoding::Uuencode, at, encoded, true);
        if (result_.fate != Fate::Deliver) return;
      }
      if (!blocks.empty()) return;
    }
    Body(part, name, encoding, range->first, body, false);
  }

  // One encoded body at offset `at`: a whole part, or a block in a text part.
  void Body(GMimePart* part, const std::string& name, BodyEncoding encoding, size_t at, std::string_view encoded,
            bool block) {
    const std::optional<std::string> bytes = DecodeBody(encoding, encoded);
    if (!bytes) {
      Unsafe(part, name, at, encoded, block,
             {ArchiveOutcome::Kind::Unsafe, "", kUndecodableStatus, std::string(kUndecodableReason), 0});
      return;
    }
    ArchiveOutcome outcome = neutralise_(name, *bytes);
    switch (outcome.kind) {
      case ArchiveOutcome::Kind::NotAnArchive:
        return;
      case ArchiveOutcome::Kind::Unchanged:
        Note(name, outcome, Action::Unchanged);
        return;
      case ArchiveOutcome::Kind::Neutralised:
        edits_.push_back({at, at + encoded.size(), EncodeLike(encoding, encoded, outcome.bytes)});
        Note(name, outcome, Action::Neutralised);
        return;
      case ArchiveOutcome::Kind::Unsafe:
        Unsafe(part, name, at, encoded, block, outcome);
        return;
      case ArchiveOutcome::Kind::Failed:
        result_.fate = Fate::TryLater;
        result_.failure = outcome.reason;
        return;
    }
  }

  void Unsafe(GMimePart* part, const std::string& name, size_t at, std::string_view encoded, bool block,
              const ArchiveOutcome& outcome) {
    switch (options_.policy) {
      case Policy::Reject:
        Note(name, outcome, Action::Rejected);
        result_.fate = Fate::Reject;
        return;
      case Policy::Pass:
        Note(name, outcome, Action::Passed);
        return;
      case Policy::Replace:
        Note(name, outcome, Action::Replaced);
        if (block) {
          ReplaceBlock(part, name, outcome.reason, at, encoded);
        } else {
          ReplacePart(part, name, outcome.reason, at, at + encoded.size());
        }
        return;
    }
  }

  // The part's Content- headers give way to those of a UTF-8 text part, and
  // its body to the notice; the part's other headers stay.
  void ReplacePart(GMimePart* part, const std::string& name, const std::string& reason, size_t bodyBegin,
                   size_t bodyEnd) {
    const std::string headers = "Content-Type: text/plain; charset=UTF-8" + std::string(eol_) +
                                "Content-Transfer-Encoding: base64" + std::string(eol_) +
                                "Content-Disposition: inline" + std::string(eol_);
    GMimeHeaderList* list = g_mime_object_get_header_list(GMIME_OBJECT(part));
    bool placed = false;
    for (int i = 0; list && i < g_mime_header_list_get_count(list); ++i) {
      GMimeHeader* h = g_mime_header_list_get_header_at(list, i);
      const std::string_view field = g_mime_header_get_name(h);
      const gint64 offset = g_mime_header_get_offset(h);
      if (offset < 0 || static_cast<size_t>(offset) >= bodyBegin) continue;
      if (field.size() < 8 || !EqualsIgnoringCase(field.substr(0, 8), "Content-")) continue;
      const size_t begin = static_cast<size_t>(offset);
      edits_.push_back({begin, HeaderEnd(m_, begin), placed ? "" : headers});
      placed = true;
    }
    if (!placed) edits_.push_back({HeadersEndBefore(m_, bodyBegin), HeadersEndBefore(m_, bodyBegin), headers});
    const std::string_view original = m_.substr(bodyBegin, bodyEnd - bodyBegin);
    edits_.push_back({bodyBegin, bodyEnd, EncodeLike(BodyEncoding::Base64, original.empty() ? "x" : original,
                                                     NoticeText(name, reason, eol_))});
  }

  // A uuencoded block gives way to the notice in the text's own character
  // set; where that cannot hold the Japanese, the English alone.
  void ReplaceBlock(GMimePart* part, const std::string& name, const std::string& reason, size_t at,
                    std::string_view encoded) {
    std::string notice = NoticeText(name, reason, eol_);
    const char* charset = g_mime_object_get_content_type_parameter(GMIME_OBJECT(part), "charset");
    std::string written;
    if (charset && !EqualsIgnoringCase(charset, "utf-8")) {
      gsize length = 0;
      gchar* converted = g_convert(notice.data(), notice.size(), charset, "UTF-8", nullptr, &length, nullptr);
      if (converted) written.assign(converted, length);
      g_free(converted);
    } else if (charset) {
      written = notice;
    }
    if (written.empty()) written = Replace(kNoticeEnglish, name, reason) + std::string(eol_);
    // English names may still hold bytes the charset lacks: keep it ASCII.
    edits_.push_back({at, at + encoded.size(), written});
  }

  void Note(const std::string& name, const ArchiveOutcome& o, Action action) {
    result_.notes.push_back({name, o.status, o.reason, o.neutralised, action});
  }

  // Forged headers out, ours after the last of the message's own.
  void Header(std::initializer_list<GMimeHeaderList*> lists) {
    size_t insertAt = 0;
    for (GMimeHeaderList* list : lists)
    for (int i = 0; list && i < g_mime_header_list_get_count(list); ++i) {
      GMimeHeader* h = g_mime_header_list_get_header_at(list, i);
      const gint64 offset = g_mime_header_get_offset(h);
      if (offset < 0) continue;
      const size_t begin = static_cast<size_t>(offset), end = HeaderEnd(m_, begin);
      if (EqualsIgnoringCase(g_mime_header_get_name(h), kHeaderName)) {
        edits_.push_back({begin, end, ""});
      } else {
        insertAt = std::max(insertAt, end);
      }
    }
    // A last header without a line end (a message of headers only) gets one.
    std::string header = GatewayHeader(options_.version, result_.notes, eol_);
    if (insertAt > 0 && m_[insertAt - 1] != '\n') header.insert(0, eol_);
    edits_.push_back({insertAt, insertAt, std::move(header)});
  }

  void Assemble() {
    // An insertion goes before a removal that starts where it stands (the
    // header after the last kept one, where a forged one was removed).
    std::stable_sort(edits_.begin(), edits_.end(), [](const Edit& a, const Edit& b) {
      return a.begin < b.begin || (a.begin == b.begin && a.end < b.end);
    });
    std::string& out = result_.message;
    size_t grow = 0;
    for (const Edit& e : edits_) grow += e.text.size();
    out.reserve(m_.size() + grow);
    size_t at = 0;
    for (const Edit& e : edits_) {
      // Two edits of one range: a message the header would describe wrongly
      // is never written.
      if (e.begin < at) {
        result_.fate = Fate::TryLater;
        result_.failure = "error";
        out.clear();
        return;
      }
      out.append(m_.substr(at, e.begin - at));
      out += e.text;
      at = e.end;
    }
    out.append(m_.substr(at));
  }

  std::string_view m_;
  const Neutraliser& neutralise_;
  const MailOptions& options_;
  std::string_view eol_;
  std::vector<Edit> edits_;
  MailResult result_;
};

bool PlainName(std::string_view name) {
  if (name.empty()) return false;
  for (unsigned char c : name) {
    if (c < 0x20 || c >= 0x7f || c == '"' || c == '\\' || c == ',' || c == ';') return false;
  }
  return true;
}

std::string PercentName(std::string_view name) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out = "UTF-8''";
  for (unsigned char c : name) {
    if (g_ascii_isalnum(c) || c == '.' || c == '-' || c == '_') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace

std::string_view ActionId(Action a) {
  switch (a) {
    case Action::Neutralised: return "neutralised";
    case Action::Unchanged: return "unchanged";
    case Action::Replaced: return "replaced";
    case Action::Passed: return "passed";
    case Action::Rejected: return "rejected";
  }
  return "";
}

std::string GatewayHeader(const std::string& version, const std::vector<ArchiveNote>& notes, std::string_view eol) {
  std::string h = std::string(kHeaderName) + ": version=" + version + "; archives=" + std::to_string(notes.size());
  for (const ArchiveNote& n : notes) {
    h += ',';
    h += eol;
    h += '\t';
    h += PlainName(n.name) ? "name=\"" + n.name + "\"" : "name*=" + PercentName(n.name);
    h += "; status=" + std::to_string(n.status) + "; reason=" + n.reason +
         "; neutralised=" + std::to_string(n.neutralised) + "; action=" + std::string(ActionId(n.action));
  }
  h += eol;
  return h;
}

MailResult NeutraliseMessage(std::string_view message, const Neutraliser& neutralise, const MailOptions& options) {
  return Surgery(message, neutralise, options).Run();
}

}  // namespace brim::mail
