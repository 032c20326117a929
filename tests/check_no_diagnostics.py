#!/usr/bin/env python3
"""Correct homework-style inputs draw no diagnostics: relalgtrace --json on every FOLDER/*.txt must
end with status 0 and an empty list of diagnostics (the inputs have accented names, CR LF line
ends, Windows-1250 bytes, a byte order mark, joins, self-joins and a division).
usage: check_no_diagnostics.py RELALGTRACE FOLDER"""
import json
import os
import subprocess
import sys


def main():
    relalgtrace, folder = sys.argv[1:3]
    faults = []
    names = sorted(n for n in os.listdir(folder) if n.endswith(".txt"))
    for name in names:
        traced = subprocess.run([relalgtrace, "--json", os.path.join(folder, name)],
                                capture_output=True)
        report = json.loads(traced.stdout.decode("utf-8"))
        if report["status"] != 0 or report["diagnostics"]:
            faults.append(f"{name}: status {report['status']}, "
                          f"{[d['message'] for d in report['diagnostics']]}")
    for fault in faults:
        print(fault)
    print(f"{len(names)} inputs, {len(faults)} with diagnostics")
    return 1 if faults or not names else 0


if __name__ == "__main__":
    sys.exit(main())
