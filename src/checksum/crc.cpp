#include "checksum/crc.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <vector>

#include "app/log_pane.h"
#include "base/ui_texts.h"

namespace brim {

namespace {

// Slicing-by-8 tables for CRC-16/ARC; table[0] is the classic byte table
// (entry 1 is 0xC0C1).
struct Crc16Tables {
  std::array<std::array<uint16_t, 256>, 8> t{};
  Crc16Tables() {
    for (uint32_t n = 0; n < 256; ++n) {
      uint16_t c = static_cast<uint16_t>(n);
      for (int k = 0; k < 8; ++k) c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0xA001) : c >> 1;
      t[0][n] = c;
    }
    for (uint32_t n = 0; n < 256; ++n) {
      for (int k = 1; k < 8; ++k) t[k][n] = static_cast<uint16_t>((t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFF]);
    }
  }
};
const Crc16Tables& Tables16() {
  static const Crc16Tables tables;
  return tables;
}

// Points where the shown percentage changes while folding len bytes: after
// byte index `at`, the line reads `percent`. At most 99 of them.
struct Step {
  uint64_t at;
  int percent;
};
std::vector<Step> ProgressSteps(uint64_t len) {
  std::vector<Step> steps;
  int shown = 0;
  uint64_t from = 0;
  for (int target = 1; target <= 99 && len > 0; ++target) {
    if (shown >= target) continue;
    // First index whose percentage reaches target. Exactly it is
    // ceil(target * len / 100); extended precision may put it a step or two
    // off, and the percentage never falls as the index grows, so walk from
    // there. (Thousands of small entries each take this path.)
    unsigned __int128 exact = (static_cast<unsigned __int128>(target) * len + 99) / 100;
    uint64_t lo = exact > len ? len : static_cast<uint64_t>(exact);
    if (lo < from) lo = from;
    while (lo > from && CrcProgressPercent(lo - 1, len) >= target) --lo;
    while (lo < len && CrcProgressPercent(lo, len) < target) ++lo;
    if (lo == len) break;
    int p = CrcProgressPercent(lo, len);
    steps.push_back({lo, p});
    shown = p;
    from = lo + 1;
  }
  return steps;
}

// Runs the progress protocol over len bytes; fold(from, to) folds bytes
// [from, to) into the caller's CRC.
template <typename Fold>
void WithProgress(ProgramState& s, uint64_t len, Fold fold) {
  ProgressLine line(s, Ui().crcProgressStart);
  uint64_t done = 0;
  for (const Step& step : ProgressSteps(len)) {
    fold(done, step.at + 1);
    done = step.at + 1;
    line.Update(FormatNumbers(Ui().crcProgress, step.percent));
  }
  fold(done, len);
}

}  // namespace

uint32_t Crc32Update(uint32_t crc, const uint8_t* data, size_t len) {
  while (len > 0) {
    uInt chunk = len > (1u << 30) ? (1u << 30) : static_cast<uInt>(len);
    crc = static_cast<uint32_t>(crc32(crc, data, chunk));
    data += chunk;
    len -= chunk;
  }
  return crc;
}

uint32_t Crc32Zeros(uint32_t crc, uint64_t n) {
  if (n == 0) return crc;
  // Short runs (the steps of a small entry's progress line) are cheaper to
  // fold directly.
  static const uint8_t zeros[1024] = {};
  if (n <= sizeof zeros) return static_cast<uint32_t>(crc32(crc, zeros, static_cast<uInt>(n)));
  // n zero bytes multiply the raw (uncomplemented) register by x^(8n) mod P,
  // which crc32_combine64(reg, 0, n) computes in O(log n).
  return ~static_cast<uint32_t>(crc32_combine64(~crc, 0, static_cast<z_off64_t>(n)));
}

uint16_t Crc16Update(uint16_t crc, const uint8_t* data, size_t len) {
  const auto& t = Tables16().t;
  while (len >= 8) {
    uint32_t lo = static_cast<uint32_t>(crc ^ (data[0] | (data[1] << 8)));
    crc = static_cast<uint16_t>(t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][data[2]] ^
                                t[4][data[3]] ^ t[3][data[4]] ^ t[2][data[5]] ^
                                t[1][data[6]] ^ t[0][data[7]]);
    data += 8;
    len -= 8;
  }
  while (len--) crc = static_cast<uint16_t>(t[0][(crc ^ *data++) & 0xFF] ^ (crc >> 8));
  return crc;
}

namespace {

// The register's change over 2^k zero bytes as a linear map (column i the
// image of bit i), so a run of any length folds in O(log n) steps: a header
// CRC is then checked from running CRCs without reading it again.
struct Crc16ZeroPowers {
  std::array<std::array<uint16_t, 16>, 64> map{};
  static uint16_t Apply(const std::array<uint16_t, 16>& m, uint16_t v) {
    uint16_t out = 0;
    for (int i = 0; v; ++i, v >>= 1) {
      if (v & 1) out ^= m[i];
    }
    return out;
  }
  Crc16ZeroPowers() {
    const auto& t = Tables16().t[0];
    for (int i = 0; i < 16; ++i) {
      const uint16_t r = static_cast<uint16_t>(1u << i);
      map[0][i] = static_cast<uint16_t>((r >> 8) ^ t[r & 0xFF]);
    }
    for (size_t k = 1; k < map.size(); ++k) {
      for (int i = 0; i < 16; ++i) map[k][i] = Apply(map[k - 1], map[k - 1][i]);
    }
  }
};

}  // namespace

