// Where a ZIP file's central directory lies, and an index of its headers by
// the local header each one points at: for local headers that leave their
// CRC-32 and sizes to a data descriptor, the central header is where they
// can be read before the data is walked.
#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "base/byte_window.h"

namespace brim::zip {

// The directory as the end records describe it. The directory ends where the
// Zip64 end record begins when there is one, else where the end record does.
struct DirectoryBounds {
  uint64_t entries = 0;  // the count the end record (or the Zip64 one) gives
  uint64_t size = 0;     // the directory's size in bytes
  uint64_t end = 0;      // position of the record after the directory
  uint64_t offset = 0;   // where the record says the directory starts, as stored
  bool zip64 = false;    // the counts came from a Zip64 end record
};

// From the end record at endRecord (its 22 bytes must lie in the file):
// the classic count and size, or those of the Zip64 end record when its
// locator lies right before the end record and points at one. The locator's
// stored offset is taken relative to the archive proper (lead added) and,
// failing that, absolute.
DirectoryBounds BoundsFromEndRecord(ByteWindow& w, uint64_t endRecord, uint64_t lead);

// One central header, Zip64 values resolved.
struct CentralEntry {
  uint64_t position = 0;     // of the central header
  uint64_t localOffset = 0;  // as stored
  uint32_t crc = 0;
  uint64_t compressedSize = 0;
  uint64_t originalSize = 0;
};

class CentralIndex {
 public:
  // Walks the headers of the directory by their lengths, from bounds.end −
  // bounds.size, until the count is reached or no header signature follows.
  static CentralIndex Build(ByteWindow& w, const DirectoryBounds& bounds);

  // The header that points at the local header at localPos: its stored
  // offset counted from the archive proper (localPos − lead) or, for
  // self-extractors whose offsets include the stub, from the file's start.
  const CentralEntry* ForLocal(uint64_t localPos, uint64_t lead) const;

  size_t Count() const { return entries_.size(); }

 private:
  const CentralEntry* Find(uint64_t stored) const;
  std::vector<CentralEntry> entries_;  // sorted by localOffset
};

}  // namespace brim::zip
