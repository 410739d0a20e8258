"""What the console costs the Windows build: the program run under Wine on a
pseudo-terminal (Wine gives it a console, rendered with cursor escape
sequences) and with standard output on a pipe, over the same file, answers
typed. Prints the wall time of each whole run (Wine's start included) and
the bytes that reached the terminal or the pipe.

    python3 bench/windows_console.py --program build-windows/tessera_sift.exe [--program OTHER.exe]
        [--records 2000000] [--runs 3]
"""

import argparse
import os
import pty
import select
import shutil
import signal
import statistics
import subprocess
import tempfile
import termios
import time

ANSWERS = b"site1 dem north 0 1000 0 1000 1"


def environment(prefix):
    env = dict(os.environ)
    env.update(WINEPREFIX=prefix, WINEDEBUG="-all", LANG="C.UTF-8", LC_ALL="C.UTF-8", TERM="xterm")
    env.pop("DISPLAY", None)
    return env


def on_terminal(program, prefix):
    """One run on a pseudo-terminal, the answers typed on one line once the
    console reads the keyboard. Returns (seconds, bytes shown)."""
    start = time.perf_counter()
    pid, master = pty.fork()
    if pid == 0:
        os.chdir(os.path.join(prefix, "drive_c"))
        os.execvpe("wine", ["wine", program], environment(prefix))
    shown = 0
    typed = False
    while True:
        if not typed and not termios.tcgetattr(master)[3] & termios.ICANON:
            os.write(master, ANSWERS + b"\r")
            typed = True
        ready, _, _ = select.select([master], [], [], 0.05)
        if ready:
            try:
                chunk = os.read(master, 65536)
            except OSError:
                break
            if not chunk:
                break
            shown += len(chunk)
        elif os.waitpid(pid, os.WNOHANG)[0]:
            pid = 0
            break
    if pid:
        os.waitpid(pid, 0)
    os.close(master)
    return time.perf_counter() - start, shown


def on_pipe(program, prefix):
    start = time.perf_counter()
    p = subprocess.run(["wine", program], input=ANSWERS + b"\n", stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                       cwd=os.path.join(prefix, "drive_c"), env=environment(prefix), start_new_session=True)
    return time.perf_counter() - start, len(p.stdout)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", action="append", required=True)
    parser.add_argument("--records", type=int, default=2000000)
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    prefix = tempfile.mkdtemp(prefix="wine-console-bench-")
    try:
        site = os.path.join(prefix, "drive_c", "images", "site1")
        os.makedirs(site)
        with open(os.path.join(site, "dem.xyz"), "wb") as f:
            f.write(b"".join(b"%d.5 %d.25 1.125\n" % (i % 5000, i // 5000) for i in range(args.records)))
        subprocess.run(["wine", "cmd", "/c", "exit"], env=environment(prefix), stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=600)
        print("%d records, %d runs each, median wall time (Wine start included)" % (args.records, args.runs))
        print("| program | stdout | seconds | bytes shown |")
        print("|---|---|---|---|")
        for program in args.program:
            for name, run in (("console", on_terminal), ("pipe", on_pipe)):
                run(os.path.abspath(program), prefix)  # warm-up
                results = [run(os.path.abspath(program), prefix) for _ in range(args.runs)]
                print("| %s | %s | %.2f | %d |" % (program, name, statistics.median(r[0] for r in results),
                                                   results[-1][1]))
    finally:
        subprocess.run(["wineserver", "-k"], env=environment(prefix), stderr=subprocess.DEVNULL)
        shutil.rmtree(prefix, ignore_errors=True)


if __name__ == "__main__":
    main()