uint16_t Crc16Zeros(uint16_t crc, uint64_t n) {
  // From 0, zeros keep the register at 0.
  if (crc == 0) return 0;
  if (n <= 64) {
    const auto& t = Tables16().t[0];
    while (n--) crc = static_cast<uint16_t>((crc >> 8) ^ t[crc & 0xFF]);
    return crc;
  }
  static const Crc16ZeroPowers powers;
  for (size_t k = 0; n; ++k, n >>= 1) {
    if (n & 1) crc = Crc16ZeroPowers::Apply(powers.map[k], crc);
  }
  return crc;
}

int HeaderSum(const uint8_t* buffer, int64_t high) {
  uint32_t sum = 0;
  for (int64_t i = 0; i <= high; ++i) sum += buffer[i];
  return static_cast<int>(sum % 256);
}

namespace {
int BitLength(unsigned __int128 v) {
  const uint64_t hi = static_cast<uint64_t>(v >> 64);
  if (hi) return 128 - __builtin_clzll(hi);
  const uint64_t lo = static_cast<uint64_t>(v);
  return lo ? 64 - __builtin_clzll(lo) : 0;
}

// Rounds value * 2^-shift to nearest, ties to even (shift >= 1).
unsigned __int128 RoundShift(unsigned __int128 value, int shift) {
  const unsigned __int128 kept = value >> shift;
  const unsigned __int128 rest = value - (kept << shift);
  const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
  return kept + (rest > half || (rest == half && (kept & 1)));
}
}  // namespace

int CrcProgressPercent(uint64_t i, uint64_t len) {
  // The shown percentage has always been i / len and then times 100, each
  // rounded to a 64-bit significand (nearest, ties to even), then truncated:
  // that is why index 53 of 100 shows 52. Done here in integers so it does
  // not depend on the platform's long double. Each value is m * 2^-k with
  // 2^63 <= m < 2^64.
  if (i == 0 || len == 0) return 0;
  int k = 63 - (BitLength(i) - BitLength(len));  // >= 0; i << (k + 1) still fits
  unsigned __int128 m = (static_cast<unsigned __int128>(i) << k) / len;
  if (BitLength(m) < 64) m = (static_cast<unsigned __int128>(i) << ++k) / len;
  const unsigned __int128 rest = (static_cast<unsigned __int128>(i) << k) - m * len;
  if (rest > len - rest || (rest == len - rest && (m & 1))) ++m;
  if (BitLength(m) > 64) m >>= 1, --k;

  // Times 100: m * 100 has 70 or 71 bits; round it back to 64.
  const unsigned __int128 product = m * 100;
  int shift = BitLength(product) - 64;
  unsigned __int128 scaled = RoundShift(product, shift);
  if (BitLength(scaled) > 64) scaled >>= 1, ++shift;
  const int exponent = shift - k;  // the value is scaled * 2^exponent
  if (exponent >= 0) return static_cast<int>(scaled << exponent);
  return -exponent >= 128 ? 0 : static_cast<int>(scaled >> -exponent);
}

namespace {
uint64_t LengthFromHigh(int32_t high) {
  return static_cast<uint32_t>(static_cast<int64_t>(high) + 1);
}
}  // namespace

uint32_t Crc32Progress(ProgramState& s, const uint8_t* buffer, int32_t high) {
  uint32_t crc = 0;
  WithProgress(s, LengthFromHigh(high), [&](uint64_t from, uint64_t to) {
    crc = Crc32Update(crc, buffer + from, static_cast<size_t>(to - from));
  });
  return crc;
}

uint16_t Crc16Progress(ProgramState& s, const uint8_t* buffer, int32_t high) {
  uint16_t crc = 0;
  WithProgress(s, LengthFromHigh(high), [&](uint64_t from, uint64_t to) {
    crc = Crc16Update(crc, buffer + from, static_cast<size_t>(to - from));
  });
  return crc;
}

uint32_t Crc32ProgressZeros(ProgramState& s, uint64_t len) {
  uint32_t crc = 0;
  WithProgress(s, len, [&](uint64_t from, uint64_t to) { crc = Crc32Zeros(crc, to - from); });
  return crc;
}

uint16_t Crc16ProgressZeros(ProgramState& s, uint64_t len) {
  uint16_t crc = 0;
  WithProgress(s, len, [&](uint64_t from, uint64_t to) { crc = Crc16Zeros(crc, to - from); });
  return crc;
}

uint16_t Crc16ProgressRead(ProgramState& s, uint64_t len, const CrcReader& read) {
  constexpr size_t kBlock = 64 * 1024;
  std::vector<uint8_t> block(static_cast<size_t>(std::min<uint64_t>(len, kBlock)));
  uint16_t crc = 0;
  WithProgress(s, len, [&](uint64_t from, uint64_t to) {
    while (from < to) {
      size_t n = static_cast<size_t>(std::min<uint64_t>(to - from, block.size()));
      read(from, block.data(), n);
      crc = Crc16Update(crc, block.data(), n);
      from += n;
    }
  });
  return crc;
}

}  // namespace brim
