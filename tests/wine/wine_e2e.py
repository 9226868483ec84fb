#!/usr/bin/env python3
"""wine_e2e.py - end-to-end checks of the Windows build: tovra.exe under Wine.

Three groups, each driven by a data file in this folder:

  peer-archives.txt    archives that Python's zipfile, 7z and bsdtar make of a
                       source tree; tovra.exe extracts each with kept paths,
                       and every file must match the tree byte for byte, carry
                       the member's DOS time (within 2 s) and be read-only
                       exactly when the member's DOS read-only bit is set;
                       "tovra unzip -t" must give 0 and "tovra unzip -v" list every name.
  hostile-names.txt    names that try to lead out of the output directory or
                       that Windows reads specially (':', '*', devices); with
                       and without -j, and with the output directory given
                       absolute, relative, empty or not at all, nothing may
                       appear outside it, the run must warn, and what remains
                       of each name lands inside.
  shift-jis-names.txt  names stored in code page 932 whose characters end in
                       the byte 0x5C; they must stay whole characters.
  utf8-names.txt       names that Python's zipfile, 7z and bsdtar store in
                       UTF-8 (flag bit 11), and a hand-made Unicode path extra
                       field; they must be converted to code page 932 with
                       exact mappings only, in the listing and on disk.

Every check prints one PASS or FAIL line; the last line is "N passed, M
failed" and the exit status is 1 when anything failed.

Under Wine the extracted files are ordinary Unix files: their mtime is the
time Wine set, and Wine shows the read-only attribute as missing write
permission. Names reach the disk through the ANSI code page 932 of the
Japanese locale that wine-run.sh sets, so a name stored in code page 932
appears in UTF-8.
"""
import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import time
import zipfile
import zlib

# Seconds one tovra.exe run may take before it counts as hung.
RUN_TIMEOUT = 120


class Report:
    """Counts and prints the checks."""

    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, ok, what, detail=""):
        if ok:
            self.passed += 1
            print(f"PASS: {what}", flush=True)
        else:
            self.failed += 1
            print(f"FAIL: {what}" + (f": {detail}" if detail else ""), flush=True)
        return ok


# tovra's extraction subcommand: the library's Unzip export behind it.
EXTRACT_COMMAND = "unzip"


class Wine:
    """Runs tovra.exe through wine-run.sh from a given working directory."""

    def __init__(self, runner, tool):
        self.runner = runner
        self.tool = tool

    def archive(self, arguments, cwd):
        """Runs `tovra.exe zip ARGUMENTS...`; returns the exit status (None on a hang)."""
        try:
            done = subprocess.run(["bash", self.runner, self.tool, "zip"] + arguments, cwd=cwd,
                                  stdin=subprocess.DEVNULL,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=RUN_TIMEOUT)
        except subprocess.TimeoutExpired:
            return None
        return done.returncode

    def extract(self, arguments, cwd):
        """Runs `tovra.exe unzip ARGUMENTS...`; returns (exit status or None on a
        hang, standard output bytes)."""
        try:
            done = subprocess.run(["bash", self.runner, self.tool, EXTRACT_COMMAND] + arguments, cwd=cwd,
                                  stdin=subprocess.DEVNULL,
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=RUN_TIMEOUT)
        except subprocess.TimeoutExpired:
            return None, b""
        return done.returncode, done.stdout


def windows_path(unix_path, directory=False):
    """The Wine path of a Unix path (drive Z: is the Unix root)."""
    path = "Z:" + os.path.abspath(unix_path).replace("/", "\\")
    return path + "\\" if directory and not path.endswith("\\") else path


def read_data_file(path):
    """The rows of a '|'-separated data file, fields trimmed; '#' lines skipped."""
    rows = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            rows.append([field.strip() for field in line.split("|")])
    return rows


