#include "support/hostile_inputs.h"

#include <cstdint>

#include "base/le.h"
#include "support/zip_builder.h"

namespace brim::test {
namespace {

constexpr size_t kUnit = 128 * 1024;
constexpr size_t kRecord = 64;  // the extended records the candidates share

Bytes SmallZipAfter(Bytes stub) {
  ZipBuilder z;
  const size_t lead = stub.size();
  z.Raw(stub);
  z.Local(ZipLocal::Stored("a.txt", BytesOf("hello")));
  z.Finish(lead);
  return z.bytes;
}

void Put(Bytes& b, size_t at, const char* text) {
  for (size_t i = 0; text[i]; ++i) b[at + i] = static_cast<uint8_t>(text[i]);
}

uint8_t SumOf(const Bytes& b, size_t from, size_t to) {
  uint32_t sum = 0;
  for (size_t i = from; i < to; ++i) sum += b[i];
  return static_cast<uint8_t>(sum);
}

// Records of 64 bytes, each holding a level-1 header (no name) whose first
// record size field is the next record's: every header's chain runs through
// all later ones to the stub's end, where a record too small for its fields
// ends it. Each header's packed size reaches past the stub.
Bytes Level1Chains(size_t scale) {
  const size_t count = scale * kUnit / kRecord;
  const size_t first = 16;
  Bytes b(first + count * kRecord + 2, 0);
  Put(b, 0, "MZ");
  const size_t end = first + count * kRecord;
  for (size_t r = first; r < end; r += kRecord) {
    le::Put16(b.data() + r, kRecord);
    b[r + 2] = 0x7F;
  }
  le::Put16(b.data() + end, 1);
  for (size_t r = first; r < end; r += kRecord) {
    const size_t p = r + kRecord - 25;
    b[p] = 25;
    Put(b, p + 2, "-lh0-");
    le::Put32(b.data() + p + 7, static_cast<uint32_t>(end + 10 - (p + 27)));
    b[p + 19] = 0x20;
    b[p + 20] = 1;
    b[p + 24] = 'M';
  }
  for (size_t r = first; r < end; r += kRecord) {
    const size_t p = r + kRecord - 25;
    b[p + 1] = SumOf(b, p + 2, p + 27);
  }
  return SmallZipAfter(b);
}

// Segments of 32 KiB of 64-byte common records, each holding a level-2
// header whose chain ends with its segment and whose header size reaches
// just there: every header's chain and CRC span the rest of the segment.
// The CRCs are wrong.
Bytes Level2Chains(size_t scale) {
  constexpr size_t kSegment = 32 * 1024;
  Bytes b(16, 0);
  Put(b, 0, "MZ");
  for (size_t s = 0; s < scale * kUnit / kSegment; ++s) {
    const size_t first = b.size();
    const size_t end = first + kSegment;
    b.resize(end + 2, 0);
    for (size_t r = first; r < end; r += kRecord) {
      le::Put16(b.data() + r, kRecord);
      b[r + 2] = 0;  // common
      const size_t p = r + kRecord - 24;
      le::Put16(b.data() + p, static_cast<uint16_t>(end + 2 - p));
      Put(b, p + 2, "-lh0-");
      b[p + 20] = 2;
      b[p + 23] = 'U';
    }
  }
  return SmallZipAfter(b);
}

Bytes RandomStub(size_t scale) {
  Bytes b(scale * 8 * kUnit);
  uint64_t x = 0x9E3779B97F4A7C15u;
  for (uint8_t& c : b) {
    x = x * 6364136223846793005u + 1442695040888963407u;
    c = static_cast<uint8_t>(x >> 56);
    if (c == 'P') c = 'Q';  // no signature by chance
  }
  return SmallZipAfter(b);
}

// One stored "evil.exe", then scale * 8,192 central headers of their own
// names, all pointing at it: one entry with thousands of name copies, each
// of them masked by a rewrite.
Bytes ManyCentrals(size_t scale) {
  ZipBuilder z;
  z.Local(ZipLocal::Stored("evil.exe", BytesOf("MZ")));
  ZipEnd end;
  end.directoryOffset = static_cast<uint32_t>(z.bytes.size());
  for (size_t i = 0; i < scale * 8192; ++i) {
    ZipCentral c = ZipCentral::For(z.entries.front().header, 0);
    c.name = std::to_string(10000 + i) + ".exe";
    z.Central(c);
  }
  end.entriesOnDisk = end.entriesTotal = static_cast<uint16_t>(scale * 8192);
  end.directorySize = static_cast<uint32_t>(z.bytes.size() - end.directoryOffset);
  z.End(end);
  return z.bytes;
}

}  // namespace

const std::vector<HostileInput>& HostileInputs() {
  static const std::vector<HostileInput> rows = {
      {"level1_chains", Level1Chains, "analyse", 1},
      {"level2_chains", Level2Chains, "analyse", 1},
      {"random_stub", RandomStub, "analyse", 1},
      {"many_centrals", ManyCentrals, "rewrite", 1},
  };
  return rows;
}

}  // namespace brim::test
