#!/usr/bin/env python3
"""Grades the submissions of each exercise folder with relalgcheck and holds the verdicts and the
counterexamples to relalgrun. An exercise folder holds exercise.txt, data sets data-*.txt and
submissions/*.txt whose names start with the verdict they must get: right-, wrong- or failed-.
An exercise or a submission may be a program in the notation, graded by its lowering.

Each folder is graded twice: with its data sets, and with the exercise's data alone, where every
wrong submission must still be found wrong (by a generated data set). For every counterexample:
relalgrun, run on it with the submission's expression and with the reference's, must give other
results (or fail with the submission only); it must meet the exercise's requirements (its lines
"-- requires: ..."); and dropping any one record line of it must make the two agree, break a
requirement, or empty a part of the reference that it did not leave empty (a stored table that the
reference reads, or a select of one, as relalgtrace --json counts them). The median counterexample
holds at most 5 records.

usage: check_grader.py [--tries=N] <relalgcheck> <relalgrun> <relalgtrace> <exercise folder>..."""
import json
import os
import re
import statistics
import subprocess
import sys
import tempfile


def result_of(relalgrun, input_bytes, scratch):
    """relalgrun's status and, on success, the result's column kinds and set of record lines."""
    source = os.path.join(scratch, "in.txt")
    output = os.path.join(scratch, "out.txt")
    with open(source, "wb") as f:
        f.write(input_bytes)
    if os.path.exists(output):
        os.remove(output)
    status = subprocess.run([relalgrun, source, output], capture_output=True).returncode
    if status != 0:
        return (status, None, None)
    with open(output, "rb") as f:
        lines = f.read()[len(input_bytes) + 1:].split(b"\n")[:-1]
    kinds = tuple(column.strip().endswith(b" int") for column in
                  lines[0][lines[0].index(b"(") + 1:-1].split(b","))
    return (0, kinds, frozenset(lines[1:]))


def record_lines(input_bytes):
    """The indexes of the record lines of an input file: the lines after a header line."""
    lines = input_bytes.split(b"\n")
    records, in_block, after_empty = [], False, False
    for k, line in enumerate(lines[1:], start=1):
        if line == b"":
            in_block, after_empty = False, True
        elif after_empty:
            in_block, after_empty = True, False
        elif in_block:
            records.append(k)
    return lines, records


def requirements(exercise_bytes):
    """The requirements of the exercise's lines '-- requires:': (kind, table, columns, target,
    target columns), each columns a list of names."""
    found = []
    for line in exercise_bytes.decode("latin-1").split("\n"):
        line = line.rstrip("\r")
        if not line:
            break
        for text in line[len("-- requires:"):].split(";") if line.startswith("-- requires:") else []:
            names = lambda listed: [name.strip() for name in listed.split(",")]
            if m := re.fullmatch(r"\s*nonempty\s+(.*?)\s*", text):
                found += [("nonempty", table, [], None, []) for table in names(m[1])]
            elif m := re.fullmatch(r"\s*key\s+(\S+?)\s*\((.*)\)\s*", text):
                found.append(("key", m[1], names(m[2]), None, []))
            elif m := re.fullmatch(r"\s*(\S+?)\s*\((.*?)\)\s*references\s+(\S+?)\s*\((.*)\)\s*", text):
                found.append(("references", m[1], names(m[2]), m[3], names(m[4])))
            else:
                raise ValueError(f"cannot read the requirement {text!r}")
    return found


def tables_of(input_bytes):
    """The tables of an input file: name -> (column names, records as tuples of values)."""
    tables, current = {}, None
    lines = input_bytes.decode("latin-1").split("\n")
    for k, line in enumerate(lines[1:], start=1):
        if line == "":
            current = None
        elif current is None and lines[k - 1] == "":
            name, columns = line.split("(", 1)
            current = tables[name.strip()] = ([c.split()[0] for c in columns.split(",")], [])
        elif current is not None:
            current[1].append(tuple(value.strip() for value in line.split(",")))
    return tables


def breaks(reqs, input_bytes):
    """Whether the tables of the input break one of the requirements."""
    tables = tables_of(input_bytes)
    values = lambda table, columns: [tuple(r[tables[table][0].index(c)] for c in columns)
                                     for r in tables[table][1]]
    for kind, table, columns, target, targets in reqs:
        if kind == "nonempty" and not tables[table][1]:
            return True
        if kind == "key" and len(set(values(table, columns))) < len(tables[table][1]):
            return True
        if kind == "references" and not set(values(table, columns)) <= set(values(target, targets)):
            return True
    return False


