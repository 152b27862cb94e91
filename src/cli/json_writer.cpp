#include "cli/json_writer.h"

#include <array>
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

template <typename Out>
void AppendUnicodeEscape(Out& out, uint32_t cp) {
  char e[6] = {'\\', 'u'};
  for (int k = 0; k < 4; ++k) e[2 + k] = kHex[(cp >> (12 - 4 * k)) & 0xF];
  out.Put(std::string_view(e, 6));
}

// Appends to a std::string.
struct StringOut {
  std::string& s;
  void Put(char c) { s += c; }
  void Put(std::string_view v) { s.append(v); }
};

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

template <typename Out>
void AppendEscaped(Out& out, std::string_view s) {
  out.Put('"');
  size_t i = 0;
  while (i < s.size()) {
    // Copy a run of plain ASCII in one go: most cells are hex and digits.
    size_t run = i;
    while (run < s.size() && kClass[static_cast<unsigned char>(s[run])] == 0) ++run;
    out.Put(std::string_view(s.data() + i, run - i));
    i = run;
    if (i >= s.size()) break;

    unsigned char b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      switch (b) {
        case '"': out.Put(std::string_view("\\\"")); break;
        case '\\': out.Put(std::string_view("\\\\")); break;
        case '\b': out.Put(std::string_view("\\b")); break;
        case '\f': out.Put(std::string_view("\\f")); break;
        case '\n': out.Put(std::string_view("\\n")); break;
        case '\r': out.Put(std::string_view("\\r")); break;
        case '\t': out.Put(std::string_view("\\t")); break;
        default: AppendUnicodeEscape(out, b); break;  // other controls and DEL
      }
      ++i;
      continue;
    }
    uint32_t cp = 0;
    size_t n = Utf8SequenceLength(s, i, &cp);
    if (n == 0) {
      out.Put(std::string_view("\xEF\xBF\xBD"));
      ++i;
    } else if (cp == 0x2028 || cp == 0x2029 || (cp >= 0x80 && cp <= 0x9F)) {
      // Line separators break JavaScript string literals; C1 controls are
      // escaped like C0 ones.
      AppendUnicodeEscape(out, cp);
      i += n;
    } else {
      out.Put(std::string_view(s.data() + i, n));
      i += n;
    }
  }
  out.Put('"');
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view s) {
  StringOut o{out};
  AppendEscaped(o, s);
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

void JsonWriter::PutEscaped(std::string_view utf8) {
  struct Self {
    JsonWriter& w;
    void Put(char c) { w.Put(c); }
    void Put(std::string_view v) { w.Put(v); }
  } self{*this};
  AppendEscaped(self, utf8);
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
  PutEscaped(utf8);
  Put(levels_.back().broken ? std::string_view(": ", 2) : std::string_view(":", 1));
  afterKey_ = true;
  return *this;
}

JsonWriter& JsonWriter::String(std::string_view utf8) {
  BeforeValue();
  PutEscaped(utf8);
  return *this;
}

JsonWriter& JsonWriter::Cp932String(std::string_view cp932) {
  BeforeValue();
  // Most cells are hex digits, numbers and ASCII names that need neither
  // conversion nor escaping: one scan, one copy.
  uint8_t seen = 0;
  for (char c : cp932) seen |= kClass[static_cast<unsigned char>(c)];
  if (seen & 2) {
    PutEscaped(Cp932ToUtf8(cp932));
    return *this;
  }
  const bool plain = seen == 0;
  if (plain) {
    Put('"');
    Put(cp932);
    Put('"');
  } else {
    // ASCII reads the same in CP932 and UTF-8 (iconv's CP932 keeps 0x5C and 0x7E).
    PutEscaped(cp932);
  }
  return *this;
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
  Put(std::to_string(value));
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
