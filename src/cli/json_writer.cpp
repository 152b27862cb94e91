#include "cli/json_writer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

#include "base/cp932.h"

namespace brim::cli {

namespace {

constexpr char kHex[] = "0123456789abcdef";

// Byte classes for the scan: 0 copies as it is, 1 needs an escape (controls,
// '"', '\\', DEL), 2 starts a multi-byte sequence.
constexpr auto kClass = [] {
  std::array<uint8_t, 256> c{};
  for (int b = 0; b < 0x20; ++b) c[b] = 1;
  c['"'] = 1;
  c['\\'] = 1;
  c[0x7F] = 1;
  for (int b = 0x80; b < 0x100; ++b) c[b] = 2;
  return c;
}();

// In text known to be UTF-8 (converted from CP932 here), only these bytes
// can start something to escape: controls, '"', '\\', DEL (1), and the
// leads of C1 controls and of U+2028 and U+2029 (2).
constexpr auto kTrustedClass = [] {
  std::array<uint8_t, 256> c{};
  for (int b = 0; b < 0x80; ++b) c[b] = kClass[b];
  c[0xC2] = 2;
  c[0xE2] = 2;
  return c;
}();

char* UnicodeEscapeTo(char* out, uint32_t cp) {
  *out++ = '\\';
  *out++ = 'u';
  for (int k = 0; k < 4; ++k) *out++ = kHex[(cp >> (12 - 4 * k)) & 0xF];
  return out;
}

// Length of the well-formed UTF-8 sequence at s[i], or 0 when there is none
// (overlong forms, surrogates and code points past U+10FFFF included).
size_t Utf8SequenceLength(std::string_view s, size_t i, uint32_t* cp) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char b = byte(i);
  size_t n;
  uint32_t c;
  if (b >= 0xC2 && b <= 0xDF) {
    n = 2;
    c = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3;
    c = b & 0x0F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4;
    c = b & 0x07;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  if ((n == 3 && c < 0x800) || (n == 4 && (c < 0x10000 || c > 0x10FFFF)) ||
      (c >= 0xD800 && c <= 0xDFFF)) {
    return 0;
  }
  *cp = c;
  return n;
}

// Whether any of eight bytes may need an escape: a control, '"', '\\' or
// DEL, and any byte from 0x80 up, or (kTrusted: the text is UTF-8) only the
// leads of C1 controls and of U+2028 and U+2029. Bit tricks: a byte equal to
// c gives 0 after ^ c, and a byte below c borrows into its top bit; a match
// is never missed, and a false one only sends the word the slow way.
template <bool kTrusted>
constexpr bool NeedsLook(uint64_t w) {
  return (MaybeEscapedAscii(w) | (kTrusted ? MaybeC2OrE2(w) : w & 0x8080808080808080u)) != 0;
}
static_assert(!NeedsLook<false>(0x3736353433323130u) && NeedsLook<false>(0x3736353433323100u) &&
              NeedsLook<false>(0x3736355C33323130u) && NeedsLook<false>(0x7F36353433323130u) &&
              NeedsLook<false>(0x3736358033323130u) && NeedsLook<false>(0x1F36353433323130u));
static_assert(!NeedsLook<true>(0x3736358033A8E3B0u) && NeedsLook<true>(0x37363580E2A8E3B0u) &&
              NeedsLook<true>(0xC236353433323130u) && NeedsLook<true>(0x3736358033A8E30Au) &&
              NeedsLook<true>(0x3736358022A8E3B0u));

// Writes s as a JSON string literal at out, which has room for 6 bytes per
// byte of s and the quotes; returns the end. Byte by byte into the buffer:
// a call per run of plain bytes cost more than the copy itself.
template <bool kTrusted>
char* EscapeTo(char* out, std::string_view s) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const size_t n = s.size();
  *out++ = '"';
  // A short text (most names and cells) as two words that may overlap,
  // when neither needs a look: no loop at all.
  if (n >= 8 && n <= 16) {
    uint64_t a, b;
    std::memcpy(&a, p, 8);
    std::memcpy(&b, p + n - 8, 8);
    if (!NeedsLook<kTrusted>(a) && !NeedsLook<kTrusted>(b)) {
      std::memcpy(out, &a, 8);
      std::memcpy(out + n - 8, &b, 8);
      out[n] = '"';
      return out + n + 1;
    }
  } else if (n >= 4 && n < 8) {
    uint32_t a, b;
    std::memcpy(&a, p, 4);
    std::memcpy(&b, p + n - 4, 4);
    if (!NeedsLook<kTrusted>(a | (uint64_t{b} << 32))) {
      std::memcpy(out, &a, 4);
      std::memcpy(out + n - 4, &b, 4);
      out[n] = '"';
      return out + n + 1;
    }
  }
  size_t looked = 0;  // bytes before this go one by one: their word needed a look
  size_t verbatim = 0;  // every byte from here to i went out as it is
  for (size_t i = 0; i < n;) {
    // Eight plain ASCII bytes at once: most texts are names, digits and hex.
    if (i >= looked && i + 8 <= n) {
      uint64_t w;
      std::memcpy(&w, p + i, 8);
      if (!NeedsLook<kTrusted>(w)) {
        std::memcpy(out, &w, 8);
        out += 8;
        i += 8;
        continue;
      }
      looked = i + 8;
    } else if (i >= looked && n >= 8 && i + 8 > n && n - 8 >= verbatim) {
      // The last few bytes: the text's last eight, when all are plain, end
      // it (those before i among them went out as they are).
      uint64_t w;
      std::memcpy(&w, p + n - 8, 8);
      if (!NeedsLook<kTrusted>(w)) {
        std::memcpy(out - (i - (n - 8)), &w, 8);
        out += n - i;
        break;
      }
      looked = n;
    }
    const unsigned char b = p[i];
    if ((kTrusted ? kTrustedClass : kClass)[b] == 0) {
      *out++ = static_cast<char>(b);
      ++i;
      continue;
    }
    if (b < 0x80) {
      const char* e = nullptr;
      switch (b) {
        case '"': e = "\\\""; break;
        case '\\': e = "\\\\"; break;
        case '\b': e = "\\b"; break;
        case '\f': e = "\\f"; break;
        case '\n': e = "\\n"; break;
        case '\r': e = "\\r"; break;
        case '\t': e = "\\t"; break;
        default: out = UnicodeEscapeTo(out, b); break;  // other controls and DEL
      }
      if (e) {
        *out++ = e[0];
        *out++ = e[1];
      }
      verbatim = ++i;
      continue;
    }
    uint32_t cp = 0;
    const size_t len = Utf8SequenceLength(s, i, &cp);
    if (len == 0) {
      std::memcpy(out, "\xEF\xBF\xBD", 3);
      out += 3;
      verbatim = ++i;
    } else if (cp == 0x2028 || cp == 0x2029 || (cp >= 0x80 && cp <= 0x9F)) {
      // Line separators break JavaScript string literals; C1 controls are
      // escaped like C0 ones.
      out = UnicodeEscapeTo(out, cp);
      verbatim = i += len;
    } else {
      for (size_t k = 0; k < len; ++k) *out++ = static_cast<char>(p[i + k]);
      i += len;
    }
  }
  *out++ = '"';
  return out;
}

size_t EscapedRoom(std::string_view s) { return s.size() * 6 + 2; }

// How each ASCII byte is written inside a string literal.
const AsciiEscapes& JsonEscapes() {
  static const AsciiEscapes escapes = [] {
    AsciiEscapes e;
    for (int b = 0; b < 0x80; ++b) {
      if (kClass[b] != 1) continue;
      char text[7] = {};
      char* end = text;
      switch (b) {
        case '"': end = std::copy_n("\\\"", 2, text); break;
        case '\\': end = std::copy_n("\\\\", 2, text); break;
        case '\b': end = std::copy_n("\\b", 2, text); break;
        case '\f': end = std::copy_n("\\f", 2, text); break;
        case '\n': end = std::copy_n("\\n", 2, text); break;
        case '\r': end = std::copy_n("\\r", 2, text); break;
        case '\t': end = std::copy_n("\\t", 2, text); break;
        default: end = UnicodeEscapeTo(text, static_cast<uint32_t>(b)); break;
      }
      e.length[b] = static_cast<uint8_t>(end - text);
      std::memcpy(e.text[b], text, sizeof e.text[b]);
    }
    e.fewReplaced = true;  // the controls, '"', '\\' and DEL
    return e;
  }();
  return escapes;
}

}  // namespace