def empty_parts(relalgtrace, reference, input_bytes, scratch):
    """The texts of the parts of the reference that are empty over the input's tables: stored
    tables it reads, and selects of one stored table (through select, project and rename)."""
    source = os.path.join(scratch, "trace.txt")
    with open(source, "wb") as f:
        f.write(reference + input_bytes[input_bytes.index(b"\n"):])
    trace = json.loads(subprocess.run([relalgtrace, "--json", source], capture_output=True).stdout)
    empty = set()

    def one_table(node):  # whether the node reads one stored table; notes its empty parts
        children = [one_table(child) for child in node.get("children", [])]
        single = node["kind"] == "table" or (node["kind"] in ("select", "project", "rename")
                                             and children == [True])
        if (node["kind"] == "table" or (node["kind"] == "select" and single)) and node["count"] == 0:
            empty.add(node["text"])
        return single

    one_table(trace["root"])
    return empty


def tells_apart(relalgrun, reference, input_bytes, scratch):
    expected = result_of(relalgrun, reference + input_bytes[input_bytes.index(b"\n"):], scratch)
    if expected[0] != 0:
        return False
    return result_of(relalgrun, input_bytes, scratch) != expected


def check_folder(programs, folder, with_data, tries, scratch, faults, sizes):
    relalgcheck, relalgrun, relalgtrace = programs
    exercise = os.path.join(folder, "exercise.txt")
    with open(exercise, "rb") as f:
        exercise_bytes = f.read()
    reqs = requirements(exercise_bytes)
    # The JSON gives the counterexample as UTF-8; a Windows-1250 exercise's one was converted.
    try:
        exercise_bytes.decode("utf-8")
        encoding = "utf-8"
    except UnicodeDecodeError:
        encoding = "cp1250"
    data = sorted(os.path.join(folder, name) for name in os.listdir(folder)
                  if name.startswith("data-") and with_data)
    submissions = sorted(os.path.join(folder, "submissions", name)
                         for name in os.listdir(os.path.join(folder, "submissions")))
    command = [relalgcheck, "--json", "--budget=60", f"--tries={tries}", exercise] + \
              [f"--data={path}" for path in data] + submissions
    run = subprocess.run(command, capture_output=True)
    report = json.loads(run.stdout)
    # The reference expression line: the exercise's first line, or the lowering of its program.
    reference = report["reference"].encode(encoding)
    label = f"{folder} ({'with' if with_data else 'without'} its data sets)"
    for submission in report["submissions"]:
        name = os.path.basename(submission["file"])
        want = name.split("-")[0]
        if submission["verdict"] != want:
            faults.append(f"{label}: {name} is {submission['verdict']}, not {want}")
            continue
        example = submission["counterexample"]
        if want != "wrong":
            continue
        if example is None:
            faults.append(f"{label}: {name} has no counterexample")
            continue
        input_bytes = example["input"].encode(encoding)
        sizes.append(example["records"])
        if not tells_apart(relalgrun, reference, input_bytes, scratch):
            faults.append(f"{label}: relalgrun finds no difference on the counterexample of {name}")
            continue
        if breaks(reqs, input_bytes):
            faults.append(f"{label}: {name}: the counterexample breaks a requirement")
        lines, records = record_lines(input_bytes)
        if len(records) != example["records"]:
            faults.append(f"{label}: {name}: {len(records)} record lines, {example['records']} said")
        empty = empty_parts(relalgtrace, reference, input_bytes, scratch)
        for k in records:
            smaller = b"\n".join(lines[:k] + lines[k + 1:])
            if tells_apart(relalgrun, reference, smaller, scratch) and not breaks(reqs, smaller) \
                    and empty_parts(relalgtrace, reference, smaller, scratch) <= empty:
                faults.append(f"{label}: {name}: the counterexample without line {k + 1} still "
                              f"tells them apart")
                break
    if run.returncode != (0 if all(os.path.basename(s).startswith("right-") for s in submissions) else 1):
        faults.append(f"{label}: exit status {run.returncode}")
    print(f"{label}: {len(report['submissions'])} submissions graded")


def main():
    arguments = sys.argv[1:]
    tries = 10000
    if arguments and arguments[0].startswith("--tries="):
        tries = int(arguments.pop(0)[len("--tries="):])
    programs, folders = arguments[:3], arguments[3:]
    faults, sizes = [], []
    with tempfile.TemporaryDirectory() as scratch:
        for folder in folders:
            for with_data in (True, False):
                check_folder(programs, folder, with_data, tries, scratch, faults, sizes)
    median = statistics.median(sizes) if sizes else 0
    print(f"{len(sizes)} counterexamples, median {median} records, largest {max(sizes, default=0)}")
    if median > 5:
        faults.append(f"the median counterexample holds {median} records, more than 5")
    for fault in faults:
        print("FAULT:", fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
