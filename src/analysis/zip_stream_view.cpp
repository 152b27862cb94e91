#include "analysis/zip_stream_view.h"

#include <algorithm>
#include <cstring>

#include "analysis/signature_search.h"
#include "base/le.h"
#include "formats/zip_layout.h"
#include "formats/zip_records.h"

namespace brim::zipview {

namespace {

constexpr uint16_t kFlagDescriptor = 0x0008;
constexpr uint64_t kSignedDescriptor = 16;  // signature, CRC and two 32-bit sizes

}  // namespace

namespace {

// The first descriptor signature in [from, end), read a block at a time.
std::optional<uint64_t> NextSignature(ByteWindow& w, uint64_t from, uint64_t end) {
  while (from + 4 <= end) {
    const size_t span = static_cast<size_t>(std::min<uint64_t>(kSearchBlock, end - from));
    const uint8_t* block = w.At(from, span);
    if (!block) return std::nullopt;
    if (const void* p = memmem(block, span, zip::kDescriptorSignature, 4)) {
      return from + static_cast<uint64_t>(static_cast<const uint8_t*>(p) - block);
    }
    from += span - 3;
  }
  return std::nullopt;
}

}  // namespace

StoredSplit SplitStored(ByteWindow& w, uint64_t data, uint64_t length) {
  StoredSplit out;
  const uint64_t end = data + length;
  for (uint64_t from = data;;) {
    const std::optional<uint64_t> at = NextSignature(w, from, end);
    if (!at) break;
    const uint8_t* d = w.At(*at, kSignedDescriptor);
    if (d && le::Get32(d + 8) == *at - data) {
      out.descriptor = *at;
      return out;
    }
    out.ambiguous = true;
    from = *at + 1;
  }
  return out;
}

std::vector<uint64_t> StreamedHeaders(ByteWindow& w, uint64_t descriptor, uint64_t end) {
  std::vector<uint64_t> out;
  uint64_t q = descriptor + kSignedDescriptor;
  while (q < end) {
    const uint8_t* h = w.At(q, zip::kLocalHeaderSize);
    if (!h || std::memcmp(h, zip::kLocalSignature, 4) != 0) break;
    out.push_back(q);
    const uint16_t flags = le::Get16(h + zip::kLocalFlags);
    const uint16_t method = le::Get16(h + zip::kLocalMethod);
    const uint64_t z = le::Get32(h + zip::kLocalCompressedSize);
    const uint64_t d = q + zip::kLocalHeaderSize + le::Get16(h + zip::kLocalNameLength) +
                       le::Get16(h + zip::kLocalExtraLength);
    if (!(flags & kFlagDescriptor)) {
      if (z == zip::kZip64Marker32) break;  // a length in a Zip64 field: left to the directory
      q = d + z;
      continue;
    }
    // Another stored bit-3 entry ends the same way; a compressed one ends
    // where its stream does, which only decompressing would tell.
    if (method != 0 || d >= end) break;
    const StoredSplit next = SplitStored(w, d, end - d);
    if (!next.descriptor) break;
    q = *next.descriptor + kSignedDescriptor;
  }
  return out;
}

}  // namespace brim::zipview
