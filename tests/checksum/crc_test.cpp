#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <vector>

#include "base/ui_texts.h"
#include "checksum/crc.h"
#include "support/scripted_desktop.h"
#include "support/test_files.h"

namespace brim {
namespace {

using test::J;

const uint8_t* Text(const char* s) { return reinterpret_cast<const uint8_t*>(s); }

uint32_t NaiveCrc32(const std::vector<uint8_t>& d) {
  uint32_t c = 0xFFFFFFFF;
  for (uint8_t b : d) {
    c ^= b;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
  }
  return ~c;
}
uint16_t NaiveCrc16(const std::vector<uint8_t>& d) {
  uint16_t c = 0;
  for (uint8_t b : d) {
    c ^= b;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0xA001) : c >> 1;
  }
  return c;
}

TEST(Crc, KnownVectors) {
  EXPECT_EQ(Crc32Update(0, Text("123456789"), 9), 0xCBF43926u);
  EXPECT_EQ(Crc16Update(0, Text("123456789"), 9), 0xBB3D);
  EXPECT_EQ(Crc32Update(0, nullptr, 0), 0u);
}

TEST(Crc, BlockwiseAndZeroRunsAgreeWithBytewise) {
  std::vector<uint8_t> data(10007);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 31 + (i >> 7));
  for (size_t cut : {0ul, 1ul, 7ul, 8ul, 9ul, 5000ul, 10007ul}) {
    uint32_t c32 = Crc32Update(Crc32Update(0, data.data(), cut), data.data() + cut, data.size() - cut);
    uint16_t c16 = Crc16Update(Crc16Update(0, data.data(), cut), data.data() + cut, data.size() - cut);
    EXPECT_EQ(c32, NaiveCrc32(data)) << cut;
    EXPECT_EQ(c16, NaiveCrc16(data)) << cut;
  }
  for (uint64_t n : {0ull, 1ull, 2ull, 3ull, 1000ull, 65536ull, 100003ull}) {
    std::vector<uint8_t> zeros(n, 0);
    EXPECT_EQ(Crc32Zeros(0, n), NaiveCrc32(zeros)) << n;
    std::vector<uint8_t> tail = data;
    tail.insert(tail.end(), zeros.begin(), zeros.end());
    EXPECT_EQ(Crc32Zeros(NaiveCrc32(data), n), NaiveCrc32(tail)) << n;
    EXPECT_EQ(Crc16Zeros(NaiveCrc16(data), n), NaiveCrc16(tail)) << n;
    EXPECT_EQ(Crc16Zeros(0, n), 0);
  }
}

TEST(Crc, PercentUsesExtendedPrecision) {
  EXPECT_EQ(CrcProgressPercent(53, 100), 52);
  EXPECT_EQ(CrcProgressPercent(59, 100), 58);
  EXPECT_EQ(CrcProgressPercent(54, 100), 54);
  EXPECT_EQ(CrcProgressPercent(99, 100), 99);
  EXPECT_EQ(CrcProgressPercent(0xFFFFFFFEull, 0xFFFFFFFFull), 99);
}

// Where long double has a 64-bit significand (x86-64), the integer
// percentage equals the rounding it stands for, over every index of small
// lengths and the indices around each step of large ones.
TEST(Crc, PercentEqualsExtendedPrecisionEverywhere) {
  if (std::numeric_limits<long double>::digits != 64)
    GTEST_SKIP() << "no 64-bit long double to compare with";
  auto extended = [](uint64_t i, uint64_t len) {
    volatile long double quotient = static_cast<long double>(i) / static_cast<long double>(len);
    volatile long double scaled = quotient * 100.0L;
    return static_cast<int>(scaled);
  };
  size_t compared = 0, differ = 0;
  auto check = [&](uint64_t i, uint64_t len) {
    ++compared;
    if (CrcProgressPercent(i, len) != extended(i, len) && ++differ <= 5)
      ADD_FAILURE() << i << " of " << len << ": " << CrcProgressPercent(i, len) << " against "
                    << extended(i, len);
  };
  for (uint64_t len = 1; len <= 1500; ++len)
    for (uint64_t i = 0; i < len; ++i) check(i, len);
  std::mt19937_64 random(8);
  for (int n = 0; n < 6000; ++n) {
    // Lengths of every bit size, up to a whole 32-bit length and beyond.
    const int bits = 11 + n % 54;
    uint64_t len = (random() >> (64 - bits)) | (1ull << (bits - 1));
    if (n % 7 == 0) len = 0xFFFFFFFFull - n;
    for (uint64_t t = 1; t <= 99; ++t) {
      const uint64_t at = static_cast<uint64_t>((static_cast<unsigned __int128>(t) * len + 99) / 100);
      for (uint64_t i = at - 2; i <= at + 1 && i < len; ++i) check(i, len);
    }
    check(random() % len, len);
  }
  EXPECT_GT(compared, 3'000'000u);
  EXPECT_EQ(differ, 0u);
}

