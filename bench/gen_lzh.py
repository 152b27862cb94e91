#!/usr/bin/env python3
"""Writes an LZH archive of header level 0, 1 or 2 for the benchmarks, built
byte by byte (an archiver is far too slow for 20,000 files): stored (-lh0-)
entries with their CRC-16, header sums (levels 0/1) or header CRCs (level 2),
folders as the level keeps them (level 0: "\\" in the name; levels 1 and 2: a
directory extended header with 0xFF separators), some CP932 names (none with
--ascii: some readers are slow on CP932 names, which flatters a comparison).

usage: gen_lzh.py OUT --level L --entries N [--seed K] [--ascii]
"""
import argparse
import random
import struct

CP932_FOLDER = b"\x8e\x91\x97\xbf"   # 資料
CP932_WORD = b"\x95\x5c"             # 表: second byte 0x5C
EXTENSIONS = [b"txt", b"exe", b"js", b"html", b"dat", b"c", b"h", b"png", b"doc", b"TXT", b""]


def crc16_table():
    table = []
    for n in range(256):
        c = n
        for _ in range(8):
            c = (c >> 1) ^ 0xA001 if c & 1 else c >> 1
        table.append(c)
    return table


TABLE = crc16_table()


def crc16(data, crc=0):
    for b in data:
        crc = (crc >> 8) ^ TABLE[(crc ^ b) & 0xFF]
    return crc


def names(i, ascii_only=False):
    ext = EXTENSIONS[i % len(EXTENSIONS)]
    base = b"file%05d" % i + (b"." + ext if ext else b"")
    if i % 10 == 3 and not ascii_only:
        return CP932_FOLDER + b"%03d" % (i // 1000), CP932_WORD + base
    return b"dir%03d" % (i // 1000), base


def ext_record(kind, body):
    """One extended header, laid out from its type byte: type, body, and the
    size field of the record after it (filled in by the caller)."""
    return bytes([kind]) + body


def chain(records):
    """Extended headers as they follow the first size field: each record is
    type + body + next size; the last next size is 0. Returns (first size,
    bytes after the first size field)."""
    out = bytearray()
    sizes = [len(r) + 2 for r in records]
    for k, r in enumerate(records):
        out += r
        out += struct.pack("<H", sizes[k + 1] if k + 1 < len(records) else 0)
    return (sizes[0] if records else 0), bytes(out)


def header0(folder, base, data, crc, dos_stamp):
    name = folder + b"\\" + base
    body = (b"-lh0-" + struct.pack("<III", len(data), len(data), dos_stamp) +
            bytes([0x20, 0, len(name)]) + name + struct.pack("<H", crc))
    return bytes([len(body), sum(body) & 0xFF]) + body


def header1(folder, base, data, crc, dos_stamp):
    records = [ext_record(0x02, folder + b"\xff")]
    first, ext = chain(records)
    packed = len(data) + len(ext)
    body = (b"-lh0-" + struct.pack("<III", packed, len(data), dos_stamp) +
            bytes([0x20, 1, len(base)]) + base + struct.pack("<H", crc) + b"M" +
            struct.pack("<H", first))
    return bytes([len(body), sum(body) & 0xFF]) + body + ext


def header2(folder, base, data, crc, unix_stamp):
    records = [ext_record(0x00, b"\x00\x00"), ext_record(0x01, base),
               ext_record(0x02, folder + b"\xff")]
    first, ext = chain(records)
    size = 26 + len(ext)
    if size & 0xFF == 0:
        # A header whose size has a low byte of 0 would read as the end mark;
        # a UNIX time record moves it off.
        records.append(ext_record(0x54, struct.pack("<I", unix_stamp)))
        first, ext = chain(records)
        size = 26 + len(ext)
    head = bytearray(struct.pack("<H", size) + b"-lh0-" +
                     struct.pack("<III", len(data), len(data), unix_stamp) +
                     bytes([0x20, 2]) + struct.pack("<H", crc) + b"U" +
                     struct.pack("<H", first) + ext)
    # The header CRC sits in the common record's body, right after its type.
    at = 26 + 1
    struct.pack_into("<H", head, at, crc16(head))
    return bytes(head)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("out")
    ap.add_argument("--level", type=int, choices=[0, 1, 2], required=True)
    ap.add_argument("--entries", type=int, required=True)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--ascii", action="store_true", help="ASCII names only")
    a = ap.parse_args()
    rng = random.Random(a.seed)
    make = {0: header0, 1: header1, 2: header2}[a.level]
    stamp = 0x5A216000 if a.level < 2 else 1735732800
    out = bytearray()
    for i in range(a.entries):
        folder, base = names(i, a.ascii)
        size = 16 + rng.randrange(240)
        data = (b"line %d of entry %d\n" % (rng.randrange(1000), i) * (size // 16 + 1))[:size]
        out += make(folder, base, data, crc16(data), stamp)
        out += data
    out += b"\x00"
    with open(a.out, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
