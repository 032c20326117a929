#!/usr/bin/env python3
"""Grades one submission with relalgcheck and prints Gradescope's results.json.
usage: gradescope.py EXERCISE SUBMISSION [DATA SET]... > /autograder/results/results.json"""
import json, subprocess, sys

exercise, submission, data = sys.argv[1], sys.argv[2], sys.argv[3:]
run = subprocess.run(["relalgcheck", "--json", "--points=right=1", exercise, submission]
                     + ["--data=" + path for path in data], capture_output=True, text=True)
if run.returncode != 0:  # 2: the grader could not grade, which is no fault of the student's
    sys.exit("relalgcheck could not grade: " + run.stderr)
graded = json.loads(run.stdout)["submissions"][0]
output = graded["verdict"] + ("" if graded["reason"] is None else
                              f": {graded['reason']} ({graded['meaning']})")
if example := graded["counterexample"]:
    output += ("\n\nA counterexample:\n" + example["input"] + "\nExpected:\n"
               + "\n".join(example["expected"]) + "\n\nYours:\n" + "\n".join(example["got"]))
json.dump({"score": graded["points"], "output": output}, sys.stdout, ensure_ascii=False)
