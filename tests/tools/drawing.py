#!/usr/bin/env python3
"""Draws how the files of src/ depend on one another, and checks it.

    drawing.py SRC [LIBRARY.a ...]

The includes are read from the sources (`#include "..."`); the calls from
the built static libraries, by which member uses a symbol that another
member defines (`nm`), so a call is drawn to the function the linker binds
and never to one of the same name elsewhere (a `std::string::append` is
not the survey's sentence helper). It prints, for includes and for calls,
the folders each folder reaches and how often, and fails (status 1) on a
circle between files of different folders, on a circle of includes between
any files, and on any reach from a folder to one above it:

    main, treatment  ->  phases  ->  run  ->  host
                                      \\->  points  (which reaches nothing)
"""
import collections
import pathlib
import re
import subprocess
import sys

# What each folder may reach besides itself: the order of the layers.
ALLOWED = {
    "driver": {"phases", "run", "host", "points"},
    "phases": {"run", "host", "points"},
    "run": {"host", "points"},
    "host": set(),
    "points": set(),
}


def folder_of(path):
    parts = pathlib.PurePath(path).parts
    return parts[-2] if len(parts) >= 2 and parts[-2] in ALLOWED else "driver"


def include_edges(src):
    edges = set()
    for f in sorted(src.rglob("*")):
        if f.suffix not in (".h", ".cpp"):
            continue
        here = str(f.relative_to(src))
        for m in re.finditer(r'^#include "([^"]+)"', f.read_text(encoding="utf-8"), re.M):
            edges.add((here, m.group(1)))
    return edges


def call_edges(libraries):
    defined, used = {}, collections.defaultdict(set)
    for lib in libraries:
        out = subprocess.run(["nm", "-A", lib], capture_output=True, text=True, check=True).stdout
        for line in out.splitlines():
            m = re.match(r"[^:]+:([^:]+\.o(?:bj)?):\s*(?:[0-9a-f]+)?\s+(\w)\s+(\S+)$", line)
            if not m:
                continue
            member, kind, symbol = m.groups()
            name = re.sub(r"\.(cpp|c)\.o(bj)?$", "", member)
            if kind in "TDBR":
                defined.setdefault(symbol, name)
            elif kind == "U":
                used[name].add(symbol)
    members = set(defined.values())

    def source_of(member):  # a member is named after its source file alone
        for f in SOURCES:
            if f.name == member + ".cpp":
                return str(f.relative_to(SRC).with_suffix(""))
        return member

    edges = set()
    for member, symbols in used.items():
        for s in symbols:
            target = defined.get(s)
            if target and target != member and target in members:
                edges.add((source_of(member), source_of(target)))
    return edges


def circle(edges):
    """A circle of the graph, as a list of nodes, or None."""
    graph = collections.defaultdict(list)
    for a, b in edges:
        graph[a].append(b)
    state, stack = {}, []

    def visit(n):
        state[n] = 1
        stack.append(n)
        for m in graph[n]:
            if state.get(m) == 1:
                return stack[stack.index(m):] + [m]
            if m not in state:
                found = visit(m)
                if found:
                    return found
        stack.pop()
        state[n] = 2
        return None

    for n in list(graph):
        if n not in state:
            found = visit(n)
            if found:
                return found
    return None


def check(kind, edges, whole_files):
    faults = []
    between = collections.Counter()
    for a, b in edges:
        fa, fb = folder_of(a), folder_of(b)
        if fa != fb:
            between[(fa, fb)] += 1
            if fb not in ALLOWED[fa]:
                faults.append(f"{kind}: {a} reaches {b}, above it")
    print(f"{kind}:")
    for (fa, fb), n in sorted(between.items()):
        print(f"  {fa:8} -> {fb:8} {n:4}")
    folders = {(folder_of(a), folder_of(b)) for a, b in edges if folder_of(a) != folder_of(b)}
    c = circle(folders)
    if c:
        faults.append(f"{kind}: a circle of folders: {' -> '.join(c)}")
    if whole_files:
        c = circle(edges)
        if c:
            faults.append(f"{kind}: a circle of files: {' -> '.join(c)}")
    return faults


if __name__ == "__main__":
    SRC = pathlib.Path(sys.argv[1]).resolve()
    SOURCES = [f for f in SRC.rglob("*.cpp")]
    faults = check("includes", include_edges(SRC), True)
    if len(sys.argv) > 2:
        faults += check("calls", call_edges(sys.argv[2:]), False)
    for f in faults:
        print(f)
    sys.exit(1 if faults else 0)
