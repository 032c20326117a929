#!/usr/bin/env python3
"""Checks the layers of src/: every file includes project headers by their layer folder
("storage/Table.h"), only from its own layer or a layer below it, and the source units
(X.h with X.cpp) include each other without a cycle. Prints each fault; exits 1 on any.
usage: check_layers.py <src folder>"""
import os
import re
import sys

# From the bottom up: a layer may include the layers before it in this list.
LAYERS = ["base", "files", "language", "storage", "evaluation", "run", "trace", "notation",
          "grading", "programs"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def main(src):
    faults = []
    edges = {}
    for layer in os.listdir(src):
        folder = os.path.join(src, layer)
        if not os.path.isdir(folder):
            continue
        if layer not in LAYERS:
            faults.append(f"{layer}/: not a known layer")
            continue
        for name in sorted(os.listdir(folder)):
            path = f"{layer}/{name}"
            unit = f"{layer}/{os.path.splitext(name)[0]}"
            edges.setdefault(unit, set())
            with open(os.path.join(folder, name), errors="replace") as text:
                included = INCLUDE.findall(text.read())
            for header in included:
                if "/" not in header:
                    faults.append(f"{path}: includes {header} without its layer folder")
                    continue
                other = header.split("/")[0]
                if other not in LAYERS:
                    faults.append(f"{path}: includes {header} from no known layer")
                elif LAYERS.index(other) > LAYERS.index(layer):
                    faults.append(f"{path}: includes {header} from the layer above it")
                target = os.path.splitext(header)[0]
                if target != unit:
                    edges[unit].add(target)
    faults += [f"include cycle: {' -> '.join(cycle)}" for cycle in cycles(edges)]
    for fault in faults:
        print(fault)
    print(f"{len(edges)} units, {sum(map(len, edges.values()))} include edges, {len(faults)} faults")
    return 1 if faults else 0


def cycles(edges):
    """One cycle through each unit that lies on one, found by depth-first search."""
    found, state = [], {}
    def visit(unit, path):
        state[unit] = "open"
        for target in sorted(edges.get(unit, ())):
            if state.get(target) == "open":
                found.append(path[path.index(target):] + [target])
            elif target not in state:
                visit(target, path + [target])
        state[unit] = "done"
    for unit in sorted(edges):
        if unit not in state:
            visit(unit, [unit])
    return found


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "src"))
