#!/usr/bin/env python3
"""make-hostile-archives.py OUTDIR - writes the hostile archives that
tests/hostile/hostile_runner.cpp feeds to the library.

The set, every file in OUTDIR with one line per case in OUTDIR/cases.txt:

  trunc-*    every prefix (0 bytes up to the whole) of small real archives
             written by Python's zipfile (stored and deflated), 7z and bsdtar
  flip-*     every single-byte change of a small archive: each position set to
             0x00, set to 0xFF and xor 0x80
  overlap-*  members whose local data overlap (one local header named by many
             central headers, a member nested inside another's data, an
             overlap only the 71st member makes)
  size-*     members whose declared sizes are far from their real sizes, both
             directions, stored and deflated
  many-*     65535 members, and an end record that claims 65535 of three
  name-*     names of 65535 bytes, thousands of directory levels, paths far
             beyond MAX_PATH, control characters, a zero byte
  device-*   reserved Windows device names in every spelling and position
  escape-*   names that try to leave the output directory (drive prefixes,
             '..', absolute, \\\\?\\, UNC, stream names) and those of
             tests/wine/hostile-names.txt

cases.txt lines are "file<TAB>weight<TAB>expected test result": the weight is
"full" (every kind of run) or "light" (listing, test, enumeration, memory and
one selected member only: the archive has too many members to extract in
every form); the expected result is a number or "-" when any result code will
do. The output is the same on every run: fixed contents, fixed file times,
and the peers' outputs depend only on those.
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile
import zlib

# 2020-06-15 12:00:00 in DOS form, and as a Unix time for the peers' inputs.
DOS_DATE = ((2020 - 1980) << 9) | (6 << 5) | 15
DOS_TIME = 12 << 11
FIXED_UNIX_TIME = 1592222400


def local_header(name, method, crc, csize, usize, flags=0, extra=b""):
    return struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, flags, method, DOS_TIME, DOS_DATE, crc, csize, usize,
                       len(name), len(extra)) + name + extra


def central_header(name, method, crc, csize, usize, offset, flags=0, attributes=0, extra=b""):
    return struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, flags, method, DOS_TIME, DOS_DATE, crc, csize,
                       usize, len(name), len(extra), 0, 0, 0, attributes, offset) + name + extra


def end_record(entries, central_size, central_offset, total=None):
    total = entries if total is None else total
    return struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, entries, total, central_size, central_offset, 0)


class Member:
    """One member of a hand-built archive; every field may lie."""

    def __init__(self, name, data, method=0, usize=None, csize=None, crc=None, uncompressed=None):
        self.name = name if isinstance(name, bytes) else name.encode("latin-1")
        self.data = data
        self.method = method
        plain = data if uncompressed is None else uncompressed
        self.crc = zlib.crc32(plain) if crc is None else crc
        self.usize = len(plain) if usize is None else usize
        self.csize = len(data) if csize is None else csize


def deflated(data):
    compressor = zlib.compressobj(9, zlib.DEFLATED, -15)
    return compressor.compress(data) + compressor.flush()


def deflated_member(name, plain, **fields):
    return Member(name, deflated(plain), method=8, uncompressed=plain, **fields)


def build(members):
    """A plain archive: local records in order, then the central directory."""
    body, central = b"", b""
    for m in members:
        offset = len(body)
        body += local_header(m.name, m.method, m.crc, m.csize, m.usize) + m.data
        central += central_header(m.name, m.method, m.crc, m.csize, m.usize, offset)
    return body + central + end_record(len(members), len(central), len(body))


def build_stored(names):
    return build([Member(n, b"data of " + (n if isinstance(n, bytes) else n.encode("latin-1"))) for n in names])


class CaseSet:
    def __init__(self, out):
        self.out = out
        self.lines = []

    def add(self, name, data, weight="full", expect="-"):
        with open(os.path.join(self.out, name), "wb") as f:
            f.write(data)
        self.lines.append(f"{name}\t{weight}\t{expect}")

    def finish(self):
        with open(os.path.join(self.out, "cases.txt"), "w", newline="\n") as f:
            f.write("\n".join(self.lines) + "\n")


def source_tree(root):
    """The files the real archives are made of, with fixed times."""
    files = {
        "a.txt": b"The quick brown fox jumps over the lazy dog.\n" * 6,
        "dir/b.bin": bytes((i * 37 + 11) & 0xFF for i in range(160)),
        "dir/c.txt": b"short\n",
    }
    for name, data in files.items():
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    for folder, dirs, names in os.walk(root):
        for entry in dirs + names:
            os.utime(os.path.join(folder, entry), (FIXED_UNIX_TIME, FIXED_UNIX_TIME))
    os.utime(root, (FIXED_UNIX_TIME, FIXED_UNIX_TIME))
    return sorted(files)


def zipfile_archive(root, names, method):
    path = os.path.join(root, "..", f"py{method}.zip")
    with zipfile.ZipFile(path, "w", method) as z:
        for name in names:
            info = zipfile.ZipInfo(name, (2020, 6, 15, 12, 0, 0))
            info.compress_type = method
            with open(os.path.join(root, name), "rb") as f:
                z.writestr(info, f.read())
    with open(path, "rb") as f:
        return f.read()


def peer_archive(root, names, command, result):
    subprocess.run(command + names, cwd=root, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(result, "rb") as f:
        return f.read()


def add_truncations(cases, work):
    root = os.path.join(work, "src")
    names = source_tree(root)
    real = {
        "trunc-pystored": zipfile_archive(root, names, zipfile.ZIP_STORED),
        "trunc-pydeflated": zipfile_archive(root, names, zipfile.ZIP_DEFLATED),
        "trunc-7z": peer_archive(root, names, ["7z", "a", "-tzip", "-mtc=off", "-mx=9", os.path.join(work, "p.zip")],
                                 os.path.join(work, "p.zip")),
        "trunc-bsdtar": peer_archive(root, names, ["bsdtar", "--format", "zip", "-cf", os.path.join(work, "b.zip")],
                                     os.path.join(work, "b.zip")),
    }
    for stem, data in real.items():
        for length in range(len(data) + 1):
            cases.add(f"{stem}-{length:05d}.zip", data[:length], expect="0" if length == len(data) else "-")


def add_flips(cases):
    small = build([
        deflated_member("a.txt", b"hello hello hello hello, hostile world\n" * 2),
        Member("d/", b""),
        Member("d/b", b"0123456789"),
    ])
    cases.add("flip-original.zip", small, expect="0")
    for position in range(len(small)):
        old = small[position]
        for label, value in (("00", 0x00), ("ff", 0xFF), ("x80", old ^ 0x80)):
            if value == old:
                continue
            changed = small[:position] + bytes([value]) + small[position + 1:]
            cases.add(f"flip-{position:04d}-{label}.zip", changed)


def add_overlaps(cases):
    # One local member of 1 MiB of zeros named by 300 central headers.
    plain = b"\0" * (1 << 20)
    data = deflated(plain)
    crc = zlib.crc32(plain)
    body = local_header(b"bomb", 8, crc, len(data), len(plain)) + data
    central = b"".join(
        central_header(b"bomb%03d" % i, 8, crc, len(data), len(plain), 0) for i in range(300))
    cases.add("overlap-shared.zip", body + central + end_record(300, len(central), len(body)), expect="3")

    # A stored member whose data hold the next member's local header and data.
    inner_plain = b"inner data " * 40
    inner = local_header(b"inner", 0, zlib.crc32(inner_plain), len(inner_plain), len(inner_plain)) + inner_plain
    outer_data = b"outer:" + inner
    outer = local_header(b"outer", 0, zlib.crc32(outer_data), len(outer_data), len(outer_data)) + outer_data
    inner_offset = len(outer) - len(inner)
    central = (central_header(b"outer", 0, zlib.crc32(outer_data), len(outer_data), len(outer_data), 0) +
               central_header(b"inner", 0, zlib.crc32(inner_plain), len(inner_plain), len(inner_plain), inner_offset))
    cases.add("overlap-nested.zip", outer + central + end_record(2, len(central), len(outer)), expect="3")

    # 70 sound members, then a 71st that points at the first one's data.
    members = [Member(f"m{i:02d}", b"member %d " % i * 4) for i in range(70)]
    sound = build(members)
    central_offset = struct.unpack_from("<I", sound, len(sound) - 6)[0]
    first = members[0]
    extra = central_header(b"late", 0, first.crc, first.csize, first.usize, 0)
    central = sound[central_offset:len(sound) - 22] + extra
    cases.add("overlap-after-64.zip", sound[:central_offset] + central + end_record(71, len(central), central_offset),
              expect="3")


def add_sizes(cases):
    zeros = b"\0" * 262150
    cases.add("size-deflated-declared-small.zip", build([deflated_member("big", zeros, usize=10)]), expect="2")
    cases.add("size-deflated-declared-huge.zip", build([deflated_member("small", b"x" * 100, usize=0xFFFFFFF0)]),
              expect="2")
    cases.add("size-deflated-declared-gigabyte.zip",
              build([deflated_member("small", b"y" * 100, usize=1 << 30)]), expect="2")
    cases.add("size-stored-csize-larger.zip", build([Member("s", b"z" * 100, usize=50)]), expect="2")
    cases.add("size-stored-csize-smaller.zip", build([Member("s", b"z" * 50, usize=100)]), expect="2")
    cases.add("size-stored-usize-huge.zip", build([Member("s", b"z" * 50, usize=0xFFFFFFFF)]))
    cases.add("size-csize-beyond-end.zip", build([deflated_member("c", b"w" * 500, csize=0x7FFFFFFF)]))
    cases.add("size-csize-zero.zip", build([deflated_member("c", b"v" * 500, csize=0)]))
    # The local header's sizes differ from the central ones.
    m = deflated_member("l", b"u" * 300)
    body = local_header(m.name, 8, m.crc, 5, 1 << 31) + m.data
    central = central_header(m.name, 8, m.crc, m.csize, m.usize, 0)
    cases.add("size-local-differs.zip", body + central + end_record(1, len(central), len(body)))


def add_many(cases):
    names = [b"m%05d" % i for i in range(65535)]
    body, central = bytearray(), bytearray()
    crc = zlib.crc32(b"")
    for name in names:
        central += central_header(name, 0, crc, 0, 0, len(body))
        body += local_header(name, 0, crc, 0, 0)
    cases.add("many-65535.zip", bytes(body + central + end_record(65535, len(central), len(body))), weight="light",
              expect="0")
    three = build_stored(["x", "y", "z"])
    central_size, central_offset = struct.unpack_from("<II", three, len(three) - 10)
    cases.add("many-claimed.zip", three[:-22] + end_record(65535, central_size, central_offset))


def add_names(cases):
    cases.add("name-65535-one.zip", build_stored([b"n" * 65535]))
    cases.add("name-65535-levels.zip", build_stored([b"d/" * 32767 + b"f"]))
    cases.add("name-65535-dirmember.zip", build_stored([b"e/" * 32767 + b"/"]))
    cases.add("name-deep-3000.zip", build_stored([b"x/" * 3000 + b"f", b"x/" * 3000 + b"g"]))
    cases.add("name-beyond-max-path.zip",
              build_stored([b"abcdefghij/" * 30 + b"f.txt", b"k" * 255 + b"/" + b"l" * 255, b"m" * 300]))
    cases.add("name-dots-deep.zip", build_stored([b"../" * 2000 + b"f", b"./" * 3000 + b"g", b"a/./../" * 500 + b"h"]))
    cases.add("name-control.zip", build_stored([
        b"ctl\x01a.txt", b"\x1b[2J.txt", b"tab\there", b"nl\nname", b"cr\rname", b"del\x7f", b"dir\x02/x",
        b"\x1f", b"a\x00b", b"\x00",
    ]))
    cases.add("name-empty.zip", build_stored([b"", b"/", b"//", b"\\"]))


DEVICE_STEMS = ["CON", "PRN", "AUX", "NUL", "COM1", "COM9", "LPT1", "LPT9", "CONIN$", "CONOUT$", "CLOCK$",
                "COM\xb9", "LPT\xb2"]


def device_spellings():
    names = []
    for stem in DEVICE_STEMS:
        for spelled in (stem, stem.lower(), stem.capitalize()):
            names += [spelled, spelled + ".txt", spelled + ".tar.gz", spelled + ".", spelled + "...",
                      spelled + " ", spelled + " .txt", spelled + ". .", spelled + ":", spelled + ":.txt",
                      "dir/" + spelled + "/file", "dir/" + spelled, spelled + "/file"]
    return [n.encode("latin-1") for n in names]


def add_devices(cases):
    names = device_spellings()
    cases.add("device-all.zip", build_stored(names))
    cases.add("device-deflated.zip", build([deflated_member(n, b"device data " * 20) for n in names[:40]]))


ESCAPE_NAMES = [
    "../x", "../../x", "../" * 30 + "x", "/x", "/tmp/x", "//x", "\\x", "\\\\x", "C:x", "C:\\x", "C:/x", "Z:x",
    "Z:\\x", "Z:/tmp/x", "c:..\\x", "\\\\?\\C:\\x", "\\\\?\\UNC\\server\\share\\x", "\\\\.\\C:\\x",
    "\\\\server\\share\\x", "//server/share/x", "file.txt:stream", "file.txt::$DATA", "dir:stream/x",
    "a/b:c/d", "..\\..\\x", "a/../../x", "a\\..\\..\\x", ".", "..", "...", "./../x", ". ./x", ".. /x",
    "../.", "a/..", "a/../..", "x/../../../y", "\\..\\x", "/../x", "~/x", "$HOME/x", "%TEMP%\\x",
]


def add_escapes(cases, names_file):
    names = [n.encode("latin-1") for n in ESCAPE_NAMES]
    for i, name in enumerate(names):
        cases.add(f"escape-{i:02d}.zip", build_stored([name]))
    cases.add("escape-all.zip", build_stored(names))
    listed = []
    with open(names_file, encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or "|" not in line:
                continue
            stored = line.split("|")[0].strip()
            # {xx} is the byte with the hexadecimal value xx.
            raw, i = b"", 0
            while i < len(stored):
                if stored[i] == "{" and stored[i + 3:i + 4] == "}":
                    raw += bytes([int(stored[i + 1:i + 3], 16)])
                    i += 4
                else:
                    raw += stored[i].encode("latin-1")
                    i += 1
            listed.append(raw)
    cases.add("escape-listed.zip", build_stored(listed))
    # The same names deflated, so data reach the output through inflate.
    cases.add("escape-listed-deflated.zip", build([deflated_member(n, b"escaped " * 30) for n in listed]))


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    out = sys.argv[1]
    if os.path.isdir(out):
        shutil.rmtree(out)
    os.makedirs(out)
    here = os.path.dirname(os.path.abspath(__file__))
    cases = CaseSet(out)
    with tempfile.TemporaryDirectory(prefix="tovra-hostile-") as work:
        add_truncations(cases, work)
    add_flips(cases)
    add_overlaps(cases)
    add_sizes(cases)
    add_many(cases)
    add_names(cases)
    add_devices(cases)
    add_escapes(cases, os.path.join(here, "..", "tests", "wine", "hostile-names.txt"))
    cases.finish()
    print(f"{len(cases.lines)} hostile archives in {out}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
