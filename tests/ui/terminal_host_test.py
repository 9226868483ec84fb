#!/usr/bin/env python3
"""The tovra tool's terminal questions, driven through a pseudo-terminal.

Usage: terminal_host_test.py TOVRA. Each case starts tovra on a fresh
pseudo-terminal (its controlling terminal, so Ctrl-C reaches it as a person's
would), waits for what it must print and types the answers. Every wait is
bounded; a case that does not see its text in time fails.
"""
import io
import os
import pty
import select
import subprocess
import sys
import tempfile
import time
import zipfile

TIMEOUT = 10.0
failures = []


class Session:
    def __init__(self, argv, cwd):
        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            os.chdir(cwd)
            os.execv(argv[0], argv)
        self.seen = b""

    def expect(self, text):
        deadline = time.monotonic() + TIMEOUT
        while text.encode() not in self.seen:
            left = deadline - time.monotonic()
            if left <= 0 or not self._read(left):
                raise AssertionError(f"never saw {text!r}; got {self.seen!r}")
        at = self.seen.index(text.encode()) + len(text)
        before, self.seen = self.seen[:at], self.seen[at:]
        return before

    def send(self, text):
        os.write(self.fd, text.encode())

    def finish(self):
        deadline = time.monotonic() + TIMEOUT
        while time.monotonic() < deadline:
            pid, status = os.waitpid(self.pid, os.WNOHANG)
            if pid != 0:
                while self._read(0.2):
                    pass
                os.close(self.fd)
                return os.waitstatus_to_exitcode(status)
            self._read(0.1)
        os.kill(self.pid, 9)
        os.waitpid(self.pid, 0)
        raise AssertionError("tovra did not end")

    def _read(self, timeout):
        ready, _, _ = select.select([self.fd], [], [], timeout)
        if not ready:
            return False
        try:
            data = os.read(self.fd, 4096)
        except OSError:
            return False
        self.seen += data
        return bool(data)


def case(function):
    try:
        function()
        print(f"ok   {function.__name__}")
    except AssertionError as error:
        failures.append(function.__name__)
        print(f"FAIL {function.__name__}: {error}")


def make_archive(path, members, stored=False):
    method = zipfile.ZIP_STORED if stored else zipfile.ZIP_DEFLATED
    with zipfile.ZipFile(path, "w", method) as archive:
        for name, data in members.items():
            archive.writestr(name, data)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def main():
    tovra = os.path.abspath(sys.argv[1])
    work = tempfile.mkdtemp(prefix="tovra-terminal-")
    archive = os.path.join(work, "two.zip")
    make_archive(archive, {"a.txt": b"new-a", "b.txt": b"new-b"})

    def fresh_output(*names):
        out = tempfile.mkdtemp(dir=work)
        for name in names:
            with open(os.path.join(out, name), "wb") as f:
                f.write(b"old")
        return out

    def run(answers, out):
        session = Session([tovra, "unzip", archive, out + "/"], work)
        for answer in answers:
            session.expect("[y]es / [n]o / [A]ll: ")
            session.send(answer + "\n")
        return session.finish()

    def overwrite_answers():
        for answer, expected in (("n", b"old"), ("y", b"new-a")):
            out = fresh_output("a.txt")
            assert run([answer], out) == 0
            assert read(os.path.join(out, "a.txt")) == expected, answer

    def overwrite_all_asks_once():
        out = fresh_output("a.txt", "b.txt")
        assert run(["A"], out) == 0
        assert read(os.path.join(out, "a.txt")) == b"new-a"
        assert read(os.path.join(out, "b.txt")) == b"new-b"

    def ctrl_c_asks_to_cancel():
        for answer, status in (("y", 2), ("n", 0)):
            out = fresh_output("a.txt", "b.txt")
            session = Session([tovra, "unzip", archive, out + "/"], work)
            session.expect("[A]ll: ")
            time.sleep(0.5)  # a Ctrl-C before tovra reads would only be noted, not end the question
            session.send("\x03")  # Ctrl-C at the first question: that file is kept
            session.expect("[A]ll: ")
            session.send("y\n")
            session.expect("cancel the run? [y]es / [n]o: ")
            session.send(answer + "\n")
            assert session.finish() == status, answer
            assert read(os.path.join(out, "a.txt")) == b"old"

    def password_is_not_echoed():
        encrypted = os.path.join(work, "locked.zip")
        make_archive(encrypted, {"secret.txt": b"0123456789abcdef" * 4}, stored=True)
        data = bytearray(read(encrypted))
        for signature, flag_offset in ((b"PK\x03\x04", 6), (b"PK\x01\x02", 8)):
            at = data.index(signature)
            data[at + flag_offset] |= 1
        with open(encrypted, "wb") as f:
            f.write(data)
        session = Session([tovra, "unzip", encrypted, fresh_output() + "/"], work)
        # The member is not really encrypted, so every answer fails the check
        # and the member is asked about three times before it is given up.
        for _ in range(3):
            session.expect("password for secret.txt: ")
            session.send("hunter2\n")
        session.finish()
        assert b"hunter2" not in session.seen, session.seen

    def progress_line():
        big = os.path.join(work, "big.zip")
        make_archive(big, {"big.bin": os.urandom(300000)}, stored=True)
        session = Session([tovra, "unzip", big, fresh_output() + "/"], work)
        assert session.finish() == 0
        assert b"100% 300000/300000 " in session.seen, session.seen[-300:]
        # The line names the archive and what is done to the file.
        assert b"big.zip: extracting... big.bin" in session.seen, session.seen[-300:]
        assert b"\r[" in session.seen

    def archiving_progress_line():
        source = tempfile.mkdtemp(dir=work)
        with open(os.path.join(source, "data.bin"), "wb") as f:
            f.write(os.urandom(200000))
        session = Session([tovra, "zip", "made.zip", "data.bin"], source)
        assert session.finish() == 0
        assert b"made.zip: adding... data.bin" in session.seen, session.seen[-300:]
        # Updating reads the old archive first and then copies its member.
        with open(os.path.join(source, "other.bin"), "wb") as f:
            f.write(b"x")
        session = Session([tovra, "zip", "made.zip", "other.bin"], source)
        assert session.finish() == 0
        assert b"made.zip: copying... data.bin" in session.seen, session.seen[-300:]

    def without_a_terminal_nothing_is_asked():
        out = fresh_output("a.txt")
        done = subprocess.run([tovra, "unzip", archive, out + "/"], stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=TIMEOUT)
        assert done.returncode == 0
        assert b"[A]ll" not in done.stderr
        assert read(os.path.join(out, "a.txt")) == b"old"

    for function in (overwrite_answers, overwrite_all_asks_once, ctrl_c_asks_to_cancel, password_is_not_echoed,
                     progress_line, archiving_progress_line, without_a_terminal_nothing_is_asked):
        case(function)
    subprocess.run(["rm", "-rf", work])
    print(f"{7 - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
