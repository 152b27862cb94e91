// Byte-exact ZIP archives for tests. Every field of every record is settable;
// the defaults and the helpers give the usual consistent values, and any of
// them can be overridden afterwards to build a damaged archive.
//
//   ZipBuilder z;
//   z.Raw(Bytes(1000, 'x'));                       // a stub
//   z.Local(ZipLocal::Stored("a.txt", BytesOf("hello")));
//   z.Local(ZipLocal::Deflated("dir/b.BIN", BytesOf(std::string(500, 'b'))));
//   z.Finish(1000);                                // offsets relative to the archive proper
//   WriteFileBytes(path, z.bytes);
//
// Records are appended in the order of the calls, so any order (a central
// header before a local one, two end records, garbage between) can be built.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "support/test_files.h"

namespace brim::test {

// Local file header (30 bytes + name + extra), followed by data.
struct ZipLocal {
  uint16_t versionNeeded = 20;
  uint16_t flags = 0;
  uint16_t method = 0;  // 0 stored, 8 deflated
  uint16_t time = 0;
  uint16_t date = 0x21;  // 1980-01-01
  uint32_t crc = 0;
  uint32_t compressedSize = 0;
  uint32_t originalSize = 0;
  std::string name;  // raw bytes (CP932 in practice)
  Bytes extra;
  Bytes data;  // written right after the extra field
  // Overrides of the stored lengths (default: name.size(), extra.size()).
  std::optional<uint16_t> nameLength;
  std::optional<uint16_t> extraLength;

  // Stored entry: method 0, CRC and both sizes from data.
  static ZipLocal Stored(std::string name, Bytes data);
  // Deflated entry (raw deflate through zlib): CRC and original size of
  // original, compressed size and data of the deflated bytes.
  static ZipLocal Deflated(std::string name, const Bytes& original);
  // Streamed entry: flag bit 3, CRC and sizes 0 in the local header, data
  // stored; follow it with DataDescriptor() to complete it.
  static ZipLocal Streamed(std::string name, Bytes data);
};

// Central directory file header (46 bytes + name + extra + comment).
struct ZipCentral {
  uint16_t versionMadeBy = 20;
  uint16_t versionNeeded = 20;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint16_t time = 0;
  uint16_t date = 0x21;
  uint32_t crc = 0;
  uint32_t compressedSize = 0;
  uint32_t originalSize = 0;
  uint16_t diskStart = 0;
  uint16_t internalAttributes = 0;
  uint32_t externalAttributes = 0;
  uint32_t localHeaderOffset = 0;
  std::string name;
  Bytes extra;
  std::string comment;
  std::optional<uint16_t> nameLength;
  std::optional<uint16_t> extraLength;
  std::optional<uint16_t> commentLength;

  // The central header that describes local (same fields, same name), whose
  // local header lies at localHeaderOffset (relative to the archive proper).
  // A streamed entry takes its CRC and sizes from the data it holds.
  static ZipCentral For(const ZipLocal& local, uint32_t localHeaderOffset);
};

// End of central directory record (22 bytes + comment).
struct ZipEnd {
  uint16_t diskNumber = 0;
  uint16_t directoryDisk = 0;
  uint16_t entriesOnDisk = 0;
  uint16_t entriesTotal = 0;
  uint32_t directorySize = 0;
  uint32_t directoryOffset = 0;
  std::string comment;
  std::optional<uint16_t> commentLength;
};

// Record encoders, for building a record outside a builder.
Bytes EncodeZipLocal(const ZipLocal& h);  // header, name, extra and data
Bytes EncodeZipCentral(const ZipCentral& h);
Bytes EncodeZipEnd(const ZipEnd& e);

class ZipBuilder {
 public:
  Bytes bytes;

  struct Placed {
    uint64_t local;  // position of the local header in bytes
    ZipLocal header;
    uint64_t dataStart;
  };
  // Every Local() so far, in order; Finish() writes a central header for each.
  std::vector<Placed> entries;
  // Positions of the central headers that Finish() wrote, in entry order.
  std::vector<uint64_t> centrals;
  // Position of the end record that Finish() wrote.
  uint64_t endRecord = 0;

  uint64_t Size() const { return bytes.size(); }

  // Each appends its record and returns the position it starts at.
  uint64_t Raw(const Bytes& raw);
  uint64_t Local(const ZipLocal& h);
  uint64_t Central(const ZipCentral& h);
  uint64_t End(const ZipEnd& e);
  // Data descriptor: optional signature PK 7 8, then CRC and both sizes.
  uint64_t DataDescriptor(uint32_t crc, uint32_t compressedSize, uint32_t originalSize,
                          bool withSignature = true);
  // The descriptor that completes entries.back() (a Streamed entry).
  uint64_t DataDescriptorForLast(bool withSignature = true);

  // Writes a consistent central directory for every entry and the end record.
  // Stored offsets are positions minus offsetBase: pass the stub length for
  // a stub whose offsets ignore it (cat stub a.zip), 0 for adjusted offsets.
  void Finish(uint64_t offsetBase = 0, std::string comment = {});
  // The same directory and end record, as the records Finish() would write,
  // for a test that wants to alter one before appending it.
  std::vector<ZipCentral> CentralsFor(uint64_t offsetBase = 0) const;
  ZipEnd EndFor(uint64_t directoryStart, uint64_t directoryEnd, uint64_t offsetBase = 0) const;
};

// Records no installed tool writes on its own, for the Zip64 and descriptor
// cases: free functions, so they combine with any builder state.

// The Zip64 extra block (ID 0x0001) with these 8-byte values in order, then
// a 4-byte disk number when given.
Bytes Zip64ExtraBlock(std::initializer_list<uint64_t> values,
                      std::optional<uint32_t> disk = std::nullopt);
// A data descriptor with 8-byte sizes, with or without its signature.
Bytes Zip64DataDescriptor(uint32_t crc, uint64_t compressedSize, uint64_t originalSize,
                          bool withSignature = true);
// The Zip64 end record (56 bytes) and its locator (20 bytes).
Bytes EncodeZip64End(uint64_t entries, uint64_t directorySize, uint64_t directoryOffset);
Bytes EncodeZip64Locator(uint64_t endRecordOffset);
// An APK Signing Block as apksigner puts it between the last entry and the
// directory: one ID-value pair (the v2 signature's ID) holding value.
Bytes ApkSigningBlock(const Bytes& value);
// Like Finish(), with a Zip64 end record and its locator before the end
// record. With markers, the end record's counts, size and offset hold
// 0xFFFF and 0xFFFFFFFF, as writers leave them when a value does not fit.
void FinishZip64(ZipBuilder& z, uint64_t offsetBase = 0, bool markers = true);
// n stored entries of one byte each, named 00000.txt and up, finished with
// FinishZip64 once the count passes 65,535.
ZipBuilder ManyEntries(size_t n);

}  // namespace brim::test
