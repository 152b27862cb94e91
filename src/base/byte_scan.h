// A scan for a byte pair a given distance apart, at memory speed. A stub of
// random bytes holds any single byte every 256 positions, so looking for one
// byte and checking the rest at every hit costs a call per 256 bytes; a pair
// such as "PK" or the dashes of "-lh5-" turns up once in 65,536.
#pragma once
#include <cstddef>
#include <cstdint>

namespace brim {

// The first i < n with p[i] == a and p[i + gap] == b, or n when there is none.
// p[0 .. n + gap) must be readable.
size_t FindPair(const uint8_t* p, size_t n, uint8_t a, size_t gap, uint8_t b);

}  // namespace brim
