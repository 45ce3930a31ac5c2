#!/usr/bin/env python3
"""Checks the include structure of the sources.

- No two units of src/workspace (a unit is a .h with its .cpp) include each
  other, directly or through other units of the folder.
- No file of the feature libraries includes the main window's header: they
  work on the main session and the window's parts.

Prints each finding and exits with 1 when there is one.
"""
import pathlib
import re
import sys

SOURCE = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent / "src")
FEATURES = ["transfers", "search", "preview", "update"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)\.h"', re.MULTILINE)


def unit_edges(folder):
    units = {path.stem for path in folder.glob("*.h")} | {path.stem for path in folder.glob("*.cpp")}
    edges = {unit: set() for unit in units}
    for path in list(folder.glob("*.h")) + list(folder.glob("*.cpp")):
        for included in INCLUDE.findall(path.read_text(encoding="utf-8")):
            name = pathlib.PurePosixPath(included).name
            if name in units and name != path.stem:
                edges[path.stem].add(name)
    return edges


def cycles(edges):
    """The strongly connected components with more than one unit (Tarjan)."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []

    def visit(unit):
        index[unit] = low[unit] = len(index)
        stack.append(unit)
        on_stack.add(unit)
        for other in sorted(edges[unit]):
            if other not in index:
                visit(other)
                low[unit] = min(low[unit], low[other])
            elif other in on_stack:
                low[unit] = min(low[unit], index[other])
        if low[unit] == index[unit]:
            component = []
            while True:
                member = stack.pop()
                on_stack.discard(member)
                component.append(member)
                if member == unit:
                    break
            if len(component) > 1:
                found.append(sorted(component))

    sys.setrecursionlimit(10000)
    for unit in sorted(edges):
        if unit not in index:
            visit(unit)
    return found


def main():
    problems = []
    for component in cycles(unit_edges(SOURCE / "workspace")):
        problems.append("src/workspace: these units include each other: " + ", ".join(component))
    for feature in FEATURES:
        for path in sorted((SOURCE / feature).rglob("*")):
            if path.suffix in (".h", ".cpp") and '"tftpqvx.h"' in path.read_text(encoding="utf-8"):
                problems.append(f"{path.relative_to(SOURCE.parent)} includes tftpqvx.h")
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
