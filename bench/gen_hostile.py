#!/usr/bin/env python3
"""Writes one of the hostile inputs of tests/support/hostile_inputs.cpp at a
scale (the same layouts, with a larger unit for timing):

  level1_chains  a ZIP behind 64-byte records, each holding a level-1 LZH
                 candidate header whose record chain runs to the stub's end
  level2_chains  the same with level-2 headers whose chains and header CRCs
                 span 32 KiB segments (the CRCs are wrong)
  random_stub    a ZIP behind random bytes (no "P", so no signature)
  many_centrals  a ZIP whose central headers all point at one local header

usage: gen_hostile.py NAME SCALE OUT
"""
import random
import struct
import sys
import zlib

UNIT = 1 << 20
RECORD = 64


def small_zip_after(stub):
    name, data = b"a.txt", b"hello"
    crc = zlib.crc32(data)
    lead = len(stub)
    local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 0, 0, 0x21, crc, len(data), len(data), len(name), 0)
    central = struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, 0, 0, 0x21, crc, len(data), len(data),
                          len(name), 0, 0, 0, 0, 0, 0)
    body = local + name + data
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, len(central) + len(name), len(body), 0)
    return bytes(stub) + body + central + name + end


def level1_chains(scale):
    count = scale * UNIT // RECORD
    first = 16
    end = first + count * RECORD
    b = bytearray(end + 2)
    b[0:2] = b"MZ"
    for r in range(first, end, RECORD):
        struct.pack_into("<HB", b, r, RECORD, 0x7F)
    struct.pack_into("<H", b, end, 1)
    for r in range(first, end, RECORD):
        p = r + RECORD - 25
        b[p] = 25
        b[p + 2:p + 7] = b"-lh0-"
        struct.pack_into("<I", b, p + 7, end + 10 - (p + 27))
        b[p + 19] = 0x20
        b[p + 20] = 1
        b[p + 24] = ord("M")
    for r in range(first, end, RECORD):
        p = r + RECORD - 25
        b[p + 1] = sum(b[p + 2:p + 27]) & 0xFF
    return small_zip_after(b)


def level2_chains(scale):
    segment = 32 * 1024
    b = bytearray(16)
    b[0:2] = b"MZ"
    for _ in range(scale * UNIT // segment):
        first = len(b)
        end = first + segment
        b.extend(bytes(segment + 2))
        for r in range(first, end, RECORD):
            struct.pack_into("<HB", b, r, RECORD, 0)
            p = r + RECORD - 24
            struct.pack_into("<H", b, p, end + 2 - p)
            b[p + 2:p + 7] = b"-lh0-"
            b[p + 20] = 2
            b[p + 23] = ord("U")
    return small_zip_after(b)


def random_stub(scale):
    rng = random.Random(26)
    b = bytearray(rng.getrandbits(8 * 4 * UNIT * scale).to_bytes(4 * UNIT * scale, "little"))
    return small_zip_after(b.replace(b"P", b"Q"))


def many_centrals(scale):
    # One stored "evil.exe", then scale * 4,096 central headers of their
    # own names, all pointing at it.
    name, data = b"evil.exe", b"MZ"
    crc = zlib.crc32(data)
    local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 0, 0, 0x21, crc, len(data), len(data), len(name), 0)
    count = min(scale * 4096, 65535)
    body = local + name + data
    centrals = bytearray()
    for i in range(count):
        own = b"%05d.exe" % i
        centrals += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, 0, 0, 0x21, crc, len(data), len(data),
                                len(own), 0, 0, 0, 0, 0, 0) + own
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, count, count, len(centrals), len(body), 0)
    return body + bytes(centrals) + end


def main():
    name, scale, out = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    with open(out, "wb") as f:
        f.write(globals()[name](scale))


if __name__ == "__main__":
    main()
