// The table-driven CP932 -> UTF-8 conversion gives what iconv gives, for
// every character CP932 has and for texts mixing them with bytes that are
// not CP932 (which go to iconv whole and come back with U+FFFD).
#include <gtest/gtest.h>
#include <iconv.h>

#include <optional>
#include <string>

#include "base/cp932.h"

namespace brim {
namespace {

// iconv on the whole text; nullopt when it refuses any of it.
std::optional<std::string> ByIconv(const std::string& in) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  std::string out(in.size() * 4 + 4, '\0');
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char* dst = out.data();
  size_t dstLeft = out.size();
  const size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1)) return std::nullopt;
  out.resize(out.size() - dstLeft);
  return out;
}

void ExpectAsIconv(const std::string& in) {
  bool ok = false;
  const std::string got = Cp932ToUtf8(in, &ok);
  const std::optional<std::string> want = ByIconv(in);
  EXPECT_EQ(ok, want.has_value()) << testing::PrintToString(in);
  if (want) EXPECT_EQ(got, *want) << testing::PrintToString(in);
}

TEST(Cp932Convert, EverySingleByteAndPairAsIconv) {
  for (int b = 0; b < 256; ++b) {
    ExpectAsIconv(std::string(1, static_cast<char>(b)));
    for (int t = 0; t < 256; ++t) ExpectAsIconv({static_cast<char>(b), static_cast<char>(t)});
  }
}

TEST(Cp932Convert, MixedTextsAsIconv) {
  for (const std::string& in : {std::string("\x95\x5C\x83\x5C.txt"), std::string("a\x82\xA0\xB1z"),
                                std::string("\x81"), std::string("ok\x85\x40ng"), std::string("\x82\xA0\xFF"),
                                std::string("abcdefghij\x82\xA0klmnopqrstu\x81")}) {
    ExpectAsIconv(in);
  }
  // A byte iconv refuses still becomes U+FFFD, as before.
  EXPECT_EQ(Cp932ToUtf8("a\xFF" "b"), "a\xEF\xBF\xBD" "b");
}

}  // namespace
}  // namespace brim
