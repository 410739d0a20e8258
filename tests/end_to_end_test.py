"""End-to-end tests: the built program run as a user runs it, in a fresh
working directory holding an images/ tree, answers on standard input, the
console text, the report and the output compared byte for byte."""

import argparse
from fractions import Fraction
import hashlib
import os
import pty
import select
import shutil
import signal
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
_args, _unittest_args = _parser.parse_known_args()
PROGRAM = os.path.abspath(_args.program)
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


def progress(count):
    return "".join("\trecord %d                    \r    " % k
                   for k in range(100000, count + 1, 100000))


def read_points(data):
    """The records of a point file, read the plain way (enough for the
    well-formed files the tests use)."""
    values = data.replace(b"\r", b"").split(b"\x1a")[0].split()
    return [tuple(float(v) for v in values[i:i + 3]) for i in range(0, len(values) - 2, 3)]


def bounds(points):
    result = []
    for axis in range(3):
        lo, hi = 10000000.0, 0.0
        for p in points:
            if p[axis] > hi:
                hi = p[axis]
            if p[axis] < lo:
                lo = p[axis]
        result += [lo, hi]
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
    def __init__(self, status, console, folder):
        self.status = status
        self.console = console
        self.folder = folder

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
    """For what only a POSIX host has (FIFOs, /dev/full, its error texts)."""
    return unittest.skipIf(WINE_PREFIX, "POSIX host only")(test)


