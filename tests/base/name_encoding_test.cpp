#include "base/name_encoding.h"

#include <gtest/gtest.h>

#include "support/test_files.h"

namespace brim {
namespace {

using test::J;

struct EncodingCase {
  const char* label;
  std::string bytes;
  bool flagged;
  NameEncoding expected;
};

void PrintTo(const EncodingCase& c, std::ostream* os) { *os << c.label; }

class ReadNameEncodingTest : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(ReadNameEncodingTest, ReadsUtf8OnlyWhenItIsUtf8WithAMultiByteCharacter) {
  EXPECT_EQ(ReadNameEncoding(GetParam().bytes, GetParam().flagged), GetParam().expected);
}

constexpr auto kCp932 = NameEncoding::Cp932;
constexpr auto kUtf8 = NameEncoding::Utf8;

INSTANTIATE_TEST_SUITE_P(
    Names, ReadNameEncodingTest,
    ::testing::Values(EncodingCase{"ascii", "dir/a.txt", false, kCp932},
                      EncodingCase{"ascii flagged", "a.txt", true, kUtf8},
                      EncodingCase{"cp932", J("ソフト\\表示.txt"), false, kCp932},
                      EncodingCase{"cp932 kana", J("ｱｲ.txt"), false, kCp932},
                      EncodingCase{"utf8", "\xE6\x9C\xAC\xE6\x96\x87.exe", false, kUtf8},
                      EncodingCase{"utf8 nfd", "\xE3\x81\x8B\xE3\x82\x99.txt", false, kUtf8},
                      EncodingCase{"cut", "a\xE6\x9C", false, kCp932},
                      EncodingCase{"overlong", "\xC0\xAF.txt", false, kCp932},
                      EncodingCase{"surrogate", "\xED\xA0\x80.txt", false, kCp932},
                      EncodingCase{"past 10FFFF", "\xF4\x90\x80\x80", false, kCp932},
                      EncodingCase{"invalid flagged", "\x95\x5C", true, kUtf8}),
    [](const auto& info) {
      std::string n = info.param.label;
      for (char& ch : n) if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return n;
    });

struct ShapeCase {
  const char* label;
  std::string text;
  bool valid;
  bool mayCompose;
};

void PrintTo(const ShapeCase& c, std::ostream* os) { *os << c.label; }

class ShapeOfUtf8Test : public ::testing::TestWithParam<ShapeCase> {};

// The scan takes eight ASCII bytes at a time: a mark must be found whether
// it starts a word, straddles two, or lies in the few bytes after the last.
TEST_P(ShapeOfUtf8Test, FindsEveryMarkAndEveryBadByte) {
  const Utf8Shape shape = ShapeOfUtf8(GetParam().text);
  EXPECT_EQ(shape.valid, GetParam().valid);
  EXPECT_EQ(shape.mayCompose, GetParam().mayCompose);
  // Text without a mark comes back from composing as it was.
  if (!shape.mayCompose) {
    EXPECT_EQ(ComposeUtf8(GetParam().text), GetParam().text);
  }
}

const std::string kDakuten = "\xE3\x82\x99";  // U+3099, as macOS writes が

INSTANTIATE_TEST_SUITE_P(
    Texts, ShapeOfUtf8Test,
    ::testing::Values(ShapeCase{"empty", "", true, false},
                      ShapeCase{"ascii", "folder/sub/readme.txt", true, false},
                      ShapeCase{"kanji and kana", "資料/表ソフト.txt", true, false},
                      ShapeCase{"below U+0300", "caf\xC3\xA9 \xCB\xBF.txt", true, false},
                      ShapeCase{"mark in the first word", "\xE3\x81\x8B" + kDakuten + "12.txt", true, true},
                      ShapeCase{"mark across two words", "abcdef\xE3\x81\x8B" + kDakuten + "x.txt", true, true},
                      ShapeCase{"mark starting a word", "abcdefgh" + kDakuten + "abcdefgh", true, true},
                      ShapeCase{"mark in the tail", "abcdefgh1234567" + kDakuten, true, true},
                      ShapeCase{"acute, U+0300 up", "resume\xCC\x81", true, true},
                      ShapeCase{"hangul vowel", "\xE1\x84\x80\xE1\x85\xA1", true, true},
                      ShapeCase{"class 0 vowel sign", "\xE0\xAE\x95\xE0\xAE\xBE", true, true},
                      ShapeCase{"bad byte then mark", "\xFF\xE3\x81\x8B" + kDakuten, false, true},
                      ShapeCase{"cut at the end", "abcdefghij\xE3\x82", false, false},
                      ShapeCase{"surrogate", "abc\xED\xA0\x80", false, false},
                      ShapeCase{"overlong", "abc\xE0\x80\xAF", false, false},
                      ShapeCase{"mark after a bad lead", "\xE3\x81" + kDakuten, false, true},
                      ShapeCase{"cp932 bytes", J("表示.txt"), false, false}),
    [](const auto& info) {
      std::string n = info.param.label;
      for (char& ch : n) if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return n;
    });

TEST(ComposeUtf8, ComposesDecomposedNamesAndNothingElse) {
  EXPECT_EQ(ComposeUtf8("\xE3\x81\x8B\xE3\x82\x99\xE3\x83\x8F\xE3\x82\x9A.txt"), "がパ.txt");
  EXPECT_EQ(ComposeUtf8("re\xCC\x81sume\xCC\x81"), "résumé");
  EXPECT_EQ(ComposeUtf8("\xE1\x84\x80\xE1\x85\xA1"), "가");  // Hangul jamo
  EXPECT_EQ(ComposeUtf8("\xEF\xA4\xA9"), "\xEF\xA4\xA9");   // U+F929 keeps its code point
  EXPECT_EQ(ComposeUtf8("\xFF\xE3\x81\x8B\xE3\x82\x99"), "\xFFが");
  EXPECT_EQ(ComposeUtf8("\xFF\xE3\x82\x99"), "\xFF\xE3\x82\x99");  // nothing to compose with
  EXPECT_EQ(ComposeUtf8("a\xCC\xA3\xCC\x81"), "\xE1\xBA\xA1\xCC\x81");  // ạ, then no ạ with acute
  EXPECT_EQ(ComposeUtf8("\xE0\xAE\x95\xE0\xAF\x86\xE0\xAE\xBE"), "\xE0\xAE\x95\xE0\xAF\x8A");  // Tamil o, class 0 second
  EXPECT_EQ(ComposeUtf8("\xE2\xAB\x9D\xCC\xB8"), "\xE2\xAB\x9D\xCC\xB8");  // U+2ADC is excluded from composing
  // A byte that is no UTF-8 splits the text: each side composes on its own.
  EXPECT_EQ(ComposeUtf8("e\xCC\x81\xFF" "e\xCC\x81"), "\xC3\xA9\xFF\xC3\xA9");
}

TEST(ComposeUtf8, ShownAndLoggedComposed) {
  EXPECT_EQ(NameToUtf8("\xE3\x81\x8B\xE3\x82\x99", NameEncoding::Utf8), "が");
  EXPECT_EQ(Utf8ToCp932("\xE3\x81\x8B\xE3\x82\x99"), J("が"));
}

}  // namespace
}  // namespace brim