def files_below(directory):
    """Relative paths ('/' separators) of every file and directory below
    `directory`; directories end in '/'."""
    found = set()
    for root, dirs, files in os.walk(directory):
        relative = os.path.relpath(root, directory)
        prefix = "" if relative == "." else relative + "/"
        found.update(prefix + d + "/" for d in dirs)
        found.update(prefix + f for f in files)
    return found


def remove_tree(directory):
    """Removes a tree that may hold read-only files."""
    if os.path.exists(directory):
        subprocess.run(["chmod", "-R", "u+w", directory], check=False)
        shutil.rmtree(directory)


def dos_time_seconds(date_time):
    """Seconds since 1970 of a DOS date and time read as local time."""
    return time.mktime(tuple(date_time) + (0, 0, -1))


# ---------------------------------------------------------------- the source tree

# Local time, an even second, so the DOS time holds it exactly.
BASE_TIME = time.mktime((2021, 6, 6, 12, 0, 0, 0, 0, -1))


def compressible(size):
    lines = []
    total, line = 0, 0
    while total < size:
        text = f"line {line}: the quick brown fox jumps over the lazy dog {line * 7919 % 1000}\n"
        lines.append(text)
        total += len(text)
        line += 1
    return "".join(lines).encode()[:size]


def window_pattern():
    """Blocks repeated at distances whose back-references cross the 32 KiB window."""
    block = random.Random(9).randbytes(20000)
    return block * 5


# name, contents, seconds after BASE_TIME, read-only
SOURCE_TREE = [
    ("empty.txt", b"", 0, False),
    ("small.txt", b"hello, archive\r\n", 2, False),
    ("name with spaces.txt", b"spaces in the member name\n", 6, False),
    ("text/compressible.txt", compressible(300000), 4, False),
    ("text/deeper/random.bin", random.Random(5).randbytes(150001), 60, False),
    ("text/window.bin", window_pattern(), 3600, False),
    ("readonly.txt", b"do not touch", 86400, True),
]


