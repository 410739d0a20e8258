"""Console tests of the Windows build: the program run under Wine on a
pseudo-terminal, where Wine gives it a console, with the answers typed at
that console. Wine renders each console write with cursor escape sequences
(a blank is often a cursor move), and Enter is a carriage return; the
screen text is compared with its escape sequences turned into blanks or
dropped and every run of blanks and line ends made one blank.

Also the answers piped in as UTF-8 or in the ANSI code page (1252 in
Wine's English locale)."""

import argparse
import fcntl
import os
import pty
import re
import select
import shutil
import signal
import struct
import subprocess
import sys
import termios
import time
import unittest

_parser = argparse.ArgumentParser()
_parser.add_argument("--program", required=True)
_parser.add_argument("--wine-prefix", required=True)
_args, _unittest_args = _parser.parse_known_args()
PROGRAM = os.path.abspath(_args.program)
WINE_PREFIX = os.path.abspath(_args.wine_prefix)
DRIVE_C = os.path.join(WINE_PREFIX, "drive_c")

# Generous: a Wine start on a loaded machine takes seconds.
SECONDS = 60
# How long a waiting program must stay waiting to count as waiting.
STILL_WAITING_SECONDS = 2

ENTER = b"\r"
FORBIDDEN = ('That name holds a character that names cannot hold (< > : " | ? * or a control character): '
             "please type another one.")
PASTED = ("That is a full path: folders are named under C:\\images, and only the folder's name is typed "
          "(here site1).")
DEVICE = "That name is the name of a device, not of a file: please type another one."
DEVICES = ("NUL", "nul", "AUX", "COM1", "NUL.", "CON", "CONOUT$", "PRN", "LPT1")

ESCAPE = re.compile(rb"\x1b\[([0-9;?]*)([@-~])|\x1b\][^\x07\x1b]*(?:\x07|\x1b\\)|\x1b[()][0-9A-Za-z]|\x1b[=>78]")


def screen(data):
    """The text a console write shows, blanks and line ends folded."""
    def replace(m):
        if m.group(2) == b"C":  # cursor forward: blanks
            return b" " * int(m.group(1) or b"1")
        return b" " if m.group(2) in (b"H", b"K", b"J") else b""
    text = ESCAPE.sub(replace, data).decode("utf-8", "replace")
    return fold(text)


def fold(text):
    return " ".join(text.split())


def environment():
    env = dict(os.environ)
    # The terminal speaks UTF-8; Wine's locale stays English (code pages
    # 1252 and 437).
    env.update(WINEPREFIX=WINE_PREFIX, WINEDEBUG="-all", LANG="C.UTF-8", LC_ALL="C.UTF-8", TERM="xterm")
    env.pop("DISPLAY", None)
    return env


def warm_up():
    """The first start creates the Wine prefix, which takes long."""
    os.makedirs(DRIVE_C, exist_ok=True)
    subprocess.run(["wine", PROGRAM], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, env=environment(), timeout=600, start_new_session=True)


