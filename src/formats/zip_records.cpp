#include "formats/zip_records.h"

#include <cstring>

#include "base/le.h"

namespace brim::zip {

namespace {

// Offsets in the classic headers; the names follow the layouts of the
// local and central headers.
constexpr size_t kLocalCompressed = 18;
constexpr size_t kLocalOriginal = 22;
constexpr size_t kCentralCompressed = 20;
constexpr size_t kCentralOriginal = 24;
constexpr size_t kCentralDiskStart = 34;
constexpr size_t kCentralOffset = 42;

bool Signed(const uint8_t* p, const uint8_t (&sig)[4]) { return std::memcmp(p, sig, 4) == 0; }

// The 4 bytes at p begin one of the records that can follow a descriptor.
bool RecordSignature(const uint8_t* p) {
  return p[0] == 0x50 && p[1] == 0x4B &&
         ((p[2] == 3 && p[3] == 4) || (p[2] == 1 && p[3] == 2) || (p[2] == 5 && p[3] == 6) ||
          (p[2] == 6 && p[3] == 6) || (p[2] == 7 && p[3] == 8) || (p[2] == 6 && p[3] == 7));
}

uint64_t SizeAt(const uint8_t* p, size_t width) { return width == 8 ? le::Get64(p) : le::Get32(p); }

}  // namespace

std::optional<size_t> FindExtraBlock(const uint8_t* extra, size_t length, uint16_t id) {
  size_t at = 0;
  while (at + kExtraBlockHeader <= length) {
    const size_t size = le::Get16(extra + at + 2);
    if (at + kExtraBlockHeader + size > length) return std::nullopt;
    if (le::Get16(extra + at) == id) return at;
    at += kExtraBlockHeader + size;
  }
  return std::nullopt;
}

std::optional<UnicodePath> FindUnicodePath(const uint8_t* extra, size_t length, size_t from) {
  if (from > length) return std::nullopt;
  const auto block = FindExtraBlock(extra + from, length - from, kExtraUnicodePath);
  if (!block) return std::nullopt;
  const size_t at = from + *block;
  const size_t size = le::Get16(extra + at + 2);
  const uint8_t* data = extra + at + kExtraBlockHeader;
  if (size < kUnicodePathName) return std::nullopt;
  UnicodePath out;
  out.blockAt = at;
  out.nameAt = at + kExtraBlockHeader + kUnicodePathName;
  out.nameLength = size - kUnicodePathName;
  out.version = data[kUnicodePathVersion];
  out.crc = le::Get32(data + kUnicodePathCrc);
  return out;
}

Zip64Values ParseZip64Extra(const uint8_t* extra, size_t length, Zip64Wants wants) {
  Zip64Values out;
  const auto block = FindExtraBlock(extra, length, kExtraZip64);
  if (!block) return out;
  const size_t end = *block + kExtraBlockHeader + le::Get16(extra + *block + 2);
  size_t at = *block + kExtraBlockHeader;
  auto take = [&](bool wanted, size_t width, std::optional<Zip64Value>& into) {
    if (!wanted || at + width > end) return;
    into = Zip64Value{static_cast<uint32_t>(at), SizeAt(extra + at, width)};
    at += width;
  };
  take(wants.original, 8, out.original);
  take(wants.compressed, 8, out.compressed);
  take(wants.localOffset, 8, out.localOffset);
  take(wants.diskStart, 4, out.diskStart);
  return out;
}

Zip64Wants LocalZip64Wants(const uint8_t* h) {
  Zip64Wants w;
  w.original = le::Get32(h + kLocalOriginal) == kZip64Marker32;
  w.compressed = le::Get32(h + kLocalCompressed) == kZip64Marker32;
  return w;
}

Zip64Wants CentralZip64Wants(const uint8_t* h) {
  Zip64Wants w;
  w.original = le::Get32(h + kCentralOriginal) == kZip64Marker32;
  w.compressed = le::Get32(h + kCentralCompressed) == kZip64Marker32;
  w.localOffset = le::Get32(h + kCentralOffset) == kZip64Marker32;
  w.diskStart = le::Get16(h + kCentralDiskStart) == kZip64Marker16;
  return w;
}

std::optional<uint64_t> DecodeZip64Locator(const uint8_t* p) {
  if (!Signed(p, kZip64LocatorSignature)) return std::nullopt;
  return le::Get64(p + kZip64LocatorEndOffset);
}

std::optional<Zip64End> DecodeZip64End(const uint8_t* p) {
  if (!Signed(p, kZip64EndSignature)) return std::nullopt;
  Zip64End e;
  e.entriesOnDisk = le::Get64(p + kZip64EndEntriesOnDisk);
  e.entriesTotal = le::Get64(p + kZip64EndEntriesTotal);
  e.directorySize = le::Get64(p + kZip64EndDirectorySize);
  e.directoryOffset = le::Get64(p + kZip64EndDirectoryOffset);
  return e;
}

size_t RecogniseDescriptor(const uint8_t* p, size_t available, const EntrySums* known,
                           bool zip64Entry) {
  const bool sig = available >= 4 && Signed(p, kDescriptorSignature);
  // Preferred order: the signed layouts only when the signature is there,
  // the Zip64 width first for a Zip64 entry.
  size_t order[4];
  size_t count = 0;
  const size_t narrow = sig ? 16 : 12, wide = sig ? 24 : 20;
  order[count++] = zip64Entry ? wide : narrow;
  order[count++] = zip64Entry ? narrow : wide;
  if (sig) {  // a CRC can begin with the bytes of the signature
    order[count++] = zip64Entry ? 20 : 12;
    order[count++] = zip64Entry ? 12 : 20;
  }
  auto fits = [&](size_t len) { return len <= available; };
  auto matches = [&](size_t len) {
    const size_t w = DescriptorSizeWidth(len);
    return known && le::Get32(p + DescriptorCrcAt(len)) == known->crc &&
           SizeAt(p + DescriptorCompressedAt(len), w) == known->compressedSize &&
           SizeAt(p + DescriptorOriginalAt(len), w) == known->originalSize;
  };
  auto followed = [&](size_t len) {
    return len == available || (len + 4 <= available && RecordSignature(p + len));
  };
  // Known values and a record after it; known values alone (an original
  // size of 0 reads the same in both widths); a record after it.
  for (int pass = 0; pass < 3; ++pass) {
    for (size_t i = 0; i < count; ++i) {
      const size_t len = order[i];
      if (!fits(len)) continue;
      if ((pass == 0 && matches(len) && followed(len)) || (pass == 1 && matches(len)) ||
          (pass == 2 && followed(len))) {
        return len;
      }
    }
  }
  // Without a signature nothing else says a descriptor is there.
  return sig && fits(order[0]) ? order[0] : 0;
}

bool IsApkSigningBlock(uint64_t at, uint64_t end, const uint8_t* head, const uint8_t* tail) {
  if (end < at || end - at < kApkBlockSizeField + kApkBlockTrailer) return false;
  const uint64_t size = le::Get64(head);
  return size == end - at - kApkBlockSizeField && le::Get64(tail) == size &&
         std::memcmp(tail + kApkBlockSizeField, kApkBlockMagic, kApkBlockMagicLength) == 0;
}

}  // namespace brim::zip
