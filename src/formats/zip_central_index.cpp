#include "formats/zip_central_index.h"

#include <algorithm>
#include <cstring>

#include "base/le.h"
#include "formats/zip_layout.h"
#include "formats/zip_records.h"

namespace brim::zip {

namespace {

// The Zip64 end record the locator's stored offset names, tried relative to
// the archive proper and then absolute; its position and contents.
std::optional<std::pair<uint64_t, Zip64End>> Zip64EndAt(ByteWindow& w, uint64_t stored,
                                                        uint64_t lead, uint64_t locator) {
  for (uint64_t pos : {stored + lead, stored}) {
    if (pos + kZip64EndFixedSize > locator) continue;
    const uint8_t* r = w.At(pos, kZip64EndFixedSize);
    if (!r) continue;
    if (auto end = DecodeZip64End(r)) return std::make_pair(pos, *end);
  }
  return std::nullopt;
}

}  // namespace

DirectoryBounds BoundsFromEndRecord(ByteWindow& w, uint64_t endRecord, uint64_t lead) {
  DirectoryBounds b;
  b.end = endRecord;
  if (const uint8_t* e = w.At(endRecord, kEndRecordSize)) {
    b.entries = le::Get16(e + kEndEntriesOnDisk);
    b.size = le::Get32(e + kEndDirectorySize);
    b.offset = le::Get32(e + kEndDirectoryOffset);
  }
  if (endRecord < kZip64LocatorSize) return b;
  const uint64_t locator = endRecord - kZip64LocatorSize;
  const uint8_t* l = w.At(locator, kZip64LocatorSize);
  const auto stored = l ? DecodeZip64Locator(l) : std::nullopt;
  if (!stored) return b;
  const auto found = Zip64EndAt(w, *stored, lead, locator);
  if (!found) return b;
  b.end = found->first;
  b.entries = found->second.entriesOnDisk;
  b.size = found->second.directorySize;
  b.offset = found->second.directoryOffset;
  b.zip64 = true;
  return b;
}

CentralIndex CentralIndex::Build(ByteWindow& w, const DirectoryBounds& bounds) {
  CentralIndex index;
  if (bounds.size > bounds.end) return index;
  uint64_t p = bounds.end - bounds.size;
  for (uint64_t i = 0; i < bounds.entries; ++i) {
    const uint8_t* h = w.At(p, kCentralHeaderSize);
    if (!h || std::memcmp(h, kCentralSignature, 4) != 0) break;
    const size_t n = le::Get16(h + kCentralNameLength);
    const size_t m = le::Get16(h + kCentralExtraLength);
    const size_t k = le::Get16(h + kCentralCommentLength);
    CentralEntry e;
    e.position = p;
    e.crc = le::Get32(h + kCentralCrc);
    e.compressedSize = le::Get32(h + kCentralCompressedSize);
    e.originalSize = le::Get32(h + kCentralOriginalSize);
    e.localOffset = le::Get32(h + kCentralLocalHeaderOffset);
    const Zip64Wants wants = CentralZip64Wants(h);
    if (wants.Any()) {
      // h may move when the window reads on: everything needed is taken.
      if (const uint8_t* extra = m == 0 ? nullptr : w.At(p + kCentralHeaderSize + n, m)) {
        const Zip64Values v = ParseZip64Extra(extra, m, wants);
        if (v.original) e.originalSize = v.original->value;
        if (v.compressed) e.compressedSize = v.compressed->value;
        if (v.localOffset) e.localOffset = v.localOffset->value;
      }
    }
    index.entries_.push_back(e);
    p += kCentralHeaderSize + n + m + k;
  }
  std::stable_sort(index.entries_.begin(), index.entries_.end(),
                   [](const CentralEntry& a, const CentralEntry& b) { return a.localOffset < b.localOffset; });
  return index;
}

const CentralEntry* CentralIndex::Find(uint64_t stored) const {
  auto it = std::lower_bound(entries_.begin(), entries_.end(), stored,
                             [](const CentralEntry& e, uint64_t v) { return e.localOffset < v; });
  return it != entries_.end() && it->localOffset == stored ? &*it : nullptr;
}

const CentralEntry* CentralIndex::ForLocal(uint64_t localPos, uint64_t lead) const {
  if (localPos >= lead) {
    if (const CentralEntry* e = Find(localPos - lead)) return e;
  }
  return lead > 0 ? Find(localPos) : nullptr;
}

}  // namespace brim::zip
