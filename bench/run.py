#!/usr/bin/env python3
"""The benchmark: TESSERA_SIFT against the classic fscanf/fprintf program and
two mawk one-liners, on a generated 4000 x 2500 elevation grid (290 MB) and
its tenth (29 MB), for a small zone and for a zone covering every point.

Runs are interleaved (tool, classic, awk, tool, ...) after a warm-up; the
table gives medians, ratios and peak resident memory, and the tool's output
is checked byte for byte against the classic program's.

A second table times the tool alone on the tenth's points in four forms:
three columns, six columns (X Y Z R G B, the colours written through),
comma-separated X,Y,Z, and under the header id,Z,Y,X,code (X, Y and Z found
by their names), each against the three-column time.

A third table times the extraction's zone map on the grid and on a shuffled
copy of it (the same lines in a random order, where no stretch can be
stepped over): warm runs of the small zone and of every point, the survey
alone (to the zone prompt), and a cold extraction, where the input's pages
are dropped from the page cache while the tool waits at the zone prompt (as
happens when the user takes a while to answer) and the time from the zone's
answers to the end is measured.

    python3 bench/run.py [--runs 3] [--work DIR] [--against OTHER_BUILD] [--forms-only] [--map-only]

--against times another build of the tool too, in the same rounds (a
change's effect on speed, apart from what the other users of the machine
cost both builds alike), in every table. --forms-only prints the second
table alone, --map-only the third.
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


def timed(cmd, stdin_text=None, cwd=None, shell=False, check=True, cpu=False):
    """Wall seconds (measured here, to the microsecond) and peak resident KiB
    (from /usr/bin/time) of one command, and with cpu its processor seconds
    (user and system); with check, its status must be 0."""
    with tempfile.NamedTemporaryFile("r") as report:
        full = ["/usr/bin/time", "-o", report.name, "-f", "%U %S %M"]
        full += ["sh", "-c", cmd] if shell else cmd
        start = time.perf_counter()
        subprocess.run(full, input=stdin_text, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       cwd=cwd, check=check, text=True)
        seconds = time.perf_counter() - start
        fields = report.read().split()
        if cpu:
            return seconds, int(fields[-1]), float(fields[-3]) + float(fields[-2])
        return seconds, int(fields[-1])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--work", default=os.path.join(ROOT, "build-bench", "work"))
    parser.add_argument("--forms-only", action="store_true", help="only the table of the three forms")
    parser.add_argument("--map-only", action="store_true", help="only the table of the zone map")
    parser.add_argument("--against", help="another tessera_sift binary, timed in the same rounds")
    args = parser.parse_args()

    build = os.path.join(ROOT, "build-bench")
    sh(["cmake", "--preset", "bench"], cwd=ROOT, stdout=subprocess.DEVNULL)
    sh(["cmake", "--build", "--preset", "bench", "-j2", "--target", "tessera_sift"], cwd=ROOT, stdout=subprocess.DEVNULL)
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
    if args.map_only:
        return map_table(args, tool, work, grid, answers)
    print("medians of %d interleaved runs after a warm-up; seconds of wall time; peak RSS in MiB\n" % args.runs)
    peers = ("tool", "classic", "mawk") + (("against",) if args.against else ())
    print("| file | zone | tool s | classic s | mawk s | classic/tool | mawk/tool | RSS tool | RSS classic | RSS mawk |"
          + (" against s | against/tool |" if args.against else ""))
    print("|---|---|---|---|---|---|---|---|---|---|" + ("---|---|" if args.against else ""))
    all_identical = True
    for label, (name, _) in ({} if args.forms_only else files).items():
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
    forms_table(args, tool, work, grid, make_grid, answers)
    if args.forms_only:
        return 0
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
    status = map_table(args, tool, work, grid, answers)
    return 0 if all_identical and status == 0 else 1


def shuffled_copy(grid):
    """The grid's lines in a fixed random order, made once."""
    source = os.path.join(grid, "grid.xyz")
    path = os.path.join(grid, "grid_shuffled.xyz")
    if not os.path.exists(path) or os.path.getsize(path) != os.path.getsize(source):
        import random
        with open(source, "rb") as f:
            lines = f.readlines()
        random.Random(19).shuffle(lines)
        with open(path + ".tmp", "wb") as f:
            f.writelines(lines)
        del lines
        os.replace(path + ".tmp", path)
    return path


def prompted_run(tool, work, grid, name, out, zone, drop):
    """One run driven prompt by prompt: the seconds to the zone prompt (the
    survey) and from the zone's answers to the end (the extraction). With
    `drop`, the input's pages are dropped from the page cache while the tool
    waits at the zone prompt, as the system does when the user takes a while
    to answer."""
    start = time.perf_counter()
    p = subprocess.Popen([tool], stdin=subprocess.PIPE, stdout=subprocess.PIPE, cwd=work)
    p.stdin.write(b"grid\n%s\n%s\n" % (name.encode(), out.encode()))
    p.stdin.flush()
    seen = b""
    while b"X_min ? " not in seen:
        chunk = p.stdout.read1(65536)
        if not chunk:
            raise RuntimeError("the tool ended before the zone prompt")
        seen = seen[-16:] + chunk
    survey = time.perf_counter() - start
    if drop:
        fd = os.open(os.path.join(grid, name + ".xyz"), os.O_RDONLY)
        try:
            os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
        finally:
            os.close(fd)
    start = time.perf_counter()
    p.communicate(("%r %r %r %r\n1\n" % tuple(float(z) for z in zone)).encode(), timeout=600)
    extraction = time.perf_counter() - start
    if p.returncode != 0:
        raise RuntimeError("the tool ended with status %d" % p.returncode)
    return survey, extraction


