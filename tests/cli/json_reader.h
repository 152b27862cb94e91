// A strict JSON reader for checking what brimlode-cli prints: it rejects
// anything RFC 8259 rejects (raw control characters in strings, bad escapes,
// trailing commas, text after the value), so a test that parses the output
// also proves it is valid JSON.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brim::test {

struct JsonValue {
  enum class Type { Null, Bool, Number, String, Array, Object } type = Type::Null;
  bool boolean = false;
  double number = 0;
  std::string string;
  std::vector<JsonValue> array;
  std::vector<std::pair<std::string, JsonValue>> object;  // in order

  const JsonValue& operator[](const std::string& key) const {
    for (const auto& [k, v] : object) {
      if (k == key) return v;
    }
    throw std::runtime_error("no key " + key);
  }
  const JsonValue& operator[](size_t i) const { return array.at(i); }
  std::vector<std::string> Keys() const {
    std::vector<std::string> keys;
    for (const auto& kv : object) keys.push_back(kv.first);
    return keys;
  }
};

class JsonReader {
 public:
  static JsonValue Parse(std::string_view text) {
    JsonReader r(text);
    r.SkipSpace();
    JsonValue v = r.Value(0);
    r.SkipSpace();
    if (r.pos_ != text.size()) r.Fail("text after the value");
    return v;
  }

 private:
  explicit JsonReader(std::string_view t) : t_(t) {}

  [[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error("JSON: " + what + " at " + std::to_string(pos_));
  }
  char Peek() { return pos_ < t_.size() ? t_[pos_] : '\0'; }
  void Expect(char c) {
    if (Peek() != c) Fail(std::string("expected ") + c);
    ++pos_;
  }
  void SkipSpace() {
    while (pos_ < t_.size() && (t_[pos_] == ' ' || t_[pos_] == '\n' || t_[pos_] == '\r' || t_[pos_] == '\t')) ++pos_;
  }
  bool Literal(std::string_view word) {
    if (t_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }

  JsonValue Value(int depth) {
    if (depth > 64) Fail("too deep");
    JsonValue v;
    char c = Peek();
    if (c == '{') {
      v.type = JsonValue::Type::Object;
      ++pos_;
      SkipSpace();
      if (Peek() == '}') {
        ++pos_;
        return v;
      }
      while (true) {
        SkipSpace();
        std::string key = String();
        SkipSpace();
        Expect(':');
        SkipSpace();
        v.object.emplace_back(std::move(key), Value(depth + 1));
        SkipSpace();
        if (Peek() == ',') {
          ++pos_;
          continue;
        }
        Expect('}');
        return v;
      }
    }
    if (c == '[') {
      v.type = JsonValue::Type::Array;
      ++pos_;
      SkipSpace();
      if (Peek() == ']') {
        ++pos_;
        return v;
      }
      while (true) {
        SkipSpace();
        v.array.push_back(Value(depth + 1));
        SkipSpace();
        if (Peek() == ',') {
          ++pos_;
          continue;
        }
        Expect(']');
        return v;
      }
    }
    if (c == '"') {
      v.type = JsonValue::Type::String;
      v.string = String();
      return v;
    }
    if (Literal("true")) {
      v.type = JsonValue::Type::Bool;
      v.boolean = true;
      return v;
    }
    if (Literal("false")) {
      v.type = JsonValue::Type::Bool;
      return v;
    }
    if (Literal("null")) return v;
    size_t start = pos_;
    if (Peek() == '-') ++pos_;
    if (Peek() < '0' || Peek() > '9') Fail("unexpected character");
    while (pos_ < t_.size() && std::string_view("0123456789.eE+-").find(t_[pos_]) != std::string_view::npos) ++pos_;
    v.type = JsonValue::Type::Number;
    v.number = std::stod(std::string(t_.substr(start, pos_ - start)));
    return v;
  }

  uint32_t Hex4() {
    if (pos_ + 4 > t_.size()) Fail("short \\u escape");
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      char c = t_[pos_++];
      v <<= 4;
      if (c >= '0' && c <= '9') v |= static_cast<uint32_t>(c - '0');
      else if (c >= 'a' && c <= 'f') v |= static_cast<uint32_t>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') v |= static_cast<uint32_t>(c - 'A' + 10);
      else Fail("bad hex digit");
    }
    return v;
  }

  static void PutUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }

  std::string String() {
    Expect('"');
    std::string out;
    while (true) {
      if (pos_ >= t_.size()) Fail("unterminated string");
      unsigned char c = static_cast<unsigned char>(t_[pos_++]);
      if (c == '"') return out;
      if (c < 0x20) Fail("raw control character in a string");
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      char e = Peek();
      ++pos_;
      switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          uint32_t cp = Hex4();
          if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (!Literal("\\u")) Fail("lone high surrogate");
            uint32_t low = Hex4();
            if (low < 0xDC00 || low > 0xDFFF) Fail("bad low surrogate");
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            Fail("lone low surrogate");
          }
          PutUtf8(out, cp);
          break;
        }
        default: Fail("bad escape");
      }
    }
  }

  std::string_view t_;
  size_t pos_ = 0;
};

}  // namespace brim::test