char* JsonStringTo(char* out, std::string_view text, bool valid) {
  return valid ? EscapeTo<true>(out, text) : EscapeTo<false>(out, text);
}

char* JsonCp932StringTo(char* out, std::string_view cp932) {
  // ASCII reads the same in CP932 and UTF-8 (iconv's CP932 keeps 0x5C and
  // 0x7E): most cells are hex digits, numbers and ASCII names.
  if (IsAscii(cp932)) return EscapeTo<true>(out, cp932);
  // Converted and escaped in one pass: what the tables give needs no escape
  // but the input's own ASCII (cp932.h).
  const size_t n = Cp932ToUtf8To(cp932, out + 1, &JsonEscapes());
  if (n == kNeedsIconv) return nullptr;
  out[0] = '"';
  out[n + 1] = '"';
  return out + n + 2;
}

void AppendJsonString(std::string& out, std::string_view s) {
  const size_t at = out.size();
  out.resize(at + EscapedRoom(s));
  char* end = EscapeTo<false>(out.data() + at, s);
  out.resize(static_cast<size_t>(end - out.data()));
}

JsonWriter::JsonWriter(int breakDepth) : buf_(new char[kBlock]), breakDepth_(breakDepth) {}
JsonWriter::JsonWriter(int breakDepth, std::FILE* sink)
    : buf_(new char[kBlock]), sink_(sink), breakDepth_(breakDepth) {}

