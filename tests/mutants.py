#!/usr/bin/env python3
"""Mutation check of the test suite: applies plausible mistakes to the sources, one at a time,
and reports which tests catch each.

The tree (every file git knows, committed or not, as it stands in the work tree) is copied into
a scratch folder and built there once; each mutant then replaces one exact piece of text in one
file of the copy, is built, and runs the tests (by default every test not labelled slow); the
tests that fail are the ones that catch it. The work tree itself is never changed. A mutant whose
text is not found exactly once, or that does not build, is reported as such. Run on demand, not
in CI: a dozen mutants take a rebuild and a test run each (about 15 minutes on two cores).

usage: mutants.py [--only NAME]... [--labels all|fast] [--jobs N] [--work DIR] [--list]
Exits 1 when a mutant builds and no test catches it."""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# name, file, the text replaced, its replacement, and the mistake it stands for.
MUTANTS = [
    ("json-leaves-0x1f", "src/base/JsonWriter.cpp",
     "} else if (c < 0x20 || c == 0x7F) {", "} else if (c < 0x1F || c == 0x7F) {",
     "the JSON writer leaves the last control byte unescaped"),
    ("json-copies-invalid-utf8", "src/base/JsonWriter.cpp",
     "appendEscape(out_, 0xDC00 + c);", "out_.push_back(static_cast<char>(c));",
     "a byte that is not UTF-8 is copied into the JSON text as it is"),
    ("utf8-takes-surrogates", "src/base/Windows1250.cpp",
     "const bool surrogate = value >= 0xD800 && value <= 0xDFFF;",
     "const bool surrogate = false;",
     "encoded surrogates count as valid UTF-8"),
    ("shrink-skips-last-drop", "src/grading/CounterexampleShrinker.cpp",
     "      simplifyValues();\n      dropRecords();\n", "      simplifyValues();\n",
     "the shrinker drops no records after making values simpler"),
    ("lte-constant-first-as-gt", "src/language/Keywords.h",
     "case LogType::kLte:\n      return LogType::kGte;",
     "case LogType::kLte:\n      return LogType::kGt;",
     "LTE(30, age) is mirrored to GT(age, 30)"),
    ("lte-as-lt", "src/evaluation/Condition.cpp",
     "case LogType::kLte:\n      return order <= 0;", "case LogType::kLte:\n      return order < 0;",
     "LTE holds for smaller values only"),
    ("ranks-key-ten-bytes", "src/evaluation/ColumnRanks.cpp",
     "bytesAt(value, run.offset + 8, 3)) << 8 | left",
     "bytesAt(value, run.offset + 8, 2)) << 16 | left",
     "the string sort key reads ten of its eleven bytes"),
    ("ranks-key-without-length", "src/evaluation/ColumnRanks.cpp",
     "constexpr unsigned kDigits = 12;", "constexpr unsigned kDigits = 11;",
     "the string sort key leaves out how many bytes a value has left"),
    ("minus-cancels-every-equal", "src/evaluation/TableOperators.cpp",
     "      if (s < 0) kept.push_back(j);\n      if (s == 0) ++i;\n",
     "      if (s < 0) kept.push_back(j);\n",
     "one right record of minus cancels every equal left record"),
    ("union-keeps-equal-right", "src/evaluation/TableOperators.cpp",
     "      take(false, j++);\n      if (s == 0) ++i;\n", "      take(false, j++);\n",
     "union takes a record of both operands twice"),
    ("stoi-rejects-int-min", "src/language/StringTokenizer.cpp",
     "negative ? uint64_t{INT_MAX} + 1 : uint64_t{INT_MAX}", "uint64_t{INT_MAX}",
     "-2147483648 is no longer a number"),
    ("sql-apostrophe-single", "src/sql/SqlText.cpp",
     "    if (c == '\\'') out += '\\'';\n", "",
     "an apostrophe in an SQL literal is not doubled"),
    ("diagnostic-column-in-bytes", "src/diagnostics/Diagnostics.cpp",
     "std::to_string(diagnostic.letterColumn) + \": \" +",
     "std::to_string(diagnostic.column) + \": \" +",
     "the text form places a diagnostic by bytes, not letters"),
]


def run(command, cwd, log):
    with open(log, "ab") as out:
        return subprocess.run(command, cwd=cwd, stdout=out, stderr=subprocess.STDOUT).returncode


