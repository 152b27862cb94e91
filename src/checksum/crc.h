// CRC-32 (ZIP), CRC-16/ARC (LZH) and the LZH header sum.
//
// The plain functions fold bytes into a running CRC and need nothing but the
// bytes. The *Progress routines are what the rewrite calls: they also keep a
// progress line "CRC計算中 %d%%" in the log pane, updated in place whenever the
// whole percentage changes, and let the window process messages then.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>

#include "app/program_state.h"

namespace brim {

// CRC-32/ISO-HDLC. Start with 0; Crc32Update(0, "123456789", 9) == 0xCBF43926.
uint32_t Crc32Update(uint32_t crc, const uint8_t* data, size_t len);
// The CRC after n more zero bytes, without a buffer of n bytes (O(log n)).
uint32_t Crc32Zeros(uint32_t crc, uint64_t n);

// CRC-16/ARC (poly 0xA001 reflected, init 0, no final XOR).
uint16_t Crc16Update(uint16_t crc, const uint8_t* data, size_t len);
// The CRC after n more zero bytes, in O(log n).
uint16_t Crc16Zeros(uint16_t crc, uint64_t n);

// Byte sum modulo 256 of buffer[0..high]; high < 0 sums nothing.
int HeaderSum(const uint8_t* buffer, int64_t high);

// The percentage the progress line shows after byte i of len was folded in
// (i < len): i / len and then times 100, each rounded to a 64-bit
// significand, truncated (never 100).
int CrcProgressPercent(uint64_t i, uint64_t len);

// CRC over buffer[0..high] with the progress line; high = -1 is empty. high
// is the signed 32-bit index of the last byte; len = high + 1 taken unsigned.
uint32_t Crc32Progress(ProgramState& s, const uint8_t* buffer, int32_t high);
uint16_t Crc16Progress(ProgramState& s, const uint8_t* buffer, int32_t high);

// The same over len zero bytes, with exactly the same progress line, holding
// no buffer of that size (entries of gigabytes).
uint32_t Crc32ProgressZeros(ProgramState& s, uint64_t len);
uint16_t Crc16ProgressZeros(ProgramState& s, uint64_t len);

// The same over len bytes that read(from, buf, n) supplies (bytes from..from+n
// of the run), fetched in blocks: an LZH header is checked in place, never
// held whole however long its extended headers are.
using CrcReader = std::function<void(uint64_t from, uint8_t* buf, size_t n)>;
uint16_t Crc16ProgressRead(ProgramState& s, uint64_t len, const CrcReader& read);

}  // namespace brim
