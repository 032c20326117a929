#!/usr/bin/env bash
# Generates COUNT random inputs (random_inputs.py, a new seed each time, printed) into a scratch
# folder and requires threads_agree to find no input whose run differs on one and on two threads.
#   check_threads_agree.sh <threads_agree> <count> [seed]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
python3 "$here/random_inputs.py" "$scratch" --count "$2" ${3:+--seed "$3"}
"$1" "$scratch"
