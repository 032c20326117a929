#!/usr/bin/env python3
"""Checks the layers of src/: every file includes project headers by their layer folder
("storage/Table.h"), only from its own layer or a layer below it, and the source units
(X.h with X.cpp) include each other without a cycle. Given the README, checks too that its
table of the source layout has a row for each layer folder, bottom up, naming every unit of
the folder (`Table` for Table.h and Table.cpp). Prints each fault; exits 1 on any.
usage: check_layers.py <src folder> [README.md]"""
import os
import re
import sys

# The levels from the bottom up: a layer may include its own folder and the layers of the levels
# before it, never a layer of its own level or one above. notation/ (the textbook notation, lowered
# to the core line) has its place even while it has no folder.
LEVELS = [["base"], ["files"], ["language"], ["storage"], ["evaluation"], ["run"],
          ["diagnostics", "sql"], ["forms"], ["notation"], ["grading"], ["programs"]]
LEVEL = {layer: level for level, layers in enumerate(LEVELS) for layer in layers}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
LAYOUT_ROW = re.compile(r"^\| `(\w+)/` \|(.*)\|$", re.M)


def main(src, readme=None):
    faults = []
    edges = {}
    for layer in os.listdir(src):
        folder = os.path.join(src, layer)
        if not os.path.isdir(folder):
            continue
        if layer not in LEVEL:
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
                if other not in LEVEL:
                    faults.append(f"{path}: includes {header} from no known layer")
                elif LEVEL[other] > LEVEL[layer]:
                    faults.append(f"{path}: includes {header} from the layer above it")
                elif LEVEL[other] == LEVEL[layer] and other != layer:
                    faults.append(f"{path}: includes {header} from a layer beside it")
                target = os.path.splitext(header)[0]
                if target != unit:
                    edges[unit].add(target)
    faults += [f"include cycle: {' -> '.join(cycle)}" for cycle in cycles(edges)]
    if readme is not None:
        faults += layout_faults(src, readme)
    for fault in faults:
        print(fault)
    print(f"{len(edges)} units, {sum(map(len, edges.values()))} include edges, {len(faults)} faults")
    return 1 if faults else 0


def layout_faults(src, readme):
    """Where the README's layout table and the folders of src disagree."""
    with open(readme) as text:
        section = text.read().split("## Source layout", 1)[-1].split("\n## ", 1)[0]
    rows = {folder: words for folder, words in LAYOUT_ROW.findall(section)}
    folders = [layer for layer in os.listdir(src) if os.path.isdir(os.path.join(src, layer))]
    faults = [f"README: no row for {layer}/" for layer in sorted(folders) if layer not in rows]
    faults += [f"README: a row for {layer}/, which src lacks" for layer in rows
               if layer not in folders]
    if list(rows) != sorted(rows, key=lambda layer: LEVEL.get(layer, len(LEVELS))):
        faults.append("README: the layout rows are not in the order of the layers")
    for layer in sorted(set(folders) & set(rows)):
        named = set(re.findall(r"`(\w+)(?:\.h)?`", rows[layer]))
        units = {os.path.splitext(name)[0] for name in os.listdir(os.path.join(src, layer))}
        faults += [f"README: the row of {layer}/ does not name {unit}"
                   for unit in sorted(units - named)]
    return faults


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
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "src",
                  sys.argv[2] if len(sys.argv) > 2 else None))