void JsonWriter::Emit(std::string_view v) {
  if (!sink_) {
    text_.append(v);
  } else if (!v.empty() && std::fwrite(v.data(), 1, v.size(), sink_) != v.size()) {
    sinkFailed_ = true;
  }
}

void JsonWriter::Drain() {
  Emit(std::string_view(buf_.get(), len_));
  len_ = 0;
}

void JsonWriter::PutLong(std::string_view v) {
  Drain();
  if (v.size() > kBlock) {
    Emit(v);
    return;
  }
  std::memcpy(buf_.get(), v.data(), v.size());
  len_ = v.size();
}

void JsonWriter::PutEscaped(std::string_view text, bool trusted) {
  const size_t room = EscapedRoom(text);
  if (room > kBlock - len_) Drain();
  if (room > kBlock) {  // longer than a block: through a string of its own
    std::string literal(room, '\0');
    char* end = trusted ? EscapeTo<true>(literal.data(), text) : EscapeTo<false>(literal.data(), text);
    Put(std::string_view(literal.data(), static_cast<size_t>(end - literal.data())));
    return;
  }
  char* at = buf_.get() + len_;
  char* end = trusted ? EscapeTo<true>(at, text) : EscapeTo<false>(at, text);
  len_ += static_cast<size_t>(end - at);
}

std::string& JsonWriter::Text() {
  Drain();
  return text_;
}

void JsonWriter::NewLine(size_t depth) {
  Put('\n');
  for (size_t i = 0; i < depth; ++i) Put(std::string_view("  ", 2));
}

bool JsonWriter::Flush() {
  Drain();
  return !sinkFailed_;
}

void JsonWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (levels_.empty()) return;
  Level& level = levels_.back();
  if (!level.first) Put(',');
  level.first = false;
  if (level.broken) NewLine(levels_.size());
}

char* JsonWriter::ValueRoom(size_t n) {
  // What BeforeValue would put, without putting it yet.
  size_t k = 0;
  if (!afterKey_ && !levels_.empty()) {
    const Level& level = levels_.back();
    if (2 + 2 * levels_.size() > sizeof separator_) return nullptr;
    if (!level.first) separator_[k++] = ',';
    if (level.broken) {
      separator_[k++] = '\n';
      for (size_t i = 0; i < levels_.size(); ++i, k += 2) std::memcpy(separator_ + k, "  ", 2);
    }
  }
  separatorLength_ = k;
  if (n > kBlock - k) return nullptr;
  if (n + k > kBlock - len_) Drain();
  return buf_.get() + len_ + k;
}

