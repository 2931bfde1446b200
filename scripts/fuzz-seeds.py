#!/usr/bin/env python3
"""The kept inputs of a fuzz target in one file: tests/fuzz/corpus/<name>.seeds holds
"VFZ1" and then, for each input, its length (4 bytes, little-endian) and its bytes.

  fuzz-seeds.py unpack FILE.seeds DIR     writes each input into DIR (named by its hash)
  fuzz-seeds.py pack DIR FILE.seeds       packs every file of DIR, in name order
"""
import hashlib
import os
import struct
import sys

MAGIC = b"VFZ1"


def unpack(seeds, folder):
    os.makedirs(folder, exist_ok=True)
    data = open(seeds, "rb").read() if os.path.exists(seeds) else MAGIC
    if data[:4] != MAGIC:
        sys.exit(f"{seeds}: not a seeds file")
    at = 4
    while at < len(data):
        (size,) = struct.unpack_from("<I", data, at)
        item = data[at + 4 : at + 4 + size]
        at += 4 + size
        with open(os.path.join(folder, hashlib.sha1(item).hexdigest()), "wb") as f:
            f.write(item)


def pack(folder, seeds):
    out = bytearray(MAGIC)
    for name in sorted(os.listdir(folder)):
        item = open(os.path.join(folder, name), "rb").read()
        out += struct.pack("<I", len(item)) + item
    with open(seeds, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    if len(sys.argv) != 4 or sys.argv[1] not in ("pack", "unpack"):
        sys.exit(__doc__)
    (unpack if sys.argv[1] == "unpack" else pack)(sys.argv[2], sys.argv[3])