class Console:
    """The program on a pseudo-terminal; optionally standard input piped
    from `piped`, standard output sent to the file `stdout_file`, and
    command-line `arguments`."""

    def __init__(self, piped=None, stdout_file=None, arguments=()):
        pid, master = pty.fork()
        if pid == 0:
            try:
                # Wide enough that no line the tests look for wraps.
                fcntl.ioctl(2, termios.TIOCSWINSZ, struct.pack("HHHH", 50, 250, 0, 0))
                os.chdir(DRIVE_C)
                if piped is not None:
                    r, w = os.pipe()
                    os.write(w, piped)
                    os.close(w)
                    os.dup2(r, 0)
                if stdout_file is not None:
                    fd = os.open(stdout_file, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
                    os.dup2(fd, 1)
                os.execvpe("wine", ["wine", PROGRAM] + list(arguments), environment())
            finally:
                os._exit(127)
        self.pid, self.master = pid, master
        self.data = b""
        self.status = None

    def read(self, seconds):
        ready, _, _ = select.select([self.master], [], [], seconds)
        if ready:
            try:
                chunk = os.read(self.master, 65536)
            except OSError:
                chunk = b""
            self.data += chunk
            return bool(chunk)
        return True

    def text(self):
        return screen(self.data)

    def expect(self, text, count=1):
        """Waits until `text` has been shown `count` times."""
        deadline = time.time() + SECONDS
        while self.text().count(fold(text)) < count:
            if time.time() > deadline or not self.read(0.1):
                raise AssertionError("not shown: %r\nscreen: %r" % (text, self.text()[-1500:]))

    def type(self, keys):
        # Wine's console puts the terminal in raw mode when the program
        # reads it; keys typed before that would be taken by the terminal's
        # line editing (Enter made a line feed, echoed by the terminal).
        deadline = time.time() + SECONDS
        while termios.tcgetattr(self.master)[3] & termios.ICANON:
            if time.time() > deadline:
                raise AssertionError("the console never read the keyboard; screen: %r" % self.text()[-1500:])
            self.read(0.05)
        os.write(self.master, keys)

    def ended(self):
        if self.status is None:
            pid, status = os.waitpid(self.pid, os.WNOHANG)
            if pid:
                self.status = os.waitstatus_to_exitcode(status)
        return self.status is not None

    def still_waiting(self):
        deadline = time.time() + STILL_WAITING_SECONDS
        while time.time() < deadline:
            self.read(0.1)
            if self.ended():
                return False
        return True

    def finish(self):
        deadline = time.time() + SECONDS
        while not self.ended():
            if time.time() > deadline:
                self.close()
                raise AssertionError("the program did not end; screen: %r" % self.text()[-1500:])
            if not self.read(0.1):
                time.sleep(0.05)
        while self.read(0.2) and len(self.data) and select.select([self.master], [], [], 0)[0]:
            pass
        return self.status

    def close(self):
        if not self.ended():
            os.kill(self.pid, signal.SIGKILL)
            os.waitpid(self.pid, 0)
        os.close(self.master)


class ConsoleTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        warm_up()

    def setUp(self):
        self.images = os.path.join(DRIVE_C, "images")
        shutil.rmtree(self.images, ignore_errors=True)
        self.site = os.path.join(self.images, "site1")
        os.makedirs(self.site)
        with open(os.path.join(self.site, "dem.xyz"), "wb") as f:
            f.write(b"1 2 3\n4 5 6\n20 20 7\n")
        self.consoles = []

    def tearDown(self):
        for c in self.consoles:
            c.close()
        shutil.rmtree(self.images, ignore_errors=True)

    def start(self, **kwargs):
        c = Console(**kwargs)
        self.consoles.append(c)
        return c

    def answer(self, c, prompt, keys, count=1):
        c.expect(prompt, count)
        c.type(keys + ENTER)

    def zone(self, c):
        for prompt, value in (("X_min ?", b"0"), ("X_max ?", b"10"), ("Y_min ?", b"0"), ("Y_max ?", b"10"),
                              ("Pixel Size (decimal value in meters) ?", b"1")):
            self.answer(c, prompt, value)

    def files(self, folder="site1"):
        return sorted(os.listdir(os.path.join(self.images, folder)))

    def read(self, name, folder="site1"):
        with open(os.path.join(self.images, folder, name), "rb") as f:
            return f.read()

    # --- a whole dialogue typed at the console ------------------------------

    def test_a_whole_dialogue_typed(self):
        c = self.start()
        self.answer(c, "Name of the File Folder located in the Directory C:\\images :", b"site1")
        self.answer(c, "Name of the xyz file_in (whitout extension .xyz) ?", b"dem")
        # Two answers on one line: the second serves the next prompt.
        self.answer(c, "Name of the xyz file_out (whitout extension .xyz) ?", b"north 0")
        c.expect("X_min ?")
        for prompt, value in (("X_max ?", b"10"), ("Y_min ?", b"0"), ("Y_max ?", b"10")):
            self.answer(c, prompt, value)
        self.answer(c, "Pixel Size (decimal value in meters) ?", b"0,5")
        c.expect("0,5 is not a number: use a point for decimals.")
        self.answer(c, "Pixel Size (decimal value in meters) ?", b"0.5", count=2)
        self.assertEqual(c.finish(), 0)
        text = c.text()
        self.assertIn(fold("X_min = 1.000000 X_max = 20.000000 Y_min = 2.000000 Y_max = 20.000000 "
                           "Z_min = 3.000000 Z_max = 7.000000"), text)
        self.assertIn(fold("For a pixel size of 0 meters, the resulting image will have 20 lines and 20 columns"),
                      text)
        self.assertEqual(self.files(), ["dem.xyz", "north.xyz", "north_xyz_info.txt"])
        self.assertEqual(self.read("north.xyz"), b"1.000000 2.000000 3.000000\r\n4.000000 5.000000 6.000000\r\n")
        self.assertIn(b"\r\n\n\tFile_out : c:\\images\\site1\\north.xyz ".replace(b"\r\n\n", b"\r\n\r\n"),
                      self.read("north_xyz_info.txt"))

    # --- the key wait -------------------------------------------------------

    def test_the_key_wait_ends_on_a_key(self):
        keys = [("a letter", b"x"), ("Enter", ENTER), ("Ctrl-C", b"\x03"), ("an arrow key", b"\x1b[A")]
        for what, key in keys:
            with self.subTest(what):
                c = self.start()
                self.answer(c, "C:\\images :", b"site1 missing")
                self.answer(c, "file_out (whitout extension .xyz) ?", b"north")
                c.expect("No File c:\\images\\site1\\missing.xyz")
                self.assertTrue(c.still_waiting(), "the wait ended before a key was pressed")
                c.type(key)
                self.assertEqual(c.finish(), 8)
                self.assertEqual(self.files(), ["dem.xyz"])

    def test_the_key_wait_with_text_left_over_and_output_to_a_file(self):
        # Text typed beyond the answers does not end the wait; with standard
        # output sent to a file, the wait says at the console why it waits.
        # (Under Wine a program whose standard input is piped gets no keys
        # from the terminal at its console, so the wait cannot be tried here
        # with answers piped in.)
        shown = os.path.join(DRIVE_C, "shown.txt")
        self.addCleanup(lambda: os.path.exists(shown) and os.remove(shown))
        c = self.start(stdout_file=shown)
        c.type(b"site1 missing north left over" + ENTER)
        c.expect("No File c:\\images\\site1\\missing.xyz")
        self.assertTrue(c.still_waiting(), "the text left over ended the wait")
        c.type(b"k")
        self.assertEqual(c.finish(), 8)
        with open(shown, "rb") as f:
            self.assertTrue(f.read().endswith(b"\n\tNo File c:\\images\\site1\\missing.xyz \n"))

    # --- names with accents -------------------------------------------------

    def test_accented_folder_and_output_typed(self):
        folder = "Z\u00fcrich"
        os.makedirs(os.path.join(self.images, folder))
        with open(os.path.join(self.images, folder, "d\u00e9m.xyz"), "wb") as f:
            f.write(b"1 2 3\n")
        with open(os.path.join(self.images, folder, "s\u00fcd.xyz"), "wb") as f:
            f.write(b"an earlier output, replaced when the run completes")
        c = self.start()
        self.answer(c, "C:\\images :", folder.encode())
        self.answer(c, "file_in (whitout extension .xyz) ?", "d\u00e9m".encode())
        self.answer(c, "file_out (whitout extension .xyz) ?", "s\u00fcd".encode())
        self.zone(c)
        # Standard error, the console too, shows the output's name as typed.
        c.expect("1 point of 1 written to c:\\images\\Z\u00fcrich\\s\u00fcd.xyz")
        self.assertEqual(c.finish(), 0)
        self.assertEqual(self.files(folder), ["d\u00e9m.xyz", "s\u00fcd.xyz", "s\u00fcd_xyz_info.txt"])
        self.assertEqual(self.read("s\u00fcd.xyz", folder), b"1.000000 2.000000 3.000000\r\n")
        report = self.read("s\u00fcd_xyz_info.txt", folder)
        self.assertIn("File_in : c:\\images\\Z\u00fcrich\\d\u00e9m.xyz ".encode(), report)
        self.assertIn("File_out : c:\\images\\Z\u00fcrich\\s\u00fcd.xyz ".encode(), report)

    def test_ctrl_c_at_a_prompt_keeps_the_earlier_files(self):
        # A console event ends the run: the temporary files go, the earlier
        # output and report stay as they were, and the console says so with
        # the names as typed.
        old = {"s\u00fcd.xyz": b"earlier points", "s\u00fcd_xyz_info.txt": b"earlier report"}
        for name, data in old.items():
            with open(os.path.join(self.site, name), "wb") as f:
                f.write(data)
        c = self.start()
        self.answer(c, "C:\\images :", "site1 dem s\u00fcd".encode())
        c.expect("X_min ?")
        c.type(b"\x03")
        c.expect("c:\\images\\site1\\s\u00fcd.xyz is unchanged. "
                 "c:\\images\\site1\\s\u00fcd_xyz_info.txt is unchanged.")
        c.finish()  # Wine ends it with status 0, Windows with STATUS_CONTROL_C_EXIT
        self.assertEqual(self.files(), sorted(["dem.xyz"] + list(old)))
        for name, data in old.items():
            self.assertEqual(self.read(name), data)

    def test_missing_accented_input_is_shown_as_typed(self):
        c = self.start()
        self.answer(c, "C:\\images :", "site1 \u00e9t\u00e9".encode())
        self.answer(c, "file_out (whitout extension .xyz) ?", b"north")
        c.expect("No File c:\\images\\site1\\\u00e9t\u00e9.xyz")
        c.type(b"x")
        self.assertEqual(c.finish(), 8)

    def test_accented_answers_piped(self):
        # UTF-8 is taken as it stands; other bytes are read in the ANSI code
        # page (1252). A line is taken 1024 bytes at a time, cut after a
        # blank: 1022 blanks put the cut inside the folder's u-umlaut.
        # UTF-16 with its byte-order mark, as PowerShell writes it, is read
        # as its text.
        for encoding, blanks in (("utf-8", 0), ("cp1252", 0), ("utf-8", 1022), ("utf-16", 0), ("utf-16-be", 0)):
            with self.subTest(encoding=encoding, blanks=blanks):
                shutil.rmtree(os.path.join(self.images, "Z\u00fcrich"), ignore_errors=True)
                os.makedirs(os.path.join(self.images, "Z\u00fcrich"))
                with open(os.path.join(self.images, "Z\u00fcrich", "dem.xyz"), "wb") as f:
                    f.write(b"1 2 3\n")
                answers = (" " * blanks + "Z\u00fcrich\ndem\ns\u00fcd\n0 10 0 10 1\n").encode(encoding)
                if encoding == "utf-16-be":
                    answers = b"\xfe\xff" + answers
                p = subprocess.run(["wine", PROGRAM], input=answers, stdout=subprocess.PIPE,
                                   stderr=subprocess.DEVNULL, cwd=DRIVE_C, env=environment(), timeout=SECONDS * 2,
                                   start_new_session=True)
                self.assertEqual(p.returncode, 0)
                self.assertEqual(self.files("Z\u00fcrich"), ["dem.xyz", "s\u00fcd.xyz", "s\u00fcd_xyz_info.txt"])
                self.assertIn("File_out : c:\\images\\Z\u00fcrich\\s\u00fcd.xyz ".encode(),
                              self.read("s\u00fcd_xyz_info.txt", "Z\u00fcrich"))

    # --- names refused and asked again -------------------------------------

    def test_device_names_are_refused_at_the_output_prompt(self):
        c = self.start()
        self.answer(c, "C:\\images :", b"site1 dem")
        prompt = "file_out (whitout extension .xyz) ?"
        for i, name in enumerate(DEVICES):
            self.answer(c, prompt, name.encode(), count=i + 1)
            c.expect(DEVICE, count=i + 1)
        self.answer(c, prompt, b"north", count=len(DEVICES) + 1)
        self.zone(c)
        self.assertEqual(c.finish(), 0)
        self.assertEqual(c.text().count(fold(DEVICE)), len(DEVICES))
        self.assertEqual(self.files(), ["dem.xyz", "north.xyz", "north_xyz_info.txt"])
        self.assertEqual(self.read("north.xyz"), b"1.000000 2.000000 3.000000\r\n4.000000 5.000000 6.000000\r\n")

    def test_forbidden_characters_are_refused_at_each_name_prompt(self):
        c = self.start()
        prompts = [("C:\\images :", [b"a:b", b"x<y"], b"site1"),
                   ("file_in (whitout extension .xyz) ?", [b"n*rth", b"d>m"], b"dem"),
                   ("file_out (whitout extension .xyz) ?", [b"dem.xyz:s", b"a|b", b'a"b', b"why?"], b"north")]
        refused = 0
        for prompt, bad, good in prompts:
            for i, name in enumerate(bad):
                self.answer(c, prompt, name, count=i + 1)
                refused += 1
                c.expect(FORBIDDEN, count=refused)
            self.answer(c, prompt, good, count=len(bad) + 1)
        self.zone(c)
        self.assertEqual(c.finish(), 0)
        self.assertEqual(self.files(), ["dem.xyz", "north.xyz", "north_xyz_info.txt"])

    def test_a_folder_pasted_as_a_full_path(self):
        # As copied from Explorer's address bar, with or without quotes.
        c = self.start()
        for i, pasted in enumerate((b"C:\\images\\site1", b'"C:\\images\\site1"')):
            self.answer(c, "C:\\images :", pasted, count=i + 1)
            c.expect(PASTED, count=i + 1)
        self.answer(c, "C:\\images :", b"site1 dem north", count=3)
        self.zone(c)
        self.assertEqual(c.finish(), 0)
        self.assertEqual(self.files(), ["dem.xyz", "north.xyz", "north_xyz_info.txt"])
        self.assertNotIn(fold(FORBIDDEN), c.text())

    def test_help_asked_the_windows_way(self):
        c = self.start(arguments=["/?"])
        self.assertEqual(c.finish(), 0)
        self.assertIn(fold("Usage: tessera_sift"), c.text())
        self.assertNotIn("C:\\images :", c.text())


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]] + _unittest_args, verbosity=2)
