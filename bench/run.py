#!/usr/bin/env python3
"""The benchmark: TESSERA_SIFT against the classic fscanf/fprintf program and
two mawk one-liners, on a generated 4000 x 2500 elevation grid (290 MB) and
its tenth (29 MB), for a small zone and for a zone covering every point.

Runs are interleaved (tool, classic, awk, tool, ...) after a warm-up; the
table gives medians, ratios and peak resident memory, and the tool's output
is checked byte for byte against the classic program's.

    python3 bench/run.py [--runs 3] [--work DIR] [--against OTHER_BUILD]

--against times another build of the tool too, in the same rounds (a
change's effect on speed, apart from what the other users of the machine
cost both builds alike).
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)

SCENARIOS = [
    ("small zone (about 5%)", (2601000, 2602000, 1201000, 1201500)),
    ("every point", (0, 1e9, 0, 1e9)),
]

AWK_SURVEY = ('{ n++; if ($1 > xM) xM = $1; if ($1 < xm) xm = $1; if ($2 > yM) yM = $2; if ($2 < ym) ym = $2;'
              ' if ($3 > zM) zM = $3; if ($3 < zm) zm = $3 }'
              ' END { printf "%d %f %f %f %f %f %f\\n", n, xm, xM, ym, yM, zm, zM }')
AWK_EXTRACT = ('$1 >= x0 && $1 <= x1 && $2 >= y0 && $2 <= y1 { printf "%f %f %f\\r\\n", $1, $2, $3 }')


def sh(cmd, **kw):
    subprocess.run(cmd, check=True, **kw)


def timed(cmd, stdin_text=None, cwd=None, shell=False):
    """Wall seconds (measured here, to the microsecond) and peak resident KiB
    (from /usr/bin/time) of one command."""
    with tempfile.NamedTemporaryFile("r") as report:
        full = ["/usr/bin/time", "-o", report.name, "-f", "%M"]
        full += ["sh", "-c", cmd] if shell else cmd
        start = time.perf_counter()
        subprocess.run(full, input=stdin_text, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       cwd=cwd, check=True, text=True)
        seconds = time.perf_counter() - start
        return seconds, int(report.read().split()[-1])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--work", default=os.path.join(ROOT, "build-bench", "work"))
    parser.add_argument("--against", help="another tessera_sift binary, timed in the same rounds")
    args = parser.parse_args()

    build = os.path.join(ROOT, "build-bench")
    sh(["cmake", "-S", ROOT, "-B", build, "-DCMAKE_BUILD_TYPE=Release", "-DTESSERA_TESTS=OFF"],
       stdout=subprocess.DEVNULL)
    sh(["cmake", "--build", build, "-j2", "--target", "tessera_sift"], stdout=subprocess.DEVNULL)
    tool = os.path.join(build, "tessera_sift")
    work = os.path.abspath(args.work)
    grid = os.path.join(work, "images", "grid")
    os.makedirs(grid, exist_ok=True)
    classic = os.path.join(work, "classic")
    make_grid = os.path.join(work, "make_grid")
    sh(["cc", "-O2", "-o", classic, os.path.join(HERE, "classic.c")])
    sh(["cc", "-O2", "-o", make_grid, os.path.join(HERE, "make_grid.c")])
    files = {"29 MB": ("tenth", 250), "290 MB": ("grid", 2500)}
    for name, rows in files.values():
        path = os.path.join(grid, name + ".xyz")
        if not os.path.exists(path) or os.path.getsize(path) != rows * 4000 * 29:
            sh([make_grid, str(rows), "4000", path])

    def answers(name, out, zone):
        return "grid\n%s\n%s\n%r %r %r %r\n1\n" % ((name, out) + tuple(float(z) for z in zone))

    cpu = subprocess.run(["sh", "-c", "grep -m1 'model name' /proc/cpuinfo | cut -d: -f2"],
                         capture_output=True, text=True).stdout.strip()
    print("machine: %s, %d cores (runs use one), %s" % (cpu, os.cpu_count(), os.uname().release))
    print("medians of %d interleaved runs after a warm-up; seconds of wall time; peak RSS in MiB\n" % args.runs)
    peers = ("tool", "classic", "mawk") + (("against",) if args.against else ())
    print("| file | zone | tool s | classic s | mawk s | classic/tool | mawk/tool | RSS tool | RSS classic | RSS mawk |"
          + (" against s | against/tool |" if args.against else ""))
    print("|---|---|---|---|---|---|---|---|---|---|" + ("---|---|" if args.against else ""))
    all_identical = True
    for label, (name, _) in files.items():
        path = os.path.join(grid, name + ".xyz")
        for zone_label, zone in SCENARIOS:
            times = {peer: [] for peer in peers}
            rss = {peer: 0 for peer in peers}
            awk = ("mawk '%s' %s >/dev/null && mawk -v x0=%r -v x1=%r -v y0=%r -v y1=%r '%s' %s > %s"
                   % (AWK_SURVEY, path, *(float(z) for z in zone), AWK_EXTRACT, path,
                      os.path.join(grid, "awk_out.xyz")))
            for i in range(args.runs + 1):
                for peer in peers:
                    if peer == "tool":
                        t, m = timed([tool], answers(name, "tool_out", zone), cwd=work)
                    elif peer == "against":
                        t, m = timed([os.path.abspath(args.against)], answers(name, "against_out", zone), cwd=work)
                    elif peer == "classic":
                        t, m = timed([classic], answers(name, "classic_out", zone), cwd=work)
                    else:
                        t, m = timed(awk, shell=True)
                    if i > 0:  # the first round warms the page cache
                        times[peer].append(t)
                        rss[peer] = max(rss[peer], m)
            identical = filecmp(os.path.join(grid, "tool_out.xyz"), os.path.join(grid, "classic_out.xyz"))
            all_identical &= identical
            med = {k: statistics.median(v) for k, v in times.items()}
            against = " %.3f | %.2fx |" % (med["against"], med["against"] / med["tool"]) if args.against else ""
            print("| %s | %s | %.3f | %.3f | %.3f | %.1fx | %.1fx | %.1f | %.1f | %.1f |%s%s" % (
                label, zone_label, med["tool"], med["classic"], med["mawk"], med["classic"] / med["tool"],
                med["mawk"] / med["tool"], rss["tool"] / 1024, rss["classic"] / 1024, rss["mawk"] / 1024, against,
                "" if identical else "  OUTPUT DIFFERS"))
    # What the kernel alone takes to replace the full output (truncate the
    # previous one, write as many bytes), the floor under "every point".
    out = os.path.join(grid, "tool_out.xyz")
    size = os.path.getsize(out)
    floor = statistics.median(
        timed("dd if=/dev/zero of=%s bs=1M count=%d status=none" % (out, size >> 20), shell=True)[0]
        for _ in range(args.runs))
    print("\nwriting %d MB over the previous output with dd alone: %.3f s (a 20th of the classic "
          "program's last run: %.3f s)" % (size // 1000000, floor, med["classic"] / 20))
    print("output files byte-identical to the classic program's: %s" % ("yes" if all_identical else "NO"))
    return 0 if all_identical else 1


def filecmp(a, b):
    with open(a, "rb") as fa, open(b, "rb") as fb:
        while True:
            x, y = fa.read(1 << 20), fb.read(1 << 20)
            if x != y:
                return False
            if not x:
                return True


if __name__ == "__main__":
    sys.exit(main())
