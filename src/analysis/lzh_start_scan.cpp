#include "analysis/lzh_start_scan.h"

#include <algorithm>
#include <utility>

#include "base/byte_scan.h"
#include "base/le.h"
#include "base/work_count.h"
#include "checksum/crc.h"
#include "formats/lzh_layout.h"

namespace brim {

namespace {

// "-lh?-" or "-lz?-" at b: an LZH method id.
bool IsMethod(const uint8_t* b) {
  return b[0] == '-' && b[1] == 'l' && (b[2] == 'h' || b[2] == 'z') && b[4] == '-';
}

constexpr size_t kWindow = 128 * 1024;

}  // namespace

// A candidate header whose record chain is still being followed.
struct LzhStartScan::Member {
  uint64_t header = 0;
  uint8_t level = 0;
  // The chain must end (its 0 size field included) by here: level 1, E + 2 +
  // packed size; level 2, P + H, where the header CRC ends too.
  uint64_t limit = 0;
  uint16_t crcWhole = 0;  // level 2: CRC-16 of the H header bytes as stored
  // The last common record met before joining the group (its body's
  // position, 0 for none, and the CRC stored there), and how many the group
  // had met when this one joined.
  uint64_t common = 0;
  uint16_t commonValue = 0;
  uint64_t commonsAtJoin = 0;
};

// The candidates whose chains have met: from there on they are one chain.
struct LzhStartScan::Group {
  std::vector<uint32_t> members;
  uint64_t commons = 0;
  uint64_t lastCommon = 0;
  uint16_t lastCommonValue = 0;
  uint64_t maxLimit = 0;
};

// Running byte sums, NUL counts and CRC-16s from base_, so that any range's
// sum, NUL count (both modulo 256) and CRC come from two entries, however
// many candidate headers overlap there.
class LzhStartScan::Sums {
 public:
  explicit Sums(const FileStream& f) : w_(f, kWindow) {}

  // Makes [from, to) summed; false when the file ends before to. from never falls.
  bool Cover(uint64_t from, uint64_t to) {
    if (to > w_.FileSize()) return false;
    const uint64_t end = base_ + crc_.size() - 1;
    if (crc_.empty() || from > end) {
      base_ = from;
      sum_.assign(1, 0);
      nuls_.assign(1, 0);
      crc_.assign(1, 0);
    } else if (from - base_ >= kWindow && (from - base_) * 2 >= crc_.size()) {
      const auto drop = static_cast<std::ptrdiff_t>(from - base_);
      sum_.erase(sum_.begin(), sum_.begin() + drop);
      nuls_.erase(nuls_.begin(), nuls_.begin() + drop);
      crc_.erase(crc_.begin(), crc_.begin() + drop);
      base_ = from;
    }
    for (uint64_t at = base_ + crc_.size() - 1; at < to;) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(kWindow / 2, to - at));
      const uint8_t* b = w_.At(at, n);
      if (!b) return false;
      work::steps += n;
      uint8_t sum = sum_.back(), nuls = nuls_.back();
      uint16_t crc = crc_.back();
      for (size_t i = 0; i < n; ++i) {
        sum = static_cast<uint8_t>(sum + b[i]);
        nuls = static_cast<uint8_t>(nuls + (b[i] == 0));
        crc = Crc16Update(crc, b + i, 1);
        sum_.push_back(sum);
        nuls_.push_back(nuls);
        crc_.push_back(crc);
      }
      at += n;
    }
    return true;
  }
  // Over [a, b), which Cover made summed.
  uint8_t Sum(uint64_t a, uint64_t b) const { return static_cast<uint8_t>(sum_[b - base_] - sum_[a - base_]); }
  uint8_t Nuls(uint64_t a, uint64_t b) const { return static_cast<uint8_t>(nuls_[b - base_] - nuls_[a - base_]); }
  uint16_t Crc(uint64_t a, uint64_t b) const {
    return static_cast<uint16_t>(crc_[b - base_] ^ Crc16Zeros(crc_[a - base_], b - a));
  }

 private:
  ByteWindow w_;
  uint64_t base_ = 0;
  std::vector<uint8_t> sum_, nuls_;
  std::vector<uint16_t> crc_;
};

LzhStartScan::LzhStartScan(const FileStream& f, bool fromStart)
    : size_(f.Size()),
      firstMethod_(fromStart ? lzh::kMethod : lzh::kMethod + 1),
      fixed_(std::make_unique<ByteWindow>(f, 4096)),
      ahead_(std::make_unique<ByteWindow>(f, kWindow)),
      sums_(std::make_unique<Sums>(f)) {}

LzhStartScan::~LzhStartScan() = default;

namespace {

// The n bytes at pos: from the block when it holds them, else from w.
const uint8_t* BytesAt(uint64_t pos, size_t n, uint64_t from, const uint8_t* block, size_t span, ByteWindow& w) {
  if (block && pos >= from && pos - from + n <= span) return block + (pos - from);
  return w.At(pos, n);
}

}  // namespace

