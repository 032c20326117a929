#!/usr/bin/env python3
"""Deep and wide inputs through relalgrun and every form of relalgtrace: time and peak memory.

    python3 bench/deep.py build              # nestings 100,000 deep, tables 50,000 columns wide
    python3 bench/deep.py build --depth 20000 --width 5000 --product-depth 1000

For each operator and condition word, an expression that nests it --depth levels deep, and for
each a run at half the depth, so that the two figures show how time and memory grow; products
nested --product-depth levels without projections, whose schemas grow with the depth; then a
union of a table of --width integer columns with itself (unsorted, so the SQL script walks the
merge). Each input is run by relalgrun and by relalgtrace as text, --json, --dot and --sql; the
table prints seconds and peak resident megabytes, as /usr/bin/time reports them. Runs that fail
otherwise than with status 1 print their status. Needs python3, /usr/bin/time and a build folder
with relalgrun and relalgtrace.
"""
import argparse
import os
import subprocess
import sys
import tempfile


def nested(kind, depth):
    """An expression that nests kind depth levels deep over the table t(a int), with t's names."""
    if kind in ("union", "minus"):
        return "%s(t, " % kind * depth + "t" + ")" * depth
    if kind == "product":  # each projected back to one column, or the schema grows with depth
        return "product(t, project(" * depth + "t" + ", a))" * depth
    if kind == "project":
        return "project(" * depth + "t" + ", a)" * depth
    if kind == "rename":
        return "rename(" * depth + "t" + ", t(a))" * depth
    if kind == "select":
        return "select(" * depth + "t" + ", EQ(a, 1))" * depth
    if kind == "NOT":
        return "select(t, " + "NOT(" * depth + "EQ(a, 1)" + ")" * depth + ")"
    if kind in ("AND", "OR"):
        return "select(t, " + ("%s(EQ(a, 1), " % kind) * depth + "EQ(a, 1)" + ")" * depth + ")"
    raise ValueError(kind)


def run(command, path):
    """Seconds and peak resident megabytes of one run, and its exit status."""
    arguments = [path, path + ".out"] if command[0].endswith("relalgrun") else [path]
    measured = path + ".time"
    with open(os.devnull, "wb") as sink:
        finished = subprocess.run(["/usr/bin/time", "-f", "%e %M", "-o", measured] + command +
                                  arguments, stdout=sink, stderr=sink)
    with open(measured) as f:
        seconds, kilobytes = f.read().split()[-2:]
    return float(seconds), int(kilobytes) / 1024, finished.returncode


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--depth", type=int, default=100000)
    parser.add_argument("--width", type=int, default=50000)
    parser.add_argument("--product-depth", type=int, default=3000)
    options = parser.parse_args()
    relalgrun = os.path.join(options.build, "relalgrun")
    relalgtrace = os.path.join(options.build, "relalgtrace")
    forms = [("relalgrun", [relalgrun]), ("trace", [relalgtrace]),
             ("--json", [relalgtrace, "--json"]), ("--dot", [relalgtrace, "--dot"]),
             ("--sql", [relalgtrace, "--sql"])]
    inputs = []
    for kind in ["union", "minus", "product", "project", "rename", "select", "NOT", "AND", "OR"]:
        for depth in (options.depth // 2, options.depth):
            text = nested(kind, depth) + "\n\nt(a int)\n1\n"
            inputs.append(("%s %d" % (kind, depth), text))
    # A product nested without projections: level k holds k columns, so that the results of all
    # levels hold depth * depth / 2 values, and each form prints about as many.
    for depth in (options.product_depth // 2, options.product_depth):
        text = "product(t, " * depth + "t" + ")" * depth + "\n\nt(a int)\n1\n"
        inputs.append(("product wide %d" % depth, text))
    for width in (options.width // 2, options.width):
        header = "t(" + ", ".join("c%d int" % k for k in range(width)) + ")"
        records = "\n".join(", ".join(str((k * 7 + r) % 5) for k in range(width)) for r in (2, 1, 0))
        inputs.append(("union wide %d" % width, "union(t, t)\n\n%s\n%s\n" % (header, records)))
    print("%-20s" % "input" + "".join("%18s" % name for name, _ in forms))
    with tempfile.TemporaryDirectory() as scratch:
        for name, text in inputs:
            path = os.path.join(scratch, "in.txt")
            with open(path, "w") as f:
                f.write(text)
            cells = []
            for _, command in forms:
                seconds, megabytes, status = run(command, path)
                cell = "%.2f s %4.0f MB" % (seconds, megabytes)
                cells.append(cell if status in (0, 1) else "status %d" % status)
            print("%-20s" % name + "".join("%18s" % cell for cell in cells), flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