class EndToEnd(unittest.TestCase):
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

    def tearDown(self):
        # Whatever the answers, no run changes its input.
        for path, digest in self.sums.items():
            with open(path, "rb") as f:
                self.assertEqual(hashlib.sha256(f.read()).hexdigest(), digest, path)
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

    def run_tool(self, answers, timeout=120):
        p = subprocess.run(command(), input=answers.encode(), stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE, cwd=self.root, timeout=timeout, env=environment(),
                           start_new_session=True)  # no controlling terminal: no key wait
        return Run(p.returncode, p.stdout.decode("latin-1"), self.site)

    def expected(self, points, zone, pixel, name_in="dem", name_out="north", notice="", header=None, shifted=""):
        """The console text and the report of a whole run. `notice` tells
        where the data stopped, `header` is the line and the text of a
        skipped header, `shifted` the notice of a line that shifts the
        points."""
        b = bounds(points)
        meters = int(pixel)
        lig = trunc_count(zone[3], zone[2], pixel)
        col = trunc_count(zone[1], zone[0], pixel)
        path_in = "c:\\images\\site1\\%s.xyz" % name_in
        path_out = "c:\\images\\site1\\%s.xyz" % name_out
        header_text = "Line %d is not a point and is skipped as a header: %s" % header if header else ""
        console = (BANNER + FOLDER_PROMPT + IN_PROMPT + OUT_PROMPT + "\n\n"
                   + ("\t" + header_text + "\n" if header else "") + progress(len(points)) + notice
                   + "\n\n\tX_min = %f X_max = %f " % (b[0], b[1])
                   + "\n\tY_min = %f Y_max = %f " % (b[2], b[3])
                   + "\n\tZ_min = %f Z_max = %f " % (b[4], b[5])
                   + shifted
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
                  + ("\n\n\t" + header_text + " " if header else "")
                  + (notice + " " if notice else "")
                  + (shifted + " " if shifted else "")
                  + "\n\n\tCoordinates of the selected zone named %s :" % path_out
                  + "".join("\n\t\t%s = %f " % (n, v) for n, v in
                            zip(["X_min", "X_max", "Y_min", "Y_max"], zone))
                  + "\n\n\tPixel size : %f " % pixel
                  + "\n\n\tFor a pixel size of %d meters, the resulting image" % meters
                  + "\n\twill have %d lines and %d columns" % (lig, col)
                  + CREDIT)
        inside = [p for p in points if zone[0] <= p[0] <= zone[1] and zone[2] <= p[1] <= zone[3]]
        output = "".join("%f %f %f\n" % p for p in inside)
        return console, report.replace("\n", "\r\n").encode(), output.replace("\n", "\r\n").encode()

    def check_whole_run(self, data, zone, pixel, notice="", status=0, points=None, header=None, shifted=""):
        self.put("dem.xyz", data)
        points = read_points(data) if points is None else points
        answers = "site1\ndem\nnorth\n%r\n%r\n%r\n%r\n%r\n" % (zone + (pixel,))
        run = self.run_tool(answers)
        console, report, output = self.expected(points, zone, pixel, notice=notice, header=header, shifted=shifted)
        self.assertEqual(run.console, console)
        self.assertEqual(run.file("north_xyz_info.txt"), report)
        self.assertEqual(run.file("north.xyz"), output)
        self.assertEqual(run.status, status)
        return run

    # --- whole runs --------------------------------------------------------

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

    def test_two_answers_on_one_line(self):
        self.put("dem.xyz", b"1 2 3\n")
        run = self.run_tool("site1 dem\nnorth 0 10\n0 10 1\n")
        self.assertTrue(run.console.startswith(BANNER + FOLDER_PROMPT + IN_PROMPT + OUT_PROMPT + "\n\n"))
        self.assertEqual(run.file("north.xyz"), b"1.000000 2.000000 3.000000\r\n")

    # --- data the tool must not take for points ---------------------------

    def test_header_line_is_skipped_in_both_passes(self):
        self.put("dem.xyz", b"X Y Z\r\n1 2 3\r\n4 5 6\r\n")
        run = self.run_tool("site1\ndem\nnorth\n0 10 0 10\n1\n")
        self.assertIn("\n\n\tLine 1 is not a point and is skipped as a header: X\n\n\n\tX_min = 1.000000 X_max = 4.000000",
                      run.console)
        self.assertEqual(run.file("north.xyz"), b"1.000000 2.000000 3.000000\r\n4.000000 5.000000 6.000000\r\n")
        self.assertIn(b"Number of records : 2 ", run.file("north_xyz_info.txt"))
        self.assertEqual(run.status, 0)

    def test_data_that_stops_early(self):
        cases = [
            (b"1 2 3\n4 5 6\n7 8 abc\n10 11 12\n",
             '\n\n\tThe data stop at line 3, record 3: "abc" is not a number; the records before it are used.'),
            (b"1 2 3\n4 5 6\n7 8",
             "\n\n\tThe data stop at line 3: record 3 is cut short; the records before it are used."),
            (b"1 2 3\n4 5 6\n1e999 8 9\n",
             '\n\n\tThe data stop at line 3, record 3: "1e999" is not a number; the records before it are used.'),
            (b"1 2 3\n4 5 6\n" + b"\x00\x01\xfe" * 1000,
             '\n\n\tThe data stop at line 3, record 3: "????????????????????????????????..." is not a number; '
             "the records before it are used."),
        ]
        for data, notice in cases:
            with self.subTest(notice):
                self.check_whole_run(data, (0.0, 10.0, 0.0, 10.0), 1.0, notice=notice, status=4,
                                     points=[(1.0, 2.0, 3.0), (4.0, 5.0, 6.0)])

    def test_files_as_users_have_them(self):
        def stop(line, record, text):
            return ('\n\n\tThe data stop at line %d, record %d: "%s" is not a number; the records before it are used.'
                    % (line, record, text))

        def cut(line, record):
            return "\n\n\tThe data stop at line %d: record %d is cut short; the records before it are used." % (line, record)

        def shifted(line, numbers):
            return ("\n\n\tLine %d holds %d numbers (the first line whose count is not a multiple of three): points "
                    "are read three numbers at a time, so later points are shifted." % (line, numbers))

        def points(n):
            return [(3.0 * i + 1, 3.0 * i + 2, 3.0 * i + 3) for i in range(n)]

        P = points(3)
        cases = [
            # name, data, points, header, data stop, shifted notice, status
            ("byte-order mark", b"\xef\xbb\xbf1 2 3\n4 5 6\n7 8 9\n", P, None, "", "", 0),
            ("byte-order mark and header", b"\xef\xbb\xbfX,Y,Z\r\n1 2 3\r\n4 5 6\r\n7 8 9\r\n", P, (1, "X,Y,Z"), "",
             "", 0),
            ("word header", b"Easting Northing Height\n1 2 3\n4 5 6\n7 8 9", P, (1, "Easting"), "", "", 0),
            ("too large a first number", b"1e999 2 3\n4 5 6\n", [], None, stop(1, 1, "1e999"), "", 4),
            ("decimal comma on the first line", b"12,5 3 4\n1 2 3\n", [], None, stop(1, 1, ",5"), "", 4),
            ("quoted from the failing character", b"1 2 3\n4 5 6-\n", P[:2], None, stop(2, 3, "-"), "", 4),
            ("lone CR lines", b"1 2 3\r4 5 6\r7 8 9\r", P, None, "", "", 0),
            ("lone CR lines after a header", b"X Y Z\r1 2 3\r4 5 6\r7 8 9", P, (1, "X"), "", "", 0),
            ("lone CR lines counted in a stop", b"1 2 3\r4 5 6\r7 x 9\r", P[:2], None, stop(3, 3, "x"), "", 4),
            ("CR LF lines", b"1 2 3\r\n4 5 6\r\n7 8 9\r\n", P, None, "", "", 0),
            ("four numbers a line", b"1 2 3 4\n5 6 7 8\n9 10 11 12\n", points(4), None, "", shifted(1, 4), 6),
            ("five numbers a line", b"1 2 3 4 5\n6 7 8 9 10\n11 12 13 14 15\n", points(5), None, "", shifted(1, 5), 6),
            ("seven numbers on line 2", b"1 2 3\n4 5 6 7 8 9 10\n11 12\n", points(4), None, "", shifted(2, 7), 6),
            ("one number a line", b"1\n2\n3\n4\n5\n6\n", points(2), None, "", "", 0),
            ("two numbers a line", b"1 2\n3 4\n5 6\n", points(2), None, "", "", 0),
            ("three numbers a line", b"1 2 3\n4 5 6\n", points(2), None, "", "", 0),
            ("six numbers a line", b"1 2 3 4 5 6\n7 8 9 10 11 12\n", points(4), None, "", "", 0),
            ("shifted, then cut short", b"1 2 3 4\n5 6 7 8\n", points(2), None, cut(2, 3), shifted(1, 4), 4),
        ]
        for name, data, pts, header, notice, shift, status in cases:
            with self.subTest(name):
                self.check_whole_run(data, (0.0, 100.0, 0.0, 100.0), 1.0, notice=notice, status=status, points=pts,
                                     header=header, shifted=shift)

    def test_control_z_and_carriage_returns(self):
        self.check_whole_run(b"1 2 3\r\n4 5 6\r\n7 8 9\r\n\x1a junk", (0.0, 10.0, 0.0, 10.0), 1.0)

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
             "\tThat answer is not a number: please type a decimal number.\n\t\tX_max ? "),
            ("site1\ndem\nnorth\n0 10 0 10\n0\n1e-300\n1e10\n1\n", PIXEL_PROMPT,
             "\tA pixel size of 0 makes no raster: please type another one.\n" + PIXEL_PROMPT
             + "\tThat pixel size makes more than 2147483647 lines or columns: please type a larger one.\n"
             + PIXEL_PROMPT
             + "\tThat pixel size is too large to count in meters: please type a smaller one.\n" + PIXEL_PROMPT
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
                self.assertTrue(run.console.endswith(INPUT_ENDED), run.console[-200:])
                created = "north" in answers
                self.assertEqual(run.exists("north.xyz"), created)
                self.assertEqual(run.exists("north_xyz_info.txt"), created)

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
                self.assertEqual(run.status, 0)
                self.assertFalse(run.exists("north.xyz"))
                self.assertEqual(run.file("north_xyz_info.txt"), b"an earlier report")

    def test_output_or_report_that_cannot_be_written(self):
        self.put("dem.xyz", b"1 2 3\n" * 1000)
        # The reason is the host C library's own text for creating a folder.
        is_folder = "Permission denied" if WINE_PREFIX else "Is a directory"
        cases = [
            ("folder", lambda: os.mkdir(os.path.join(self.site, "folder.xyz")),
             "\n\tCould not create c:\\images\\site1\\folder.xyz : %s\n" % is_folder, 2),
            ("rfolder", lambda: os.mkdir(os.path.join(self.site, "rfolder_xyz_info.txt")),
             "\n\tCould not create c:\\images\\site1\\rfolder_xyz_info.txt : %s\n" % is_folder, 2),
            ("full", lambda: os.symlink("/dev/full", os.path.join(self.site, "full.xyz")),
             "\n\tCould not write c:\\images\\site1\\full.xyz : No space left on device\n", 3),
            ("rfull", lambda: os.symlink("/dev/full", os.path.join(self.site, "rfull_xyz_info.txt")),
             "\n\tCould not write c:\\images\\site1\\rfull_xyz_info.txt : No space left on device\n", 3),
        ]
        for name, prepare, message, status in cases:
            with self.subTest(name):
                prepare()
                run = self.run_tool("site1\ndem\n%s\n0 10 0 10 1\n" % name)
                self.assertEqual(run.status, status)
                self.assertTrue(run.console.endswith(message), run.console[-300:])


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
            "\n\tThe second reading of c:\\images\\site1\\dem.xyz did not match the first.\n"), rest[-200:])


