#include "base/byte_scan.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace brim {

namespace {

#if defined(__x86_64__)
// 64 positions a step, with 256-bit compares where the processor has them
// (every x86-64 has the 128-bit ones). Each returns the position of a hit,
// or where its vector part stopped: the scalar loop finishes either way.
__attribute__((target("avx2"))) inline __m256i PairsAvx2(const uint8_t* p, size_t gap, __m256i wantA,
                                                         __m256i wantB) {
  const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + gap));
  return _mm256_and_si256(_mm256_cmpeq_epi8(first, wantA), _mm256_cmpeq_epi8(second, wantB));
}

__attribute__((target("avx2"))) size_t VectorScanAvx2(const uint8_t* p, size_t n, uint8_t a, size_t gap,
                                                       uint8_t b) {
  const __m256i wantA = _mm256_set1_epi8(static_cast<char>(a));
  const __m256i wantB = _mm256_set1_epi8(static_cast<char>(b));
  size_t i = 0;
  for (; i + 64 <= n; i += 64) {
    const __m256i low = PairsAvx2(p + i, gap, wantA, wantB);
    const __m256i high = PairsAvx2(p + i + 32, gap, wantA, wantB);
    const __m256i any = _mm256_or_si256(low, high);
    if (!_mm256_testz_si256(any, any)) {
      const auto lowBits = static_cast<uint32_t>(_mm256_movemask_epi8(low));
      const auto highBits = static_cast<uint32_t>(_mm256_movemask_epi8(high));
      return i + static_cast<size_t>(lowBits ? __builtin_ctz(lowBits) : 32 + __builtin_ctz(highBits));
    }
  }
  return i;
}

size_t VectorScanSse2(const uint8_t* p, size_t n, uint8_t a, size_t gap, uint8_t b) {
  const __m128i wantA = _mm_set1_epi8(static_cast<char>(a));
  const __m128i wantB = _mm_set1_epi8(static_cast<char>(b));
  size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + gap));
    const int bits = _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(first, wantA), _mm_cmpeq_epi8(second, wantB)));
    if (bits) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(bits)));
  }
  return i;
}

size_t VectorScan(const uint8_t* p, size_t n, uint8_t a, size_t gap, uint8_t b) {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  return avx2 ? VectorScanAvx2(p, n, a, gap, b) : VectorScanSse2(p, n, a, gap, b);
}
#else
size_t VectorScan(const uint8_t*, size_t, uint8_t, size_t, uint8_t) { return 0; }
#endif

}  // namespace

size_t FindPair(const uint8_t* p, size_t n, uint8_t a, size_t gap, uint8_t b) {
  for (size_t i = VectorScan(p, n, a, gap, b); i < n; ++i) {
    if (p[i] == a && p[i + gap] == b) return i;
  }
  return n;
}

}  // namespace brim