def make_source_tree(directory):
    for name, contents, offset, read_only in SOURCE_TREE:
        path = os.path.join(directory, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(contents)
        os.utime(path, (BASE_TIME + offset, BASE_TIME + offset))
        if read_only:
            os.chmod(path, 0o444)


# ---------------------------------------------------------------- archive writers


class Unseekable:
    """A write-only stream that cannot seek, so zipfile writes data descriptors."""

    def __init__(self, f):
        self.f = f

    def write(self, b):
        return self.f.write(b)

    def flush(self):
        self.f.flush()

    def seekable(self):
        return False

    def tell(self):
        raise OSError("not seekable")

    def seek(self, *args):
        raise OSError("not seekable")


def write_with_python(source, archive, mode):
    """Members with the files' times, made on a DOS host (create_system 0)
    with the DOS attribute byte: read-only 0x01, archive 0x20 otherwise."""
    method = zipfile.ZIP_STORED if mode == "stored" else zipfile.ZIP_DEFLATED
    with open(archive, "wb") as raw:
        target = Unseekable(raw) if mode.startswith("streamed") else raw
        with zipfile.ZipFile(target, "w", method) as z:
            for name, _, _, _ in SOURCE_TREE:
                path = os.path.join(source, name)
                st = os.stat(path)
                info = zipfile.ZipInfo(name, time.localtime(st.st_mtime)[:6])
                info.compress_type = method
                info.create_system = 0
                info.external_attr = 0x01 if not st.st_mode & 0o200 else 0x20
                with open(path, "rb") as f:
                    data = f.read()
                if mode.startswith("streamed"):
                    # streamed64: opened for Zip64, as a writer that cannot
                    # know the size does, so the members need version 4.5.
                    with z.open(info, "w", force_zip64=mode == "streamed64") as w:
                        w.write(data)
                else:
                    z.writestr(info, data)


def make_peer_archive(writer, options, source, archive):
    """Writes `archive` of SOURCE_TREE with the named writer; returns an error text or ''."""
    names = [name for name, _, _, _ in SOURCE_TREE]
    if writer == "python":
        write_with_python(source, archive, options)
        return ""
    if writer == "7z":
        command = ["7z", "a", "-tzip"] + options.split() + [archive] + names
    elif writer == "bsdtar":
        command = ["bsdtar", "--format=zip"] + options.split() + ["-cf", archive] + names
    else:
        return f"unknown writer {writer}"
    done = subprocess.run(command, cwd=source, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    return "" if done.returncode == 0 else f"{writer} failed: {done.stderr.decode(errors='replace')}"


def write_raw_names(archive, members):
    """Writes stored members whose names are exactly the given bytes.

    zipfile would encode a str name itself (and might change it), so each
    member is written under a placeholder of the same length that is then
    replaced by the wanted bytes in the local and the central header. Flag bit
    11 stays clear: the names are in the reader's code page. `members` is a
    list of (name bytes, contents bytes); a name ending in '/' is a
    directory entry."""
    placeholders = []
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_STORED) as z:
        for index, (raw, contents) in enumerate(members):
            tag = f"#{index}#"
            if len(raw) < len(tag) + (1 if raw.endswith(b"/") else 0):
                raise ValueError(f"name {raw!r} is too short for its placeholder")
            placeholder = tag + "_" * (len(raw) - len(tag))
            if raw.endswith(b"/"):
                placeholder = placeholder[:-1] + "/"
            info = zipfile.ZipInfo(placeholder, (2020, 2, 2, 10, 20, 30))
            info.create_system = 0
            info.external_attr = 0x10 if raw.endswith(b"/") else 0x20
            z.writestr(info, contents)
            placeholders.append(placeholder.encode())
    with open(archive, "rb") as f:
        data = f.read()
    for placeholder, (raw, _) in zip(placeholders, members):
        if data.count(placeholder) != 2:
            raise ValueError(f"placeholder {placeholder!r} is not found exactly twice")
        data = data.replace(placeholder, raw)
    with open(archive, "wb") as f:
        f.write(data)


# ---------------------------------------------------------------- checks


# One member line of the verbose listing: sizes, method, ratio, date, time,
# CRC-32, the 4-character attribute text, the case mark, then the name.
VERBOSE_LINE = re.compile(rb"^ *\d+  \S+ *\d+ +-?\d+%  \d\d-\d\d-\d\d  \d\d:\d\d:\d\d  [0-9a-f]{8} (.{4}) .(.*)$",
                          re.DOTALL)


def listed_names(listing):
    """The member names of a verbose listing with the attribute text of each:
    {name bytes: attribute text bytes}."""
    names = {}
    for line in listing.split(b"\r\n"):
        match = VERBOSE_LINE.match(line)
        if match:
            names[match.group(2)] = match.group(1)
    return names


def check_peer_archive(report, wine, work, source, row):
    label, writer, options, read_only_stored, streamed = row
    archive = os.path.join(work, f"{label}.zip")
    out = os.path.join(work, f"out-{label}")
    error = make_peer_archive(writer, options, source, archive)
    if not report.check(not error, f"{label}: archive written", error):
        return
    with zipfile.ZipFile(archive) as z:
        infos = {i.filename: i for i in z.infolist() if not i.filename.endswith("/")}
    names = [name for name, _, _, _ in SOURCE_TREE]
    report.check(sorted(infos) == sorted(names), f"{label}: the writer stored every file", sorted(infos))
    if read_only_stored == "yes":
        info = infos.get("readonly.txt")
        report.check(info is not None and info.external_attr & 0x01, f"{label}: the writer stored the read-only bit")
    if streamed == "yes":
        report.check(all(i.flag_bits & 0x08 for i in infos.values()), f"{label}: every member has a data descriptor")
    if "64" in label:
        report.check(all(i.extract_version == 45 for i in infos.values()), f"{label}: every member needs version 4.5")

    status, _ = wine.extract(["-o", "-j", windows_path(archive), windows_path(out, True)], work)
    report.check(status == 0, f"{label}: tovra unzip -o -j exits 0", f"exit {status}")
    expected_files = set(names) | {"text/", "text/deeper/"}
    found = files_below(out) if os.path.isdir(out) else set()
    report.check(found == expected_files, f"{label}: exactly the tree's files extracted",
                 f"extra {sorted(found - expected_files)}, missing {sorted(expected_files - found)}")
    for name, contents, _, _ in SOURCE_TREE:
        path = os.path.join(out, name)
        info = infos.get(name)
        if not os.path.isfile(path) or info is None:
            report.check(False, f"{label}: {name} extracted")
            continue
        with open(path, "rb") as f:
            data = f.read()
        report.check(data == contents, f"{label}: {name} byte-exact", f"{len(data)} bytes, expected {len(contents)}")
        st = os.stat(path)
        expected_time = dos_time_seconds(info.date_time)
        report.check(abs(st.st_mtime - expected_time) <= 2, f"{label}: {name} has the member's time",
                     f"{time.ctime(st.st_mtime)}, member {time.ctime(expected_time)}")
        want_read_only = bool(info.external_attr & 0x01)
        is_read_only = not st.st_mode & 0o200
        report.check(is_read_only == want_read_only,
                     f"{label}: {name} is {'read-only' if want_read_only else 'writable'}", f"mode {st.st_mode:o}")

    status, _ = wine.extract(["-t", windows_path(archive)], work)
    report.check(status == 0, f"{label}: tovra unzip -t exits 0", f"exit {status}")
    status, listing = wine.extract(["-v", windows_path(archive)], work)
    report.check(status == 0, f"{label}: tovra unzip -v exits 0", f"exit {status}")
    one_crlf = b"\r\r" not in listing and listing.count(b"\n") == listing.count(b"\r\n")
    report.check(listing.endswith(b"\r\n") and one_crlf, f"{label}: tovra unzip -v ends each line in one CR LF",
                 listing[:200])
    listed = listed_names(listing)
    for name in names:
        attribute = listed.get(name.encode())
        if not report.check(attribute is not None, f"{label}: tovra unzip -v lists {name}"):
            continue
        want = b"r" if infos[name].external_attr & 0x01 else b"w"
        report.check(attribute[3:4] == want, f"{label}: tovra unzip -v shows {name} as {want.decode()}", attribute)
    remove_tree(out)


def snapshot(directory):
    return files_below(directory) if os.path.isdir(directory) else set()


def stored_name(text):
    """The bytes of a stored name of a data file: UTF-8, with {xx} for the byte 0xxx."""
    return re.sub(rb"\{([0-9a-fA-F]{2})\}", lambda m: bytes([int(m.group(1), 16)]), text.encode())


# How the output directory is given: (name, current directory below the
# scratch tree, output directory argument or None for none). The output
# directory itself is always d1/d2/out/.
OUTPUT_DIRECTORY_FORMS = [
    ("absolute", "cwd", "absolute"),
    ("relative", "d1/d2", "out\\"),
    ("empty", "d1/d2/out", ""),
    ("none", "d1/d2/out", None),
]


def check_hostile_names(report, wine, work, rows, drive_c, keep_paths, form):
    form_name, cwd_relative, out_argument = form
    mode = ("with -j" if keep_paths else "without -j") + f", output directory {form_name}"
    scratch = os.path.join(work, "hostile-" + ("kept" if keep_paths else "dropped") + "-" + form_name)
    cwd = os.path.join(scratch, cwd_relative)
    os.makedirs(cwd)
    archive = os.path.join(scratch, "hostile.zip")
    members = [(stored_name(name), f"payload of {name}".encode()) for name, _, _ in rows]
    members.append((b"safe/ok.txt", b"a harmless member"))
    write_raw_names(archive, members)
    with zipfile.ZipFile(archive) as z:
        stored = [i.filename for i in z.infolist()]
    report.check(stored == [m[0].decode("cp437") for m in members], f"hostile {mode}: names stored byte for byte",
                 stored)

    # The output directory sits three levels down, so "../../" stays inside
    # the scratch tree where the listing sees it.
    out_relative = "d1/d2/out/"
    out = os.path.join(scratch, out_relative)
    before_c = snapshot(drive_c)
    os.makedirs(out, exist_ok=True)
    before = snapshot(scratch)
    arguments = ["-o"] + (["-j"] if keep_paths else []) + [windows_path(archive)]
    if out_argument == "absolute":
        arguments.append(windows_path(out, True))
    elif out_argument is not None:
        arguments.append(out_argument)
    status, _ = wine.extract(arguments, cwd)
    report.check(status is not None and status >= 1, f"hostile {mode}: the run warns (exit >= 1)", f"exit {status}")

    new = snapshot(scratch) - before
    outside = sorted(p for p in new if not (out_relative.startswith(p) or p.startswith(out_relative)))
    report.check(not outside, f"hostile {mode}: nothing written outside the output directory", outside)
    new_c = sorted(snapshot(drive_c) - before_c)
    report.check(not new_c, f"hostile {mode}: nothing written on drive C", new_c)

    expected = {}
    for name, kept, dropped in rows:
        landing = kept if keep_paths else dropped
        if landing != "-":
            expected[landing] = f"payload of {name}".encode()
    expected["safe/ok.txt" if keep_paths else "ok.txt"] = b"a harmless member"
    for landing, contents in expected.items():
        path = os.path.join(out, landing)
        data = open(path, "rb").read() if os.path.isfile(path) else None
        report.check(data == contents, f"hostile {mode}: {landing} written inside with its bytes",
                     "missing" if data is None else data)
    found = {p for p in snapshot(out) if not p.endswith("/")}
    report.check(found == set(expected), f"hostile {mode}: no other file inside",
                 sorted(found ^ set(expected)))


def check_shift_jis_names(report, wine, work, rows):
    scratch = os.path.join(work, "shift-jis")
    os.makedirs(scratch)
    archive = os.path.join(scratch, "names.zip")
    members = []
    for name, _, _ in rows:
        raw = name.encode("cp932")
        members.append((raw, b"" if raw.endswith(b"/") else f"contents of {name}".encode()))
    report.check(all(b"\x5c" in raw for raw, _ in members), "Shift JIS: every stored name holds the byte 0x5C")
    write_raw_names(archive, members)

    status, listing = wine.extract(["-v", windows_path(archive)], scratch)
    listed = listed_names(listing)
    report.check(status == 0 and all(raw in listed for raw, _ in members),
                 "Shift JIS: tovra unzip -v lists the names in code page 932", f"exit {status}, {sorted(listed)}")

    for keep_paths in (True, False):
        mode = "with -j" if keep_paths else "without -j"
        out = os.path.join(scratch, "out-kept" if keep_paths else "out-dropped")
        arguments = ["-o"] + (["-j"] if keep_paths else []) + [windows_path(archive), windows_path(out, True)]
        status, _ = wine.extract(arguments, scratch)
        report.check(status == 0, f"Shift JIS {mode}: exits 0", f"exit {status}")
        expected = set()
        for (name, kept, dropped), (raw, contents) in zip(rows, members):
            landing = kept if keep_paths else dropped
            if landing == "-":
                continue
            expected.add(landing)
            parts = landing.rstrip("/").split("/")
            expected.update("/".join(parts[:i]) + "/" for i in range(1, len(parts)))
            path = os.path.join(out, landing)
            if landing.endswith("/"):
                report.check(os.path.isdir(path), f"Shift JIS {mode}: directory {landing} made")
            else:
                data = open(path, "rb").read() if os.path.isfile(path) else None
                report.check(data == contents, f"Shift JIS {mode}: {name} lands at {landing}",
                             "missing" if data is None else data)
        found = snapshot(out)
        report.check(found == expected, f"Shift JIS {mode}: no name split at 0x5C",
                     f"extra {sorted(found - expected)}, missing {sorted(expected - found)}")


def to_cp932(name):
    """`name` in code page 932 the way the library converts it: each character
    that the page holds exactly (encoding and decoding give it back) becomes
    its bytes, every other character '_'. Python's cp932 codec alone would
    approximate some (U+301C wave dash -> 0x81 0x60)."""
    out = b""
    for ch in name:
        try:
            encoded = ch.encode("cp932")
            out += encoded if encoded.decode("cp932") == ch else b"_"
        except UnicodeError:
            out += b"_"
    return out


def unicode_path_field(utf8_name, crc_of, version=1):
    """A Unicode path extra field (0x7075) holding `utf8_name`, tied to the
    name `crc_of` by its CRC-32."""
    data = bytes([version]) + zlib.crc32(crc_of).to_bytes(4, "little") + utf8_name
    return (0x7075).to_bytes(2, "little") + len(data).to_bytes(2, "little") + data


def check_utf8_names(report, wine, work, rows):
    scratch = os.path.join(work, "utf8")
    source = os.path.join(scratch, "source")
    for name, _ in rows:
        path = os.path.join(source, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(f"contents of {name}".encode())
    names = [name for name, _ in rows]
    writers = {
        "python": None,
        "7z": ["7z", "a", "-tzip", "-mcu=on"],
        "bsdtar": ["bsdtar", "--format=zip", "-cf"],
    }
    for writer, command in writers.items():
        archive = os.path.join(scratch, f"{writer}.zip")
        if command is None:
            with zipfile.ZipFile(archive, "w") as z:
                for name in names:
                    z.write(os.path.join(source, name), name)
        else:
            done = subprocess.run(command + [archive] + names, cwd=source, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.PIPE)
            if not report.check(done.returncode == 0, f"UTF-8 {writer}: archive written", done.stderr[:200]):
                continue
        with zipfile.ZipFile(archive) as z:
            flagged = all(i.flag_bits & 0x800 for i in z.infolist() if not i.filename.isascii())
        report.check(flagged, f"UTF-8 {writer}: the writer set flag bit 11 on every non-ASCII name")

        status, listing = wine.extract(["-v", windows_path(archive)], scratch)
        listed = listed_names(listing)
        missing = [name for name in names if to_cp932(name) not in listed]
        report.check(status == 0 and not missing, f"UTF-8 {writer}: tovra unzip -v lists the names in code page 932",
                     f"exit {status}, missing {missing}, listed {sorted(listed)}")

        out = os.path.join(scratch, f"out-{writer}")
        status, _ = wine.extract(["-o", "-j", windows_path(archive), windows_path(out, True)], scratch)
        report.check(status == 0, f"UTF-8 {writer}: tovra unzip -o -j exits 0", f"exit {status}")
        expected = set()
        for name, landing in rows:
            expected.add(landing)
            report.check(to_cp932(name).decode("cp932") == landing, f"UTF-8: the table's landing of {name} is its conversion")
            path = os.path.join(out, landing)
            data = open(path, "rb").read() if os.path.isfile(path) else None
            report.check(data == f"contents of {name}".encode(), f"UTF-8 {writer}: {name} lands at {landing}",
                         "missing" if data is None else data)
        found = {p for p in snapshot(out) if not p.endswith("/")}
        report.check(found == expected, f"UTF-8 {writer}: no other file", sorted(found ^ expected))

    # A stored name tied to its Unicode path field by the field's CRC.
    stored = b"stored-name.txt"
    unicode_name = "日本語/表示.txt".encode()
    for label, field, landing in (("matching", unicode_path_field(unicode_name, stored), "日本語/表示.txt"),
                                  ("mismatching", unicode_path_field(unicode_name, b"other.txt"), "stored-name.txt")):
        archive = os.path.join(scratch, f"unicode-path-{label}.zip")
        with zipfile.ZipFile(archive, "w") as z:
            info = zipfile.ZipInfo(stored.decode(), (2020, 2, 2, 10, 20, 30))
            info.extra = field
            z.writestr(info, b"unicode path " + label.encode())
        out = os.path.join(scratch, f"out-unicode-path-{label}")
        status, _ = wine.extract(["-o", "-j", windows_path(archive), windows_path(out, True)], scratch)
        path = os.path.join(out, landing)
        data = open(path, "rb").read() if os.path.isfile(path) else None
        report.check(status == 0 and data == b"unicode path " + label.encode(),
                     f"Unicode path field, {label} CRC: lands at {landing}", f"exit {status}, {data}")


def zip_names(archive):
    with zipfile.ZipFile(archive) as z:
        return sorted(i.filename for i in z.infolist())


def check_zip_round_trip(report, wine, work, source):
    """Create, update and delete through tovra.exe zip, each archive tested by
    7z and Python; the created members extract byte-exact through tovra.exe."""
    archive = os.path.join(work, "made.zip")
    if os.path.exists(archive):
        os.remove(archive)
    status = wine.archive(["-r", windows_path(archive), "."], source)
    report.check(status == 0, "zip -r create", f"exit {status}")
    expected = sorted(files_below(source))
    ok = os.path.exists(archive) and zip_names(archive) == expected
    report.check(ok, "zip -r create: members", zip_names(archive) if os.path.exists(archive) else "no archive")
    sevenzip = subprocess.run(["7z", "t", archive], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    report.check(sevenzip.returncode == 0, "zip -r create: 7z t")
    out = os.path.join(work, "made-out")
    remove_tree(out)
    status, _ = wine.extract(["-o", "-j", windows_path(archive), windows_path(out, True)], work)
    same = status == 0 and all(
        open(os.path.join(out, name), "rb").read() == open(os.path.join(source, name), "rb").read()
        for name in expected if os.path.isfile(os.path.join(source, name)))
    report.check(same, "zip -r create: extracted byte-exact", f"exit {status}")
    first = [name for name in expected if not name.endswith("/")][-1]
    extra = os.path.join(work, "added.txt")
    with open(extra, "wb") as f:
        f.write(b"added under Wine\r\n" * 50)
    status = wine.archive(["-j", windows_path(archive), windows_path(extra)], work)
    report.check(status == 0 and "added.txt" in zip_names(archive), "zip -j update", f"exit {status}")
    status = wine.archive(["-d", windows_path(archive), first], work)
    names = zip_names(archive)
    report.check(status == 0 and first not in names and "added.txt" in names, "zip -d delete", f"exit {status}")
    sevenzip = subprocess.run(["7z", "t", archive], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    report.check(sevenzip.returncode == 0, "zip -d delete: 7z t")
    status = wine.archive(["-e", windows_path(archive), "x"], work)
    report.check(status == 16 and zip_names(archive) == names, "zip error leaves the archive", f"exit {status}")


def peers_accept(archive):
    """The three independent testers' verdicts on `archive`, as (name, ok) pairs."""
    commands = {"7z t": ["7z", "t", archive], "python zipfile -t": [sys.executable, "-m", "zipfile", "-t", archive],
                "bsdtar -tf": ["bsdtar", "-tf", archive]}
    return [(name, subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0)
            for name, command in commands.items()]


# Runs of tovra.exe zip after a create of the source tree into runs.zip:
# (label, how the archive or tree is prepared, arguments with ARCHIVE for the archive's name).
ZIP_RUNS = [
    ("update after one change", "touch", ["-u", "-r", "ARCHIVE", "."]),
    ("freshen after one change", "touch", ["-f", "ARCHIVE"]),
    ("append in place", "", ["-g", "ARCHIVE", "../added.txt"]),
    ("self-extractor -A", "stub", ["-A", "ARCHIVE"]),
    ("self-extractor update", "", ["-u", "-r", "ARCHIVE", "."]),
    ("self-extractor -J", "", ["-J", "ARCHIVE"]),
]


def check_zip_runs(report, wine, work, source):
    """Each archive of ZIP_RUNS passes the three testers and extracts byte-exact."""
    archive = os.path.join(work, "runs.zip")
    if os.path.exists(archive):
        os.remove(archive)
    status = wine.archive(["-r", windows_path(archive), "."], source)
    report.check(status == 0, "zip runs: create", f"exit {status}")
    names = [name for name in sorted(files_below(source)) if not name.endswith("/")]
    # Each change moves the file's time 10 s past the previous change, so two
    # changes within one 2-second DOS time step still count as newer.
    last_stamp = 0.0
    for label, prepare, arguments in ZIP_RUNS:
        if prepare == "touch":
            changed = os.path.join(source, names[0])
            with open(changed, "ab") as f:
                f.write(b"changed under Wine\r\n")
            last_stamp = max(os.path.getmtime(changed), last_stamp) + 10
            os.utime(changed, (last_stamp, last_stamp))
        elif prepare == "stub":
            with open(archive, "rb") as f:
                data = f.read()
            with open(archive, "wb") as f:
                f.write(b"MZ" + bytes(range(256)) * 20 + data)
        status = wine.archive([windows_path(archive) if a == "ARCHIVE" else a for a in arguments], source)
        report.check(status == 0, f"zip runs, {label}: exit 0", f"exit {status}")
        for tester, ok in peers_accept(archive):
            report.check(ok, f"zip runs, {label}: {tester}")
        out = os.path.join(work, "runs-out")
        remove_tree(out)
        status, _ = wine.extract(["-o", "-j", windows_path(archive), windows_path(out, True)], work)
        same = status == 0 and all(
            os.path.isfile(os.path.join(out, name)) and
            open(os.path.join(out, name), "rb").read() == open(os.path.join(source, name), "rb").read()
            for name in names)
        report.check(same, f"zip runs, {label}: extracted byte-exact", f"exit {status}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tool", required=True, help="tovra.exe")
    parser.add_argument("--runner", required=True, help="scripts/wine-run.sh")
    parser.add_argument("--data", required=True, help="folder of the data files")
    parser.add_argument("--prefix", required=True, help="the Wine prefix (for its drive C)")
    parser.add_argument("--work", required=True, help="an empty scratch directory")
    args = parser.parse_args()

    report = Report()
    wine = Wine(args.runner, os.path.abspath(args.tool))
    work = os.path.abspath(args.work)
    source = os.path.join(work, "source")
    make_source_tree(source)
    for row in read_data_file(os.path.join(args.data, "peer-archives.txt")):
        if len(row) != 5:
            report.check(False, f"peer-archives.txt row {row}", "expected 5 fields")
            continue
        check_peer_archive(report, wine, work, source, row)

    hostile = read_data_file(os.path.join(args.data, "hostile-names.txt"))
    drive_c = os.path.join(args.prefix, "drive_c")
    for keep_paths in (True, False):
        for form in OUTPUT_DIRECTORY_FORMS:
            check_hostile_names(report, wine, work, hostile, drive_c, keep_paths, form)

    check_shift_jis_names(report, wine, work, read_data_file(os.path.join(args.data, "shift-jis-names.txt")))
    check_utf8_names(report, wine, work, read_data_file(os.path.join(args.data, "utf8-names.txt")))

    check_zip_round_trip(report, wine, work, source)
    check_zip_runs(report, wine, work, source)

    print(f"{report.passed} passed, {report.failed} failed")
    return 1 if report.failed else 0


if __name__ == "__main__":
    sys.exit(main())
