"""End-to-end tests: the built program run as a user runs it, in a fresh
working directory holding an images/ tree, answers on standard input, the
console text, the report and the output compared byte for byte."""

import argparse
from fractions import Fraction
import glob
import hashlib
import os
import pty
import random
import re
import resource
import select
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import termios
import time
import unittest

# The arguments are read first: the tests that only a POSIX build can take
# are chosen when the classes are defined.
_parser = argparse.ArgumentParser()
_parser.add_argument("--program", required=True)
_parser.add_argument("--data", required=True)
_parser.add_argument("--wine-prefix", help="run the Windows build under Wine with this prefix")
_parser.add_argument("--helper", help="the Windows build's file helper (holds a file open, tells short names)")
_args, _unittest_args = _parser.parse_known_args()
PROGRAM = os.path.abspath(_args.program)
HELPER = _args.helper and os.path.abspath(_args.helper)
REAL_DATA = os.path.abspath(_args.data)
WINE_PREFIX = _args.wine_prefix and os.path.abspath(_args.wine_prefix)

BLANK_ROW = "\n\t*" + " " * 57 + "*"
BANNER = (
    "\n\t" + "*" * 59 + BLANK_ROW * 2
    + "\n\t*                     TESSERA_SIFT                        *" + BLANK_ROW * 5
    + "\n\t*                                     The TESSERA_SIFT    *"
    + "\n\t*                                         contributors    *"
    + "\n\t*                                      (December 2026)    *" + BLANK_ROW
    + "\n\t" + "*" * 59
    + "\n\n\tThis program extracts from a xyz_file a selected area"
    + "\n\n\tThe resulting file has xyz format"
)
FOLDER_PROMPT = "\n\n\tName of the File Folder located in the Directory C:\\images : "
IN_PROMPT = "\n\n\tName of the xyz file_in (whitout extension .xyz) ? "
OUT_PROMPT = "\n\n\tName of the xyz file_out (whitout extension .xyz) ? "
ZONE_PROMPTS = ("\n\n\tCoordinates of the zone to be extracted : \n\t\tX_min ? "
                "\t\tX_max ? \t\tY_min ? \t\tY_max ? ")
PIXEL_PROMPT = "\n\n\tPixel Size (decimal value in meters) ? "
CREDIT = "\n\n\t\t\tThe TESSERA_SIFT contributors (2026)"
INPUT_ENDED = "\n\tStandard input ended before an answer was read.\n"


def edit_in_place(path):
    """Makes "0.5" at the start of the input "9.5": the same size."""
    with open(path, "r+b") as f:
        f.write(b"9")


def edit_and_put_the_time_back(path):
    before = os.stat(path)
    edit_in_place(path)
    os.utime(path, ns=(before.st_atime_ns, before.st_mtime_ns))


def unchanged(name="north"):
    """What a run that publishes nothing says after it has removed its
    temporary files."""
    return ("\n\tc:\\images\\site1\\%s.xyz is unchanged.\n"
            "\n\tc:\\images\\site1\\%s_xyz_info.txt is unchanged.\n" % (name, name))


def progress(count):
    return "".join("\trecord %d                    \r    " % k
                   for k in range(100000, count + 1, 100000))


def read_points(data):
    """The records of a point file, read the plain way (enough for the
    well-formed files the tests use)."""
    values = data.replace(b"\r", b"").split(b"\x1a")[0].split()
    return [tuple(float(v) for v in values[i:i + 3]) for i in range(0, len(values) - 2, 3)]


def bounds(points):
    """The data's own bounds of X, Y and Z; 0 for a maximum of zero, and
    10000000 and 0 when there is no point."""
    result = []
    for axis in range(3):
        values = [p[axis] for p in points]
        if not values:
            result += [10000000.0, 0.0]
            continue
        hi = max(values)
        result += [min(values), hi if hi != 0 else 0.0]
    return result


def round64(x):
    """x rounded to a 64-bit significand, ties to even."""
    if x == 0:
        return x
    e = 0
    while abs(x) >= 2 ** (64 + e):
        e += 1
    while abs(x) < 2 ** (63 + e):
        e -= 1
    scaled = x / Fraction(2) ** e
    n = round(scaled)  # Fraction rounds half to even
    return Fraction(n) * Fraction(2) ** e


def trunc_count(span_max, span_min, pixel):
    """A raster count: difference and quotient each rounded at 64 bits."""
    q = round64(round64(Fraction(span_max) - Fraction(span_min)) / Fraction(pixel))
    return int(q)  # int() of a Fraction truncates toward zero


class Run:
    def __init__(self, status, console, folder, errors=""):
        self.status = status
        self.console = console
        self.folder = folder
        self.errors = errors  # standard error, as UTF-8

    def file(self, name):
        with open(os.path.join(self.folder, name), "rb") as f:
            return f.read()

    def exists(self, name):
        return os.path.lexists(os.path.join(self.folder, name))


def command():
    return ["wine", PROGRAM] if WINE_PREFIX else [PROGRAM]


def environment():
    env = dict(os.environ)
    if WINE_PREFIX:
        env.update(WINEPREFIX=WINE_PREFIX, WINEDEBUG="-all")
    return env


def posix_only(test):
    """For what only a POSIX host has (FIFOs, /dev/full, signals)."""
    return unittest.skipIf(WINE_PREFIX, "POSIX host only")(test)


def windows_only(test):
    """For what only Windows has (short names, files held open without
    sharing their deletion), tried under Wine with the file helper."""
    return unittest.skipUnless(WINE_PREFIX and HELPER, "Windows build and its file helper only")(test)


def helper(*arguments, **popen):
    return subprocess.Popen(["wine", HELPER] + list(arguments), env=environment(), stdout=subprocess.PIPE, **popen)


NOTHING_READ = "\n\n\tNo point was read before the data stopped, so nothing is written.\n"
DECIMAL_COMMAS = "\n\n\tThe file is written with decimal commas, which this tool does not read, so nothing is written.\n"


class ToolCase(unittest.TestCase):
    """A fresh images/site1 folder for each test, and the helpers that run
    the tool in it."""

    def setUp(self):
        if WINE_PREFIX:
            # The Windows build opens c:\images\..., the prefix's drive_c.
            self.tmp = None
            self.root = os.path.join(WINE_PREFIX, "drive_c")
            shutil.rmtree(os.path.join(self.root, "images"), ignore_errors=True)
        else:
            self.tmp = tempfile.TemporaryDirectory()
            self.root = self.tmp.name
        self.site = os.path.join(self.root, "images", "site1")
        os.makedirs(self.site)
        self.sums = {}

    def check_nothing_left(self):
        # Whatever the answers, no run leaves a temporary or lock file behind.
        for folder, _, names in os.walk(os.path.join(self.root, "images")):
            self.assertEqual([n for n in names if ".tessera-" in n], [], folder)
        # No run changes its input, nor the files the test says must survive.
        for path, digest in self.sums.items():
            with open(path, "rb") as f:
                self.assertEqual(hashlib.sha256(f.read()).hexdigest(), digest, path)

    def tearDown(self):
        try:
            self.check_nothing_left()
        finally:
            if self.tmp:
                self.tmp.cleanup()
            else:
                shutil.rmtree(os.path.join(self.root, "images"), ignore_errors=True)

    def put(self, name, data, folder=None):
        path = os.path.join(folder or self.site, name)
        with open(path, "wb") as f:
            f.write(data)
        self.sums[path] = hashlib.sha256(data).hexdigest()
        return path

    def run_tool(self, answers, timeout=120, prefix=()):
        # The tool always shows its banner first: a run that shows nothing
        # at all under Wine is Wine failing to start it on a loaded machine
        # (seen once in CI), so it is started again, once.
        for attempt in range(2 if WINE_PREFIX else 1):
            p = subprocess.run(list(prefix) + command(), input=answers.encode(), stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, cwd=self.root, timeout=timeout, env=environment(),
                               start_new_session=True)  # no controlling terminal: no key wait
            if p.stdout:
                break
            sys.stderr.write("wine showed nothing (status %d): %s\n" % (p.returncode, p.stderr[-300:]))
        return Run(p.returncode, p.stdout.decode("latin-1"), self.site, p.stderr.decode("utf-8", "replace"))

    def expected(self, points, zone, pixel, name_in="dem", name_out="north", notice="", header=None, reading=""):
        """The console text and the report of a whole run. `notice` tells
        where the data stopped, `header` is the line and the text of a
        skipped header, `reading` the notices of how the file was read
        (columns, a point count, skipped lines). A point may carry its extra
        columns as a fourth item, the text the output has after X Y Z."""
        b = bounds(points)
        meters = int(pixel)
        lig = trunc_count(zone[3], zone[2], pixel)
        col = trunc_count(zone[1], zone[0], pixel)
        path_in = "c:\\images\\site1\\%s.xyz" % name_in
        path_out = "c:\\images\\site1\\%s.xyz" % name_out
        header_text = "Line %d is not a point and is skipped as a header: %s" % header[:2] if header else ""
        # A third item: what is said of the header lines after the first.
        more = header[2] if header and len(header) > 2 else None
        console = (BANNER + FOLDER_PROMPT + IN_PROMPT + OUT_PROMPT + "\n\n"
                   + ("\t" + header_text + "\n" if header else "") + ("\t" + more + "\n" if more else "")
                   + progress(len(points)) + notice
                   + "\n\n\tX_min = %f X_max = %f " % (b[0], b[1])
                   + "\n\tY_min = %f Y_max = %f " % (b[2], b[3])
                   + "\n\tZ_min = %f Z_max = %f " % (b[4], b[5])
                   + reading
                   + ZONE_PROMPTS + PIXEL_PROMPT
                   + "\n\n\tFor a pixel size of %d meters, the resulting image" % meters
                   + "\n\twill have %d lines and %d columns" % (lig, col)
                   + "\n\n" + progress(len(points)))
        report = ("\n\tTESSERA_SIFT \n\n\tFile_in : %s \n\n\tFile_out : %s " % (path_in, path_out)
                  + "\n\n\tInfo concerning File_in named %s : " % path_in
                  + "\n\t\tNumber of records : %d " % len(points)
                  + "\n\t\tCoordinates : "
                  + "".join("\n\t\t\t%s : %f " % (n, v) for n, v in
                            zip(["X_min", "X_max", "Y_min", "Y_max", "Z_min", "Z_max"], b))
                  + ("\n\n\t" + header_text + " " if header else "") + ("\n\n\t" + more + " " if more else "")
                  + (notice + " " if notice else "")
                  + (reading + " " if reading else "")
                  + "\n\n\tCoordinates of the selected zone named %s :" % path_out
                  + "".join("\n\t\t%s = %f " % (n, v) for n, v in
                            zip(["X_min", "X_max", "Y_min", "Y_max"], zone))
                  + "\n\n\tPixel size : %f " % pixel
                  + "\n\n\tFor a pixel size of %d meters, the resulting image" % meters
                  + "\n\twill have %d lines and %d columns" % (lig, col)
                  + CREDIT)
        inside = [p for p in points if zone[0] <= p[0] <= zone[1] and zone[2] <= p[1] <= zone[3]]
        output = "".join("%f %f %f" % p[:3] + (" " + p[3] if len(p) > 3 else "") + "\n" for p in inside)
        return console, report.replace("\n", "\r\n").encode("latin-1"), output.replace("\n", "\r\n").encode()

    def check_whole_run(self, data, zone, pixel, notice="", status=0, points=None, header=None, reading=""):
        self.put("dem.xyz", data)
        points = read_points(data) if points is None else points
        answers = "site1\ndem\nnorth\n%r\n%r\n%r\n%r\n%r\n" % (zone + (pixel,))
        run = self.run_tool(answers)
        console, report, output = self.expected(points, zone, pixel, notice=notice, header=header, reading=reading)
        self.assertEqual(run.console, console)
        self.assertEqual(run.file("north_xyz_info.txt"), report)
        self.assertEqual(run.file("north.xyz"), output)
        self.assertEqual(run.status, status)
        return run


    def check_nothing_published(self, data, notice, header=None, closing=NOTHING_READ):
        """A run that read no point before the data stopped (or stopped at
        a decimal comma): it says where, ends with status 4 and leaves the
        earlier files as they were."""
        self.put("dem.xyz", data)
        self.put("north.xyz", b"earlier output")
        self.put("north_xyz_info.txt", b"earlier report")
        run = self.run_tool("site1\ndem\nnorth\n0 100 0 100 1\n")
        header_text = "\tLine %d is not a point and is skipped as a header: %s\n" % header if header else ""
        self.assertEqual(run.console, BANNER + FOLDER_PROMPT + IN_PROMPT + OUT_PROMPT + "\n\n" + header_text + notice
                         + closing + unchanged())
        self.assertEqual(run.status, 4)
        self.assertEqual(run.errors, "")
        for name, earlier in (("north.xyz", b"earlier output"), ("north_xyz_info.txt", b"earlier report")):
            self.assertEqual(run.file(name), earlier)
            del self.sums[os.path.join(self.site, name)]


