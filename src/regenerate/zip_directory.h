// The ZIP directory records that regeneration writes for copied entries: a
// central directory header per entry and the end record, with the values
// taken from each entry's own local header.
#pragma once
#include <cstdint>
#include <vector>

#include "base/file_stream.h"

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
// descriptor, "PK" 7 8, CRC-32, compressed size, uncompressed size.
inline constexpr uint16_t kFlagDataDescriptor = 0x0008;
inline constexpr uint8_t kDescriptorSignature[4] = {0x50, 0x4B, 0x07, 0x08};
inline constexpr uint64_t kDescriptorSize = 16;

// Decodes the facts from a local header's first 30 bytes.
ZipEntryFacts DecodeZipEntryFacts(const uint8_t* localHeader);
// Reads them from the local header at pos. Throws CannotRead when cut.
ZipEntryFacts ReadZipEntryFacts(const FileStream& archive, uint64_t pos);

// For an entry with flag bit 3: the data descriptor (with its signature) that
// follows the data at pos. Returns its length, 16, or 0 when there is none.
// Readers expect the descriptor of such an entry, so regeneration copies it
// with the entry range; and a CRC-32 or size that the local header leaves 0
// (writers that stream their output) is taken from it into facts.
uint64_t TakeDataDescriptor(const FileStream& archive, uint64_t pos, ZipEntryFacts& facts);

// Appends a central directory header: made by 0 (MS-DOS), the facts, no extra
// field or comment, external attributes 0x20 (archive), the local header at
// localOffset, then the nameLength bytes of name. 46 + n bytes.
void AppendCentralHeader(std::vector<uint8_t>& out, const ZipEntryFacts& facts,
                         uint32_t localOffset, const uint8_t* name);

// Appends the end record: entries on this disk and in total, the directory's
// size and offset, no comment. 22 bytes.
void AppendEndRecord(std::vector<uint8_t>& out, uint16_t entries, uint32_t directorySize,
                     uint32_t directoryOffset);

}  // namespace brim
