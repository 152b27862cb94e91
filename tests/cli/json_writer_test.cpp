#include <gtest/gtest.h>

#include "base/cp932.h"
#include "cli/json_writer.h"
#include "cli/json_reader.h"

namespace brim::cli {
namespace {

using test::Json;

std::string Quoted(std::string_view s) {
  std::string out;
  AppendJsonString(out, s);
  return out;
}

struct EscapeCase {
  std::string in;
  std::string out;
};

class JsonEscape : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(JsonEscape, Exact) { EXPECT_EQ(Quoted(GetParam().in), GetParam().out); }

INSTANTIATE_TEST_SUITE_P(
    Strings, JsonEscape,
    ::testing::Values(
        EscapeCase{"", R"("")"}, EscapeCase{"a.txt", R"("a.txt")"},
        EscapeCase{"say \"hi\"", R"("say \"hi\"")"}, EscapeCase{"src\\main.c", R"("src\\main.c")"},
        EscapeCase{"a\nb\rc\td\be\ff", R"("a\nb\rc\td\be\ff")"},
        EscapeCase{std::string("\0x", 2), R"("\u0000x")"}, EscapeCase{"\x1B[31m", R"("\u001b[31m")"},
        EscapeCase{"\x7F", R"("\u007f")"}, EscapeCase{"/", R"("/")"},
        // Valid UTF-8 passes through; the line separators and C1 controls are escaped.
        EscapeCase{"\xE8\xA1\xA8.txt", "\"\xE8\xA1\xA8.txt\""}, EscapeCase{"\xEF\xBF\xBD", "\"\xEF\xBF\xBD\""},
        EscapeCase{"\xF0\x9F\x98\x80", "\"\xF0\x9F\x98\x80\""}, EscapeCase{"\xE2\x80\xA8", R"("\u2028")"},
        EscapeCase{"\xE2\x80\xA9", R"("\u2029")"}, EscapeCase{"\xC2\x85", R"("\u0085")"},
        // Bytes that are not UTF-8 become U+FFFD, one per byte, never a raw byte.
        EscapeCase{"\xFF", "\"\xEF\xBF\xBD\""}, EscapeCase{"a\x95\\b", "\"a\xEF\xBF\xBD\\\\b\""},
        EscapeCase{"\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},                        // overlong "/"
        EscapeCase{"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},        // a surrogate
        EscapeCase{"\xE8\xA1", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},                        // cut at the end
        EscapeCase{"\xF4\x90\x80\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
        // Eight bytes go at once: a byte to escape in the first word, only
        // in the last few, or none, with the last word overlapping.
        EscapeCase{"ab\ncdefghijklmnop", R"("ab\ncdefghijklmnop")"},
        EscapeCase{"0123456789\"ab", R"("0123456789\"ab")"}, EscapeCase{"abcdefghijk", R"("abcdefghijk")"},
        EscapeCase{"abcdefgh\xE8\xA1\xA8ijklmnop\x7F", "\"abcdefgh\xE8\xA1\xA8ijklmnop\\u007f\""}));

TEST(JsonEscape, EveryByteValueGivesValidJsonThatReadsBack) {
  std::string all;
  for (int b = 0; b < 0x80; ++b) all += static_cast<char>(b);
  Json v = Json::parse(Quoted(all));
  EXPECT_EQ(v.get<std::string>(), all);
  for (int b = 0x80; b < 0x100; ++b) {
    std::string one(1, static_cast<char>(b));
    EXPECT_EQ(Json::parse(Quoted(one)).get<std::string>(), "\xEF\xBF\xBD") << b;
  }
}

// A CP932 text is converted and escaped as UTF-8 would be, whatever its
// length (one longer than the writer's block goes through a string).
TEST(JsonWriter, Cp932StringAsItsUtf8) {
  const std::string japanese = "\x8F\xE3\x8F\x91\x82\xAB\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
  for (const std::string& in :
       {std::string("file00001.txt") + japanese, "\"" + japanese + "\"\t\\", japanese + "tail\x81",
        std::string("\x81\x40 \xFF"), std::string(20000, 'a') + japanese + "\n"}) {
    JsonWriter w;
    w.Cp932String(in);
    EXPECT_EQ(w.Text(), Quoted(Cp932ToUtf8(in))) << testing::PrintToString(in.substr(0, 40));
  }
  // Texts of every length up to 20 with an escape, a Japanese character or
  // DEL at every place: eight-byte words, their edges and the last word.
  for (const std::string odd : {"\"", "\x82\xA0", "\x7F"}) {
    for (size_t length = 0; length <= 20; ++length) {
      for (size_t at = 0; at <= length; ++at) {
        const std::string in = std::string(at, 'a') + odd + std::string(length - at, 'b');
        JsonWriter w;
        w.Cp932String(in);
        EXPECT_EQ(w.Text(), Quoted(Cp932ToUtf8(in))) << testing::PrintToString(in);
      }
    }
  }
}

// A text in two parts reads as the whole, also where a character spans
// them or only iconv reads a part, and when a tail comes again.
TEST(JsonWriter, Cp932StringInTwoPartsAsTheWhole) {
  const std::string zeroed = "\x82\xF0\x82\x4F\x82\x4F\x82\xC5\x8F\xE3\x8F\x91\x82\xAB";
  for (const auto& [head, tail] : std::vector<std::pair<std::string, std::string>>{
           {"file.exe", zeroed}, {"file.exe", zeroed}, {"a\x82", "\xA0z"}, {"\"q\"\t", "\xFF" + zeroed},
           {"", "CRC"}, {std::string(12000, '\\'), zeroed}, {"x\x85\x40", ""}}) {
    JsonWriter parts, whole;
    parts.Cp932String(head, tail);
    whole.Cp932String(head + tail);
    EXPECT_EQ(parts.Text(), whole.Text()) << testing::PrintToString(head) << testing::PrintToString(tail);
  }
}

TEST(JsonWriter, NestingAndCommasAtEveryLineBreakDepth) {
  for (int depth = 0; depth <= 3; ++depth) {
    JsonWriter w(depth);
    w.BeginObject();
    w.Key("a").BeginArray().EndArray();
    w.Key("b").BeginArray().BeginArray().String("x").Number(-3).Bool(true).EndArray().BeginArray().EndArray().EndArray();
    w.Key("c").BeginObject().Key("d").Bool(false).EndObject();
    w.Key("e").Number(100);
    w.EndObject();
    Json v = Json::parse(w.Text());
    EXPECT_EQ(test::Keys(v), (std::vector<std::string>{"a", "b", "c", "e"}));
    EXPECT_TRUE(v["a"].empty());
    ASSERT_EQ(v["b"].size(), 2u);
    EXPECT_EQ(v["b"][0][0].get<std::string>(), "x");
    EXPECT_EQ(v["b"][0][1].get<double>(), -3);
    EXPECT_TRUE(v["b"][0][2].get<bool>());
    EXPECT_FALSE(v["c"]["d"].get<bool>());
    EXPECT_EQ(v["e"].get<double>(), 100);
    EXPECT_EQ(w.Text().back(), '\n');
  }
  JsonWriter compact;
  compact.BeginArray().Number(1).String("2").EndArray();
  EXPECT_EQ(compact.Text(), "[1,\"2\"]\n");
}

TEST(JsonWriter, RowsOfTheOuterArraysGoOnLinesOfTheirOwn) {
  JsonWriter w(2);
  w.BeginObject().Key("listing").BeginArray();
  w.BeginArray().String("a").Bool(true).EndArray();
  w.BeginArray().String("b").Bool(false).EndArray();
  w.EndArray().EndObject();
  EXPECT_EQ(w.Text(), "{\n  \"listing\": [\n    [\"a\",true],\n    [\"b\",false]\n  ]\n}\n");
}

}  // namespace
}  // namespace brim::cli
