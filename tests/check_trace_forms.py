#!/usr/bin/env python3
"""Checks relalgtrace's machine-readable forms on every example and case input: the output of
--json parses with a real JSON parser, its status and stderr are relalgrun's, and every position
it gives lies inside its line; the output of --dot renders with Graphviz's dot (when dot is
installed; always with --require-dot or when the environment variable CI is set). For an input in
UTF-8, --dot and --sql are UTF-8 too, and hold no letter that the input does not: a text
shortened inside a character would turn into other letters.
usage: check_trace_forms.py RELALGRUN RELALGTRACE EXAMPLES_DIR CASES_DIR MAX_BYTES [--require-dot]"""
import json
import os
import shutil
import subprocess
import sys
import tempfile


def inputs(examples, cases, max_bytes):
    for name in sorted(os.listdir(examples)):
        if name.endswith(".txt"):
            yield os.path.join(examples, name)
    for name in sorted(os.listdir(cases)):
        folder = os.path.join(cases, name)
        path = os.path.join(folder, "in")
        if os.path.isfile(path) and os.path.getsize(path) <= max_bytes:
            yield path


def lines_of(data):
    if data.startswith(b"\xef\xbb\xbf"):
        pass  # the mark counts in the first line's columns
    lines = data.split(b"\n")
    if lines and lines[-1] == b"":
        lines.pop()
    return [line[:-1] if line.endswith(b"\r") else line for line in lines]


def check_position(what, entry, lines, faults):
    line, column, length = entry["line"], entry["column"], entry["length"]
    if not (1 <= line <= max(len(lines), 1)) or column < 1 or length < 1:
        faults.append(f"{what}: position {line}:{column}+{length} outside the input")
        return
    text = lines[line - 1] if lines else b""
    if column + length - 1 > len(text) + 1:
        faults.append(f"{what}: {line}:{column}+{length} runs past the line of {len(text)} bytes")


def check_letters(path, data, form, output, faults):
    try:
        letters = set(data.decode("utf-8"))
    except UnicodeDecodeError:
        return  # Windows-1250 or other bytes: shown as Windows-1250 letters
    try:
        foreign = {c for c in output.decode("utf-8") if ord(c) > 0x7F} - letters
    except UnicodeDecodeError as error:
        faults.append(f"{path}: {form} is no UTF-8, though the input is: {error}")
        return
    if foreign:
        faults.append(f"{path}: {form} shows letters that the input does not hold: {sorted(foreign)}")


def check(path, relalgrun, relalgtrace, dot, faults):
    data = open(path, "rb").read()
    with tempfile.TemporaryDirectory() as scratch:
        plain = subprocess.run([relalgrun, path, os.path.join(scratch, "out.txt")],
                               capture_output=True)
    traced = subprocess.run([relalgtrace, "--json", "--", path], capture_output=True)
    try:
        report = json.loads(traced.stdout.decode("utf-8"))
    except (UnicodeDecodeError, json.JSONDecodeError) as error:
        faults.append(f"{path}: --json does not parse: {error}")
        return
    if report["status"] != plain.returncode or traced.returncode != plain.returncode:
        faults.append(f"{path}: status {report['status']}, relalgrun's {plain.returncode}")
    # The messages' own words are Windows-1250; the text they quote from a UTF-8 input is UTF-8.
    try:
        data.decode("utf-8")
        expected = plain.stderr.decode("utf-8")
    except UnicodeDecodeError:
        try:
            expected = plain.stderr.decode("cp1250")
        except UnicodeDecodeError:
            expected = None  # bytes that the code page leaves unassigned
    if expected is not None and report["stderr"] != expected:
        faults.append(f"{path}: stderr {report['stderr']!r}, relalgrun's {expected!r}")
    lines = lines_of(data)
    for diagnostic in report["diagnostics"]:
        check_position(f"{path}: diagnostic", diagnostic, lines, faults)
    pending = [report["root"]] if report["root"] else []
    while pending:
        node = pending.pop()
        check_position(f"{path}: node {node['text'][:40]!r}", node, lines, faults)
        pending.extend(node["children"])
    graph = subprocess.run([relalgtrace, "--dot", "--", path], capture_output=True)
    check_letters(path, data, "--dot", graph.stdout, faults)
    sql = subprocess.run([relalgtrace, "--sql", "--", path], capture_output=True)
    check_letters(path, data, "--sql", sql.stdout, faults)
    if dot:
        rendered = subprocess.run([dot, "-Tsvg"], input=graph.stdout, capture_output=True)
        if rendered.returncode != 0:
            faults.append(f"{path}: dot rejects --dot: {rendered.stderr.decode(errors='replace')}")


def main():
    relalgrun, relalgtrace, examples, cases, max_bytes = sys.argv[1:6]
    dot = shutil.which("dot")
    if ("--require-dot" in sys.argv or os.environ.get("CI")) and not dot:
        sys.exit("dot is not installed (Debian package graphviz)")
    faults = []
    count = 0
    for path in inputs(examples, cases, int(max_bytes)):
        check(path, relalgrun, relalgtrace, dot, faults)
        count += 1
    for fault in faults:
        print(fault)
    print(f"{count} inputs, {len(faults)} faults" + ("" if dot else " (dot not installed)"))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
