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

TEST(ComposeUtf8, ComposesDecomposedNamesAndNothingElse) {
  EXPECT_EQ(ComposeUtf8("\xE3\x81\x8B\xE3\x82\x99\xE3\x83\x8F\xE3\x82\x9A.txt"), "がパ.txt");
  EXPECT_EQ(ComposeUtf8("re\xCC\x81sume\xCC\x81"), "résumé");
  EXPECT_EQ(ComposeUtf8("\xE1\x84\x80\xE1\x85\xA1"), "가");  // Hangul jamo
  EXPECT_EQ(ComposeUtf8("\xEF\xA4\xA9"), "\xEF\xA4\xA9");   // U+F929 keeps its code point
  EXPECT_EQ(ComposeUtf8("\xFF\xE3\x81\x8B\xE3\x82\x99"), "\xFFが");
  EXPECT_EQ(ComposeUtf8("\xFF\xE3\x82\x99"), "\xFF\xE3\x82\x99");  // nothing to compose with
  EXPECT_EQ(ComposeUtf8("a\xCC\xA3\xCC\x81"), "\xE1\xBA\xA1\xCC\x81");  // ạ, then no ạ with acute
}

TEST(ComposeUtf8, ShownAndLoggedComposed) {
  EXPECT_EQ(NameToUtf8("\xE3\x81\x8B\xE3\x82\x99", NameEncoding::Utf8), "が");
  EXPECT_EQ(Utf8ToCp932("\xE3\x81\x8B\xE3\x82\x99"), J("が"));
}

}  // namespace
}  // namespace brim
