// The ZIP directory records that regeneration writes for copied entries: a
// central directory header per entry and the end record, with the values
// taken from each entry's own local header and, where the source's central
// header is known, what that header says of the entry's origin.
#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "base/file_stream.h"
#include "formats/zip_records.h"

namespace brim {

// The local header fields from "version needed" to "file name length".
struct ZipEntryFacts {
  uint16_t versionNeeded = 0;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint16_t time = 0;
  uint16_t date = 0;
  uint32_t crc = 0;
  uint32_t compressedSize = 0;
  uint32_t originalSize = 0;
  uint16_t nameLength = 0;
};

// General purpose flag bit 3: CRC-32 and sizes follow the data in a data
// descriptor (layouts in formats/zip_records.h).
inline constexpr uint16_t kFlagDataDescriptor = 0x0008;

// Decodes the facts from a local header's first 30 bytes.
ZipEntryFacts DecodeZipEntryFacts(const uint8_t* localHeader);
// Reads them from the local header at pos. Throws CannotRead when cut. A size
// the header leaves to its Zip64 field is taken from there when it fits.
ZipEntryFacts ReadZipEntryFacts(const FileStream& archive, uint64_t pos);

// For an entry with flag bit 3: the data descriptor that follows the data at
// pos, in any of its layouts (signature or not, Zip64 sizes or not). Returns
// its length, or 0 when the flag is clear or the file ends first. Readers
// expect the descriptor of such an entry, so regeneration copies it with the
// entry range; and a CRC-32 or size that the local header leaves 0 (writers
// that stream their output) is taken from it into facts. known: the values
// the source's central header gives, when it is known.
uint64_t TakeDataDescriptor(const FileStream& archive, uint64_t pos, ZipEntryFacts& facts,
                            const zip::EntrySums* known = nullptr);

// What a rebuilt central header keeps of the source's own central header:
// the host and version that made the entry, the version needed, the file
// attributes and the extra field (Unicode paths, AES and Zip64 fields that
// readers need to read the entry as its writer meant it).
struct CentralOrigin {
  uint16_t versionMadeBy = 0;
  uint16_t versionNeeded = 0;
  uint32_t externalAttributes = 0;
  zip::Zip64Wants zip64;  // the fields at their marker in the source header
  std::vector<uint8_t> extra;
  // The CRC-32 and sizes the header states, Zip64 values resolved.
  zip::EntrySums sums;
};

// Reads the central header at pos; nothing when no whole central header lies
// there.
std::optional<CentralOrigin> ReadCentralOrigin(const FileStream& archive, uint64_t pos);

// Appends a central directory header for the facts, the local header at
// localOffset, then the nameLength bytes of name; no comment.
// Without an origin: made by 0 (MS-DOS), no extra field, external attributes
// 0x20 (archive), 46 + n bytes.
// With one: its made-by, version needed, attributes and extra field; a field
// the origin left to its Zip64 field keeps the marker, and the Zip64 field
// then holds the new value (the entry's new position, its sizes).
void AppendCentralHeader(std::vector<uint8_t>& out, const ZipEntryFacts& facts,
                         uint32_t localOffset, const uint8_t* name,
                         const CentralOrigin* origin = nullptr);

// Appends the end record: entries on this disk and in total, the directory's
// size and offset, no comment. 22 bytes.
void AppendEndRecord(std::vector<uint8_t>& out, uint16_t entries, uint32_t directorySize,
                     uint32_t directoryOffset);

}  // namespace brim
