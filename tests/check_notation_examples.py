#!/usr/bin/env python3
"""Runs the notation examples of examples/notation/: each NAME.txt is a program in textbook
notation whose second comment line, "-- textbook: E", is the same query as one textbook
expression. relalgtrace --notation --core lowers the program, relalgrun runs the lowering, and its
output file must be NAME.out byte for byte; the textbook expression, lowered over the same tables,
must give the same result table. Prints the lengths, in letters with runs of blanks as one: the
program (without comments), the textbook expression T, T plus its names (each step written as
"Name ← E" on a line of its own and used by name: twice the name and four letters more per step),
and the core line. A program that is on average longer than the textbook form plus its names
fails the check.

usage: check_notation_examples.py <relalgtrace> <relalgrun> <examples/notation folder>"""
import os
import re
import subprocess
import sys
import tempfile

STEP = re.compile(r"^\s*([^\s:<←]+)\s*(:=|<-|←)")


def letters(text):
    return len(re.sub(r"[ \t]+", " ", text).strip())


def lowered_output(relalgtrace, relalgrun, text, scratch):
    """relalgrun's output file for the lowering of a notation file, and the lowering's core line."""
    source = os.path.join(scratch, "program.txt")
    with open(source, "wb") as f:
        f.write(text)
    lowering = subprocess.run([relalgtrace, "--notation", "--core", source], capture_output=True)
    if lowering.returncode != 0:
        return None, lowering.stderr.decode()
    core = os.path.join(scratch, "core.txt")
    output = os.path.join(scratch, "out.txt")
    with open(core, "wb") as f:
        f.write(lowering.stdout)
    run = subprocess.run([relalgrun, core, output], capture_output=True)
    if run.returncode != 0:
        return None, run.stderr.decode()
    with open(output, "rb") as f:
        return f.read(), lowering.stdout.split(b"\n")[0].decode()


def main(relalgtrace, relalgrun, folder):
    faults, rows = [], []
    with tempfile.TemporaryDirectory() as scratch:
        for name in sorted(n for n in os.listdir(folder) if n.endswith(".txt")):
            with open(os.path.join(folder, name), "rb") as f:
                text = f.read()
            program, blocks = text.split(b"\n\n", 1)
            lines = program.decode().split("\n")
            textbook = next(l for l in lines if l.startswith("-- textbook: "))[len("-- textbook: "):]
            code = [l for l in lines if not l.lstrip().startswith("--")]
            steps = [STEP.match(l).group(1) for l in code if STEP.match(l)]
            output, core = lowered_output(relalgtrace, relalgrun, text, scratch)
            if output is None:
                faults.append(f"{name}: {core}")
                continue
            with open(os.path.join(folder, name[:-4] + ".out"), "rb") as f:
                if f.read() != output:
                    faults.append(f"{name}: the output file differs from {name[:-4]}.out")
            alone, _ = lowered_output(relalgtrace, relalgrun,
                                      textbook.encode() + b"\n\n" + blocks, scratch)
            if alone is None or alone.split(b"\n\n")[-1] != output.split(b"\n\n")[-1]:
                faults.append(f"{name}: the textbook expression gives another result")
            written = letters("\n".join(l.strip() for l in code))
            plain = letters(textbook)
            named = plain + sum(2 * len(s) + 4 for s in steps)
            rows.append((name[:-4], written, plain, named, len(core)))
    print(f"{'query':26} {'program':>7} {'textbook':>8} {'+names':>6} {'core':>5} "
          f"{'program/(textbook+names)':>24} {'core/textbook':>13}")
    for query, written, plain, named, core in rows:
        print(f"{query:26} {written:7} {plain:8} {named:6} {core:5} {written / named:24.2f} "
              f"{core / plain:13.2f}")
    if rows:
        mean = sum(r[1] / r[3] for r in rows) / len(rows)
        core_mean = sum(r[4] / r[2] for r in rows) / len(rows)
        print(f"{'mean':26} {'':7} {'':8} {'':6} {'':5} {mean:24.2f} {core_mean:13.2f}")
        if mean > 1:
            faults.append(f"the programs are on average {mean:.2f} times the textbook form plus names")
    for fault in faults:
        print("FAULT:", fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
