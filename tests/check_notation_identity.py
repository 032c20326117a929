#!/usr/bin/env python3
"""Every relalgrun input is a notation file that lowers to itself: relalgtrace --notation --core
gives back the bytes of every example and of every case input, exactly.
usage: check_notation_identity.py RELALGTRACE FILE..."""
import subprocess
import sys


def main(relalgtrace, paths):
    faults = 0
    for path in paths:
        with open(path, "rb") as f:
            content = f.read()
        lowered = subprocess.run([relalgtrace, "--notation", "--core", path], capture_output=True)
        if lowered.returncode != 0 or lowered.stdout != content:
            print("%s: not given back as it is (status %d)\n%s" % (
                path, lowered.returncode, lowered.stderr.decode(errors="replace")))
            faults += 1
    print("%d inputs, %d not given back" % (len(paths), faults))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2:]))