def copy_tree(work):
    listed = subprocess.run(["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
                            cwd=ROOT, capture_output=True, check=True).stdout
    names = sorted(set(listed.decode().split("\0")) - {""})
    tree, kept = os.path.join(work, "tree"), set(names)
    for folder, _, files in os.walk(tree, topdown=False):  # what the tree no longer has goes
        for file in files:
            path = os.path.join(folder, file)
            if os.path.relpath(path, tree) not in kept:
                os.remove(path)
        if folder != tree and not os.listdir(folder):
            os.rmdir(folder)
    for name in names:
        source = os.path.join(ROOT, name)
        if not os.path.isfile(source):  # deleted in the work tree
            continue
        target = os.path.join(work, "tree", name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        # A file that changed since a kept scratch folder was built gets a new time, so that the
        # build takes it; an unchanged one keeps its time and is not built again.
        with open(source, "rb") as f:
            content = f.read()
        if os.path.exists(target):
            with open(target, "rb") as f:
                if f.read() == content:
                    continue
        with open(target, "wb") as f:
            f.write(content)
        shutil.copymode(source, target)


def failing_tests(build, labels, jobs, log):
    """The names of the tests that fail; None when the tests cannot be run."""
    failed_log = os.path.join(build, "Testing", "Temporary", "LastTestsFailed.log")
    if os.path.exists(failed_log):
        os.remove(failed_log)
    selection = [] if labels == "all" else ["-LE", "slow"]
    status = run(["ctest", "--test-dir", build, "-j", str(jobs), "--timeout", "300"] + selection,
                 build, log)
    if status == 0:
        return []
    if not os.path.exists(failed_log):
        return None
    with open(failed_log) as f:
        return sorted(line.strip().split(":", 1)[1] for line in f if ":" in line)


def describe(tests):
    shown = ", ".join(tests[:3])
    return shown + (" and %d more" % (len(tests) - 3) if len(tests) > 3 else "")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--only", action="append", default=[], metavar="NAME")
    parser.add_argument("--labels", choices=["fast", "all"], default="fast",
                        help="fast: every test not labelled slow (the default); all: every test")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--work", help="the scratch folder (kept); default: a temporary one")
    parser.add_argument("--list", action="store_true", help="list the mutants and stop")
    options = parser.parse_args()
    chosen = [m for m in MUTANTS if not options.only or m[0] in options.only]
    if options.list or not chosen:
        for name, path, _old, _new, mistake in MUTANTS:
            print("%-28s %-36s %s" % (name, path, mistake))
        return 0 if options.list else 1
    work = options.work or tempfile.mkdtemp(prefix="relalg-mutants-")
    os.makedirs(work, exist_ok=True)
    log = os.path.join(work, "log.txt")
    print("scratch folder %s, log %s" % (work, log), flush=True)
    copy_tree(work)
    tree, build = os.path.join(work, "tree"), os.path.join(work, "build")
    build_command = ["cmake", "--build", build, "-j", str(options.jobs)]
    if run(["cmake", "-S", tree, "-B", build, "-DCMAKE_BUILD_TYPE=Release"], work, log) or \
            run(build_command, work, log):
        print("the unchanged tree does not build; see the log")
        return 2
    broken = failing_tests(build, options.labels, options.jobs, log)
    if broken is None:
        print("the tests of the unchanged tree cannot run; see the log")
        return 2
    if broken:
        print("failing before any mutation, left out: " + ", ".join(broken))
    rows, survivors = [], 0
    for name, path, old, new, mistake in chosen:
        source = os.path.join(tree, path)
        with open(source) as f:
            original = f.read()
        if original.count(old) != 1:
            rows.append((name, "text not found once", ""))
            continue
        with open(source, "w") as f:
            f.write(original.replace(old, new))
        try:
            if run(build_command, work, log) != 0:
                rows.append((name, "does not build", ""))
                continue
            failed = failing_tests(build, options.labels, options.jobs, log)
        finally:
            with open(source, "w") as f:
                f.write(original)
        if failed is None:
            rows.append((name, "tests did not run", ""))
            continue
        catchers = [test for test in failed if test not in broken]
        survivors += not catchers
        rows.append((name, str(len(catchers)), describe(catchers) or "SURVIVES: " + mistake))
        print("%s: caught by %d" % (name, len(catchers)), flush=True)
    print("\n| mutant | caught by | tests |\n|---|---|---|")
    for row in rows:
        print("| %s | %s | %s |" % row)
    if not options.work:
        shutil.rmtree(work, ignore_errors=True)
    return 1 if survivors else 0


if __name__ == "__main__":
    sys.exit(main())
