#!/usr/bin/env python3
"""Rebuilds examples/sample.zip, the archive `make run` lists and extracts.

Made with Python's zipfile (an independent writer) so the example also shows
that the library reads archives it did not write: one stored and two deflated
members, one of them in a subdirectory, with fixed times.
"""
import pathlib
import zipfile

here = pathlib.Path(__file__).resolve().parent
members = {
    "readme.txt": (b"TOVRA sample archive.\r\nExtract me with: tovra unzip -o sample.zip out\\\r\n", zipfile.ZIP_STORED),
    "docs/lorem.txt": ((b"Lorem ipsum dolor sit amet, consectetur adipiscing elit. " * 40) + b"\n", zipfile.ZIP_DEFLATED),
    "data/table.csv": ("".join(f"{i},{i * i},{i ** 3}\n" for i in range(200)).encode(), zipfile.ZIP_DEFLATED),
}
with zipfile.ZipFile(here / "sample.zip", "w") as archive:
    for name, (data, method) in members.items():
        info = zipfile.ZipInfo(name, date_time=(2026, 12, 1, 9, 30, 0))
        info.compress_type = method
        info.create_system = 0
        info.external_attr = 0x20
        archive.writestr(info, data)
