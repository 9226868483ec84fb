#!/usr/bin/env python3
"""Writes the seed corpora of the unshrink, unreduce, explode and decrypt
fuzzers (fuzz/corpus/<name>/): small hand-built streams in the harnesses'
input layouts. Run from anywhere; it overwrites only the files it makes."""
import os
import zlib

ROOT = os.environ.get("TOVRA_FUZZ_CORPUS") or os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


class Bits:
    def __init__(self):
        self.value, self.count = 0, 0

    def put(self, v, n):
        self.value |= (v & ((1 << n) - 1)) << self.count
        self.count += n
        return self

    def bytes(self):
        return self.value.to_bytes((self.count + 7) // 8, "little")


def write(name, file, data):
    os.makedirs(os.path.join(ROOT, name), exist_ok=True)
    with open(os.path.join(ROOT, name, file), "wb") as f:
        f.write(data)


# unshrink: byte 0 = refill choice, then 9..13-bit codes.
b = Bits()
for code, n in [(97, 9), (257, 9), (98, 9), (256, 9), (1, 9), (258, 10), (256, 10), (2, 10), (99, 10), (257, 10)]:
    b.put(code, n)
write("unshrink", "growth_and_clear", b"\x00" + b.bytes())
write("unshrink", "literals", b"\x01" + Bits().put(72, 9).put(105, 9).put(33, 9).bytes())

# unreduce: factor, 3-byte size, follower sets (255..0), then bytes.
b = Bits()
for x in range(255, -1, -1):
    if x == ord("a"):
        b.put(2, 6).put(ord("b"), 8).put(0x90, 8)
    else:
        b.put(0, 6)
for c in b"ab" + bytes([0x90, 0x85, 0x10]):
    b.put(c, 8)
write("unreduce", "factor1_copy", bytes([0, 40, 0, 0]) + b.bytes())
write("unreduce", "factor4_escape", bytes([3, 3, 0, 0]) + Bits().put(0, 6 * 256).put(0x90, 8).put(0, 8).bytes())


# explode: flags, 3-byte size, trees, then bits. Flat trees: 64 codes of 6 bits.
def flat(count):
    runs = count // 16
    return bytes([runs - 1]) + bytes([0xF5] * runs)


def symbol(b, s, n):
    code = ~s & ((1 << n) - 1)
    for i in range(n - 1, -1, -1):
        b.put((code >> i) & 1, 1)


for flags in (0, 2, 4, 6):
    b = Bits()
    if flags & 4:
        b.put(1, 1)
        symbol(b, ord("A"), 8)
    else:
        b.put(1, 1).put(ord("A"), 8)
    b.put(0, 1).put(0, 7 if flags & 2 else 6)
    symbol(b, 0, 6)
    symbol(b, 63, 6)
    b.put(255, 8)
    trees = (bytes([15]) + bytes([0xF7] * 16) if flags & 4 else b"") + flat(64) + flat(64)
    write("explode", "variant_%04x" % flags, bytes([flags, 0x50, 1, 0]) + trees + b.bytes())


# decrypt: check byte, then header and deflate data enciphered with "fuzz".
def crc_table():
    t = []
    for n in range(256):
        c = n
        for _ in range(8):
            c = (c >> 1) ^ (0xEDB88320 if c & 1 else 0)
        t.append(c)
    return t


T = crc_table()


def encrypt(password, plain):
    k = [0x12345678, 0x23456789, 0x34567890]

    def update(p):
        k[0] = T[(k[0] ^ p) & 0xFF] ^ (k[0] >> 8)
        k[1] = ((k[1] + (k[0] & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
        k[2] = T[(k[2] ^ (k[1] >> 24)) & 0xFF] ^ (k[2] >> 8)

    for c in password:
        update(c)
    out = bytearray()
    for p in plain:
        t = (k[2] | 2) & 0xFFFF
        out.append(p ^ (((t * (t ^ 1)) >> 8) & 0xFF))
        update(p)
    return bytes(out)


for name, text in [("text", b"hello, encrypted world " * 40), ("short", b"x")]:
    z = zlib.compressobj(6, zlib.DEFLATED, -15)
    packed = z.compress(text) + z.flush()
    header = bytes(range(11)) + b"\x5a"
    write("decrypt", name, b"\x5a" + encrypt(b"fuzz", header + packed))
