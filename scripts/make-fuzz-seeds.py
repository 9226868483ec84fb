#!/usr/bin/env python3
"""Regenerates the seed corpora of every fuzz harness (fuzz/corpus/<name>/),
deterministically: fixed member times, fixed data, no randomness.

It runs the two older generators (fuzz/make_legacy_seeds.py for the old
methods' decoders and the decryption, scripts/make-update-reader-seeds.py for
the update reader) and writes the "gen_" seeds of the other harnesses: small
archives made by Python's zipfile (also the input of the record parsers), raw
deflate streams made by zlib, the compressor's input layouts, command lines
and wildcard patterns. It overwrites only the files it makes; seeds that came
from fuzzing findings stay as they are."""
import io
import os
import runpy
import zipfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
# TOVRA_FUZZ_CORPUS writes the corpora elsewhere (the check that the
# committed seeds are what the generators make).
CORPUS = os.environ.get("TOVRA_FUZZ_CORPUS") or os.path.join(HERE, "..", "fuzz", "corpus")
TIME = (2015, 6, 20, 13, 45, 30)
TEXT = b"".join(b"line %d of a small text file, repeated with variations\n" % i for i in range(300))


def write(harness, name, data):
    os.makedirs(os.path.join(CORPUS, harness), exist_ok=True)
    with open(os.path.join(CORPUS, harness, "gen_" + name), "wb") as f:
        f.write(data)


def archive(members, comment=b""):
    """members: (name, data, method, extra) tuples; a zip in memory."""
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w") as z:
        for name, data, method, extra in members:
            info = zipfile.ZipInfo(name, TIME)
            info.compress_type = method
            info.extra = extra
            info.create_system = 0
            z.writestr(info, data)
        z.comment = comment
    return out.getvalue()


def raw_deflate(data, level=6, strategy=zlib.Z_DEFAULT_STRATEGY):
    z = zlib.compressobj(level, zlib.DEFLATED, -15, 8, strategy)
    return z.compress(data) + z.flush()


def main():
    runpy.run_path(os.path.join(HERE, "..", "fuzz", "make_legacy_seeds.py"))
    runpy.run_path(os.path.join(HERE, "make-update-reader-seeds.py"))

    stored = zipfile.ZIP_STORED
    deflated = zipfile.ZIP_DEFLATED
    archives = {
        "two_methods.zip": archive([("a.txt", TEXT, deflated, b""), ("b.bin", bytes(range(256)), stored, b"")]),
        "dirs_and_comment.zip": archive(
            [("d/", b"", stored, b""), ("d/e/f.txt", b"deep", stored, b""), ("d/g.txt", TEXT[:100], deflated, b"")],
            b"archive comment"),
        "extra_fields.zip": archive([("x.txt", b"extra", stored, b"\x55\x54\x05\x00\x01\x00\x00\x00\x00")]),
        "empty_member.zip": archive([("empty", b"", deflated, b"")]),
        "sjis_name.zip": archive([("\u8868\u793a.txt", b"sjis", stored, b"")]),
    }
    for name, data in archives.items():
        write("archive", name, data)
        write("records", name, data)
    # An end record alone, and one whose entry count is larger than the
    # central directory.
    write("archive", "end_record_only.zip", b"PK\x05\x06" + bytes(18))
    bent = bytearray(archives["two_methods.zip"])
    end = bent.rfind(b"PK\x05\x06")
    bent[end + 8:end + 12] = b"\x09\x00\x09\x00"
    write("archive", "count_too_large.zip", bytes(bent))

    # inflate: refill choice, 2-byte declared size, the stream.
    for name, stream in [("text_l6", raw_deflate(TEXT)), ("text_l1", raw_deflate(TEXT, 1)),
                         ("huffman_only", raw_deflate(TEXT, 6, zlib.Z_HUFFMAN_ONLY)),
                         ("rle", raw_deflate(b"a" * 5000 + b"b" * 3000, 6, zlib.Z_RLE)),
                         ("fixed", raw_deflate(b"abcabcabc", 9, zlib.Z_FIXED)), ("stored", raw_deflate(TEXT, 0))]:
        write("inflate", name, bytes([len(name) % 4, len(TEXT) & 0xFF, len(TEXT) >> 8]) + stream)

    # deflate: level, condition bits, short-read size, then the payload.
    for name, head, payload in [("text_l6", b"\x05\x00\x00", TEXT), ("binary_l9_ref", b"\x08\x04\x00", bytes(range(256)) * 8),
                                ("text_l1_short_reads", b"\x00\x02\x03", TEXT[:2000]),
                                ("repeat_l4_stored", b"\x03\x09\x00", b"abcdefgh" * 8)]:
        write("deflate", name, head + payload)

    for name, line in [("test_quiet", b"-t -q archive.zip"), ("list_verbose", b"-v \"a b.zip\" *.txt"),
                       ("overwrite_paths", b"-o -d arc.zip out\\ dir\\*"), ("negations", b"--o -n -xo a.zip")]:
        write("command_line", name, line)
    for name, line in [("add_recursive", b"-r arc.zip src\\*.*"), ("move_base", b"-m -D arc.zip \"C:\\base dir\\\" *.c"),
                       ("update_append", b"-u -g \"x.zip\" a b c")]:
        write("archive_command", name, line)
    for name, pair in [("star_dot", b"*.txt\0dir/name.txt"), ("nested_sets", b"[a-c]?*[!x]\0bqqz"),
                       ("escape", b"\\*\0*")]:
        write("match_pattern", name, pair)


if __name__ == "__main__":
    main()
