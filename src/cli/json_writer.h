// A small JSON writer: the state printed by --json. Output is always valid
// JSON in UTF-8, whatever bytes the strings hold.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace brim::cli {

// Appends text as a JSON string literal, quotes included. Control characters
// are escaped (\n, \t, ... or \u00XX), so are DEL, U+2028 and U+2029; a byte
// sequence that is not UTF-8 becomes U+FFFD.
void AppendJsonString(std::string& out, std::string_view utf8);

class JsonWriter {
 public:
  // Members of containers nested up to breakDepth deep go on lines of their
  // own (1: the keys of the outer object; 2: also the rows of its arrays).
  explicit JsonWriter(int breakDepth = 0) : breakDepth_(breakDepth) {}
  // Streams to sink in blocks instead of holding the whole text, so a listing
  // of 65,535 entries costs a buffer, not its full size. Text() then holds
  // only what has not been written yet; call Flush() at the end.
  JsonWriter(int breakDepth, std::FILE* sink) : sink_(sink), breakDepth_(breakDepth) {
    out_.reserve(kBlock + 4096);
  }

  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  JsonWriter& Key(std::string_view utf8);
  JsonWriter& String(std::string_view utf8);
  // A CP932 text, written as UTF-8 (bytes that are not CP932 become U+FFFD).
  JsonWriter& Cp932String(std::string_view cp932);
  JsonWriter& Number(int64_t value);
  JsonWriter& Bool(bool value);

  const std::string& Text() const { return out_; }
  std::string& Text() { return out_; }
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

  static constexpr size_t kBlock = 64 * 1024;
  std::string out_;
  std::FILE* sink_ = nullptr;
  bool sinkFailed_ = false;
  std::vector<Level> levels_;
  bool afterKey_ = false;
  int breakDepth_;
};

}  // namespace brim::cli
