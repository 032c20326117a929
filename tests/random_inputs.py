#!/usr/bin/env python3
"""Random input files for the differential checks: the valid inputs of sql_agreement.py (tables
that share schemas, expressions of every operator over them), then, for most of them, a few slips
of the kind people make: blanks inside words (re name), a keyword in another case, a bracket,
comma or apostrophe added or dropped, an operand emptied, a record line changed.

Usage: random_inputs.py OUT_DIR [--count N] [--seed S]   writes OUT_DIR/00000.txt ...
The seed is printed.
"""
import argparse
import os
import random
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from sql_agreement import make_input  # noqa: E402

WORDS = [b"union", b"minus", b"product", b"project", b"rename", b"select",
         b"EQ", b"NEQ", b"LT", b"LTE", b"GT", b"GTE", b"AND", b"OR", b"NOT"]


def slip(rng, line):
    kind = rng.randrange(6)
    if kind == 0:  # a blank inside a word, which the language drops
        word = rng.choice(WORDS)
        at = line.find(word)
        if at >= 0:
            cut = at + rng.randint(1, len(word) - 1)
            return line[:cut] + b" " * rng.randint(1, 2) + line[cut:]
    if kind == 1:  # a keyword in another case
        word = rng.choice(WORDS)
        return line.replace(word, word.swapcase(), 1)
    if kind == 2 and line:  # a byte dropped
        at = rng.randrange(len(line))
        return line[:at] + line[at + 1:]
    if kind == 3:  # a bracket, comma, apostrophe or blank added
        at = rng.randint(0, len(line))
        return line[:at] + rng.choice([b"(", b")", b",", b"'", b" ", b"\t"]) + line[at:]
    if kind == 4:  # an operand emptied
        at = line.find(b",")
        if at >= 0:
            end = line.find(b")", at)
            return line[:at + 1] + line[end:] if end >= 0 else line
    return line


def make_slipped_input(rng):
    data = make_input(rng)
    line, rest = data.split(b"\n", 1)
    if rng.random() < 0.6:
        for _ in range(rng.randint(1, 3)):
            line = slip(rng, line)
    if rng.random() < 0.05:  # a record line changed: a value dropped, or a tab put in
        lines = rest.split(b"\n")
        records = [k for k, l in enumerate(lines) if l and b"(" not in l]
        if records:
            k = rng.choice(records)
            lines[k] = lines[k].replace(b", ", b"\t", 1) if rng.random() < 0.5 else \
                lines[k].rsplit(b",", 1)[0]
            rest = b"\n".join(lines)
    return line + b"\n" + rest


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("out_dir")
    parser.add_argument("--count", type=int, default=1000)
    parser.add_argument("--seed", type=int, default=None)
    options = parser.parse_args()
    seed = options.seed if options.seed is not None else int.from_bytes(os.urandom(4), "little")
    print("random_inputs.py: seed %d, %d inputs" % (seed, options.count))
    rng = random.Random(seed)
    os.makedirs(options.out_dir, exist_ok=True)
    for number in range(options.count):
        with open(os.path.join(options.out_dir, "%05d.txt" % number), "wb") as f:
            f.write(make_slipped_input(rng))
    return 0


if __name__ == "__main__":
    sys.exit(main())