class EndToEnd(ToolCase):
    # --- whole runs --------------------------------------------------------

    def test_zones_over_a_file_of_many_stretches(self):
        # 200000 points in rows of 1000, as a grid is written: the
        # extraction steps over the stretches of rows outside the zone, and
        # the console (progress lines included), report and output are
        # those of reading every record. The same in fixed-width columns
        # whose signed values fill their fields, each touching the one
        # before it from row 100 on.
        points = [(i % 1000 + 0.5, i // 1000 + 0.25, float(i % 7)) for i in range(200000)]
        files = [("blanks", b"".join(b"%d.5 %d.25 %d\r\n" % (i % 1000, i // 1000, i % 7) for i in range(200000))),
                 ("fixed width", b"".join(b"%6.1f%+7.2f%+d\r\n" % p for p in points))]
        zones = [(2000.0, 3000.0, 0.0, 1e9),   # no stretch
                 (10.5, 20.5, 100.25, 110.25),  # some rows, their edges on points
                 (0.0, 1e9, 195.0, 1e9),        # the last rows, up to the end of the data
                 (0.0, 1e9, 0.0, 1e9)]          # every stretch
        for name, data in files:
            for zone in zones:
                with self.subTest(file=name, zone=zone):
                    self.check_whole_run(data, zone, 1.0, points=points)

    def test_real_files_whole_and_partial_zones(self):
        cases = [
            ("simple.xyz", (636000.0, 637000.0, 849000.0, 850000.0), 0.5),
            ("autzen.xyz", (0.0, 1e7, 0.0, 1e7), 10.0),
            ("terrain_25k.xyz", (2445200.0, 2445300.5, 604300.0, 604350.25), 0.1),
            ("vegetation_1_3.xyz", (-98460.0, -98440.0, -55980.0, -55960.0), 2.9),
        ]
        for name, zone, pixel in cases:
            with self.subTest(name):
                with open(os.path.join(REAL_DATA, name), "rb") as f:
                    data = f.read()
                run = self.check_whole_run(data, zone, pixel)
                self.assertGreater(len(run.file("north.xyz")), 0)

    def test_bounds_are_the_data_own_on_either_side_of_0_and_10000000(self):
        # Shown and reported as the data's own, while the zone cut is the same.
        cases = [
            ("lon/lat west of 0", b"-123.08 49.25 10\n-123.04 49.30 12\n-123.06 49.27 11\n", (-124.0, -123.0, 49.0, 50.0)),
            ("every Z below 0", b"5 6 -377.25\n7 8 -367.5\n", (0.0, 10.0, 0.0, 10.0)),
            ("above 10000000", b"32512000.5 10100000.25 7\n32513000 10200000 8\n", (3e7, 4e7, 1e7, 2e7)),
            ("across 0 and 10000000", b"-5 20000000 1\n5 -20000000 2\n", (-10.0, 10.0, -3e7, 3e7)),
            ("-0.0 maxima", b"-1 -2 -3\n-0.0 -0.0 -0.0\n", (-5.0, 5.0, -5.0, 5.0)),
            ("empty", b"", (0.0, 1.0, 0.0, 1.0)),
        ]
        for name, data, zone in cases:
            with self.subTest(name):
                self.check_whole_run(data, zone, 1.0)

    def test_progress_lines_at_each_hundred_thousand(self):
        for count in (99999, 100000, 250000):
            with self.subTest(count):
                lines = ["%d.25 %d.5 -%d.125" % (i % 5000, i // 5000, i % 7) for i in range(count)]
                self.check_whole_run(("\n".join(lines)).encode(), (100.0, 200.0, 10.0, 20.0), 1.0)

    def test_raster_counts(self):
        data = b"500050 2100025 10\n"
        for zone, pixel, text in [
            ((500000.0, 500100.0, 2100000.0, 2100050.0), 0.1, "0 meters, the resulting image\n\twill have 499 lines and 999 columns"),
            ((500000.0, 500100.0, 2100000.0, 2100050.0), 0.5, "will have 100 lines and 200 columns"),
            ((0.0, 100.0, 0.0, 50.0), 3.0, "will have 16 lines and 33 columns"),
            ((600.0, 505.0, 0.0, 50.0), 10.0, "will have 5 lines and -9 columns"),
        ]:
            with self.subTest(pixel=pixel, zone=zone):
                self.put("dem.xyz", data)
                run = self.run_tool("site1\ndem\nnorth\n%r %r %r %r\n%r\n" % (zone + (pixel,)))
                self.assertIn(text, run.console)
                self.assertEqual(run.status, 0)

    def test_edges_belong_to_the_zone_and_z_is_not_tested(self):
        data = b"10 20 -5\n10 30 1\n30 20 1\n30 30 1e6\n9.999 20 1\n10 30.001 1\n20 25 -1e6"
        self.check_whole_run(data, (10.0, 30.0, 20.0, 30.0), 1.0)

    def test_reversed_zone_writes_an_empty_file(self):
        run = self.check_whole_run(b"1 2 3\n", (5.0, 1.0, 0.0, 10.0), 1.0)
        self.assertEqual(run.file("north.xyz"), b"")

    def test_what_was_written_is_said(self):
        # On standard error once the files are published: the points written
        # of those read, and the decimals the output rounded.
        grid = b"".join(b"%d.5 %d.25 7.125\n" % (i % 10, i // 10) for i in range(50))
        eight = b"2.12345678 48.12345678 310.5\n1.5e-7 3 4\n"
        rounded = "The input has up to %d decimals in X, Y or Z; the output writes 6, rounded.\n"
        for data, zone, status, errors in [
            (grid, "0 3 0 4", 0, "12 points of 50 written to %s\n"),
            (grid, "0 10 0 5", 0, "50 points of 50 written to %s\n"),
            (grid, "0 0.5 0 0.3", 0, "1 point of 50 written to %s\n"),
            (grid, "20 30 0 5", 0, "None of the 50 points read lies in the zone: %s holds no point\n"),
            (b"1 2 3\n", "5 6 0 5", 0, "The one point read lies outside the zone: %s holds no point\n"),
            (eight, "0 5 0 50", 0, "2 points of 2 written to %s\n" + rounded % 8),
            (eight, "5 6 0 50", 0, "None of the 2 points read lies in the zone: %s holds no point\n"),
            (b"2.123456 48.123456 3.123456 0.12345678\n", "0 5 0 50", 0, "1 point of 1 written to %s\n"),
            (b"1.1234567 2 3\n4 5 6\nabc\n", "0 10 0 10", 4, "2 points of 2 written to %s\n" + rounded % 7),
        ]:
            with self.subTest(zone=zone, errors=errors):
                self.put("dem.xyz", data)
                run = self.run_tool("site1\ndem\nnorth\n%s 1\n" % zone)
                self.assertEqual((run.status, run.errors), (status, errors % "c:\\images\\site1\\north.xyz"))

    def test_two_answers_on_one_line(self):
        self.put("dem.xyz", b"1 2 3\n")
        run = self.run_tool("site1 dem\nnorth 0 10\n0 10 1\n")
        self.assertTrue(run.console.startswith(BANNER + FOLDER_PROMPT + IN_PROMPT + OUT_PROMPT + "\n\n"))
        self.assertEqual(run.file("north.xyz"), b"1.000000 2.000000 3.000000\r\n")

    def test_names_with_characters_windows_forbids_are_refused(self):
        # The same on both builds: each prompt refuses the name and asks again.
        self.put("dem.xyz", b"1 2 3\n")
        refusal = ('\tThat name holds a character that names cannot hold (< > : " | ? * or a control '
                   "character): please type another one.\n")
        answers = ("a:b\nx<y\nsite1\nn*rth\nd>m\ndem\ndem.xyz:s\na|b\na\"b\nwhy?\nctl\x01x\nu\x1fv\nno\x00rth\n"
                   "north\n0 10 0 10 1\n")
        run = self.run_tool(answers)
        self.assertEqual(run.status, 0, run.console)
        self.assertIn(FOLDER_PROMPT + (refusal + FOLDER_PROMPT) * 2 + IN_PROMPT + (refusal + IN_PROMPT) * 2
                      + OUT_PROMPT + (refusal + OUT_PROMPT) * 7 + "\n\n", run.console)
        self.assertEqual(run.file("north.xyz"), b"1.000000 2.000000 3.000000\r\n")
        self.assertEqual(sorted(os.listdir(self.site)), ["dem.xyz", "north.xyz", "north_xyz_info.txt"])

    def test_answers_saved_by_an_editor_with_a_byte_order_mark(self):
        # The mark is no part of the first answer, whether or not it stands
        # alone on its line.
        self.put("dem.xyz", b"1 2 3\n")
        for start in ("\ufeff", "\ufeff\n"):
            with self.subTest(start):
                run = self.run_tool(start + "site1\ndem\nnorth\n0 10 0 10 1\n")
                self.assertEqual(run.status, 0, run.console)
                self.assertEqual(run.file("north.xyz"), b"1.000000 2.000000 3.000000\r\n")
                self.assertIn(b"File_in : c:\\images\\site1\\dem.xyz ", run.file("north_xyz_info.txt"))

    def test_answers_in_utf16_or_with_lone_cr_line_ends(self):
        # UTF-16 as PowerShell writes it (FF FE), or big-endian (FE FF), is
        # read as its text; a lone CR ends a line, so a refused answer
        # discards only its own line. The folder's name holds U+041A, whose
        # little-endian bytes 1A 04 hold a Ctrl-Z byte.
        folder = "\u041a1"
        os.makedirs(os.path.join(self.root, "images", folder))
        self.put("dem.xyz", b"1 2 3\n", os.path.join(self.root, "images", folder))
        text = folder + "\r\ndem\r\nno*rth\r\nnorth\r\n0 10 0 10 1\r\n"
        lone_cr = (folder + "\rdem\rno*rth rest of the line\rnorth\r0 10 0 10 1\r").encode()
        for name, answers in [("UTF-16 LE", b"\xff\xfe" + text.encode("utf-16-le")),
                              ("UTF-16 BE", b"\xfe\xff" + text.encode("utf-16-be")),
                              ("UTF-16 LE, LF lines", b"\xff\xfe" + text.replace("\r", "").encode("utf-16-le")),
                              ("lone CR", lone_cr)]:
            with self.subTest(name):
                p = subprocess.run(command(), input=answers, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                   cwd=self.root, env=environment(), timeout=120, start_new_session=True)
                run = Run(p.returncode, p.stdout.decode("utf-8", "replace"), os.path.join(self.root, "images", folder))
                self.assertEqual(run.status, 0, run.console[-300:])
                # Standard error gets the path as UTF-8, as standard output does.
                self.assertEqual(p.stderr, ("1 point of 1 written to c:\\images\\%s\\north.xyz\n" % folder).encode())
                self.assertEqual(run.console.count("That name holds a character"), 1)
                self.assertEqual(run.file("north.xyz"), b"1.000000 2.000000 3.000000\r\n")
                self.assertIn(("File_out : c:\\images\\%s\\north.xyz " % folder).encode(),
                              run.file("north_xyz_info.txt"))
                self.sums.pop(os.path.join(run.folder, "north.xyz"), None)

    def test_folder_pasted_as_a_full_path(self):
        self.put("dem.xyz", b"1 2 3\n")
        told = "\tThat is a full path: folders are named under C:\\images, and only the folder's name is typed"
        cases = [
            ("C:\\images\\site1", told + " (here site1).\n"),
            ('"C:\\Images\\site1\\"', told + " (here site1).\n"),
            ("D:\\survey\\site1", told + ".\n"),
        ]
        for answer, refusal in cases:
            with self.subTest(answer):
                run = self.run_tool(answer + "\nsite1\ndem\nnorth\n0 10 0 10 1\n")
                self.assertEqual(run.status, 0, run.console[-300:])
                self.assertIn(FOLDER_PROMPT + refusal, run.console)
                self.assertEqual(run.console.count(FOLDER_PROMPT), 2)
                self.assertEqual(run.file("north.xyz"), b"1.000000 2.000000 3.000000\r\n")

    # --- data the tool must not take for points ---------------------------

    def test_header_line_is_skipped_in_both_passes(self):
        self.put("dem.xyz", b"X Y Z\r\n1 2 3\r\n4 5 6\r\n")
        run = self.run_tool("site1\ndem\nnorth\n0 10 0 10\n1\n")
        self.assertIn("\n\n\tLine 1 is not a point and is skipped as a header: X Y Z\n\n\n\tX_min = 1.000000 X_max = 4.000000",
                      run.console)
        self.assertEqual(run.file("north.xyz"), b"1.000000 2.000000 3.000000\r\n4.000000 5.000000 6.000000\r\n")
        self.assertIn(b"Number of records : 2 ", run.file("north_xyz_info.txt"))
        self.assertEqual(run.status, 0)

    def test_data_that_stops_early(self):
        cases = [
            (b"1 2 3\n4 5 6\n7 8 abc\n10 11 12\n",
             '\n\n\tThe data stop at line 3, record 3: "abc" is not a number; the records before it are used.'),
            (b"1 2 3\n4 5 6\n7 8",
             "\n\n\tThe data stop at line 3, record 3: the line holds 2 numbers where a point needs three; the records "
             "before it are used."),
            (b"1 2 3\n4 5 6\n1e999 8 9\n",
             '\n\n\tThe data stop at line 3, record 3: "1e999" is not a number; the records before it are used.'),
            (b"1 2 3\n4 5 6\n" + b"\x00\x01\xfe" * 1000,
             '\n\n\tThe data stop at line 3, record 3: "????????????????????????????????..." is not a number; '
             "the records before it are used."),
            (b"1 2 3\n4 5 6\n7 8 9 " + b"x" * (1 << 20) + b"\n10 11 12\n",
             "\n\n\tThe data stop at line 3, record 3: the line is longer than 1 MiB, far more than a point's line "
             "holds; the records before it are used."),
        ]
        for data, notice in cases:
            with self.subTest(notice):
                self.check_whole_run(data, (0.0, 10.0, 0.0, 10.0), 1.0, notice=notice, status=4,
                                     points=[(1.0, 2.0, 3.0), (4.0, 5.0, 6.0)])

    def test_long_lines_are_seen_whole_and_memory_stays_bounded(self):
        # A first data line and a header of 70 KB are seen whole (a header
        # repeated where tiles were joined is skipped); a 200 MB line stops
        # the reading with a message, within a quarter of the memory it
        # would take to hold it.
        wide = b"1,2,3," + b",".join([b"7"] * 35000) + b"\n"
        header = b"X Y Z " + b" ".join(b"c%d" % i for i in range(12000)) + b"\n"
        cases = [("a 70 KB first line", wide + wide.replace(b"1,2", b"4,5"), 0, "The lines hold 35003 columns",
                  b"1.000000 2.000000 3.000000 7 7 "),
                 ("a 70 KB header, repeated", header + b"1 2 3\n" + header + b"4 5 6\n", 0,
                  "1 line is a comment or repeats the header and is skipped: line 3.",
                  b"1.000000 2.000000 3.000000\r\n4.000000 5.000000 6.000000\r\n"),
                 ("a 200 MB first line", b"1 2 3 " + b"7 " * 100000000 + b"\n4 5 6\n", 4,
                  "The data stop at line 1, record 1: the line is longer than 1 MiB", None)]
        limit = [] if WINE_PREFIX or "ASAN_OPTIONS" in os.environ else ["prlimit", "--as=%d" % (256 << 20), "--"]
        for name, data, status, said, output in cases:
            with self.subTest(name):
                self.put("dem.xyz", data)
                self.put("north.xyz", b"earlier output")  # kept when nothing is read
                run = self.run_tool("site1\ndem\nnorth\n0 10 0 10 1\n", prefix=limit)
                self.assertEqual(run.status, status, run.console[-300:])
                self.assertIn(said, run.console)
                self.assertEqual(run.file("north.xyz")[:len(output or b"earlier output")], output or b"earlier output")
                self.sums.pop(os.path.join(self.site, "north.xyz"))

    def test_files_as_users_have_them(self):
        def stop(line, record, text, hint=""):
            return ('\n\n\tThe data stop at line %d, record %d: "%s" is not a number%s; the records before it are used.'
                    % (line, record, text, hint))

        def comma_stop(line, record, text):
            return stop(line, record, text, " (use a point for decimals)")

        def comma_file(line, record, text):  # a decimal comma after points: none is used
            return ('\n\n\tThe data stop at line %d, record %d: "%s" is not a number (use a point for decimals); the '
                    "records before it are not used." % (line, record, text)) + DECIMAL_COMMAS

        def short(line, record, numbers):
            return ("\n\n\tThe data stop at line %d, record %d: the line holds %d number%s where a point needs three; "
                    "the records before it are used." % (line, record, numbers, "" if numbers == 1 else "s"))

        def columns(n, separated=""):
            if n == 3:
                return "\n\n\tThe lines hold 3 columns%s: X, Y and Z." % separated
            return ("\n\n\tThe lines hold %d columns%s: X, Y and Z are the first three; the others are written after "
                    "them to the output." % (n, separated))

        def row_names(n, separated=""):
            return ("\n\n\tThe lines hold %d columns%s: the first holds row names, and X, Y and Z are the next three; "
                    "the row names and the other columns are written after them to the output." % (n, separated))

        def named(n, x, y, z, separated=""):
            return ("\n\n\tThe lines hold %d columns%s: X, Y and Z are columns %d, %d and %d, as the header names them; "
                    "the others are written after them to the output, in their order." % (n, separated, x, y, z))

        def short_columns(line, record, columns, needed):
            return ("\n\n\tThe data stop at line %d, record %d: the line holds %d column%s where X, Y and Z need %d; the "
                    "records before it are used." % (line, record, columns, "" if columns == 1 else "s", needed))

        def skipped(count, line):
            if count == 1:
                return "\n\n\t1 line is a comment or repeats the header and is skipped: line %d." % line
            return ("\n\n\t%d lines are comments or repeat the header and are skipped, the first at line %d."
                    % (count, line))

        def nodata(count, line):
            if count == 1:
                return "\n\n\t1 line has nan for X, Y or Z (no value) and is skipped: line %d." % line
            return ("\n\n\t%d lines have nan for X, Y or Z (no value) and are skipped, the first at line %d."
                    % (count, line))

        def count(line, value, read=None):
            text = "\n\n\tLine %d gives the number of points, %d, and is not read as a point" % (line, value)
            return text + ("; %d points were read." % read if read is not None else ".")

        def points(n):
            return [(3.0 * i + 1, 3.0 * i + 2, 3.0 * i + 3) for i in range(n)]

        P = points(3)
        commas, semicolons, bars = " separated by commas", " separated by semicolons", " separated by vertical bars"
        cases = [
            # name, data, points, header, data stop, notices of the reading, status
            ("byte-order mark", b"\xef\xbb\xbf1 2 3\n4 5 6\n7 8 9\n", P, None, "", "", 0),
            ("byte-order mark and header", b"\xef\xbb\xbfX Y Z\r\n1 2 3\r\n4 5 6\r\n7 8 9\r\n", P, (1, "X Y Z"), "",
             "", 0),
            ("word header", b"Easting Northing Height\n1 2 3\n4 5 6\n7 8 9", P, (1, "Easting Northing Height"), "", "", 0),
            ("too large a first number", b"1e999 2 3\n4 5 6\n", [], None, stop(1, 1, "1e999"), "", 4),
            ("decimal comma on the first line", b"12,5 3 4\n1 2 3\n", [], None, comma_stop(1, 1, ",5"), "", 4),
            ("decimal commas and semicolons", b"637012,24;849512,11;421,3\n", [], None,
             comma_stop(1, 1, ",24;849512,11;421,3"), "", 4),
            ("quoted from the failing character", b"1 2 3\n4 5- 6\n", P[:1], None, stop(2, 2, "-"), "", 4),
            # A number ends where its syntax ends, and the next may follow at once.
            ("fixed-width columns, a value filling its field",
             b"  636295.33  848905.10   -421.30\r\n  636296.33  848906.10-100000.13\r\n  636297.33  848907.10     12.50\r\n",
             [(636295.33, 848905.10, -421.30), (636296.33, 848906.10, -100000.13), (636297.33, 848907.10, 12.5)],
             None, "", "", 0),
            ("the first line's values touching", b"  636296.33  848906.10-100000.13\n-1.5-2.5-3.5\n",
             [(636296.33, 848906.10, -100000.13), (-1.5, -2.5, -3.5)], None, "", "", 0),
            ("touching values and columns", b"1-2-3 255 0\n4 5 6abc 7\n", [(1, -2, -3, "255 0"), (4, 5, 6, "abc 7")],
             None, "", columns(5), 0),
            ("a point ends a number", b"7.5.5.5\n1 2 3\n", [(7.5, 0.5, 0.5), (1, 2, 3)], None, "", "", 0),
            ("text right after a number", b"1 2 3\n1 2x 3\n", P[:1], None, stop(2, 2, "x"), "", 4),
            ("nan followed at once by a number", b"1 2 3\nnan-5 2 3\n", P[:1], None, stop(2, 2, "nan-5"), "", 4),
            ("a decimal comma touching Y", b"1 2 3\n4 5,5 6\n", [], None, comma_file(2, 2, ",5"), "", 4),
            ("decimal commas after a line of whole numbers", b"X;Y;Z\n1;2;3\n\"4,5\";6;7\n8;9,25;1\n", [], (1, "X;Y;Z"),
             comma_file(3, 2, ',5"'), "", 4),
            ("a decimal comma in Z, further on", b"1 2 3\n4 5 6\n636000 848000 400,5\n", [], None,
             comma_file(3, 3, ",5"), "", 4),
            ("a decimal comma in the free layout", b"1\n2\n3\n-4,5\n", [], None, comma_file(4, 2, ",5"), "", 4),
            ("a comma after a decimal point is no decimal comma", b"1 2 3\n4 5 6.5,2\n", P[:1], None, stop(2, 2, ",2"),
             "", 4),
            ("lone CR lines", b"1 2 3\r4 5 6\r7 8 9\r", P, None, "", "", 0),
            ("lone CR lines after a header", b"X Y Z\r1 2 3\r4 5 6\r7 8 9", P, (1, "X Y Z"), "", "", 0),
            ("lone CR lines counted in a stop", b"1 2 3\r4 5 6\r7 x 9\r", P[:2], None, stop(3, 3, "x"), "", 4),
            ("CR LF lines", b"1 2 3\r\n4 5 6\r\n7 8 9\r\n", P, None, "", "", 0),
            ("one number a line", b"1\n2\n3\n4\n5\n6\n", points(2), None, "", "", 0),
            ("two numbers a line", b"1 2\n3 4\n5 6\n", points(2), None, "", "", 0),
            ("three numbers a line", b"1 2 3\n4 5 6\n", points(2), None, "", "", 0),
            # One point a line, its extra columns written after X Y Z.
            ("four numbers a line", b"1 2 3 4\n5 6 7 8\n9 10 11 12\n", [(1, 2, 3, "4"), (5, 6, 7, "8"), (9, 10, 11, "12")],
             None, "", columns(4), 0),
            ("five numbers a line", b"1 2 3 4 5\n6 7 8 9 10\n11 12 13 14 15\n",
             [(1, 2, 3, "4 5"), (6, 7, 8, "9 10"), (11, 12, 13, "14 15")], None, "", columns(5), 0),
            ("six numbers a line", b"1 2 3 4 5 6\n7 8 9 10 11 12\n", [(1, 2, 3, "4 5 6"), (7, 8, 9, "10 11 12")], None,
             "", columns(6), 0),
            ("colours after tabs and blanks", b"636295.33 848905.1 421.3\t255  128 0\r\n636296.5 848906.25 422 0 0 0 \r\n",
             [(636295.33, 848905.1, 421.3, "255 128 0"), (636296.5, 848906.25, 422, "0 0 0")], None, "", columns(6), 0),
            ("seven numbers on line 2, then a short line", b"1 2 3\n4 5 6 7 8 9 10\n11 12\n",
             [(1, 2, 3), (4, 5, 6, "7 8 9 10")], None, short(3, 3, 2), "", 4),
            ("a line missing its Z", b"1 2 3\n4 5\n7 8 9\n", P[:1], None, short(2, 2, 2), "", 4),
            ("a word among X Y Z", b"1 2 3\n4 five 6\n7 8 9\n", P[:1], None, stop(2, 2, "five"), "", 4),
            # Comma and semicolon files.
            ("comma file with its header", b"X,Y,Z\n1,2,3\n4,5,6\n7,8,9\n", P, (1, "X,Y,Z"), "", columns(3, commas), 0),
            ("commas and blanks", b"x, y, z\r\n1, 2, 3\r\n4 ,5 , 6\r\n", points(2), (1, "x, y, z"), "", columns(3, commas),
             0),
            ("trailing separators", b"1,2,3,\n4,5,6,\n", points(2), None, "", columns(3, commas), 0),
            ("semicolons, quotes and a column more", b'"X";"Y";"Z";"I"\n"1";"2";"3";"17"\n4;5;6;18\n',
             [(1, 2, 3, '"17"'), (4, 5, 6, "18")], (1, '"X";"Y";"Z";"I"'), "", columns(4, semicolons), 0),
            ("vertical bars", b"x|y|z\n1|2|3\n4 | 5 | 6|\n7|8|9\n", P, (1, "x|y|z"), "", columns(3, bars), 0),
            ("a Fortran exponent", b"1.0D+00 2.0d0 0.3D1\n4.0D0 5 6\n7;8;9\n", points(2), None, stop(3, 3, ";8;9"), "",
             4),
            ("inf and an older runtime's nodata", b"1,2,3\ninf,5,6\n4,5,6\n-1.#IND00,-INF,1\n7,\"+Infinity\",9\n7,8,9\n",
             P, None, "", columns(3, commas) + nodata(3, 2), 0),
            ("inf touching a number stops", b"1 2 3\n4 5inf 6\n", P[:1], None, stop(2, 2, "inf"), "", 4),
            ("an empty column keeps its place", b"4,5,6,7,8\n1,2,3,,5\n", [(4, 5, 6, "7 8"), (1, 2, 3, '"" 5')], None, "",
             columns(5, commas), 0),
            # Lines that are not points.
            ("comments and a repeated header", b"# exported\n// by a program\nX Y Z\n1 2 3\n% note\n> segment\n4 5 6\n"
             b"X Y Z\n7 8 9\n", P, (3, "X Y Z"), "", skipped(5, 1), 0),
            ("files joined, each with its byte-order mark", b"\xef\xbb\xbfx,y,z\r\n1,2,3\r\n\xef\xbb\xbfx,y,z\r\n"
             b"4,5,6\r\n7,8,9\r\n", P, (1, "x,y,z"), "", columns(3, commas) + skipped(1, 3), 0),
            ("a comment in the free layout", b"1 2\n# c\n3 4\n5 6\n", points(2), None, "", skipped(1, 2), 0),
            ("nan rows of a grid", b"635600\t853400\tNaN\n635601 853400 nan\n1 2 3\n4 5 -nan\n7 8 9\n",
             [(1, 2, 3), (7, 8, 9)], None, "", nodata(3, 1), 0),
            ("numeric nodata stays a point", b"1 2 -9999\n4 5 6\n", [(1, 2, -9999), (4, 5, 6)], None, "", "", 0),
            ("a point count first", b"3\n1 2 3\n4 5 6\n7 8 9\n", P, None, "", count(1, 3), 0),
            ("a point count that differs", b"5\n1 2 3 4\n5 6 7 8\n", [(1, 2, 3, "4"), (5, 6, 7, "8")], None, "",
             count(1, 5, 2) + columns(4), 0),
            # Row names: never read as X.
            ("a data frame with its index", b",x,y,z,intensity\n0,1,2,3,9\n1,4,5,6,8\n", [(1, 2, 3, "0 9"), (4, 5, 6, "1 8")],
             (1, ",x,y,z,intensity"), "", row_names(5, commas), 0),
            ("row names, quoted and between blanks", b'"x" "y" "z"\n"1" 1 2 3\n"2" 4 5 6\n',
             [(1, 2, 3, '"1"'), (4, 5, 6, '"2"')], (1, '"x" "y" "z"'), "", row_names(4), 0),
            ("a header one name shorter than the lines", b'"x","y","z"\n"1",1,2,3\n"2",4,5,6\n',
             [(1, 2, 3, '"1"'), (4, 5, 6, '"2"')], (1, '"x","y","z"'), "", row_names(4, commas), 0),
            # Every line that holds a word before the first point is a header line.
            ("a dated title, names and units", b"2024-05-01 survey export\nX Y Z\nm m m\n1 2 3\n4 5 6\n7 8 9\n", P,
             (1, "2024-05-01 survey export", "2 more lines before the first point are not points and are skipped as "
              "headers, the first at line 2."), "", "", 0),
            ("a title of dashes", b"-- site 4 --\n1 2 3\n4 5 6\n7 8 9\n", P, (1, "-- site 4 --"), "", "", 0),
            ("a units line under a comma header", b"X,Y,Z\nm,m,m\n1,2,3\n4,5,6\n7,8,9\n", P,
             (1, "X,Y,Z", "1 more line before the first point is not a point and is skipped as a header: line 2."), "",
             columns(3, commas), 0),
            ("lines of words alone", b"-- site 4 --\nm m m\n", [], (1, "-- site 4 --"), stop(2, 1, "m"), "", 4),
            # X, Y and Z where the header's names put them.
            ("a GPS converter's columns", b'No,Latitude,Longitude,Name,Altitude\r\n1,46.5,6.625,"Gare",400.5\r\n'
             b'2,46.25,6.5,"Lac",372\r\n', [(6.625, 46.5, 400.5, '1 "Gare"'), (6.5, 46.25, 372, '2 "Lac"')],
             (1, "No,Latitude,Longitude,Name,Altitude"[:32] + "..."), "", named(5, 3, 2, 5, commas), 0),
            ("a survey file", b"Name,Easting,Northing,Elevation,Code\nP1,636000.5,848000.25,400,GRND\nP2,1,2,3,\n",
             [(636000.5, 848000.25, 400, "P1 GRND"), (1, 2, 3, "P2")], (1, "Name,Easting,Northing,Elevation,Code"[:32] + "..."), "",
             named(5, 2, 3, 4, commas), 0),
            ("names with units, between blanks", b'"Z [m]" "Y [m]" "X [m]"\n3 2 1\n6 5 4\n', points(2), (1, '"Z [m]" "Y [m]" "X [m]"'), "",
             named(3, 3, 2, 1), 0),
            ("a header naming latitude alone", b"Latitude,Depth\n46.5,3,4\n", [], (1, "Latitude,Depth"),
             "\n\n\tThe header names a column for Y but none for X (x, lon, long, longitude, east, easting, e or "
             "rechtswert), so the points cannot be read.", "", 4),
            ("a line without its X column", b"id,Z,Y,X\n1,3,2,1\n2,3\n", [(1, 2, 3, "1")], (1, "id,Z,Y,X"),
             short_columns(3, 2, 2, 4), named(4, 4, 3, 2, commas), 4),
        ]
        for name, data, pts, header, notice, reading, status in cases:
            with self.subTest(name):
                if status == 4 and not pts:
                    comma_file_stop = notice.endswith(DECIMAL_COMMAS)
                    self.check_nothing_published(data, notice[:-len(DECIMAL_COMMAS)] if comma_file_stop else notice,
                                                 header, DECIMAL_COMMAS if comma_file_stop else NOTHING_READ)
                    continue
                self.check_whole_run(data, (0.0, 1e7, 0.0, 1e7), 1.0, notice=notice, status=status, points=pts,
                                     header=header, reading=reading)

    def test_control_z_and_carriage_returns(self):
        # Text after the 0x1A is not read, and said; blanks and more 0x1A
        # bytes after it are nothing to say.
        said = ("\n\n\tThe data end at line 4 with a byte 0x1A (an end-of-file mark): what follows it is not "
                "read.")
        for tail, notice in [(b"\x1a junk", said), (b"\x1a\x1a \r\n", "")]:
            with self.subTest(tail):
                self.check_whole_run(b"1 2 3\r\n4 5 6\r\n7 8 9\r\n" + tail, (0.0, 10.0, 0.0, 10.0), 1.0,
                                     notice=notice)

    def test_files_that_are_not_text_are_refused(self):
        def refused(what):
            return "\n\tc:\\images\\site1\\dem.xyz %s\n" % what

        def zero(line):
            return refused("holds a 0 byte at line %d, before its first point: it is a binary file, not a text "
                           "point file: export its points as text first (UTF-16 text needs its byte-order mark)."
                           % line)

        las = b"LASF" + bytes(20) + b"\x01\x02" + bytes(300)
        cases = [
            ("gzip", b"\x1f\x8b\x08\x00" + bytes(40),
             refused("is a gzip-compressed file, not a text point file: decompress it first.")),
            ("zip", b"PK\x03\x04\x14\x00", refused("is a zip archive, not a text point file: extract the point "
                                                 "file from it first.")),
            ("bzip2", b"BZh91AY&SY", refused("is a bzip2-compressed file, not a text point file: decompress it "
                                             "first.")),
            ("xz", b"\xfd7zXZ\x00\x00", refused("is an xz-compressed file, not a text point file: decompress it "
                                               "first.")),
            ("zstd", b"\x28\xb5\x2f\xfd", refused("is a zstd-compressed file, not a text point file: decompress "
                                                  "it first.")),
            ("7z", b"7z\xbc\xaf\x27\x1c\x00\x04", refused("is a 7z archive, not a text point file: extract the "
                                                       "point file from it first.")),
            ("LAS", las, refused("is a LAS file of binary points, not a text point file: export its points as text "
                                 "first.")),
            ("all zeros", bytes(1000), zero(1)),
            ("UTF-16 without its mark", "X Y Z\r\n1 2 3\r\n".encode("utf-16-le"), zero(1)),
            ("a 0 byte before the first point", b"X Y Z\n\n\x00\x01 1 2 3\n", zero(3)),
            ("a 0 byte at 70 KB, in the header", b"X Y Z" + b" w" * 35000 + b"\x00\n1 2 3\n", zero(1)),
        ]
        for name, data, message in cases:
            with self.subTest(name):
                self.put("dem.xyz", data)
                self.put("north.xyz", b"earlier output")
                self.put("north_xyz_info.txt", b"earlier report")
                run = self.run_tool("site1\ndem\nnorth\n0 10 0 10 1\n")
                self.assertEqual(run.console, BANNER + FOLDER_PROMPT + IN_PROMPT + OUT_PROMPT + message + unchanged())
                self.assertEqual(run.status, 5)

    def test_no_point_read_publishes_nothing_but_an_empty_file_still_does(self):
        def stop(line, text, hint=""):
            return ('\n\n\tThe data stop at line %d, record 1: "%s" is not a number%s; the records before it are used.'
                    % (line, text, hint))

        for name, data, notice, header in [
            ("a sign alone", b"1 2 -\n4 5 6\n", stop(1, "-"), None),  # no word: no header line
            ("after a header", b"X Y Z\n1,5 2 3\n", stop(2, ",5", " (use a point for decimals)"), (1, "X Y Z")),
            ("cut short", b"1 2\n", "\n\n\tThe data stop at line 1: record 1 is cut short; the records before it "
                                   "are used.", None),
        ]:
            with self.subTest(name):
                self.check_nothing_published(data, notice, header)
        # An input without a point but without a stop is read whole: its
        # empty output is published.
        for name, data, header in [("empty", b"", None), ("a header alone", b"X Y Z\r\n", (1, "X Y Z"))]:
            with self.subTest(name):
                self.put("north.xyz", b"earlier output")
                self.sums.clear()
                run = self.check_whole_run(data, (0.0, 10.0, 0.0, 10.0), 1.0, header=header, points=[])
                self.assertEqual(run.file("north.xyz"), b"")

    def test_utf16_files_and_utf8_in_messages(self):
        text = "X Y H\u00f6he\r\n1 2 3\r\n4.5 5 6\r\n7 8 9\r\n"
        points = [(1.0, 2.0, 3.0), (4.5, 5.0, 6.0), (7.0, 8.0, 9.0)]
        for encoding in ("utf-16-le", "utf-16-be"):
            with self.subTest(encoding):
                self.check_whole_run(("\ufeff" + text).encode(encoding), (0.0, 10.0, 0.0, 10.0), 1.0, points=points,
                                     header=(1, "X Y " + "H\u00f6he".encode().decode("latin-1")))
        # A header or a stop is quoted as the UTF-8 it holds (the console
        # is read here as Latin-1, byte for byte).
        hoehe = "H\u00f6he".encode().decode("latin-1")
        for name, data, header, notice in [
            ("header", "H\u00f6he X Y\n1 2 3\n".encode(), (1, hoehe + " X Y"), ""),  # the names put Z first
            ("stop", "1 2 3\nH\u00f6he 5 6\n".encode("utf-16"), None,
             '\n\n\tThe data stop at line 2, record 2: "%s" is not a number; the records before it are used.'
             % hoehe),
        ]:
            with self.subTest(name):
                named = name == "header"
                reading = ("\n\n\tThe lines hold 3 columns: X, Y and Z are columns 2, 3 and 1, as the header names "
                           "them; the others are written after them to the output, in their order." if named else "")
                self.check_whole_run(data, (0.0, 10.0, 0.0, 10.0), 1.0, points=[(2.0, 3.0, 1.0) if named else
                                     (1.0, 2.0, 3.0)], header=header, notice=notice, status=4 if notice else 0,
                                     reading=reading)

    # --- answers that cannot be used ---------------------------------------

    def test_refused_answers_are_asked_again(self):
        self.put("dem.xyz", b"1 2 3\n")
        long_name = "n" * 64
        cases = [
            ("site1\n%s extra\ndem\nnorth\n0 10 0 10 1\n" % long_name, IN_PROMPT,
             "\tThat name is longer than 63 characters: please type a shorter one.\n" + IN_PROMPT),
            ("site1\ndem\nnorth\nabc def\n0 10 0 10 1\n", "\n\t\tX_min ? ",
             "\tThat answer is not a number: please type a decimal number.\n\n\t\tX_min ? \t\tX_max ? "),
            ("site1\ndem\nnorth\n0 1e400 0\n10 0 10 1\n", "\t\tX_max ? ",
             "\t1e400 is too large for a number: please type a smaller one.\n\t\tX_max ? "),
            ("site1\ndem\nnorth\n0 10 0 10\n0\n1e-300\n1e10\n1\n", PIXEL_PROMPT,
             "\tA pixel size of 0 makes no raster: please type another one.\n" + PIXEL_PROMPT
             + "\tThat pixel size makes more than 2147483647 lines or columns: please type a larger one.\n"
             + PIXEL_PROMPT
             + "\tThat pixel size is too large to count in meters: please type one between -2147483648 and "
             "2147483647.\n" + PIXEL_PROMPT
             + "\n\n\tFor a pixel size of 1 meters"),
        ]
        for answers, prompt, followed in cases:
            with self.subTest(answers[:20]):
                run = self.run_tool(answers)
                self.assertEqual(run.status, 0, run.console)
                if followed:
                    self.assertIn(prompt + followed, run.console)
                self.assertEqual(run.file("north.xyz"), b"1.000000 2.000000 3.000000\r\n")
                self.assertIn(b"\r\n\t\tX_max = 10.000000 ", run.file("north_xyz_info.txt"))

    def test_number_answers_are_whole_tokens(self):
        self.put("dem.xyz", b"0.5 2 3\n")
        not_a_number = "\tThat answer is not a number: please type a decimal number.\n"
        x_min, x_max = "\n\t\tX_min ? ", "\t\tX_max ? "
        cases = [
            # answers after the names, what the console shows, the zone's X_min in the report
            ("0,5 0 10 0 10 1\n0 10 0 10 1\n",
             x_min + "\t0,5 is not a number: use a point for decimals.\n" + x_min + x_max, "0.000000"),
            ("10abc\n.5 10 0 10 1\n", x_min + not_a_number + x_min + x_max, "0.500000"),
            ("1e999\n-1e-3 10 0 10 1\n",
             x_min + "\t1e999 is too large for a number: please type a smaller one.\n" + x_min + x_max, "-0.001000"),
            ("1e999x\n-1e-3 10 0 10 1\n", x_min + not_a_number + x_min + x_max, "-0.001000"),
            ("0 10 0 1,5e3\n10 1\n", "\t\tY_max ? \t1,5e3 is not a number: use a point for decimals.\n"
             "\t\tY_max ? " + PIXEL_PROMPT, "0.000000"),
            (".5 10\n0 10\n1\n", x_min + x_max + "\t\tY_min ? \t\tY_max ? " + PIXEL_PROMPT, "0.500000"),
            ("-1e20 1e20 0 10\n0 10 0 10\n1\n",
             "\t\tY_max ? \tThat zone is too wide for any pixel size to give counts of at most 2147483647: "
             "please type the zone again.\n" + x_min + x_max, "0.000000"),
        ]
        for answers, shown, x_min_value in cases:
            with self.subTest(answers):
                run = self.run_tool("site1\ndem\nnorth\n" + answers)
                self.assertEqual(run.status, 0, run.console[-300:])
                self.assertIn(shown, run.console)
                report = run.file("north_xyz_info.txt")
                self.assertIn(b"\r\n\t\tX_min = %s \r\n\t\tX_max = 10.000000 " % x_min_value.encode(), report)
                self.assertEqual(report.count(b"X_min = "), 1)
                self.assertEqual(run.file("north.xyz"), b"0.500000 2.000000 3.000000\r\n")

    def test_paths_longer_than_127_characters_are_refused(self):
        deep = "d" * 50
        os.makedirs(os.path.join(self.root, "images", deep))
        self.put("dem.xyz", b"1 2 3\n", os.path.join(self.root, "images", deep))
        refusal = "\tThat name makes a path longer than 127 characters: please type a shorter one.\n"
        # 10 + 50 + 1 + 63 + 13 = 137 characters for the report path.
        run = self.run_tool("%s\ndem\n%s\nnorth\n0 10 0 10 1\n" % (deep, "o" * 63))
        self.assertIn(OUT_PROMPT + refusal + OUT_PROMPT + "\n\n", run.console)
        self.assertEqual(run.status, 0)
        run = self.run_tool("%s\n%s\ndem\nnorth\n0 10 0 10 1\n" % ("f" * 63, "g" * 63))
        self.assertIn(IN_PROMPT + refusal + IN_PROMPT, run.console)

    def test_output_that_would_overwrite_the_input_is_refused(self):
        self.put("dem.xyz", b"1 2 3\n")
        os.symlink("dem.xyz", os.path.join(self.site, "link.xyz"))
        os.link(os.path.join(self.site, "dem.xyz"), os.path.join(self.site, "hard.xyz"))
        os.symlink("dem.xyz", os.path.join(self.site, "rep_xyz_info.txt"))
        refusal = "\tThat name would overwrite the input file: please type another one.\n" + OUT_PROMPT
        for name in ("dem", "link", "hard", "rep"):
            with self.subTest(name):
                run = self.run_tool("site1\ndem\n%s\nnorth\n0 10 0 10 1\n" % name)
                self.assertIn(OUT_PROMPT + refusal + "\n\n", run.console)
                self.assertEqual(run.status, 0)
                self.assertEqual(run.file("north.xyz"), b"1.000000 2.000000 3.000000\r\n")

    def test_standard_input_ending(self):
        self.put("dem.xyz", b"1 2 3\n")
        for answers in ("", "site1\n", "site1\ndem\n", "site1 dem north\n0 10", "site1 dem north 0 10 0 10\n"):
            with self.subTest(answers):
                for name in ("north.xyz", "north_xyz_info.txt"):
                    if os.path.exists(os.path.join(self.site, name)):
                        os.remove(os.path.join(self.site, name))
                run = self.run_tool(answers)
                self.assertEqual(run.status, 1)
                self.assertEqual(run.errors, "")
                # Once the temporary files exist, the run says it removed them.
                opened = "north" in answers
                self.assertTrue(run.console.endswith(INPUT_ENDED + (unchanged() if opened else "")),
                                run.console[-200:])
                self.assertFalse(run.exists("north.xyz"))
                self.assertFalse(run.exists("north_xyz_info.txt"))

    def test_command_line(self):
        self.put("dem.xyz", b"1 2 3\n")
        before = sorted(os.listdir(self.site))
        for argument, starts in [("--help", "Usage: tessera_sift\n"), ("-h", "Usage: tessera_sift\n"),
                                 ("/?", "Usage: tessera_sift\n"),
                                 ("--version", "tessera_sift 1.0.0\n")]:
            with self.subTest(argument):
                p = subprocess.run(command() + [argument], input=b"site1\ndem\nnorth\n0 10 0 10 1\n",
                                   stdout=subprocess.PIPE, cwd=self.root, env=environment(), timeout=120,
                                   start_new_session=True)
                text = p.stdout.decode().replace("\r\n", "\n")
                self.assertEqual(p.returncode, 0)
                self.assertTrue(text.startswith(starts), text[:100])
                self.assertEqual(sorted(os.listdir(self.site)), before)
        if not WINE_PREFIX:
            with open("/dev/full", "wb") as full:
                p = subprocess.run(command() + ["--help"], stdout=full, env=environment(), timeout=120)
            self.assertEqual(p.returncode, 3)
        # Any other argument is ignored: the dialogue runs as without one.
        p = subprocess.run(command() + ["--frobnicate", "x"], input=b"site1\ndem\nnorth\n0 10 0 10 1\n",
                           stdout=subprocess.PIPE, cwd=self.root, env=environment(), timeout=120,
                           start_new_session=True)
        self.assertEqual(p.returncode, 0)
        self.assertTrue(p.stdout.decode("latin-1").startswith(BANNER + FOLDER_PROMPT))
        self.assertEqual(Run(p.returncode, "", self.site).file("north.xyz"), b"1.000000 2.000000 3.000000\r\n")

    # --- files that cannot be used -----------------------------------------

    def test_missing_or_unusable_input_touches_nothing(self):
        self.put("north_xyz_info.txt", b"an earlier report")
        os.mkdir(os.path.join(self.site, "folder.xyz"))
        os.mkfifo(os.path.join(self.site, "fifo.xyz"))
        for name in ("dem", "dem.xyz", "folder", "fifo"):
            with self.subTest(name):
                run = self.run_tool("site1\n%s\nnorth\n" % name)
                self.assertEqual(run.console, BANNER + FOLDER_PROMPT + IN_PROMPT + OUT_PROMPT
                                 + "\n\tNo File c:\\images\\site1\\%s.xyz \n" % name)
                self.assertEqual(run.status, 8)
                self.assertFalse(run.exists("north.xyz"))
                self.assertEqual(run.file("north_xyz_info.txt"), b"an earlier report")

    def test_output_or_report_that_cannot_be_written(self):
        self.put("dem.xyz", b"1 2 3\n" * 1000)
        # The same words on both builds.
        is_folder = "Is a directory"
        cases = [
            ("folder", lambda: os.mkdir(os.path.join(self.site, "folder.xyz")),
             "\n\tCould not create c:\\images\\site1\\folder.xyz : %s\n" % is_folder, 2),
            ("rfolder", lambda: os.mkdir(os.path.join(self.site, "rfolder_xyz_info.txt")),
             "\n\tCould not create c:\\images\\site1\\rfolder_xyz_info.txt : %s\n" % is_folder, 2),
        ]
        for name, prepare, message, status in cases:
            with self.subTest(name):
                prepare()
                run = self.run_tool("site1\ndem\n%s\n0 10 0 10 1\n" % name)
                self.assertEqual(run.status, status)
                self.assertTrue(run.console.endswith(message + unchanged(name)), run.console[-300:])

    @posix_only
    def test_writing_past_a_file_size_limit(self):
        # A file-size limit (ulimit -f) makes a write fail with EFBIG: the
        # tool says so, as for a full device. 1000 points give a 28 kB
        # output; one point a 28-byte output but a 651-byte report.
        cases = [
            (b"1 2 3\n" * 1000, 8192, "north.xyz"),
            (b"1 2 3\n", 300, "north_xyz_info.txt"),
        ]
        for data, limit, failed in cases:
            with self.subTest(failed):
                self.put("dem.xyz", data)
                limit_size = lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
                p = subprocess.run(command(), input=b"site1\ndem\nnorth\n0 10 0 10 1\n", stdout=subprocess.PIPE,
                                   cwd=self.root, timeout=60, start_new_session=True, preexec_fn=limit_size)
                self.assertEqual(p.returncode, 3)
                self.assertTrue(p.stdout.decode().endswith(
                    "\n\tCould not write c:\\images\\site1\\%s : File too large\n" % failed + unchanged()),
                    p.stdout[-300:])
                self.assertEqual(sorted(os.listdir(self.site)), ["dem.xyz"])

    def test_input_changed_between_the_two_readings(self):
        data = b"".join(b"%d.5 %d.25 1\n" % (i, i) for i in range(200000))
        path = self.put("dem.xyz", data)
        del self.sums[path]  # this test changes the input itself
        p = subprocess.Popen(command(), stdin=subprocess.PIPE, stdout=subprocess.PIPE, cwd=self.root,
                             env=environment(), start_new_session=True)
        p.stdin.write(b"site1\ndem\nnorth\n")
        p.stdin.flush()
        seen = b""
        while b"X_min ? " not in seen:
            chunk = p.stdout.read1(4096)
            self.assertTrue(chunk, "the program ended before the zone prompts")
            seen += chunk
        with open(path, "r+b") as f:  # cut in place while the tool waits
            f.truncate(len(data) // 2)
        rest, _ = p.communicate(b"0 1e9 0 1e9 1\n", timeout=60)
        self.assertEqual(p.returncode, 5)
        self.assertTrue(rest.decode().endswith(
            "\n\tThe second reading of c:\\images\\site1\\dem.xyz did not match the first.\n" + unchanged()),
            rest[-200:])
        self.assertEqual(sorted(os.listdir(self.site)), ["dem.xyz"])


@unittest.skipIf(WINE_PREFIX, "the pseudo-terminal key wait is the POSIX build's")
class KeyWait(unittest.TestCase):
    """The key wait, under a pseudo-terminal: stdin is a pipe, the key comes
    from the terminal."""

    def setUp(self):
        self.master = self.tmp = None

    def end_session(self):
        """Closes the terminal of the last start and removes its folder."""
        if self.master is not None:
            os.close(self.master)
        if self.tmp is not None:
            self.tmp.cleanup()
        self.master = self.tmp = None

    def start(self, output_fd=None):
        """Starts the tool on a pseudo-terminal; its standard output is the
        terminal, or `output_fd` if given."""
        self.end_session()
        self.tmp = tempfile.TemporaryDirectory()
        os.makedirs(os.path.join(self.tmp.name, "images", "site1"))
        read_end, write_end = os.pipe()
        os.write(write_end, b"site1\nmissing\nnorth\nleft over\n")
        os.close(write_end)
        pid, master = pty.fork()
        if pid == 0:
            resource.setrlimit(resource.RLIMIT_CORE, (0, 0))  # the faults below leave no core file
            os.chdir(self.tmp.name)
            os.dup2(read_end, 0)
            if output_fd is not None:
                os.dup2(output_fd, 1)
            os.execv(PROGRAM, [PROGRAM])
        os.close(read_end)
        self.pid, self.master = pid, master
        self.output = self.read_until(b"No File")
        return pid, master

    def read_until(self, marker, seconds=10):
        data = b""
        deadline = time.time() + seconds
        while marker not in data and time.time() < deadline:
            ready, _, _ = select.select([self.master], [], [], 0.1)
            if ready:
                try:
                    data += os.read(self.master, 4096)
                except OSError:
                    break
        return data

    def still_waiting(self, seconds=0.5):
        time.sleep(seconds)
        pid, _ = os.waitpid(self.pid, os.WNOHANG)
        return pid == 0

    def finish(self):
        deadline = time.time() + 10
        while time.time() < deadline:
            pid, status = os.waitpid(self.pid, os.WNOHANG)
            if pid:
                return status
            try:
                select.select([self.master], [], [], 0.05)
                os.read(self.master, 4096)
            except OSError:
                time.sleep(0.05)
        os.kill(self.pid, signal.SIGKILL)
        self.fail("the key wait did not end")

    def tearDown(self):
        self.end_session()

    def modes(self):
        lflag = termios.tcgetattr(self.master)[3]
        return bool(lflag & termios.ECHO), bool(lflag & termios.ICANON)

    def test_a_key_from_the_terminal_ends_the_wait(self):
        for key in (b"x", b"\x03", b"\x1b[A"):  # a letter, Ctrl-C, an arrow key
            with self.subTest(key):
                self.start()
                self.assertIn(b"No File c:\\images\\site1\\missing.xyz", self.output)
                self.assertTrue(self.still_waiting(), "the leftover answer text satisfied the wait")
                self.assertEqual(self.modes(), (False, False))
                os.write(self.master, key)
                status = self.finish()
                self.assertTrue(os.WIFEXITED(status))
                self.assertEqual(os.WEXITSTATUS(status), 8)
                self.assertEqual(self.modes(), (True, True))

    def test_signals_during_the_wait_restore_the_terminal(self):
        for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGQUIT, signal.SIGUSR1,
                    signal.SIGSEGV, signal.SIGBUS, signal.SIGABRT):
            with self.subTest(sig):
                self.start()
                self.assertTrue(self.still_waiting())
                os.kill(self.pid, sig)
                status = self.finish()
                if sig in (signal.SIGSEGV, signal.SIGBUS) and os.WIFEXITED(status):
                    # A sanitizer's own handler takes the fault, reports it
                    # and exits.
                    self.assertNotEqual(os.WEXITSTATUS(status), 0)
                else:
                    self.assertEqual((os.WIFSIGNALED(status), os.WTERMSIG(status)), (True, sig))
                self.assertEqual(self.modes(), (True, True))

    def test_the_wait_goes_on_in_raw_mode_after_a_stop(self):
        # SIGSTOP cannot be caught: while stopped, the terminal is set back
        # to line mode as a shell does; SIGCONT puts the wait back in raw
        # mode. SIGTSTP is caught (the terminal restored, then the stop;
        # here the process group is orphaned, so the stop itself is
        # dropped) and the wait goes on in raw mode too.
        self.start()
        os.kill(self.pid, signal.SIGSTOP)
        os.waitpid(self.pid, os.WUNTRACED)
        attributes = termios.tcgetattr(self.master)
        attributes[3] |= termios.ECHO | termios.ICANON
        termios.tcsetattr(self.master, termios.TCSANOW, attributes)
        os.kill(self.pid, signal.SIGCONT)
        self.assertTrue(self.still_waiting())
        self.assertEqual(self.modes(), (False, False))
        os.kill(self.pid, signal.SIGTSTP)
        self.assertTrue(self.still_waiting())
        self.assertEqual(self.modes(), (False, False))
        os.write(self.master, b"x")
        status = self.finish()
        self.assertEqual(os.WEXITSTATUS(status), 8)
        self.assertEqual(self.modes(), (True, True))

    def start_job(self, background=False):
        """Starts the tool as a shell starts a job, in a process group that
        is not orphaned: a session leader holds the terminal and puts the
        tool in a group of its own, in the foreground, or in the background
        (&, as GNU parallel runs its jobs), where a stop is a hang: the
        leader then kills the tool and ends with status 97."""
        self.tmp = tempfile.TemporaryDirectory()
        os.makedirs(os.path.join(self.tmp.name, "images", "site1"))
        self.master, slave = pty.openpty()
        answers, answers_w = os.pipe()
        os.write(answers_w, b"site1\nmissing\nnorth\n")
        os.close(answers_w)
        told, tell = os.pipe()
        leader = os.fork()
        if leader == 0:
            try:
                os.setsid()
                terminal = os.open(os.ttyname(slave), os.O_RDWR)
                tool = os.fork()
                if tool == 0:
                    os.setpgid(0, 0)
                    if not background:
                        # In the foreground before the tool starts, which
                        # waits for a key only there.
                        signal.signal(signal.SIGTTOU, signal.SIG_IGN)
                        os.tcsetpgrp(terminal, os.getpid())
                        signal.signal(signal.SIGTTOU, signal.SIG_DFL)
                    os.chdir(self.tmp.name)
                    os.dup2(answers, 0)
                    os.dup2(slave, 1)
                    os.execv(PROGRAM, [PROGRAM])
                try:
                    os.setpgid(tool, tool)
                except PermissionError:
                    pass  # the tool set its group itself and has gone on to exec
                signal.signal(signal.SIGTTOU, signal.SIG_IGN)
                os.write(tell, b"%d" % tool)
                while True:
                    _, status = os.waitpid(tool, os.WUNTRACED)
                    if os.WIFSTOPPED(status) and background:
                        os.kill(tool, signal.SIGKILL)
                        os.waitpid(tool, 0)
                        os._exit(97)
                    if os.WIFEXITED(status) or os.WIFSIGNALED(status):
                        os._exit(os.WEXITSTATUS(status) if os.WIFEXITED(status) else 99)
            finally:
                os._exit(98)
        os.close(slave)
        os.close(answers)
        os.close(tell)  # a leader that fails before telling gives an end, not a wait
        told_pid = os.read(told, 20)
        os.close(told)
        self.assertTrue(told_pid, "the session leader failed before starting the tool")
        self.pid = int(told_pid)  # the tool itself
        self.leader = leader
        self.addCleanup(lambda: self.leader and os.waitpid(self.leader, 0))
        self.read_until(b"No File")
        time.sleep(0.3)

    def state(self):
        """The tool's state letter (S waiting, T stopped, Z ended), or Z
        once it is gone."""
        try:
            with open("/proc/%d/stat" % self.pid) as f:
                return f.read().rsplit(")", 1)[1].split()[0]
        except (OSError, IndexError):
            # Gone between the open and the read (ESRCH), or an empty read.
            return "Z"

    def key_ends_the_wait(self):
        os.write(self.master, b"x")
        deadline = time.time() + 10
        while self.state() != "Z" and time.time() < deadline:
            time.sleep(0.05)
        self.assertEqual(self.modes(), (True, True))

    def test_sigtstp_stops_with_the_terminal_restored(self):
        self.start_job()
        self.assertEqual(self.modes(), (False, False))
        os.kill(self.pid, signal.SIGTSTP)
        time.sleep(0.3)
        self.assertEqual((self.state(), self.modes()), ("T", (True, True)))
        os.kill(self.pid, signal.SIGCONT)
        time.sleep(0.3)
        self.assertEqual(self.modes(), (False, False))
        self.key_ends_the_wait()

    def test_a_background_job_ends_at_once_without_touching_the_terminal(self):
        # Reading the terminal from the background would stop the job and
        # hang the batch that waits for it: the tool ends by itself with the
        # status of a missing input, the terminal's modes as they were.
        self.start_job(background=True)
        deadline = time.time() + 10
        ended, status = os.waitpid(self.leader, os.WNOHANG)
        while not ended and time.time() < deadline:
            time.sleep(0.05)
            ended, status = os.waitpid(self.leader, os.WNOHANG)
        if not ended:
            os.kill(self.pid, signal.SIGKILL)
        self.assertTrue(ended, "the background job did not end")
        self.leader = 0
        self.assertEqual(os.WEXITSTATUS(status), 8, "97: the job was stopped")
        self.assertEqual(self.modes(), (True, True))

    def test_the_reason_is_shown_at_the_terminal(self):
        # Standard output redirected away from the terminal: the No File
        # line is shown at the terminal too, once; on the terminal, once.
        no_file = b"\n\tNo File c:\\images\\site1\\missing.xyz \n".replace(b"\n", b"\r\n")
        for redirected in (True, False):
            with self.subTest(redirected=redirected):
                log = tempfile.TemporaryFile()
                self.addCleanup(log.close)
                self.start(log.fileno() if redirected else None)
                seen = self.output + self.read_until(b"never", seconds=0.5)
                self.assertEqual(seen.count(no_file), 1, seen)
                os.write(self.master, b"x")
                self.assertEqual(os.WEXITSTATUS(self.finish()), 8)
                log.seek(0)
                self.assertEqual(log.read().count(b"No File"), 1 if redirected else 0)


class EarlierFilesCase(ToolCase):
    """Helpers for runs over an earlier output and report, and for runs
    stopped at a prompt."""

    EARLIER_OUTPUT = b"1.000000 2.000000 3.000000\r\n"
    EARLIER_REPORT = b"\r\n\tTESSERA_SIFT an earlier report "

    def earlier(self):
        self.put("north.xyz", self.EARLIER_OUTPUT)
        self.put("north_xyz_info.txt", self.EARLIER_REPORT)

    def start(self, names=b"site1\ndem\nnorth\n", until=b"X_min ? ", prefix=(), stderr=None):
        """Starts the tool (after the command `prefix`, if any), answers the
        names and reads up to a prompt."""
        p = subprocess.Popen(list(prefix) + command(), stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                             stderr=stderr, cwd=self.root, env=environment(), start_new_session=True)
        self.addCleanup(lambda: p.poll() is None and p.kill())
        p.stdin.write(names)
        p.stdin.flush()
        seen = b""
        while until not in seen:
            chunk = p.stdout.read1(4096)
            self.assertTrue(chunk, "the program ended before %r: %r" % (until, seen[-300:]))
            seen += chunk
        return p, seen

    def temporary(self, pid, name="north.xyz", folder=None):
        """The path of the temporary file a run of process `pid` writes for
        `name` (.north.xyz.tessera-<pid>-<tag>.tmp), or None."""
        found = glob.glob(os.path.join(glob.escape(folder or self.site), ".%s.tessera-%d-*.tmp" % (name, pid)))
        return found[0] if len(found) == 1 else None


class EarlierFilesKept(EarlierFilesCase):
    """A run that does not complete leaves the earlier output and report
    byte for byte as they were, and no temporary file; a run that completes
    replaces them by rename. tearDown checks the files put() registered and
    that no temporary or lock file is left."""

    def test_end_of_input_at_a_zone_prompt(self):
        self.earlier()
        self.put("dem.xyz", b"1 2 3\n4 5 6\n")
        for answers in ("site1\ndem\nnorth\n", "site1\ndem\nnorth\n0 10 0", "site1 dem north 0 10 0 10\n"):
            with self.subTest(answers):
                run = self.run_tool(answers)
                self.assertEqual(run.status, 1)
                self.assertEqual(run.errors, "")
                self.assertTrue(run.console.endswith(INPUT_ENDED + unchanged()), run.console[-300:])

    @posix_only
    def test_signals_at_a_prompt(self):
        self.earlier()
        self.put("dem.xyz", b"1 2 3\n4 5 6\n")
        for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGQUIT, signal.SIGPIPE):
            with self.subTest(sig.name):
                p, _ = self.start()
                if sig == signal.SIGPIPE:
                    # The reader goes away, as `| grep -m1 X_min` does: the
                    # next prompt breaks the pipe.
                    p.stdout.close()
                    p.stdin.write(b"0 10 0 10 1\n")
                    p.stdin.close()
                    p.wait(timeout=60)
                    rest = b""
                else:
                    p.send_signal(sig)
                    rest, _ = p.communicate(timeout=60)
                self.assertEqual(p.returncode, -sig)
                if sig != signal.SIGPIPE:
                    self.assertEqual(rest.decode(), unchanged())

    @posix_only
    def test_after_sigkill_only_hidden_leftovers_which_the_next_run_removes(self):
        self.earlier()
        self.put("dem.xyz", b"1 2 3\n")
        p, _ = self.start()
        p.kill()
        p.wait(timeout=60)
        leftovers = sorted(n for n in os.listdir(self.site) if n.startswith("."))
        self.assertEqual(leftovers, sorted([".north.xyz.tessera-lock"] + [
            os.path.basename(self.temporary(p.pid, name)) for name in ("north.xyz", "north_xyz_info.txt")]))
        # As an earlier version named them.
        for name in (".north.xyz.tessera-4242.tmp", ".north_xyz_info.txt.tessera-4242-1.tmp"):
            with open(os.path.join(self.site, name), "wb") as f:
                f.write(b"1.0")
        # Names like theirs that this program does not make are not touched.
        others = [".north.xyz.tessera-12.tmp.keep", ".north.xyz.tessera-x.tmp", ".northern.xyz.tessera-7.tmp"]
        for name in others:
            self.put(name, b"the user's")
        # The lock file left behind does not hold the next run back, and the
        # next run removes the temporary files the killed runs left.
        del self.sums[os.path.join(self.site, "north.xyz")]
        del self.sums[os.path.join(self.site, "north_xyz_info.txt")]
        run = self.run_tool("site1\ndem\nnorth\n0 10 0 10 1\n")
        self.assertEqual(run.status, 0)
        self.assertEqual(run.file("north.xyz"), b"1.000000 2.000000 3.000000\r\n")
        self.assertEqual(run.console.count("Removed"), 1)
        self.assertIn(OUT_PROMPT + "\n\tRemoved 4 temporary files left by killed runs writing "
                      "c:\\images\\site1\\north.xyz.\n\n\n", run.console)
        self.assertEqual(sorted(n for n in os.listdir(self.site) if n.startswith(".")), sorted(others))
        for name in others:
            os.remove(os.path.join(self.site, name))
            del self.sums[os.path.join(self.site, name)]

    @posix_only
    def test_sigterm_during_the_extraction(self):
        self.earlier()
        # 2,500,000 points, a 75 MB output: long enough to be caught halfway.
        line = b"".join(b"%d.5 %d.25 1\n" % (i, i) for i in range(1000))
        self.put("dem.xyz", line * 2500)
        p, _ = self.start(b"site1\ndem\nnorth\n0 1e9 0 1e9 1\n", b"will have")
        temp = self.temporary(p.pid)
        deadline = time.time() + 60
        while time.time() < deadline and p.poll() is None:
            if os.path.getsize(temp) > 0:
                break
            time.sleep(0.001)
        caught = os.path.getsize(temp)
        p.send_signal(signal.SIGTERM)
        rest, _ = p.communicate(timeout=60)
        self.assertEqual(p.returncode, -signal.SIGTERM)
        self.assertGreater(caught, 0)
        self.assertTrue(rest.decode().endswith(unchanged()), rest[-300:])

    def test_full_or_read_only_device(self):
        """A real device: a 64 kB tmpfs, full, or remounted read-only (the
        folder cannot be written: said at the opening, before any pass), in
        the same words on both builds. Mounting needs root; elsewhere the
        test is skipped."""
        full = os.path.join(self.root, "images", "full")
        os.mkdir(full)
        cases = [
            ("size=64k", 3, "\n\tCould not write c:\\images\\full\\north.xyz : No space left on device\n",
             "\n\tc:\\images\\full\\north.xyz is unchanged.\n"
             "\n\tc:\\images\\full\\north_xyz_info.txt is unchanged.\n"),
            ("remount,ro", 2, "", BANNER + FOLDER_PROMPT + IN_PROMPT + OUT_PROMPT
             + "\n\tCould not create c:\\images\\full\\north.xyz : Read-only file system\n"
             "\n\tc:\\images\\full\\north.xyz is unchanged.\n"
             "\n\tc:\\images\\full\\north_xyz_info.txt is unchanged.\n"),
        ]
        if WINE_PREFIX:
            # Wine turns a read-only mount into "access denied"; Windows
            # itself reports a write-protected volume as such.
            del cases[1]
        for options, status, message, ending in cases:
            with self.subTest(options):
                if os.geteuid() != 0 or subprocess.run(
                        ["mount", "-t", "tmpfs", "-o", "size=64k", "tessera-test", full],
                        stderr=subprocess.DEVNULL).returncode != 0:
                    self.skipTest("no tmpfs can be mounted here")
                try:
                    self.put("dem.xyz", b"1 2 3\n" * 3000, full)  # 18 kB in, 84 kB out
                    self.put("north.xyz", self.EARLIER_OUTPUT, full)
                    self.put("north_xyz_info.txt", self.EARLIER_REPORT, full)
                    if options != "size=64k":
                        subprocess.run(["mount", "-o", options, full], check=True)
                    run = self.run_tool("full\ndem\nnorth\n0 10 0 10 1\n")
                    self.assertEqual(run.status, status)
                    self.assertIn(message, run.console)
                    self.assertTrue(run.console.endswith(ending), run.console[-300:])
                    self.assertEqual(sorted(os.listdir(full)), ["dem.xyz", "north.xyz", "north_xyz_info.txt"])
                    self.check_nothing_left()
                finally:
                    subprocess.run(["umount", full])
                    self.sums.clear()

    def test_something_else_at_a_final_name(self):
        # A folder or a FIFO where a file must go is reported at the
        # opening, before any pass; the other earlier file is kept.
        cases = [("north_xyz_info.txt", os.mkdir, "Is a directory")]
        if not WINE_PREFIX:
            cases.append(("north.xyz", os.mkfifo, "not a regular file"))
        self.put("dem.xyz", b"1 2 3\n")
        for blocked, make, reason in cases:
            with self.subTest(blocked):
                kept = "north.xyz" if blocked != "north.xyz" else "north_xyz_info.txt"
                self.put(kept, b"earlier")
                make(os.path.join(self.site, blocked))
                run = self.run_tool("site1\ndem\nnorth\n0 10 0 10 1\n", timeout=30)  # a FIFO must not hang it
                self.assertEqual(run.status, 2)
                self.assertEqual(run.console, BANNER + FOLDER_PROMPT + IN_PROMPT + OUT_PROMPT
                                 + "\n\tCould not create c:\\images\\site1\\%s : %s\n" % (blocked, reason)
                                 + unchanged())
                self.assertEqual(run.file(kept), b"earlier")
                os.remove(os.path.join(self.site, kept)) if blocked != "north.xyz" else None
                (os.rmdir if make == os.mkdir else os.remove)(os.path.join(self.site, blocked))
                self.sums.pop(os.path.join(self.site, kept))

    def test_something_else_at_the_lock_path(self):
        self.earlier()
        self.put("dem.xyz", b"1 2 3\n")
        os.mkdir(os.path.join(self.site, ".north.xyz.tessera-lock"))
        run = self.run_tool("site1\ndem\nnorth\n0 10 0 10 1\n")
        self.assertEqual(run.status, 2)
        self.assertIn("\n\tCould not create the lock file of c:\\images\\site1\\north.xyz : ", run.console)
        self.assertTrue(run.console.endswith(unchanged()), run.console[-300:])
        os.rmdir(os.path.join(self.site, ".north.xyz.tessera-lock"))

    @posix_only
    def test_symbolic_link_at_the_report_path(self):
        # The rename replaces the link; the file it pointed to is untouched.
        target = self.put("elsewhere.txt", b"not the tool's to write", self.root)
        os.symlink(target, os.path.join(self.site, "north_xyz_info.txt"))
        run = self.check_whole_run(b"1 2 3\n", (0.0, 10.0, 0.0, 10.0), 1.0)
        self.assertFalse(os.path.islink(os.path.join(self.site, "north_xyz_info.txt")))
        self.assertTrue(run.file("north_xyz_info.txt").endswith(CREDIT.replace("\n", "\r\n").encode()))

    def test_a_second_run_on_the_same_output_is_refused(self):
        self.put("dem.xyz", b"1 2 3\n")
        folders = ["site1"]
        if not WINE_PREFIX:
            os.symlink("site1", os.path.join(self.root, "images", "alias"))
            folders.append("alias")
        for folder in folders:
            with self.subTest(folder):
                self.earlier()
                first, _ = self.start()
                second = self.run_tool("%s\ndem\nnorth\n0 10 0 10 1\n" % folder)
                self.assertEqual(second.status, 7)
                self.assertEqual(second.console, BANNER + FOLDER_PROMPT + IN_PROMPT + OUT_PROMPT
                                 + "\n\tc:\\images\\%s\\north.xyz is in use by another run: "
                                 "nothing was changed.\n" % folder)
                self.assertEqual(run_file(self.site, "north.xyz"), self.EARLIER_OUTPUT)
                self.assertEqual(run_file(self.site, "north_xyz_info.txt"), self.EARLIER_REPORT)
                # The first run goes on and publishes its files.
                first.communicate(b"0 10 0 10 1\n", timeout=60)
                self.assertEqual(first.returncode, 0)
                self.assertEqual(run_file(self.site, "north.xyz"), b"1.000000 2.000000 3.000000\r\n")
                self.assertTrue(run_file(self.site, "north_xyz_info.txt").startswith(b"\r\n\tTESSERA_SIFT \r\n"))
                del self.sums[os.path.join(self.site, "north.xyz")]
                del self.sums[os.path.join(self.site, "north_xyz_info.txt")]

    @windows_only
    def test_an_output_typed_by_its_short_name(self):
        # NORT~V2O (Wine's short name of northern_area.xyz) is the same
        # output as northern_area: one report, one lock.
        self.put("dem.xyz", b"1 2 3\n")
        self.put("northern_area.xyz", self.EARLIER_OUTPUT)
        self.put("northern_area_xyz_info.txt", self.EARLIER_REPORT)
        short = helper("short", "c:\\images\\site1\\northern_area.xyz").communicate(timeout=60)[0]
        short = short.decode().strip().rsplit("\\", 1)[1][:-len(".XYZ")]
        self.assertNotEqual(short.lower(), "northern_area")
        first, _ = self.start(b"site1\ndem\nnorthern_area\n")
        second = self.run_tool("site1\ndem\n%s\n0 10 0 10 1\n" % short)
        self.assertEqual(second.status, 7, second.console[-300:])
        self.assertIn("c:\\images\\site1\\northern_area.xyz is in use by another run", second.console)
        first.communicate(b"0 10 0 10 1\n", timeout=60)
        self.sums.clear()
        run = self.run_tool("site1\ndem\n%s\n0 10 0 10 1\n" % short)
        self.assertEqual(run.status, 0, run.console[-300:])
        self.assertEqual(sorted(os.listdir(self.site)), ["dem.xyz", "northern_area.xyz", "northern_area_xyz_info.txt"])
        self.assertIn(b"File_out : c:\\images\\site1\\northern_area.xyz ", run.file("northern_area_xyz_info.txt"))

    @windows_only
    def test_a_file_held_open_by_another_program(self):
        # Held without sharing its deletion (as a viewer or an editor may):
        # found at the opening (status 2), or at the end when it was opened
        # during the run (status 3); the earlier files stay as they were.
        self.put("dem.xyz", b"1 2 3\n")
        cases = [("north.xyz", "opening"), ("north_xyz_info.txt", "opening"), ("north.xyz", "during the run")]
        for held, when in cases:
            with self.subTest(held=held, when=when):
                self.earlier()
                if when == "opening":
                    holder = helper("hold", "c:\\images\\site1\\" + held, stdin=subprocess.PIPE)
                    self.assertEqual(holder.stdout.readline().strip(), b"held")
                    run = self.run_tool("site1\ndem\nnorth\n0 10 0 10 1\n")
                    status, console, expected = run.status, run.console, 2
                    message = "\n\tCould not create c:\\images\\site1\\%s : in use by another program\n" % held
                else:
                    p, _ = self.start()
                    holder = helper("hold", "c:\\images\\site1\\" + held, stdin=subprocess.PIPE)
                    self.assertEqual(holder.stdout.readline().strip(), b"held")
                    rest, _ = p.communicate(b"0 10 0 10 1\n", timeout=60)
                    status, console, expected = p.returncode, rest.decode(), 3
                    message = "\n\tCould not write c:\\images\\site1\\%s : in use by another program\n" % held
                holder.communicate(b"\n", timeout=60)
                self.assertEqual(status, expected, console[-300:])
                self.assertTrue(console.endswith(message + unchanged()), console[-300:])

    def assert_changes_caught(self, data, changes, answers):
        """Each change made to the input while the tool waits at the zone
        prompt ends the run with status 5, having published nothing."""
        if not WINE_PREFIX:  # the change time of Wine's files is not the host's
            changes.append(edit_and_put_the_time_back)
        for change in changes:
            with self.subTest(change.__name__):
                self.earlier()
                path = self.put("dem.xyz", data)
                del self.sums[path]  # this test changes the input itself
                p, _ = self.start()
                time.sleep(0.05)  # a modification time apart from the file's own
                change(path)
                rest, _ = p.communicate(answers, timeout=60)
                self.assertEqual(p.returncode, 5)
                self.assertTrue(rest.decode().endswith(
                    "\n\tThe second reading of c:\\images\\site1\\dem.xyz did not match the first.\n"
                    + unchanged()), rest[-300:])

    def test_input_changed_between_the_passes(self):
        # Changes the record count, end and offset cannot see.
        data = b"".join(b"%d.5 %d.25 1\n" % (i % 10, i % 10) for i in range(200000))

        def replace_by_a_copy(path):
            shutil.copy(path, path + ".new")
            os.replace(path + ".new", path)

        self.assert_changes_caught(data, [edit_in_place, replace_by_a_copy], b"0 1e9 0 1e9 1\n")

    def test_input_changed_where_the_extraction_steps_over(self):
        # The extraction does not read the stretches outside the zone: the
        # input's identity, size and times compared after it catch a change
        # there, as they do anywhere.
        data = b"".join(b"%d.5 %d.25 1\n" % (i % 1000, i // 1000) for i in range(200000))

        def cut(path):
            with open(path, "r+b") as f:  # the places the extraction resumes at are gone
                f.truncate(len(data) // 3)

        self.assert_changes_caught(data, [edit_in_place, cut], b"0 1e9 150 151 1\n")

    @posix_only
    def test_a_folder_that_takes_the_report_path_during_the_run(self):
        # The publish must neither move the folder nor report success: the
        # output is published, the report is not, and the tool says both.
        self.earlier()
        self.put("dem.xyz", b"1 2 3\n")
        p, _ = self.start(stderr=subprocess.PIPE)
        os.remove(os.path.join(self.site, "north_xyz_info.txt"))
        del self.sums[os.path.join(self.site, "north_xyz_info.txt")]
        os.mkdir(os.path.join(self.site, "north_xyz_info.txt"))
        self.put("kept", b"the user's", os.path.join(self.site, "north_xyz_info.txt"))
        rest, errors = p.communicate(b"0 10 0 10 1\n", timeout=60)
        self.assertEqual(p.returncode, 3)
        self.assertEqual(errors, b"")  # a publish that fails says nothing there
        self.assertTrue(rest.decode().endswith(
            "\n\tCould not write c:\\images\\site1\\north_xyz_info.txt : Is a directory\n"
            "\n\tc:\\images\\site1\\north_xyz_info.txt is unchanged.\n"
            "\n\tc:\\images\\site1\\north.xyz holds the new points all the same; its report is the earlier one.\n"),
            rest[-300:])
        self.assertEqual(sorted(os.listdir(os.path.join(self.site, "north_xyz_info.txt"))), ["kept"])
        del self.sums[os.path.join(self.site, "north.xyz")]
        self.assertEqual(run_file(self.site, "north.xyz"), b"1.000000 2.000000 3.000000\r\n")

    @posix_only
    def test_permissions_that_cannot_be_given_publish_nothing(self):
        # A file that could not take the earlier file's mode is neither
        # published private nor wider: the run fails and says so.
        if not shutil.which("strace"):
            self.skipTest("injects the failure with strace")
        self.earlier()
        self.put("dem.xyz", b"1 2 3\n")
        run = self.run_tool("site1\ndem\nnorth\n0 10 0 10 1\n",
                            # LeakSanitizer cannot work under ptrace: a sanitized build
                            # leaves leaks unchecked here.
                            prefix=["env", "ASAN_OPTIONS=detect_leaks=0", "strace", "-f", "-o", os.devnull,
                                    "-e", "trace=fchmod", "-e", "inject=fchmod:error=EPERM"])
        self.assertEqual(run.status, 3)
        self.assertIn("\n\tCould not write c:\\images\\site1\\north.xyz : Operation not permitted\n", run.console)
        self.assertTrue(run.console.endswith(unchanged()), run.console[-300:])

    def test_a_completed_run_replaces_the_earlier_files(self):
        self.put("north.xyz", b"an earlier output, longer than the new one " * 100)
        self.put("north_xyz_info.txt", b"an earlier report")
        if not WINE_PREFIX:
            os.chmod(os.path.join(self.site, "north.xyz"), 0o640)
        self.sums.clear()
        # The same bytes as a run on fresh names (check_whole_run compares
        # the console, the report and the output).
        self.check_whole_run(b"1 2 3\n4 5 6\n70 8 9\n", (0.0, 10.0, 0.0, 10.0), 1.0)
        self.assertEqual(sorted(os.listdir(self.site)), ["dem.xyz", "north.xyz", "north_xyz_info.txt"])
        if not WINE_PREFIX:
            self.assertEqual(os.stat(os.path.join(self.site, "north.xyz")).st_mode & 0o777, 0o640)


# Throwaway users and a group for the cases that need other users than root.
ALICE, BOB, SHARED_GROUP = 61001, 61002, 61003


def as_user(uid, groups=()):
    """The command prefix that runs the tool as the user `uid` (group `uid`,
    and the supplementary `groups`)."""
    return ["setpriv", "--reuid=%d" % uid, "--regid=%d" % uid,
            "--groups=%s" % ",".join(map(str, groups)) if groups else "--clear-groups"]


@posix_only
class OtherUsersAndSignals(EarlierFilesCase):
    """What other users, other programs and the system do to a run: only
    the files the run wrote are published, a final name that cannot be
    replaced is refused at the opening, another user's lock and files are
    dealt with, and a signal ends the run whatever its process number. The
    cases that need other users run only as root, those with file
    attributes only where the file system has them: elsewhere they skip
    themselves, saying why."""

    ANSWERS = "site1\ndem\nnorth\n0 10 0 10 1\n"

    def need_other_users(self):
        if os.geteuid() != 0 or not shutil.which("setpriv"):
            self.skipTest("runs as other users only as root, with setpriv")
        # Every user reaches images/site1 and may write in it.
        os.chmod(self.root, 0o755)
        os.chmod(self.site, 0o777)

    def opening_refused(self, name, reason, run, folder="site1"):
        self.assertEqual((run.status, run.console), (2, BANNER + FOLDER_PROMPT + IN_PROMPT + OUT_PROMPT
                                                     + "\n\tCould not create c:\\images\\%s\\%s : %s\n"
                                                     % (folder, name, reason) + unchanged()))

    def test_a_signal_ends_the_first_process_of_a_pid_namespace(self):
        # The system drops a signal whose action is the default one for
        # process 1 of a PID namespace (a container's first process); sent
        # from outside, as docker stop sends it.
        if subprocess.run(["unshare", "--pid", "--fork", "true"], stderr=subprocess.DEVNULL).returncode != 0:
            self.skipTest("no PID namespace can be made here")
        self.earlier()
        self.put("dem.xyz", b"1 2 3\n4 5 6\n")
        cases = [(b"", b"C:\\images : ", signal.SIGTERM, "")]
        cases += [(b"site1\ndem\nnorth\n", b"X_min ? ", sig, unchanged())
                  for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP)]
        for names, until, sig, ending in cases:
            with self.subTest(until=until, signal=sig.name):
                p, _ = self.start(names, until, prefix=["unshare", "--pid", "--fork"])
                with open("/proc/%d/task/%d/children" % (p.pid, p.pid)) as f:
                    first_process = int(f.read().split()[0])
                os.kill(first_process, sig)
                rest, _ = p.communicate(timeout=60)
                self.assertEqual((p.returncode, rest.decode()), (128 + sig, ending))

    def test_nothing_is_published_but_the_files_written(self):
        # A temporary name that holds another file at the end (a link put
        # there, a copy): nothing is published, and that file is left alone.
        target = self.put("elsewhere.xyz", b"another file's points", self.root)
        self.put("dem.xyz", b"1 2 3\n")
        for name in ("north.xyz", "north_xyz_info.txt"):
            for replace in (os.symlink, shutil.copy):
                with self.subTest(name=name, by=replace.__name__):
                    self.earlier()
                    p, _ = self.start()
                    temp = self.temporary(p.pid, name)
                    os.remove(temp)
                    replace(target, temp)
                    rest, _ = p.communicate(b"0 10 0 10 1\n", timeout=60)
                    self.assertEqual(p.returncode, 3)
                    self.assertTrue(rest.decode().endswith(
                        "\n\tCould not write c:\\images\\site1\\%s : its temporary file was replaced during "
                        "the run\n" % name + unchanged()), rest[-300:])
                    self.assertTrue(os.path.lexists(temp))
                    os.remove(temp)

    def test_a_final_name_with_attributes_that_forbid_its_replacement(self):
        self.put("dem.xyz", b"1 2 3\n")
        cases = [("north_xyz_info.txt", "i", "north_xyz_info.txt", "the file is marked immutable"),
                 ("north.xyz", "a", "north.xyz", "the file is marked append-only"),
                 ("", "a", "north.xyz", "its folder is marked append-only")]
        for target, attribute, said_of, reason in cases:
            with self.subTest(target=target, attribute=attribute):
                self.earlier()
                path = os.path.join(self.site, target) if target else self.site
                if subprocess.run(["chattr", "+" + attribute, path], stderr=subprocess.DEVNULL).returncode != 0:
                    self.skipTest("the file system here has no attribute %s, or chattr needs root" % attribute)
                try:
                    run = self.run_tool(self.ANSWERS)
                finally:
                    subprocess.run(["chattr", "-" + attribute, path], check=True)
                self.opening_refused(said_of, reason, run)

    def test_what_a_folder_made_append_only_kept_the_next_run_removes(self):
        # The folder made append-only during the run: nothing can be renamed
        # or removed there, so the run fails and its files stay; the next
        # run, once the folder is writable again, removes them.
        self.put("dem.xyz", b"1 2 3\n")
        p, _ = self.start()
        if subprocess.run(["chattr", "+a", self.site], stderr=subprocess.DEVNULL).returncode != 0:
            self.skipTest("the file system here has no attribute a, or chattr needs root")
        try:
            rest, _ = p.communicate(b"0 10 0 10 1\n", timeout=60)
            left = sorted(n for n in os.listdir(self.site) if ".tessera-" in n)
        finally:
            subprocess.run(["chattr", "-a", self.site], check=True)
        self.assertEqual((p.returncode, len(left)), (3, 3), rest[-300:])
        self.assertTrue(rest.decode().endswith(unchanged()), rest[-300:])
        run = self.run_tool(self.ANSWERS)
        self.assertEqual(run.status, 0)
        self.assertIn("\n\tRemoved 2 temporary files left by killed runs writing c:\\images\\site1\\north.xyz.\n",
                      run.console)

    def test_another_users_file_in_a_folder_with_the_sticky_bit(self):
        # Writable or not, it may not be replaced by anyone but its owner.
        self.need_other_users()
        os.chmod(self.site, 0o1777)
        self.put("dem.xyz", b"1 2 3\n")
        self.earlier()
        os.chown(os.path.join(self.site, "north.xyz"), BOB, BOB)
        report = os.path.join(self.site, "north_xyz_info.txt")
        os.chown(report, ALICE, ALICE)
        os.chmod(report, 0o666)
        run = self.run_tool(self.ANSWERS, prefix=as_user(BOB))
        self.opening_refused("north_xyz_info.txt", "the file belongs to another user, in a shared folder (sticky bit)",
                             run)

    def test_a_replaced_file_keeps_its_owner_and_group(self):
        self.need_other_users()
        self.put("dem.xyz", b"1 2 3\n")
        for who, prefix in (("root", []), ("the owner", as_user(ALICE, [SHARED_GROUP]))):
            with self.subTest(who):
                for name in ("north.xyz", "north_xyz_info.txt"):
                    path = os.path.join(self.site, name)
                    with open(path, "wb") as f:
                        f.write(b"earlier")
                    os.chown(path, ALICE, SHARED_GROUP)
                    os.chmod(path, 0o640)
                run = self.run_tool(self.ANSWERS, prefix=prefix)
                self.assertEqual(run.status, 0)
                for name in ("north.xyz", "north_xyz_info.txt"):
                    st = os.stat(os.path.join(self.site, name))
                    self.assertEqual((st.st_uid, st.st_gid, st.st_mode & 0o777), (ALICE, SHARED_GROUP, 0o640), name)

    def test_files_are_private_while_written_and_a_link_lends_nothing(self):
        # Made 0600 at their creation, whatever the earlier files' modes, so
        # no other user reads a private output while it is written; once
        # complete they take the earlier file's mode, and a link at the
        # name lends neither its target's owner nor its mode.
        self.need_other_users()
        os.chmod(self.site, 0o1777)
        self.put("dem.xyz", b"1 2 3\n")
        mask = os.umask(0)
        os.umask(mask)
        target = os.path.join(self.root, "bobs_file")
        for what, earlier, mode in [("no earlier file", None, 0o666 & ~mask), ("a private one", 0o600, 0o600),
                                    ("a shared one", 0o664, 0o664), ("a link", "link", 0o666 & ~mask)]:
            with self.subTest(what):
                path = os.path.join(self.site, "north.xyz")
                if os.path.lexists(path):
                    os.remove(path)
                if earlier == "link":
                    with open(target, "wb") as f:
                        f.write(b"bob's")
                    os.chown(target, BOB, BOB)
                    os.chmod(target, 0o777)
                    os.symlink(target, path)
                elif earlier is not None:
                    with open(path, "wb") as f:
                        f.write(b"earlier")
                    os.chmod(path, earlier)
                p, _ = self.start()
                for temporary in (self.temporary(p.pid), self.temporary(p.pid, "north_xyz_info.txt")):
                    self.assertEqual(os.stat(temporary).st_mode & 0o777, 0o600, temporary)
                p.stdin.write(b"0 10 0 10 1\n")
                p.stdin.close()
                self.assertEqual(p.wait(), 0)
                p.stdout.close()
                st = os.lstat(path)
                self.assertEqual((stat.S_ISREG(st.st_mode), st.st_uid, st.st_mode & 0o777), (True, 0, mode))
        st = os.stat(target)
        self.assertEqual((st.st_uid, st.st_mode & 0o777), (BOB, 0o777))

    def test_the_lock_of_another_user(self):
        self.need_other_users()
        self.put("dem.xyz", b"1 2 3\n")
        lock = os.path.join(self.site, ".north.xyz.tessera-lock")

        def remove_the_output():
            for name in ("north.xyz", "north_xyz_info.txt"):
                os.remove(os.path.join(self.site, name))

        # Held by a run of Alice's: Bob is told the output is in use.
        alice, _ = self.start(prefix=as_user(ALICE))
        run = self.run_tool(self.ANSWERS, prefix=as_user(BOB))
        self.assertEqual(run.status, 7)
        self.assertTrue(run.console.endswith(
            OUT_PROMPT + "\n\tc:\\images\\site1\\north.xyz is in use by another run: nothing was changed.\n"))
        alice.communicate(b"0 10 0 10 1\n", timeout=60)
        self.assertEqual(alice.returncode, 0)
        remove_the_output()
        # Left by a killed run of Alice's, which Bob may not write: taken over.
        for mode, status in ((0o644, 0), (0o000, 2)):
            with open(lock, "wb"):
                pass
            os.chown(lock, ALICE, ALICE)
            os.chmod(lock, mode)
            run = self.run_tool(self.ANSWERS, prefix=as_user(BOB))
            self.assertEqual(run.status, status)
        # One that Bob may not even open is named as the lock file.
        self.assertTrue(run.console.endswith("\n\tCould not create the lock file of c:\\images\\site1\\north.xyz : "
                                             "Permission denied\n" + unchanged()), run.console[-300:])
        os.remove(lock)
        remove_the_output()

    def test_a_folder_moved_during_the_run_is_cleaned_where_it_went(self):
        # The output in a folder of its own, so that the input stays put.
        sub = os.path.join(self.site, "sub")
        moved = os.path.join(self.site, "moved")
        os.mkdir(sub)
        self.put("dem.xyz", b"1 2 3\n")
        cases = [("answers", 3, "\n\tCould not write c:\\images\\site1\\sub\\north.xyz : its folder was moved "
                  "or removed during the run\n"), ("SIGTERM", -signal.SIGTERM, "")]
        for end, status, message in cases:
            with self.subTest(end):
                self.put("north.xyz", self.EARLIER_OUTPUT, sub)
                p, _ = self.start(b"site1\ndem\nsub\\north\n")
                os.rename(sub, moved)
                if end == "SIGTERM":
                    p.send_signal(signal.SIGTERM)
                rest, _ = p.communicate(b"0 10 0 10 1\n", timeout=60)
                self.assertEqual(p.returncode, status)
                self.assertTrue(rest.decode().endswith(message + unchanged("sub\\north")), rest[-300:])
                self.assertEqual(os.listdir(moved), ["north.xyz"])
                os.rename(moved, sub)


MANY_TILES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "docs", "many-tiles.md")


def recipe(heading):
    """The first sh block under a heading of docs/many-tiles.md, as written."""
    with open(MANY_TILES) as f:
        section = f.read().split("\n## %s\n" % heading, 1)[1].split("\n## ", 1)[0]
    return re.findall(r"```sh\n(.*?)```", section, re.S)[0]


@posix_only
class ManyTiles(unittest.TestCase):
    """The recipes of docs/many-tiles.md, run as written on 20 tiles: one of
    them missing (status 8), one broken at its second line (status 4, its
    first point written), the rest whole."""

    TILES = ["t%02d" % i for i in range(1, 21)]
    MISSING, BROKEN = "t13", "t05"

    def setUp(self):
        if not shutil.which("parallel"):
            self.skipTest("needs GNU parallel")
        self.tmp = tempfile.TemporaryDirectory()
        self.addCleanup(self.tmp.cleanup)
        self.root = self.tmp.name
        os.makedirs(os.path.join(self.root, "images", "tiles"))
        script = os.path.join(self.root, "extract-tile")
        with open(script, "w") as f:
            f.write(recipe("One tile"))
        os.chmod(script, 0o755)
        with open(os.path.join(self.root, "tiles.txt"), "w") as f:
            f.write("\n".join(self.TILES) + "\n")
        rng = random.Random(7)
        self.inside = 0  # the points the tiles hold inside the recipes' zone
        for tile in self.TILES:
            points = [(rng.uniform(635500, 637500), rng.uniform(848500, 851000)) for _ in range(50)]
            if tile == self.MISSING:
                continue
            lines = ["%.2f %.2f 100.5" % p for p in points]
            if tile == self.BROKEN:
                lines.insert(1, "not a point")
                points = points[:1]
            self.inside += sum(636000 <= x <= 637000 and 849000 <= y <= 850500 for x, y in points)
            with open(os.path.join(self.root, "images", "tiles", tile + ".xyz"), "w") as f:
                f.write("\n".join(lines) + "\n")

    def shell(self, script, **variables):
        env = dict(os.environ, PATH=os.path.dirname(PROGRAM) + os.pathsep + os.environ["PATH"], **variables)
        return subprocess.run(["sh", "-c", script], cwd=self.root, env=env, stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=300).returncode

    def written(self):
        """The points the logs say were written, in all."""
        total = 0
        for name in glob.glob(os.path.join(self.root, "images", "out", "*.log")):
            with open(name, encoding="latin-1") as f:
                total += sum(int(n) for n in re.findall(r"^(\d+) points? of \d+ written to ", f.read(), re.M))
        return total

    def test_a_loop_over_the_tiles_of_a_folder(self):
        self.assertEqual(self.shell(recipe("A loop over the tiles of a folder")), 0)
        self.assertEqual(run_file(os.path.join(self.root, "images", "out"), "failed.txt"), b"t05 4\n")
        self.assertEqual(self.written(), self.inside)

    def test_gnu_parallel_over_the_cores_and_a_job_array(self):
        self.assertEqual(self.shell(recipe("GNU parallel over the cores")), 2)  # two tiles failed
        with open(os.path.join(self.root, "images", "out", "joblog")) as f:
            rows = [line.rstrip("\n").split("\t") for line in f][1:]
        statuses = {row[-1].split()[-1]: int(row[6]) for row in rows}
        expected = {tile: {self.MISSING: 8, self.BROKEN: 4}.get(tile, 0) for tile in self.TILES}
        self.assertEqual(statuses, expected)
        self.assertEqual(self.written(), self.inside)
        shutil.rmtree(os.path.join(self.root, "images", "out"))
        array = recipe("A job array on a cluster")
        statuses = {tile: self.shell(array, SLURM_ARRAY_TASK_ID=str(i)) for i, tile in enumerate(self.TILES)}
        self.assertEqual(statuses, expected)
        self.assertEqual(self.written(), self.inside)


def run_file(folder, name):
    with open(os.path.join(folder, name), "rb") as f:
        return f.read()


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]] + _unittest_args, verbosity=2)
