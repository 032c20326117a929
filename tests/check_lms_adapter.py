#!/usr/bin/env python3
"""Runs the guide's Gradescope adapter (examples/grading/gradescope.py) on a right, a wrong and a
failed submission of an example exercise, with the built relalgcheck first on the PATH: each gets
the score of its verdict and an output that starts with it, a wrong one shows both results with
their header lines, and an exercise that cannot be read ends the adapter with a failure.

usage: check_lms_adapter.py <folder of relalgcheck> <examples/grading>"""
import json
import os
import subprocess
import sys

programs, examples = sys.argv[1], sys.argv[2]
env = dict(os.environ, PATH=programs + os.pathsep + os.environ["PATH"])
folder = os.path.join(examples, "every-red-boat")
adapter = [sys.executable, os.path.join(examples, "gradescope.py")]
faults = []
for name, score in (("right-01-reference", 1), ("wrong-01-some-red-boat", 0),
                    ("failed-01-renamed-in-place", 0)):
    run = subprocess.run(adapter + ["exercise.txt", f"submissions/{name}.txt"], cwd=folder,
                         env=env, capture_output=True, text=True)
    results = json.loads(run.stdout) if run.returncode == 0 else {}
    verdict = name.split("-")[0]
    if results.get("score") != score or not results.get("output", "").startswith(verdict):
        faults.append(f"{name}: status {run.returncode}, {run.stdout!r} {run.stderr!r}")
    if verdict == "wrong" and "Expected:\nresult(sid int, sname char(20))\n\nYours:\nresult(" \
            not in results.get("output", ""):
        faults.append(f"{name}: no results with their header lines in {results!r}")
run = subprocess.run(adapter + ["missing.txt", "submissions/right-01-reference.txt"], cwd=folder,
                     env=env, capture_output=True, text=True)
if run.returncode == 0 or "could not grade" not in run.stderr:
    faults.append(f"an exercise that cannot be read: status {run.returncode}, {run.stderr!r}")
for fault in faults:
    print("FAULT:", fault)
sys.exit(1 if faults else 0)
