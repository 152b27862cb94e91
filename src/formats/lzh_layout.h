// LZH headers of levels 0, 1 and 2 and their extended headers, as the
// analysis reads them and the rewrite writes them. All numbers little-endian.
// Offsets are from the first byte of the header, P.
#pragma once
#include <cstddef>
#include <cstdint>

namespace brim::lzh {

// Levels 0 and 1, base header (H + 2 bytes; level 1 then has extended headers):
//
//  0  1   2       7       11      15     19   20    21  22     22+N  24+N 25+N
//  |H |sum|-lh?-  | packed | orig  | time |attr|level|N | name | crc16 |os |ext size
//                                                                       (level 1 only)
inline constexpr size_t kHeaderSize = 0;       // 1 byte at levels 0/1, 2 bytes at level 2
inline constexpr size_t kHeaderSum = 1;        // levels 0/1: byte sum of the H bytes from 2
inline constexpr size_t kMethod = 2;           // 5 bytes, "-lh5-" and so on
inline constexpr size_t kMethodLength = 5;
inline constexpr size_t kPackedSize = 7;
inline constexpr size_t kOriginalSize = 11;
inline constexpr size_t kTimeStamp = 15;
inline constexpr size_t kAttribute = 19;       // level 2: reserved
inline constexpr size_t kLevel = 20;
inline constexpr size_t kNameLength = 21;      // levels 0/1
inline constexpr size_t kName = 22;            // levels 0/1
// After the name (levels 0/1): CRC-16 (2), then at level 1 the OS id (1) and
// the first extended header's size (2).
inline constexpr size_t kCrcAfterName = 0;
inline constexpr size_t kOsAfterName = 2;
inline constexpr size_t kFirstExtendedAfterName = 3;
inline constexpr size_t kLevel0MinimumSize = 22;  // up to and including N

// Level 2 (H bytes in all, extended headers included; data at P + H):
//
//  0    2       7       11      15     19  20    21     23 24
//  | H  |-lh?-  | packed | orig  | time |rsv|level| crc16 |os|ext size ...
inline constexpr size_t kLevel2Crc = 21;
inline constexpr size_t kLevel2Os = 23;
inline constexpr size_t kLevel2FirstExtended = 24;
inline constexpr size_t kLevel2FixedSize = 26;

// Extended header record at Q: size S (2, the distance to the next record's
// size field; 0 ends the chain), type (1), body (S - 3).
inline constexpr size_t kExtendedSize = 0;
inline constexpr size_t kExtendedType = 2;
inline constexpr size_t kExtendedBody = 3;
inline constexpr uint8_t kTypeCommon = 0x00;     // body starts with the header CRC-16
inline constexpr uint8_t kTypeFileName = 0x01;
inline constexpr uint8_t kTypeDirectory = 0x02;  // 0xFF separates folders
inline constexpr uint8_t kTypeUtf16FileName = 0x44;   // the name in UTF-16LE
inline constexpr uint8_t kTypeUtf16Directory = 0x45;  // the directory in UTF-16LE
inline constexpr uint8_t kDirectorySeparator = 0xFF;

}  // namespace brim::lzh
