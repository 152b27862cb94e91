#include "base/byte_scan.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace brim {
namespace {

size_t NaivePair(const uint8_t* p, size_t n, uint8_t a, size_t gap, uint8_t b) {
  for (size_t i = 0; i < n; ++i) {
    if (p[i] == a && p[i + gap] == b) return i;
  }
  return n;
}

// Every start and length over bytes from a three-letter alphabet, so hits
// fall in every lane of the vector steps, at their edges and in the tail.
TEST(FindPair, AgreesWithAByteByByteScan) {
  std::mt19937 random(7);
  std::vector<uint8_t> bytes(300);
  for (uint8_t& b : bytes) b = "-Pa"[random() % 3];
  for (const auto& [a, gap, b] : {std::tuple<uint8_t, size_t, uint8_t>{'-', 4, '-'}, {'P', 1, 'a'}, {'x', 1, 'x'}}) {
    for (size_t from = 0; from < 70; ++from) {
      for (size_t n = 0; from + n + gap <= bytes.size(); ++n) {
        ASSERT_EQ(FindPair(bytes.data() + from, n, a, gap, b), NaivePair(bytes.data() + from, n, a, gap, b))
            << a << " from " << from << " n " << n;
      }
    }
  }
}

}  // namespace
}  // namespace brim
