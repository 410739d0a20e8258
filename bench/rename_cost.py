#!/usr/bin/env python3
"""The cost of publishing an output by rename, against today's truncation.

A completed run renames its temporary output over the earlier one. This
writes a 420 MB earlier output and a 420 MB new one (as large as the
"every point" output of bench/run.py) on the device to measure (default:
the current directory) and times, interleaved, several times each:
  - truncate: opening the earlier file for writing in place empties it
    (what a run cost before it published by rename);
  - rename: the new file renamed over the earlier one, no sync (ext4 then
    allocates and starts writing the new file's blocks before the rename,
    its safeguard for replace-by-rename);
  - fsync + rename: the same after an fsync of the new file, which makes
    the publish survive a power loss on any file system;
  - exchange + unlink: the two names swapped (Linux renameat2
    RENAME_EXCHANGE), then the earlier file removed: no safeguard.
Usage: python3 bench/rename_cost.py [folder] [runs]"""

import ctypes
import os
import statistics
import sys
import tempfile
import time

SIZE = 420 * 1000 * 1000
BLOCK = b"636000.000000 849000.000000 100.000000\r\n" * 25000  # 1 MB of records
RENAME_EXCHANGE = 2
AT_FDCWD = -100
libc = ctypes.CDLL(None, use_errno=True)


def write(path):
    with open(path, "wb") as f:
        for _ in range(SIZE // len(BLOCK)):
            f.write(BLOCK)


def truncate(old, new):
    open(old, "wb").close()


def rename(old, new):
    os.rename(new, old)


def fsync_rename(old, new):
    fd = os.open(new, os.O_RDONLY)
    os.fsync(fd)
    os.close(fd)
    os.rename(new, old)


def exchange_unlink(old, new):
    if libc.renameat2(AT_FDCWD, new.encode(), AT_FDCWD, old.encode(), RENAME_EXCHANGE) != 0:
        raise OSError(ctypes.get_errno(), "renameat2")
    os.unlink(new)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "."
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    methods = [truncate, rename, fsync_rename, exchange_unlink]
    figures = {m.__name__: [] for m in methods}
    with tempfile.TemporaryDirectory(dir=folder) as d:
        old, new = os.path.join(d, "north.xyz"), os.path.join(d, ".north.xyz.tmp")
        for _ in range(runs):
            for method in methods:
                write(old)
                os.sync()  # the earlier output is on the device, the new one
                write(new)  # still in the page cache, as at the end of a run
                start = time.perf_counter()
                method(old, new)
                figures[method.__name__].append(time.perf_counter() - start)
                if os.path.exists(new):
                    os.remove(new)
    print("publishing over a 420 MB output (%d runs each):" % runs)
    for name, values in figures.items():
        print("  %-16s median %.3f s  (min %.3f, max %.3f)"
              % (name, statistics.median(values), min(values), max(values)))


if __name__ == "__main__":
    main()