void LzhStartScan::Look(uint64_t from, const uint8_t* block, size_t span, size_t owned) {
  // Offset 0 is the fixed test's unless the scan starts there.
  size_t at = from >= firstMethod_ ? 0 : static_cast<size_t>(firstMethod_ - from);
  auto consider = [&](size_t methodAt) {
    const uint64_t p = from + methodAt - lzh::kMethod;
    if (first_ && p > *first_) return;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(lzh::kLevel2FixedSize, size_ - std::min(p, size_)));
    if (n <= lzh::kLevel) return;
    if (const uint8_t* b = BytesAt(p, n, from, block, span, *fixed_)) Consider(p, b);
  };
  // Inside the block the method's two dashes, four apart, pick the candidates.
  const size_t inBlock = span >= lzh::kMethodLength ? std::min(owned, span - (lzh::kMethodLength - 1)) : 0;
  while (at < inBlock) {
    at += FindPair(block + at, inBlock - at, '-', lzh::kMethodLength - 1, '-');
    if (at == inBlock) break;
    if (IsMethod(block + at)) consider(at);
    ++at;
  }
  // The last few run past the block: their methods are read apart.
  for (at = std::max(at, inBlock); at < owned; ++at) {
    if (block[at] != '-') continue;
    const uint8_t* m = fixed_->At(from + at, lzh::kMethodLength);
    if (m && IsMethod(m)) consider(at);
  }
  Follow(from + owned, from, block, span);
}

void LzhStartScan::Consider(uint64_t p, const uint8_t* b) {
  // b holds the fixed fields up to the level byte at least (26 bytes unless
  // the file ends first). The checks come cheapest first.
  const uint8_t level = b[lzh::kLevel];
  if (level > 2) return;
  // A 0 first byte is an end mark unless a level-2 header's size follows.
  if (b[lzh::kHeaderSize] == 0 && (b[lzh::kHeaderSize + 1] == 0 || level != 2)) return;
  const uint32_t packed = le::Get32(b + lzh::kPackedSize);
  if (level == 2) {
    if (p + lzh::kLevel2FixedSize > size_) return;
    const uint64_t h = le::Get16(b + lzh::kHeaderSize) + (b[lzh::kLevel2Os] == 'K' ? 2 : 0);
    if (p + h + packed >= size_ || !sums_->Cover(p, p + h)) return;
    Member m;
    m.header = p;
    m.level = 2;
    m.limit = p + h;
    m.crcWhole = sums_->Crc(p, p + h);
    Join(p + lzh::kLevel2FirstExtended, m);
    return;
  }
  if (p + lzh::kLevel0MinimumSize > size_) return;
  const uint64_t h = b[lzh::kHeaderSize];
  const uint64_t n = b[lzh::kNameLength];
  const uint64_t nameEnd = p + lzh::kName + n;
  const uint64_t e = nameEnd + lzh::kFirstExtendedAfterName;
  // The CRC, and at level 1 the OS byte and the first size field, are read.
  if ((level == 1 ? e + 2 : nameEnd + 2) > size_) return;
  const uint64_t next = level == 1 ? e + 2 + packed : p + h + 2 + packed;
  if (next >= size_ || p + h + 2 > size_ || h < lzh::kLevel0MinimumSize) return;
  if (!sums_->Cover(p, p + h + 2)) return;
  // The name, cut at its first NUL, must lie inside the header.
  if (h - lzh::kLevel0MinimumSize < n && sums_->Nuls(nameEnd - n, p + h + 1) == 0) return;
  if (sums_->Sum(p + lzh::kMethod, p + lzh::kMethod + h) != b[lzh::kHeaderSum]) return;
  if (level == 0) {
    first_ = std::min(first_.value_or(p), p);
    return;
  }
  Member m;
  m.header = p;
  m.level = 1;
  m.limit = next;
  Join(e, m);
}

void LzhStartScan::Join(uint64_t chainAt, Member m) {
  const auto index = static_cast<uint32_t>(members_.size());
  auto [it, fresh] = open_.try_emplace(chainAt, static_cast<uint32_t>(groups_.size()));
  if (fresh) groups_.emplace_back();
  Group& g = groups_[it->second];
  m.commonsAtJoin = g.commons;
  g.members.push_back(index);
  g.maxLimit = std::max(g.maxLimit, m.limit);
  undecided_.insert(m.header);
  members_.push_back(m);
}

void LzhStartScan::Merge(uint32_t into, uint32_t from) {
  Group& to = groups_[into];
  Group& gone = groups_[from];
  for (const uint32_t i : gone.members) {
    Member& m = members_[i];
    if (gone.commons > m.commonsAtJoin) {
      m.common = gone.lastCommon;
      m.commonValue = gone.lastCommonValue;
    }
    m.commonsAtJoin = to.commons;
    to.members.push_back(i);
  }
  to.maxLimit = std::max(to.maxLimit, gone.maxLimit);
  gone = Group{};
}

