#include "cli/json_writer.h"

#include <array>

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

void AppendUnicodeEscape(std::string& out, uint32_t cp) {
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(cp >> shift) & 0xF];
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

}  // namespace

void AppendJsonString(std::string& out, std::string_view s) {
  out += '"';
  size_t i = 0;
  while (i < s.size()) {
    // Copy a run of plain ASCII in one go: most cells are hex and digits.
    size_t run = i;
    while (run < s.size() && kClass[static_cast<unsigned char>(s[run])] == 0) ++run;
    out.append(s.data() + i, run - i);
    i = run;
    if (i >= s.size()) break;

    unsigned char b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      switch (b) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: AppendUnicodeEscape(out, b); break;  // other controls and DEL
      }
      ++i;
      continue;
    }
    uint32_t cp = 0;
    size_t n = Utf8SequenceLength(s, i, &cp);
    if (n == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else if (cp == 0x2028 || cp == 0x2029 || (cp >= 0x80 && cp <= 0x9F)) {
      // Line separators break JavaScript string literals; C1 controls are
      // escaped like C0 ones.
      AppendUnicodeEscape(out, cp);
      i += n;
    } else {
      out.append(s.data() + i, n);
      i += n;
    }
  }
  out += '"';
}

void JsonWriter::NewLine(size_t depth) {
  out_ += '\n';
  out_.append(depth * 2, ' ');
}

bool JsonWriter::Flush() {
  if (sink_ && !out_.empty()) {
    if (std::fwrite(out_.data(), 1, out_.size(), sink_) != out_.size()) sinkFailed_ = true;
    out_.clear();
  }
  return !sinkFailed_;
}

void JsonWriter::BeforeValue() {
  if (sink_ && out_.size() >= kBlock) Flush();
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (levels_.empty()) return;
  Level& level = levels_.back();
  if (!level.first) out_ += ',';
  level.first = false;
  if (level.broken) NewLine(levels_.size());
}

void JsonWriter::Begin(char open) {
  BeforeValue();
  out_ += open;
  Level level;
  level.broken = static_cast<int>(levels_.size()) + 1 <= breakDepth_;
  levels_.push_back(level);
}

void JsonWriter::End(char close) {
  Level level = levels_.back();
  levels_.pop_back();
  if (level.broken && !level.first) NewLine(levels_.size());
  out_ += close;
  if (levels_.empty()) out_ += '\n';
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
  AppendJsonString(out_, utf8);
  out_ += levels_.back().broken ? ": " : ":";
  afterKey_ = true;
  return *this;
}

JsonWriter& JsonWriter::String(std::string_view utf8) {
  BeforeValue();
  AppendJsonString(out_, utf8);
  return *this;
}

JsonWriter& JsonWriter::Cp932String(std::string_view cp932) {
  BeforeValue();
  // Most cells are hex digits, numbers and ASCII names that need neither
  // conversion nor escaping: one scan, one copy.
  uint8_t seen = 0;
  for (char c : cp932) seen |= kClass[static_cast<unsigned char>(c)];
  if (seen & 2) {
    AppendJsonString(out_, Cp932ToUtf8(cp932));
    return *this;
  }
  const bool plain = seen == 0;
  if (plain) {
    out_ += '"';
    out_.append(cp932);
    out_ += '"';
  } else {
    // ASCII reads the same in CP932 and UTF-8 (iconv's CP932 keeps 0x5C and 0x7E).
    AppendJsonString(out_, cp932);
  }
  return *this;
}

JsonWriter& JsonWriter::Number(int64_t value) {
  BeforeValue();
  out_ += std::to_string(value);
  return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
  BeforeValue();
  out_ += value ? "true" : "false";
  return *this;
}

}  // namespace brim::cli
