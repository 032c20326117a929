#!/usr/bin/env python3
"""Checks of relalgcheck at its edges that a case folder cannot hold:

- a verdict does not depend on the load: eight copies of a slow right submission, checked at once
  on one processor, are right with the budget under which one alone is right (the budget counts
  processor time, not wall time);
- the checks die with the grader: SIGTERM or SIGINT to relalgcheck alone leaves no check running;
- --save writes nothing outside its folder and loses no counterexample: submissions of the same
  file name get names of their own, and a link in the folder is replaced, never followed;
- numbers of options are read strictly: a budget is digits with at most one decimal point, and
  --max-memory gives a check at least 32M.

usage: check_grader_edges.py <relalgcheck>"""
import json
import os
import signal
import subprocess
import sys
import tempfile
import time

SLOW = "select(product(t, rename(t, u(y))), EQ(x, y))\n"


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(text)


def exercise(folder, records):
    path = os.path.join(folder, "exercise.txt")
    write(path, SLOW + "\nt(x int)\n" + "".join("%d\n" % k for k in range(records)))
    return path


def grade(relalgcheck, args, pinned=False):
    run = subprocess.run([relalgcheck, "--json"] + args, capture_output=True,
                         preexec_fn=(lambda: os.sched_setaffinity(0, {0})) if pinned else None)
    return run.returncode, json.loads(run.stdout) if run.stdout else None, run.stderr


def check_load(relalgcheck, folder, faults):
    # Processor time is not free of noise on a virtual machine: the first touch of memory the
    # host has not yet given the guest is charged to the process that faults it in, several times
    # over. So the copies run once to warm up, and the check is tried three times; a budget that
    # counted wall time would fail every try (each copy waits for the seven others).
    ex = exercise(folder, 2000)
    copies = [os.path.join(folder, "copies", "s%d.txt" % k) for k in range(8)]
    for path in copies:
        write(path, SLOW)
    grade(relalgcheck, ["--tries=0", "--jobs=8", ex] + copies, pinned=True)
    tries = []
    for _ in range(3):
        _, alone, _ = grade(relalgcheck, ["--tries=0", "--jobs=1", ex, copies[0]], pinned=True)
        budget = max(4 * alone["submissions"][0]["seconds"], 0.1)
        status, report, _ = grade(relalgcheck, ["--tries=0", "--jobs=8", "--budget=%.3f" % budget,
                                                ex] + copies, pinned=True)
        verdicts = [s["verdict"] for s in report["submissions"]]
        if status == 0 and verdicts == ["right"] * 8:
            return
        tries.append("budget %.3f s: %s (status %d)" % (
            budget, [s["reason"] or s["verdict"] for s in report["submissions"]], status))
    faults.append("eight at once on one processor, three tries: " + "; ".join(tries))


def children_of(pid):
    try:
        with open("/proc/%d/task/%d/children" % (pid, pid)) as f:
            return [int(child) for child in f.read().split()]
    except OSError:
        return []


def running(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] not in ("Z", "X")
    except OSError:
        return False


def check_signals(relalgcheck, folder, faults):
    ex = os.path.join(folder, "ex.txt")
    write(ex, "select(t, GT(x, 2))\n\nt(x int)\n1\n3\n")
    submission = os.path.join(folder, "right.txt")
    write(submission, "select(t, GT(x, 2))\n")
    for sent in (signal.SIGTERM, signal.SIGINT):
        # A right submission searches generated data sets until its budget ends.
        grader = subprocess.Popen([relalgcheck, "--budget=60", "--tries=1000000000", ex, submission],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                  start_new_session=True)
        checks = []
        for _ in range(200):
            checks = children_of(grader.pid)
            if checks:
                break
            time.sleep(0.05)
        grader.send_signal(sent)
        status = grader.wait(timeout=30)
        time.sleep(0.2)
        left = [pid for pid in checks if running(pid)]
        if not checks or left or status != -sent:
            faults.append("%s to the grader: checks %s, still running %s, status %s"
                          % (sent.name, checks, left, status))
        for pid in left:
            os.kill(pid, signal.SIGKILL)


def check_save(relalgcheck, folder, faults):
    ex = os.path.join(folder, "ex.txt")
    write(ex, "select(t, GT(x, 2))\n\nt(x int)\n1\n3\n")
    first, second = os.path.join(folder, "a", "s.txt"), os.path.join(folder, "b", "s.txt")
    write(first, "select(t, GTE(x, 1))\n")
    write(second, "select(t, GT(x, 0))\n")
    save = os.path.join(folder, "save")
    outside = os.path.join(folder, "outside.txt")
    write(outside, "keep\n")
    os.makedirs(save)
    os.symlink(outside, os.path.join(save, "s.counterexample.txt"))
    status, report, _ = grade(relalgcheck, ["--save=" + save, ex, first, second])
    saved = [(s["counterexample"] or {}).get("saved") for s in report["submissions"]]
    expected = [os.path.join(save, "s.counterexample.txt"), os.path.join(save, "s-2.counterexample.txt")]
    if status != 1 or saved != expected:
        faults.append("--save: saved as %s, status %d" % (saved, status))
    elif ([open(path).read() for path in expected] !=
          [s["counterexample"]["input"] for s in report["submissions"]] or
          os.path.islink(expected[0])):
        faults.append("--save: the saved files are not the counterexamples")
    if open(outside).read() != "keep\n":
        faults.append("--save wrote through a link, outside its folder")


def check_numbers(relalgcheck, folder, faults):
    ex = os.path.join(folder, "ex.txt")
    write(ex, "t\n\nt(x int)\n1\n")
    for option, values, valid in (("budget", ["0x10", " 5", "5 ", "+5", "1e3", "inf", "nan", ".",
                                              "1.2.3", "0", "86401", ""], False),
                                  ("budget", ["2.5", ".5", "7.", "86400"], True),
                                  ("max-memory", ["1", "31M", "1.5G"], False),
                                  ("max-memory", ["32M", "2G"], True)):
        for value in values:
            run = subprocess.run([relalgcheck, "--link", "--%s=%s" % (option, value), ex],
                                 capture_output=True)
            refused = run.stderr.startswith(
                ("relalgcheck: invalid value of --%s: '%s'\n" % (option, value)).encode())
            if (run.returncode == 2 and refused) == valid or (valid and run.returncode != 0):
                faults.append("--%s=%r: status %d, %r" % (option, value, run.returncode,
                                                           run.stderr))


def main():
    relalgcheck = sys.argv[1]
    faults = []
    with tempfile.TemporaryDirectory() as scratch:
        for check in (check_load, check_signals, check_save, check_numbers):
            folder = os.path.join(scratch, check.__name__)
            os.makedirs(folder)
            check(relalgcheck, folder, faults)
    for fault in faults:
        print("FAULT:", fault)
    print("%d faults" % len(faults))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