void LzhStartScan::Follow(uint64_t end, uint64_t from, const uint8_t* block, size_t span) {
  while (!open_.empty() && open_.begin()->first < end) {
    uint64_t x = open_.begin()->first;
    uint32_t g = open_.begin()->second;
    open_.erase(open_.begin());
    // One chain is followed while it stays behind the others.
    for (;;) {
      ++work::steps;
      const size_t n = static_cast<size_t>(std::min<uint64_t>(3, size_ - std::min(x, size_)));
      const uint8_t* r = n >= 2 ? BytesAt(x, n, from, block, span, *ahead_) : nullptr;
      if (!r) {
        Settle(g, std::nullopt);
        break;
      }
      const uint64_t recordSize = le::Get16(r);
      if (recordSize == 0) {
        Settle(g, x);
        break;
      }
      // Too small for its own fields, cut by the end of the file, or past
      // where any of its headers may end.
      if (recordSize < lzh::kExtendedBody || n < 3 || x + 2 > groups_[g].maxLimit) {
        Settle(g, std::nullopt);
        break;
      }
      if (r[lzh::kExtendedType] == lzh::kTypeCommon) {
        Group& group = groups_[g];
        ++group.commons;
        group.lastCommon = x + lzh::kExtendedBody;
        const uint8_t* v = x + lzh::kExtendedBody + 2 <= size_
                               ? BytesAt(group.lastCommon, 2, from, block, span, *ahead_)
                               : nullptr;
        group.lastCommonValue = v ? le::Get16(v) : 0;
      }
      x += recordSize;
      if (x >= end || (!open_.empty() && x >= open_.begin()->first)) {
        auto [it, fresh] = open_.try_emplace(x, g);
        if (!fresh) {
          // Two chains meet: the smaller group joins the larger.
          uint32_t other = it->second;
          if (groups_[other].members.size() < groups_[g].members.size()) std::swap(other, g);
          Merge(other, g);
          it->second = other;
        }
        break;
      }
    }
  }
}

void LzhStartScan::Settle(uint32_t g, std::optional<uint64_t> endMarkAt) {
  Group& group = groups_[g];
  for (const uint32_t i : group.members) {
    const Member& m = members_[i];
    undecided_.erase(m.header);
    if (!endMarkAt || *endMarkAt + 2 > m.limit) continue;
    if (m.level == 2) {
      // The stored CRC is the one over the header with its own two bytes
      // as zeros: the CRC of the whole, less what those two bytes add.
      const bool later = group.commons > m.commonsAtJoin;
      const uint64_t at = later ? group.lastCommon : m.common;
      const uint16_t stored = later ? group.lastCommonValue : m.commonValue;
      if (at == 0) continue;
      const uint8_t bytes[2] = {static_cast<uint8_t>(stored), static_cast<uint8_t>(stored >> 8)};
      const uint16_t zeroed = m.crcWhole ^ Crc16Zeros(Crc16Update(0, bytes, 2), m.limit - at - 2);
      if (zeroed != stored) continue;
    }
    first_ = std::min(first_.value_or(m.header), m.header);
  }
  group = Group{};
}

std::optional<uint64_t> LzhStartScan::Found() const {
  if (first_ && !undecided_.empty() && *undecided_.begin() < *first_) return std::nullopt;
  return first_;
}

void LzhStartScan::Finish() { Follow(UINT64_MAX, 0, nullptr, 0); }

std::optional<uint64_t> FindLzhStart(ProgramState& s, const FileStream& f, uint64_t before) {
  uint8_t m[lzh::kMethodLength] = {};  // a short file leaves zeros: no match
  f.ReadAt(lzh::kMethod, m, sizeof m);
  if (m[0] == '-' && m[1] == 'l' && m[2] == 'h' && m[4] == '-') return 0;
  // LArc's "-lz?-" at offset 0 starts the archive by the rule of a header
  // behind a stub: when it checks. Otherwise a self-extractor: a program
  // stub, then the archive.
  const bool larc = IsMethod(m);
  ByteWindow w(f);
  LzhStartScan scan(f, larc);
  constexpr size_t kBlock = 64 * 1024;
  const uint64_t size = std::min(f.Size(), before + lzh::kMethod + lzh::kMethodLength);
  for (uint64_t from = lzh::kMethod + (larc ? 0 : 1); from + lzh::kMethodLength <= size;) {
    const size_t span = static_cast<size_t>(std::min<uint64_t>(kBlock, size - from));
    const uint8_t* block = w.At(from, span);
    if (!block) return std::nullopt;
    const size_t candidates = span - (lzh::kMethodLength - 1);
    scan.Look(from, block, span, candidates);
    if (scan.Found()) return scan.Found();
    s.ProcessMessages(candidates);
    from += candidates;
  }
  scan.Finish();
  return scan.Found();
}

bool StartsWithLzh(ProgramState& s, const FileStream& f) {
  uint8_t m[lzh::kMethodLength] = {};  // a short file leaves zeros: no match
  f.ReadAt(lzh::kMethod, m, sizeof m);
  if (!IsMethod(m)) return false;
  return m[2] == 'h' || FindLzhStart(s, f, 1) == std::optional<uint64_t>(0);
}

}  // namespace brim