@unittest.skipIf(WINE_PREFIX, "the pseudo-terminal key wait is the POSIX build's")
class KeyWait(unittest.TestCase):
    """The key wait, under a pseudo-terminal: stdin is a pipe, the key comes
    from the terminal."""

    def start(self):
        self.tmp = tempfile.TemporaryDirectory()
        os.makedirs(os.path.join(self.tmp.name, "images", "site1"))
        read_end, write_end = os.pipe()
        os.write(write_end, b"site1\nmissing\nnorth\nleft over\n")
        os.close(write_end)
        pid, master = pty.fork()
        if pid == 0:
            os.chdir(self.tmp.name)
            os.dup2(read_end, 0)
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
        os.close(self.master)
        self.tmp.cleanup()

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
                self.assertEqual(os.WEXITSTATUS(status), 0)
                self.assertEqual(self.modes(), (True, True))
                os.close(self.master)
                self.tmp.cleanup()
        self.master = os.open("/dev/null", os.O_RDONLY)
        self.tmp = tempfile.TemporaryDirectory()

    def test_signals_during_the_wait_restore_the_terminal(self):
        for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            with self.subTest(sig):
                self.start()
                self.assertTrue(self.still_waiting())
                os.kill(self.pid, sig)
                status = self.finish()
                self.assertTrue(os.WIFSIGNALED(status))
                self.assertEqual(os.WTERMSIG(status), sig)
                self.assertEqual(self.modes(), (True, True))
                os.close(self.master)
                self.tmp.cleanup()
        self.master = os.open("/dev/null", os.O_RDONLY)
        self.tmp = tempfile.TemporaryDirectory()


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]] + _unittest_args, verbosity=2)
