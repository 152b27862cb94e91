#include <gtest/gtest.h>

#include <cstdio>

#include "base/errors.h"
#include "base/hex_cell.h"
#include "base/ui_texts.h"
#include "support/test_files.h"

namespace brim {
namespace {

TEST(HexCell, RoundTripsTheEnds) {
  for (uint32_t v : {0u, 1u, 0x3E8u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
    EXPECT_EQ(ParseHexCell(FormatHexCell(v)), v) << v;
  }
  EXPECT_EQ(FormatHexCell(0), "0");
  EXPECT_EQ(FormatHexCell(0xABCDEF), "ABCDEF");
  EXPECT_EQ(ParseHexCell("00000000FF"), 0xFFu);  // leading zeros do not overflow
}

// Every count of digits, at and either side of each power of sixteen.
TEST(HexCell, EveryDigitCountAsPrintf) {
  for (uint64_t p = 16; p <= (uint64_t{1} << 32); p <<= 4) {
    for (uint64_t v : {p - 1, p, p + 1}) {
      if (v > UINT32_MAX) continue;
      char want[16];
      std::snprintf(want, sizeof want, "%X", static_cast<unsigned>(v));
      EXPECT_EQ(FormatHexCell(static_cast<uint32_t>(v)), want);
    }
  }
}

TEST(HexCell, RejectsWhatIsNotAnInteger) {
  for (const char* bad : {"", "G", "12 ", "-1", "100000000", "0x10"}) {
    try {
      ParseHexCell(bad);
      FAIL() << "accepted '" << bad << "'";
    } catch (const CommandError& e) {
      EXPECT_EQ(e.Text(), FormatText(Ui().notAnInteger, std::string("$") + bad));
    }
  }
  try {
    ParseHexCell("");
  } catch (const CommandError& e) {
    EXPECT_EQ(e.Text(), test::J("'$' は整数ではありません"));
  }
}

TEST(UiTexts, FormatsKeepBytes) {
  std::string nameWithNul("a\0b", 3);
  EXPECT_EQ(FormatText("[%s]", nameWithNul), std::string("[a\0b]", 5));
  EXPECT_EQ(FormatNumbers(Ui().crcProgress, 42), test::J("CRC計算中 42%"));
  EXPECT_EQ(FormatNumbers(Ui().combining, 4, 2), test::J("結合中 4/2"));
}

}  // namespace
}  // namespace brim
