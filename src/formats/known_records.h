// The record kinds the analysis knows carry no name, in one place: an LZH
// extended header or a ZIP extra block of any other kind than these (and
// the name kinds the views read) may hold a name some reader writes, so it
// marks its row "unexplained" and a rewrite of the archive says "partly
// done". Add a kind here only when no reader takes a name from it.
#pragma once
#include <algorithm>
#include <array>
#include <cstdint>

namespace brim {

// LZH extended header types read or known harmless.
inline constexpr std::array<uint8_t, 11> kLzhKnownTypes = {
    0x00,  // common header: the header CRC
    0x01, 0x02, 0x44,  // file name, directory, UTF-16 file name: read as views
    0x3F,  // comment
    0x40,  // MS-DOS attribute
    0x41,  // Windows time stamps
    0x42,  // 64-bit sizes
    0x46,  // code page of the 8-bit names
    0x50,  // Unix permission
    0x51,  // Unix group and user ID
};
// Further harmless types: 0x52/0x53 (Unix group and user names, not file
// names), 0x54 (Unix time), 0x7F and 0xFF (OS attributes and times).
inline constexpr std::array<uint8_t, 5> kLzhKnownOwnerTypes = {0x52, 0x53, 0x54, 0x7F, 0xFF};

inline bool IsKnownLzhType(uint8_t type) {
  return std::find(kLzhKnownTypes.begin(), kLzhKnownTypes.end(), type) != kLzhKnownTypes.end() ||
         std::find(kLzhKnownOwnerTypes.begin(), kLzhKnownOwnerTypes.end(), type) != kLzhKnownOwnerTypes.end();
}

}  // namespace brim
