// The view of a streaming reader (bsdtar reading a pipe, Java's
// ZipInputStream): local headers one after another, each entry as long as
// its local header says, never the central directory. A stored entry with
// flag bit 3 carries no length there, so such a reader searches its data
// for a data descriptor whose compressed size fits the bytes before it, ends
// the entry there and reads the next local header right after it. The
// directory readers' walk lists the entry by the length its central header
// gives; this view tells where a streaming reader sees other entries.
#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "base/byte_window.h"

namespace brim::zipview {

// Where a streaming reader ends a stored bit-3 entry whose data starts at
// data and runs, by the directory, for length bytes.
struct StoredSplit {
  std::optional<uint64_t> descriptor;  // the first descriptor that fits, inside the data
  // A descriptor signature inside the data that does not fit: a reader that
  // checks less would end the entry there, so where it ends is not known.
  bool ambiguous = false;
};
StoredSplit SplitStored(ByteWindow& w, uint64_t data, uint64_t length);

// The local headers a streaming reader reads from the descriptor at
// descriptor on, before end (the end of the data that holds them). Each
// lies after the one before it, so the walk is linear in the bytes.
std::vector<uint64_t> StreamedHeaders(ByteWindow& w, uint64_t descriptor, uint64_t end);

}  // namespace brim::zipview
