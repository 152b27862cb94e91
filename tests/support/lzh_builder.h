// Byte-exact LZH archives for tests: headers of level 0, 1 and 2 with every
// field settable, extended records of any type and size, a correct header
// sum and header CRC by default (both overridable), and the end mark.
//
//   LzhBuilder b;
//   b.Add(LzhEntry::Level0("A.TXT", BytesOf("hello")));
//   LzhEntry e = LzhEntry::Level2("src/main.c", BytesOf("int x;"));
//   e.extended.push_back(LzhExtended::Directory("docs/"));
//   b.Add(e);
//   b.EndMark();
//   WriteFileBytes(path, b.bytes);
//
// Data is written as given: the builder never compresses, so method
// "-lh0-" (stored) with data equal to the original is what real readers
// accept; any other method makes a header-only test archive.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/test_files.h"

namespace brim::test {

// One extended-header record: size S (2), type (1), body (S - 3).
struct LzhExtended {
  uint8_t type = 0;
  Bytes body;
  // The stored S; default 3 + body.size(). The bytes written are always the
  // body as given, so an override makes the chain point elsewhere.
  std::optional<uint16_t> size;

  // Type 0, body = 2-byte header CRC (filled in by the builder) only.
  static LzhExtended Common();
  // Type 1, body = the name bytes.
  static LzhExtended FileName(const std::string& name);
  // Type 2, body = path with "/" and "\" turned into 0xFF separators (a path
  // ending in a separator gives a body ending in 0xFF, as archivers write).
  static LzhExtended Directory(const std::string& path);
  // Type 2 with the body exactly as given.
  static LzhExtended RawDirectory(const Bytes& body);
};

struct LzhEntry {
  int level = 2;  // which layout to write
  std::string method = "-lh0-";
  uint32_t time = 0x21;  // level 0/1: MS-DOS stamp; level 2: Unix time
  uint8_t attribute = 0x20;  // level 2: the reserved byte
  uint8_t os = 'M';          // level 1/2 only
  std::string name;          // base-header name (level 0/1), raw bytes
  Bytes data;
  std::vector<LzhExtended> extended;  // level 1/2 only
  Bytes level0Extra;  // level 0: bytes after the CRC, counted in H
  bool chainTerminated = true;  // false: no terminating 0 size field

  // Overrides; without them the usual consistent values are written.
  std::optional<uint8_t> levelByte;       // the byte at offset 20 (default level)
  std::optional<uint32_t> packedSize;     // default data (+ record sizes at level 1)
  std::optional<uint32_t> originalSize;   // default data.size()
  std::optional<uint16_t> crc;            // default CRC-16 of data
  std::optional<uint8_t> nameLength;      // N (level 0/1)
  std::optional<uint16_t> headerSize;     // H (one byte at level 0/1)
  std::optional<uint8_t> headerSum;       // level 0/1 checksum
  std::optional<uint16_t> headerCrc;      // the CRC in the first common record

  // Stored entries (-lh0-) of each level with the name where that level
  // keeps it: level 0/1 in the base header, level 2 in a common record
  // followed by a file-name record.
  static LzhEntry Level0(std::string name, Bytes data);
  static LzhEntry Level1(std::string name, Bytes data);
  static LzhEntry Level2(const std::string& name, Bytes data);
};

// The header bytes (base header and extended records) of e; its data follows.
Bytes EncodeLzhHeader(const LzhEntry& e);

class LzhBuilder {
 public:
  Bytes bytes;

  struct Placed {
    uint64_t offset;     // P
    uint64_t dataStart;  // first data byte
    LzhEntry entry;
  };
  std::vector<Placed> entries;

  uint64_t Size() const { return bytes.size(); }

  // Appends the entry's header and data; returns P.
  uint64_t Add(const LzhEntry& e);
  // Appends n zero bytes (1: the usual end mark; 2: a full level-2 one).
  uint64_t EndMark(size_t n = 1);
  uint64_t Raw(const Bytes& raw);
};

}  // namespace brim::test
