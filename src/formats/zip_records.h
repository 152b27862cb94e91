// ZIP records beyond the three classic headers: the Zip64 extra field, the
// Zip64 end record and its locator, and the data descriptor. All numbers
// little-endian. Decoding works on bytes already read; nothing here touches
// a file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace brim::zip {

// A 32-bit size or offset at this value, or a 16-bit disk number at 0xFFFF,
// says the real value lies in the Zip64 extra field.
inline constexpr uint32_t kZip64Marker32 = 0xFFFFFFFF;
inline constexpr uint16_t kZip64Marker16 = 0xFFFF;

// An extra field is a run of blocks, each an ID, a length and its data.
//
//  0    2    4
//  | id |len | data (len bytes) | id | len | ...
inline constexpr size_t kExtraBlockHeader = 4;
inline constexpr uint16_t kExtraZip64 = 0x0001;
inline constexpr uint16_t kExtraAes = 0x9901;

// Info-ZIP Unicode Path (ID 0x7075): a UTF-8 name that replaces the header's
// name for readers that know it, valid only while its CRC-32 matches the
// header name it was written beside.
//
//  0    2    4   5        9
//  |7075|len |ver| crc32  | UTF-8 name (len - 5 bytes)
inline constexpr uint16_t kExtraUnicodePath = 0x7075;
inline constexpr size_t kUnicodePathVersion = 0;
inline constexpr size_t kUnicodePathCrc = 1;
inline constexpr size_t kUnicodePathName = 5;
// The same places counted from the block's first byte (its ID).
inline constexpr size_t kUnicodePathCrcInBlock = kExtraBlockHeader + kUnicodePathCrc;
inline constexpr size_t kUnicodePathNameInBlock = kExtraBlockHeader + kUnicodePathName;

// Zip64 extended information (ID 0x0001). It holds a value only for each
// header field at its marker, always in this order:
//
//  0    2    4           +8           +8             +8
//  |0001|len | original  | compressed | local offset | disk start (4) |
//            (U = FF..FF) (Z = FF..FF) (O = FF..FF)   (disk = FFFF)
// A local header has no offset or disk fields, so only sizes can appear.
struct Zip64Wants {
  bool original = false;
  bool compressed = false;
  bool localOffset = false;
  bool diskStart = false;
  bool Any() const { return original || compressed || localOffset || diskStart; }
};

// One value of the Zip64 field: where it lies, counted from the first byte
// of the extra field, and what it holds.
struct Zip64Value {
  uint32_t at = 0;
  uint64_t value = 0;
};

struct Zip64Values {
  std::optional<Zip64Value> original;
  std::optional<Zip64Value> compressed;
  std::optional<Zip64Value> localOffset;
  std::optional<Zip64Value> diskStart;
};

// The position of the first block with this ID inside the extra field, or
// nothing when there is none or the blocks before it run past its end.
std::optional<size_t> FindExtraBlock(const uint8_t* extra, size_t length, uint16_t id);

// A 0x7075 block of an extra field: where it and its name start (counted
// from the first byte of the extra field), its name's length, its version
// and the CRC-32 it claims. Some extractors take the name whatever the
// version and the CRC, so every block is a copy of the name.
struct UnicodePath {
  size_t blockAt = 0;
  size_t nameAt = 0;
  size_t nameLength = 0;
  uint8_t version = 0;
  uint32_t crc = 0;
  // Version 1 with the CRC-32 of the header name: what every reader believes.
  bool Believed(uint32_t headerNameCrc) const { return version == 1 && crc == headerNameCrc; }
};
// The first 0x7075 block at or after the block starting at from; nothing
// when there is none or it is too short to hold its version and CRC.
std::optional<UnicodePath> FindUnicodePath(const uint8_t* extra, size_t length, size_t from = 0);
// Calls f(path) for every 0x7075 block in the extra field, in order.
template <typename F>
void ForEachUnicodePath(const uint8_t* extra, size_t length, F&& f) {
  for (auto p = FindUnicodePath(extra, length); p; p = FindUnicodePath(extra, length, p->nameAt + p->nameLength)) {
    f(*p);
  }
}

// Reads the values that wants asks for from the extra field's 0x0001 block.
// A value the block is too short to hold stays empty, as do all of them when
// there is no such block.
Zip64Values ParseZip64Extra(const uint8_t* extra, size_t length, Zip64Wants wants);

// Which values a local header (its first 30 bytes) or a central header (its
// first 46 bytes) leaves to the Zip64 field.
Zip64Wants LocalZip64Wants(const uint8_t* localHeader);
Zip64Wants CentralZip64Wants(const uint8_t* centralHeader);

