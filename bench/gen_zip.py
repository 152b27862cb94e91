#!/usr/bin/env python3
"""Writes a ZIP archive for the benchmarks: many small entries, some deflated,
some stored, some with CP932 names in CP932 folders, optionally behind a
program stub whose stored offsets are relative to the archive proper (as
`cat stub a.zip > s.zip` leaves them).

--names picks the names' bytes:
  cp932       (the default) every tenth name in a CP932 folder, with a CP932
              character whose second byte is a backslash;
  ascii       ASCII throughout;
  utf8        every name in a UTF-8 folder, as Info-ZIP on Linux or macOS
              writes them: without flag bit 11; every tenth name starts with
              a Japanese word, every hundredth decomposed (か + U+3099, as
              macOS writes が);
  utf8-flag   the same names with flag bit 11 set on every entry.

usage: gen_zip.py OUT --entries N [--stub-bytes S] [--seed K] [--names KIND]
"""
import argparse
import random
import struct
import zlib

EXTENSIONS = ["txt", "exe", "js", "html", "dat", "c", "h", "png", "doc", "TXT", ""]
# 資料 (0x8E 0x91 0x97 0xBF) and 表 (0x95 0x5C: its second byte is a backslash).
CP932_FOLDER = b"\x8e\x91\x97\xbf"
CP932_WORD = b"\x95\x5c"
UTF8_FOLDER = "資料".encode()
UTF8_WORD = "表".encode()
UTF8_DECOMPOSED = "か\u3099".encode()  # が as macOS writes it


def entry_name(i, names="cp932"):
    ext = EXTENSIONS[i % len(EXTENSIONS)]
    base = b"file%05d" % i
    if names.startswith("utf8"):
        folder = UTF8_FOLDER + b"%03d/" % (i // 1000)
        if i % 100 == 3:
            base = UTF8_DECOMPOSED + base
        elif i % 10 == 3:
            base = UTF8_WORD + base
    elif i % 10 == 3 and names == "cp932":
        folder = CP932_FOLDER + b"%03d/" % (i // 1000)
        base = CP932_WORD + base
    else:
        folder = b"dir%03d/" % (i // 1000)
    return folder + base + (b"." + ext.encode() if ext else b"")


def stub_bytes(size, seed):
    """Program-like bytes with no local header signature in them."""
    if size == 0:
        return b""
    rng = random.Random(seed)
    body = rng.randbytes(size)
    body = body.replace(b"PK", b"PX")
    return (b"MZ" + body[2:])[:size]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("out")
    ap.add_argument("--entries", type=int, required=True)
    ap.add_argument("--stub-bytes", type=int, default=0)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--names", choices=["cp932", "ascii", "utf8", "utf8-flag"], default="cp932")
    a = ap.parse_args()
    if a.entries < 0:
        raise SystemExit("a count of entries cannot be negative")

    rng = random.Random(a.seed)
    dos_time, dos_date = 0x6000, 0x5A21  # 2025-01-01 12:00
    flags = 0x0800 if a.names == "utf8-flag" else 0
    local = bytearray()
    central = bytearray()
    for i in range(a.entries):
        name = entry_name(i, a.names)
        size = 16 + rng.randrange(240)
        # Text-like data so deflate has something to do.
        data = (b"line %d of entry %d\n" % (rng.randrange(1000), i) * (size // 16 + 1))[:size]
        crc = zlib.crc32(data)
        if i % 2 == 0:
            c = zlib.compressobj(6, zlib.DEFLATED, -15)
            stored = c.compress(data) + c.flush()
            method = 8
        else:
            stored = data
            method = 0
        offset = len(local)
        local += struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, flags, method, dos_time, dos_date,
                             crc, len(stored), len(data), len(name), 0)
        local += name + stored
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, flags, method, dos_time,
                               dos_date, crc, len(stored), len(data), len(name), 0, 0, 0, 0,
                               0x20, offset)
        central += name
    # More than 65,535 entries: the end record's counts stay at 0xFFFF, as a
    # writer without Zip64 records leaves them; the local headers list all.
    count = min(a.entries, 0xFFFF)
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, count, count, len(central),
                      len(local), 0)
    with open(a.out, "wb") as f:
        f.write(stub_bytes(a.stub_bytes, a.seed))
        f.write(local)
        f.write(central)
        f.write(end)


if __name__ == "__main__":
    main()
