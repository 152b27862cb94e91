// ZIP records, as the analysis reads them and the rewrite and regeneration
// write them. All numbers little-endian.
#pragma once
#include <cstddef>
#include <cstdint>

namespace brim::zip {

// Local file header, 30 bytes + name + extra, then the data.
//
//  0      4  8    10   12   14     18        22       26  28  30
//  +------+--+----+----+----+------+---------+--------+---+---+--------+-------+------
//  |PK 3 4|vn|flag|meth|time|date|  crc32   | csize  | usize  |n  |m  | name   | extra | data
//  +------+--+----+----+----+------+---------+--------+---+---+--------+-------+------
inline constexpr uint8_t kLocalSignature[4] = {0x50, 0x4B, 0x03, 0x04};
inline constexpr size_t kLocalVersionNeeded = 4;
inline constexpr size_t kLocalFlags = 6;
inline constexpr size_t kLocalMethod = 8;
inline constexpr size_t kLocalTime = 10;
inline constexpr size_t kLocalDate = 12;
inline constexpr size_t kLocalCrc = 14;
inline constexpr size_t kLocalCompressedSize = 18;
inline constexpr size_t kLocalOriginalSize = 22;
inline constexpr size_t kLocalNameLength = 26;
inline constexpr size_t kLocalExtraLength = 28;
inline constexpr size_t kLocalHeaderSize = 30;  // the name starts here

// Central directory file header, 46 bytes + name + extra + comment.
//
//  0      4    6    8    10   12   14   16     20     24     28 30 32 34 36 38     42     46
//  |PK 1 2|made|need|flag|meth|time|date| crc32 | csize | usize |n |m |k |dk|ia| extattr| offset | name
inline constexpr uint8_t kCentralSignature[4] = {0x50, 0x4B, 0x01, 0x02};
inline constexpr size_t kCentralVersionMadeBy = 4;
inline constexpr size_t kCentralVersionNeeded = 6;
inline constexpr size_t kCentralFlags = 8;
inline constexpr size_t kCentralMethod = 10;
inline constexpr size_t kCentralTime = 12;
inline constexpr size_t kCentralDate = 14;
inline constexpr size_t kCentralCrc = 16;
inline constexpr size_t kCentralCompressedSize = 20;
inline constexpr size_t kCentralOriginalSize = 24;
inline constexpr size_t kCentralNameLength = 28;
inline constexpr size_t kCentralExtraLength = 30;
inline constexpr size_t kCentralCommentLength = 32;
inline constexpr size_t kCentralDiskStart = 34;
inline constexpr size_t kCentralInternalAttributes = 36;
inline constexpr size_t kCentralExternalAttributes = 38;
inline constexpr size_t kCentralLocalHeaderOffset = 42;
inline constexpr size_t kCentralHeaderSize = 46;  // the name starts here

// End of central directory record, 22 bytes + comment.
//
//  0      4    6    8     10    12       16       20
//  |PK 5 6|disk|cdsk|count|total| cd size | cd off |comment len
inline constexpr uint8_t kEndSignature[4] = {0x50, 0x4B, 0x05, 0x06};
inline constexpr size_t kEndDiskNumber = 4;
inline constexpr size_t kEndDirectoryDisk = 6;
inline constexpr size_t kEndEntriesOnDisk = 8;
inline constexpr size_t kEndEntriesTotal = 10;
inline constexpr size_t kEndDirectorySize = 12;
inline constexpr size_t kEndDirectoryOffset = 16;
inline constexpr size_t kEndCommentLength = 20;
inline constexpr size_t kEndRecordSize = 22;

}  // namespace brim::zip