// Zip64 end of central directory locator, 20 bytes, right before the end
// record.
//
//  0      4          8                    16        20
//  |PK 6 7| end disk | Zip64 end record   | disks   |
//                      (relative offset)
inline constexpr uint8_t kZip64LocatorSignature[4] = {0x50, 0x4B, 0x06, 0x07};
inline constexpr size_t kZip64LocatorEndDisk = 4;
inline constexpr size_t kZip64LocatorEndOffset = 8;
inline constexpr size_t kZip64LocatorDisks = 16;
inline constexpr size_t kZip64LocatorSize = 20;

// Zip64 end of central directory record, 56 bytes + extensible data. Its
// size field counts the bytes after itself (44 for the fixed part).
//
//  0      4          12   14   16   20   24         32         40        48        56
//  |PK 6 6| rec size |made|need|disk|cdsk| on disk  | total    | cd size | cd off  |
inline constexpr uint8_t kZip64EndSignature[4] = {0x50, 0x4B, 0x06, 0x06};
inline constexpr size_t kZip64EndRecordSize = 4;
inline constexpr size_t kZip64EndVersionMadeBy = 12;
inline constexpr size_t kZip64EndVersionNeeded = 14;
inline constexpr size_t kZip64EndDiskNumber = 16;
inline constexpr size_t kZip64EndDirectoryDisk = 20;
inline constexpr size_t kZip64EndEntriesOnDisk = 24;
inline constexpr size_t kZip64EndEntriesTotal = 32;
inline constexpr size_t kZip64EndDirectorySize = 40;
inline constexpr size_t kZip64EndDirectoryOffset = 48;
inline constexpr size_t kZip64EndFixedSize = 56;

struct Zip64End {
  uint64_t entriesOnDisk = 0;
  uint64_t entriesTotal = 0;
  uint64_t directorySize = 0;
  uint64_t directoryOffset = 0;
};

// The stored offset of the Zip64 end record, from the 20 bytes of a locator;
// nothing when they are not one.
std::optional<uint64_t> DecodeZip64Locator(const uint8_t* locator);
// The counts and the directory from the record's first 56 bytes; nothing
// when they are not a Zip64 end record.
std::optional<Zip64End> DecodeZip64End(const uint8_t* record);

// Data descriptor, after the data of an entry with flag bit 3. The signature
// is optional; a Zip64 entry has 8-byte sizes.
//
//  0      4     8       12      16
//  |PK 7 8| crc | csize | usize |                  16 bytes (12 unsigned)
//  |PK 7 8| crc | csize (8)     | usize (8)     |  24 bytes (20 unsigned)
inline constexpr uint8_t kDescriptorSignature[4] = {0x50, 0x4B, 0x07, 0x08};
// Enough bytes to tell the layouts apart: the longest one and the signature
// of the header after it.
inline constexpr size_t kDescriptorProbe = 28;

// The layout follows from the length: 12, 16, 20 or 24.
constexpr bool DescriptorSigned(size_t length) { return length == 16 || length == 24; }
constexpr size_t DescriptorSizeWidth(size_t length) { return length >= 20 ? 8 : 4; }
constexpr size_t DescriptorCrcAt(size_t length) { return DescriptorSigned(length) ? 4 : 0; }
constexpr size_t DescriptorCompressedAt(size_t length) { return DescriptorCrcAt(length) + 4; }
constexpr size_t DescriptorOriginalAt(size_t length) {
  return DescriptorCompressedAt(length) + DescriptorSizeWidth(length);
}

// CRC-32 and sizes an entry is known to have (from its central header).
struct EntrySums {
  uint32_t crc = 0;
  uint64_t compressedSize = 0;
  uint64_t originalSize = 0;
};

// The length of the data descriptor at bytes, of which `available` exist
// (the rest of the file, at most kDescriptorProbe is looked at). The layout
// whose values are `known` wins; without one that matches, the layout after
// which a ZIP record signature or the end of the file follows; failing that,
// a signature decides, with Zip64 sizes for a zip64 entry. 0 when none of
// this holds: no descriptor is recognised there.
size_t RecogniseDescriptor(const uint8_t* bytes, size_t available, const EntrySums* known,
                           bool zip64Entry);

// APK Signing Block (apksigner's v2 and later signatures), between the last
// entry's data and the central directory. Its length is said twice, at both
// ends, each time without the first size field itself:
//
//  0         8                          end-24     end-16              end
//  | size    | ID-value pairs ...       | size     | "APK Sig Block 42" |
inline constexpr size_t kApkBlockSizeField = 8;
inline constexpr size_t kApkBlockTrailer = 24;  // the second size and the magic
inline constexpr char kApkBlockMagic[] = "APK Sig Block 42";
inline constexpr size_t kApkBlockMagicLength = 16;

// Whether the bytes [at, end) are one APK Signing Block: head is its first
// kApkBlockSizeField bytes, tail its last kApkBlockTrailer.
bool IsApkSigningBlock(uint64_t at, uint64_t end, const uint8_t* head, const uint8_t* tail);

}  // namespace brim::zip