void JsonWriter::WroteValue(char* end) {
  std::memcpy(buf_.get() + len_, separator_, separatorLength_);
  if (afterKey_) afterKey_ = false;
  else if (!levels_.empty()) levels_.back().first = false;
  len_ = static_cast<size_t>(end - buf_.get());
}

void JsonWriter::Begin(char open) {
  BeforeValue();
  Put(open);
  Level level;
  level.broken = static_cast<int>(levels_.size()) + 1 <= breakDepth_;
  levels_.push_back(level);
}

void JsonWriter::End(char close) {
  Level level = levels_.back();
  levels_.pop_back();
  if (level.broken && !level.first) NewLine(levels_.size());
  Put(close);
  if (levels_.empty()) Put('\n');
}

JsonWriter& JsonWriter::BeginObject() {
  Begin('{');
  return *this;
}
JsonWriter& JsonWriter::EndObject() {
  End('}');
  return *this;
}
JsonWriter& JsonWriter::BeginArray() {
  Begin('[');
  return *this;
}
JsonWriter& JsonWriter::EndArray() {
  End(']');
  return *this;
}

JsonWriter& JsonWriter::Key(std::string_view utf8) {
  BeforeValue();
  PutEscaped(utf8, false);
  Put(levels_.back().broken ? std::string_view(": ", 2) : std::string_view(":", 1));
  afterKey_ = true;
  return *this;
}

JsonWriter& JsonWriter::String(std::string_view utf8) {
  BeforeValue();
  PutEscaped(utf8, false);
  return *this;
}

JsonWriter& JsonWriter::Cp932String(std::string_view cp932) {
  BeforeValue();
  PutCp932(cp932);
  return *this;
}

JsonWriter& JsonWriter::Cp932String(std::string_view head, std::string_view tail) {
  BeforeValue();
  // Converting the parts apart gives the whole's conversion when the tables
  // read both: the head then ends on a character's end. Otherwise the whole
  // line goes the usual way.
  // The tail converted and escaped, without quotes.
  const std::string* tailJson = tails_.Get(tail, [](std::string_view cp932) -> std::optional<std::string> {
    std::string json(cp932.size() * 6, '\0');
    const size_t n = Cp932ToUtf8To(cp932, json.data(), &JsonEscapes());
    if (n == kNeedsIconv) return std::nullopt;
    json.resize(n);
    return json;
  });
  const size_t room = head.size() * 6 + (tailJson ? tailJson->size() : 0) + 2;
  if (tailJson && room <= kBlock) {
    if (room > kBlock - len_) Drain();
    char* at = buf_.get() + len_;
    const size_t n = Cp932ToUtf8To(head, at + 1, &JsonEscapes());
    if (n != kNeedsIconv) {
      at[0] = '"';
      std::memcpy(at + 1 + n, tailJson->data(), tailJson->size());
      at[n + 1 + tailJson->size()] = '"';
      len_ += n + tailJson->size() + 2;
      return *this;
    }
  }
  std::string whole(head);
  whole += tail;
  PutCp932(whole);
  return *this;
}

void JsonWriter::PutCp932(std::string_view cp932) {
  const size_t room = JsonLiteralRoom(cp932);
  if (room <= kBlock) {
    if (room > kBlock - len_) Drain();
    if (char* end = JsonCp932StringTo(buf_.get() + len_, cp932)) {
      len_ = static_cast<size_t>(end - buf_.get());
      return;
    }
  }
  PutEscaped(Cp932ToUtf8(cp932), false);  // a long text, or bytes only iconv reads
}

JsonWriter& JsonWriter::Plain(std::string_view ascii) {
  BeforeValue();
  Put('"');
  Put(ascii);
  Put('"');
  return *this;
}

JsonWriter& JsonWriter::Number(int64_t value) {
  BeforeValue();
  char digits[24];
  Put(std::string_view(digits, static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, value).ptr - digits)));
  return *this;
}

JsonWriter& JsonWriter::Null() {
  BeforeValue();
  Put(std::string_view("null"));
  return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
  BeforeValue();
  Put(value ? std::string_view("true") : std::string_view("false"));
  return *this;
}

}  // namespace brim::cli
