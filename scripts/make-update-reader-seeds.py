#!/usr/bin/env python3
"""Writes the seed corpus of the update reader's fuzz target into
fuzz/corpus/update_reader/: small archives made by Python's zipfile (stored,
deflated, comments, extra fields, streamed data descriptors, a directory, a
Shift JIS name), the same behind a self-extractor-like prefix, and cut or
bent copies that reach the reader's error paths."""
import io
import os
import sys
import zipfile

root = os.path.join(os.environ.get('TOVRA_FUZZ_CORPUS') or
                    os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'fuzz', 'corpus'), 'update_reader')
os.makedirs(root, exist_ok=True)


class Unseekable(io.RawIOBase):
    def __init__(self):
        self.buffer = bytearray()

    def writable(self):
        return True

    def write(self, b):
        self.buffer += b
        return len(b)

    def seekable(self):
        return False


def build(streamed=False):
    target = Unseekable() if streamed else io.BytesIO()
    with zipfile.ZipFile(target, 'w') as z:
        z.comment = b'archive comment'
        info = zipfile.ZipInfo('extra.txt')
        info.extra = b'\x0a\x00\x04\x00abcd'
        info.comment = b'member comment'
        z.writestr(info, b'deflate me ' * 40, zipfile.ZIP_DEFLATED)
        # Fixed times, so that every run writes the same bytes.
        z.writestr(zipfile.ZipInfo('stored.bin', (2015, 6, 20, 13, 45, 30)), bytes(range(64)))
        z.writestr(zipfile.ZipInfo(b'\x93\xfa\x96\x7b.txt'.decode('cp437')), b'sjis')
        directory = zipfile.ZipInfo('dir/', (2015, 6, 20, 13, 45, 30))
        directory.external_attr = 0o40775 << 16 | 0x10
        z.writestr(directory, b'')
    return bytes(target.buffer if streamed else target.getvalue())


seeds = {
    'python_plain.zip': build(),
    'python_streamed.zip': build(streamed=True),
    'prefixed.zip': b'MZ' + b'\x90' * 200 + build(),
    'end_record_only.zip': b'PK\x05\x06' + bytes(18),
}
plain = seeds['python_plain.zip']
seeds['cut_in_central.zip'] = plain[:len(plain) - 60]
seeds['cut_in_data.zip'] = plain[:90]
bent = bytearray(plain)
bent[6] ^= 0x02  # local flags differ from the central ones
seeds['headers_differ.zip'] = bytes(bent)
for name, data in seeds.items():
    with open(os.path.join(root, name), 'wb') as f:
        f.write(data)
print('wrote %d seeds to %s' % (len(seeds), os.path.normpath(root)), file=sys.stderr)
