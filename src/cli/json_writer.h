// A small JSON writer: the state printed by --json. Output is always valid
// JSON in UTF-8, whatever bytes the strings hold.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli/recurring_texts.h"

namespace brim::cli {

// Appends text as a JSON string literal, quotes included. Control characters
// are escaped (\n, \t, ... or \u00XX), so are DEL, U+2028 and U+2029; a byte
// sequence that is not UTF-8 becomes U+FFFD.
void AppendJsonString(std::string& out, std::string_view utf8);

// The same at out, which has room for JsonLiteralRoom(text) bytes; returns
// the end. valid: text is known to be valid UTF-8, so only the bytes that
// may need an escape are looked at.
char* JsonStringTo(char* out, std::string_view text, bool valid);
// A CP932 text so, converted to UTF-8 on the way; nullptr when the
// conversion needs iconv (then out holds nothing usable).
char* JsonCp932StringTo(char* out, std::string_view cp932);
inline size_t JsonLiteralRoom(std::string_view text) { return text.size() * 6 + 2; }

class JsonWriter {
 public:
  // Members of containers nested up to breakDepth deep go on lines of their
  // own (1: the keys of the outer object; 2: also the rows of its arrays).
  explicit JsonWriter(int breakDepth = 0);
  // Streams to sink in blocks of 64 KiB instead of holding the whole text,
  // so a listing of 65,535 entries costs a buffer, not its full size. Text()
  // then holds nothing; call Flush() at the end.
  JsonWriter(int breakDepth, std::FILE* sink);

  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  JsonWriter& Key(std::string_view utf8);
  JsonWriter& String(std::string_view utf8);
  // A CP932 text, written as UTF-8 (bytes that are not CP932 become U+FFFD).
  JsonWriter& Cp932String(std::string_view cp932);
  // One CP932 text given in two parts, a name and then one of the program's
  // texts (a log line as appended): each distinct tail is converted once.
  JsonWriter& Cp932String(std::string_view head, std::string_view tail);
  // A text that needs no escape (digits, hex digits, ASCII punctuation).
  JsonWriter& Plain(std::string_view ascii);
  JsonWriter& Number(int64_t value);
  JsonWriter& Bool(bool value);
  JsonWriter& Null();

  // A whole value the caller writes straight into the buffer (a row of
  // cells, brackets and all): ValueRoom(n) gives n bytes after the
  // separator the value needs, nullptr when that is more than a block;
  // WroteValue(end) puts the separator before it and keeps it up to end.
  // Without WroteValue nothing was written.
  char* ValueRoom(size_t n);
  void WroteValue(char* end);

  // The text written so far (without a sink).
  std::string& Text();
  // Writes what is buffered to the sink; false when the sink failed.
  bool Flush();

 private:
  struct Level {
    bool first = true;
    bool broken = false;
  };
  void BeforeValue();
  void Begin(char open);
  void End(char close);
  void NewLine(size_t depth);

  void Put(char c) {
    if (len_ == kBlock) Drain();
    buf_[len_++] = c;
  }
  void Put(std::string_view v) {
    if (v.size() <= kBlock - len_) {
      std::memcpy(buf_.get() + len_, v.data(), v.size());
      len_ += v.size();
    } else {
      PutLong(v);
    }
  }
  void PutLong(std::string_view v);
  void Drain();
  void Emit(std::string_view v);
  // text as a string literal; trusted: known to be UTF-8, so only the bytes
  // that may need an escape are looked at.
  void PutEscaped(std::string_view text, bool trusted);
  void PutCp932(std::string_view cp932);

  static constexpr size_t kBlock = 64 * 1024;
  std::unique_ptr<char[]> buf_;  // the formatted text goes straight in here
  size_t len_ = 0;
  std::string text_;             // what was drained, without a sink
  RecurringTexts tails_;  // the log lines' texts, converted and escaped
  std::FILE* sink_ = nullptr;
  bool sinkFailed_ = false;
  std::vector<Level> levels_;
  bool afterKey_ = false;
  char separator_[32];      // what ValueRoom found the next value needs first
  size_t separatorLength_ = 0;
  int breakDepth_;
};

}  // namespace brim::cli
