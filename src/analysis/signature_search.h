// Searches for a 4-byte record signature through a ByteWindow, a block at a
// time at memory speed. The walks still owe the window a message pump (and
// sometimes a gauge update) per byte position they pass; the callbacks get
// how many positions each block covered, so the pump can count them at once.
// The window must hold at least kSearchBlock bytes.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>

#include "base/byte_scan.h"
#include "base/byte_window.h"

namespace brim {

// The positions a search looks at per block.
inline constexpr size_t kSearchBlock = 256 * 1024;

// The first p >= from with p + 4 <= size where sig lies. covered(n) is called
// for every block with the number of positions examined in it, the matching
// position included.
// seen(from, block, span, owned) is called for every block before it is
// searched, owned being the positions this block examines.
template <typename Covered, typename Seen>
std::optional<uint64_t> SearchForward(ByteWindow& w, uint64_t from, const uint8_t (&sig)[4], Covered covered,
                                      Seen seen) {
  const uint64_t size = w.FileSize();
  // A small first look: the next header is usually near, and asking the
  // window for a whole block ahead would make it read one per search.
  size_t look = 4096;
  while (from + 4 <= size) {
    const size_t span = static_cast<size_t>(std::min<uint64_t>(look, size - from));
    look = kSearchBlock;
    const uint8_t* block = w.At(from, span);
    if (!block) return std::nullopt;  // the file shrank: nothing more to find
    seen(from, block, span, span - 3);
    // The first two bytes, then a compare: a pair turns up rarely even in
    // a stub of random bytes, where any single byte is every 256th.
    const size_t candidates = span - 3;
    for (size_t at = 0; at < candidates; ++at) {
      // Mostly the next header lies right where the search starts.
      if (at > 0 || std::memcmp(block, sig, 4) != 0) at += FindPair(block + at, candidates - at, sig[0], 1, sig[1]);
      if (at == candidates) break;
      if (std::memcmp(block + at, sig, 4) == 0) {
        covered(static_cast<uint64_t>(at) + 1);
        return from + at;
      }
    }
    covered(static_cast<uint64_t>(span - 3));
    from += span - 3;
  }
  return std::nullopt;
}

template <typename Covered>
std::optional<uint64_t> SearchForward(ByteWindow& w, uint64_t from, const uint8_t (&sig)[4], Covered covered) {
  return SearchForward(w, from, sig, covered, [](uint64_t, const uint8_t*, size_t, size_t) {});
}

// The highest p with lowest <= p <= highest (and p + 4 <= size) where sig
// lies. passed(n, lowestPassed) is called for each run of n positions examined
// without a match, lowestPassed being the last (lowest) of them.
template <typename Passed>
std::optional<uint64_t> SearchBackward(ByteWindow& w, uint64_t highest, uint64_t lowest,
                                       const uint8_t (&sig)[4], Passed passed) {
  const uint64_t size = w.FileSize();
  if (size < 4) return std::nullopt;
  highest = std::min<uint64_t>(highest, size - 4);
  if (highest < lowest) return std::nullopt;
  // Examine the positions [lo, hi] from hi downwards.
  uint64_t hi = highest;
  for (;;) {
    const uint64_t lo = hi - lowest >= kSearchBlock - 4 ? hi - (kSearchBlock - 4) + 1 : lowest;
    const size_t span = static_cast<size_t>(hi - lo + 4);
    const uint8_t* block = w.At(lo, span);
    if (!block) return std::nullopt;
    size_t end = span - 3;  // candidates are block[0 .. end)
    while (end > 0) {
      const void* p = memrchr(block, sig[0], end);
      if (!p) break;
      const size_t at = static_cast<size_t>(static_cast<const uint8_t*>(p) - block);
      if (std::memcmp(block + at, sig, 4) == 0) {
        const uint64_t found = lo + at;
        if (hi > found) passed(hi - found, found + 1);
        return found;
      }
      end = at;
    }
    passed(hi - lo + 1, lo);
    if (lo == lowest) return std::nullopt;
    hi = lo - 1;
  }
}

}  // namespace brim