struct ProgressCase {
  int64_t len;
  std::string lastLine;  // UTF-8
  int replacements;
};

class CrcProgressTest : public ::testing::TestWithParam<ProgressCase> {};

// The progress line as the byte-by-byte routine leaves it, for buffers and
// for zero runs alike.
TEST_P(CrcProgressTest, LineEndsWhereTheBytewiseRoutineEnds) {
  const ProgressCase& c = GetParam();
  // Count the replacements the byte-by-byte protocol makes.
  int expected = 0, shown = 0;
  for (int64_t i = 0; i < c.len; ++i) {
    int p = CrcProgressPercent(static_cast<uint64_t>(i), static_cast<uint64_t>(c.len));
    if (p != shown) {
      ++expected;
      shown = p;
    }
  }
  EXPECT_EQ(expected, c.replacements);

  std::vector<uint8_t> zeros(static_cast<size_t>(c.len), 0);
  for (int variant = 0; variant < 4; ++variant) {
    test::ScriptedDesktop d;
    ProgramState s(d);
    s.ProcessMessages.SetThrottle(1, std::chrono::microseconds(0));
    s.Memo1.Append("before");
    uint32_t crc = 0;
    switch (variant) {
      case 0: crc = Crc32Progress(s, zeros.data(), static_cast<int32_t>(c.len - 1)); break;
      case 1: crc = Crc16Progress(s, zeros.data(), static_cast<int32_t>(c.len - 1)); break;
      case 2: crc = Crc32ProgressZeros(s, static_cast<uint64_t>(c.len)); break;
      case 3: crc = Crc16ProgressZeros(s, static_cast<uint64_t>(c.len)); break;
    }
    ASSERT_EQ(s.Memo1.Count(), 2u);
    EXPECT_EQ(s.Memo1.Line(1), J(c.lastLine.c_str())) << variant;
    EXPECT_EQ(d.pumps, c.replacements) << variant;
    if (variant == 0 || variant == 2) EXPECT_EQ(crc, NaiveCrc32(zeros));
    else EXPECT_EQ(crc, 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(Lengths, CrcProgressTest,
                         ::testing::Values(ProgressCase{0, "CRC計算中 0%", 0},
                                           ProgressCase{1, "CRC計算中 0%", 0},
                                           ProgressCase{2, "CRC計算中 50%", 1},
                                           ProgressCase{3, "CRC計算中 66%", 2},
                                           ProgressCase{100, "CRC計算中 99%", 97},
                                           ProgressCase{1000, "CRC計算中 99%", 99},
                                           ProgressCase{123457, "CRC計算中 99%", 99}),
                         [](const auto& info) { return "len" + std::to_string(info.param.len); });

TEST(CrcProgress, ClearedLineIsNotRecreated) {
  test::ScriptedDesktop d;
  ProgramState s(d);
  s.ProcessMessages.SetThrottle(1, std::chrono::microseconds(0));
  d.onPump = [&](long) { s.Memo1.Clear(); };
  std::vector<uint8_t> data(500, 7);
  EXPECT_EQ(Crc32Progress(s, data.data(), 499), NaiveCrc32(data));
  EXPECT_EQ(s.Memo1.Count(), 0u);
}

TEST(HeaderSum, Basics) {
  const uint8_t ff = 0xFF;
  std::vector<uint8_t> to256 = {100, 100, 56};
  EXPECT_EQ(HeaderSum(nullptr, -1), 0);
  EXPECT_EQ(HeaderSum(&ff, 0), 255);
  EXPECT_EQ(HeaderSum(to256.data(), 2), 0);
}

}  // namespace
}  // namespace brim