def map_table(args, tool, work, grid, answers):
    """The zone map: the grid and its shuffled copy, warm, and the grid's
    small zone, its survey alone and its cold extraction; with --against,
    another build interleaved with this one. Outputs are compared between the builds."""
    shuffled_copy(grid)
    tools = [("tool", tool)]
    if args.against:
        tools.insert(0, ("against", os.path.abspath(args.against)))
    small = SCENARIOS[0][1]
    cases = [("290 MB grid", "grid", zone_label, zone, "warm") for zone_label, zone in SCENARIOS]
    cases += [("290 MB shuffled", "grid_shuffled", zone_label, zone, "warm") for zone_label, zone in SCENARIOS]
    cases += [("290 MB grid", "grid", SCENARIOS[0][0], small, "survey alone")]
    cases += [("290 MB grid", "grid", SCENARIOS[0][0], small, "cold extraction")]
    print("\nthe zone map (medians of %d interleaved runs after a warm-up; whole runs, the survey alone (to the "
          "zone prompt), or the extraction alone (from the zone's answers to the end) with the input dropped from "
          "the page cache at the zone prompt)\n" % args.runs)
    print("| file | zone | run | %s | RSS MiB |" % " | ".join("%s s" % label for label, _ in tools)
          + (" against/tool |" if len(tools) == 2 else ""))
    print("|---|---|---|%s---|%s" % ("---|" * len(tools), "---|" if len(tools) == 2 else ""))
    identical = True
    for file_label, name, zone_label, zone, run in cases:
        times = {label: [] for label, _ in tools}
        rss = 0
        for i in range(args.runs + 1):
            for label, program in tools:
                out = "map_%s" % label
                if run == "warm":
                    t, m = timed([program], answers(name, out, zone), cwd=work)
                    if label == "tool":
                        rss = max(rss, m)
                elif run == "survey alone":
                    t = prompted_run(program, work, grid, name, out, zone, False)[0]
                else:
                    t = prompted_run(program, work, grid, name, out, zone, True)[1]
                if i > 0:
                    times[label].append(t)
        if len(tools) == 2:
            identical &= filecmp(os.path.join(grid, "map_against.xyz"), os.path.join(grid, "map_tool.xyz"))
        med = [statistics.median(times[label]) for label, _ in tools]
        print("| %s | %s | %s | %s | %s |%s" % (
            file_label, zone_label, run, " | ".join("%.3f" % m for m in med), "%.1f" % (rss / 1024) if rss else "",
            " %.2fx |" % (med[0] / med[1]) if len(tools) == 2 else ""))
    if len(tools) == 2:
        print("\noutputs of the two builds byte-identical: %s" % ("yes" if identical else "NO"))
    return 0 if identical else 1


def forms_table(args, tool, work, grid, make_grid, answers):
    """The tool on the same points as three columns, six columns,
    comma-separated and by the header's names, interleaved, each against the three-column time; with
    --against, the other build too in the same rounds."""
    rows = 250
    forms = [("three columns", "tenth"), ("six columns X Y Z R G B", "tenth_rgb"), ("comma-separated X,Y,Z", "tenth_comma"),
             ("header id,Z,Y,X,code", "tenth_named")]
    for form, name in forms[1:]:
        path = os.path.join(grid, name + ".xyz")
        if not os.path.exists(path):
            sh([make_grid, str(rows), "4000", path, name.split("_")[1]])
    builds = [("tool", tool)] + ([("against", os.path.abspath(args.against))] if args.against else [])
    print("\nthe same 1000000 points in other forms (medians of %d interleaved runs; processor seconds are user"
          " and system time, to 10 ms)\n" % args.runs)
    print("| build | form | zone | s | against three columns | processor s | against three columns |")
    print("|---|---|---|---|---|---|---|")
    for zone_label, zone in SCENARIOS:
        times = {(b, name): [] for b, _ in builds for _, name in forms}
        cpus = {(b, name): [] for b, _ in builds for _, name in forms}
        for i in range(args.runs + 1):
            for b, binary in builds:
                for _, name in forms:
                    # An older build stops at the first comma (status 4): its time is shown all the same.
                    t, _, c = timed([binary], answers(name, "form_out", zone), cwd=work, check=False, cpu=True)
                    if i > 0:
                        times[(b, name)].append(t)
                        cpus[(b, name)].append(c)
        for b, _ in builds:
            base = statistics.median(times[(b, "tenth")])
            base_cpu = statistics.median(cpus[(b, "tenth")])
            for form, name in forms:
                med = statistics.median(times[(b, name)])
                cpu = statistics.median(cpus[(b, name)])
                print("| %s | %s | %s | %.3f | %.2fx | %.2f | %.2fx |" % (b, form, zone_label, med, med / base, cpu,
                                                                        cpu / max(base_cpu, 0.001)))


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
