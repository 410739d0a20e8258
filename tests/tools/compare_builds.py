"""Runs two builds of the tool on the same random point files and answers and
compares what a user sees: the console text, the output, the report and the
exit status. For a change that must not alter any of them.

    python3 tests/tools/compare_builds.py --before OLD/tessera_sift --after build/tessera_sift --runs 200

--values LO HI draws the coordinates and the zones from [LO, HI] instead
(say 0 10000000, for a change meant only for data outside it).

With --touching, half the files are written in fixed-width columns where a
negative value fills its field and so touches the value before it
("  12.50-345.67"); the summary then tells apart the files that hold such
touching numbers from those whose numbers are all blank-separated.

The summary also counts, among the runs that differ, those whose file holds
a header of several words (`X Y Z`) or a line with a decimal comma
(`1,5 2 3`): the forms a change of the reading rules is most likely to
touch on purpose.
"""

import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

SPELLINGS = ["%d", "%.1f", "%.3f", "%.6f", "%+.2f", "%.2e", "%.0f."]


def random_file(rng, lo, hi, touching=False):
    lines = []
    if rng.random() < 0.2:
        lines.append(rng.choice(["X Y Z", "x,y,z", "Easting Northing Height"]))
    columns = rng.choice([3, 3, 3, 1, 2, 4, 6])
    ending = rng.choice(["\n", "\r\n", "\r"])
    # Fixed-width columns of 7 characters: "-999.99" fills its field.
    fixed = touching and rng.random() < 0.5
    for _ in range(rng.randint(0, 400)):
        if fixed:
            lines.append("".join("%7.2f" % rng.uniform(-999, 999) for _ in range(columns)))
            continue
        values = [rng.uniform(lo, hi) for _ in range(columns)]
        lines.append(" ".join(rng.choice(SPELLINGS) % v for v in values))
    if rng.random() < 0.1:
        lines.insert(rng.randint(0, len(lines)), rng.choice(["abc", "1,5 2 3", "nan 1 2"]))
    text = ending.join(lines) + (ending if rng.random() < 0.8 else "")
    if rng.random() < 0.05:
        text += "\x1a1 2 3\n"
    return text.encode()


def run(program, folder, answers):
    result = subprocess.run([program], cwd=folder, input=answers.encode(), capture_output=True, timeout=60)
    files = {}
    site = os.path.join(folder, "images", "site1")
    for name in sorted(os.listdir(site)):
        with open(os.path.join(site, name), "rb") as f:
            files[name] = f.read()
    return result.returncode, result.stdout, files


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--before", required=True)
    parser.add_argument("--after", required=True)
    parser.add_argument("--runs", type=int, default=100)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--touching", action="store_true",
                        help="write half the files in fixed-width columns whose values may touch")
    parser.add_argument("--values", type=float, nargs=2, default=[-10, 1000], metavar=("LO", "HI"))
    args = parser.parse_args()
    rng = random.Random(args.seed)
    differ = 0
    touching_files = touching_differ = 0
    forms_differ = {"a header of several words": 0, "a decimal comma": 0}
    for i in range(args.runs):
        lo, hi = args.values
        data = random_file(rng, lo, hi, args.touching)
        # A number right after another: a digit or a point, then a sign.
        touches = re.search(rb"[0-9.][+-][0-9.]", data) is not None
        touching_files += touches
        zone = sorted(rng.uniform(lo, hi) for _ in range(2)) + sorted(rng.uniform(lo, hi) for _ in range(2))
        answers = "site1\ndem\nnorth\n%g\n%g\n%g\n%g\n%s\n" % (zone[0], zone[1], zone[2], zone[3],
                                                              rng.choice(["10", "0.5", "3", "0\n2"]))
        seen = []
        for program in (args.before, args.after):
            folder = tempfile.mkdtemp()
            os.makedirs(os.path.join(folder, "images", "site1"))
            with open(os.path.join(folder, "images", "site1", "dem.xyz"), "wb") as f:
                f.write(data)
            seen.append(run(os.path.abspath(program), folder, answers))
            shutil.rmtree(folder)
        if seen[0] != seen[1]:
            differ += 1
            touching_differ += touches
            first = data.split(b"\n")[0].split(b"\r")[0]
            forms_differ["a header of several words"] += b" " in first and not first[:1].isdigit()
            forms_differ["a decimal comma"] += b"1,5 2 3" in data
            print("run %d differs: status %d against %d%s" % (i, seen[0][0], seen[1][0],
                                                             " (touching numbers)" if touches else ""))
    print("%d runs, %d differ" % (args.runs, differ))
    if differ:
        print("of those that differ: " + ", ".join("%d hold %s" % (n, form) for form, n in forms_differ.items()))
    if args.touching:
        print("%d files with touching numbers, %d of them differ; %d files with blank-separated numbers, %d of "
              "them differ" % (touching_files, touching_differ, args.runs - touching_files, differ - touching_differ))
    sys.exit(1 if differ else 0)


if __name__ == "__main__":
    main()
