#!/usr/bin/env bash
# Out of memory ends a run as "Ismeretlen hiba" with status 3, on one thread and on several,
# whether the memory runs out while the tables are read or during the evaluation: never as a
# crash. The memory is capped with ulimit -v at sizes that run out at different stages.
#   check_out_of_memory.sh <relalgrun>
set -euo pipefail
relalgrun="$1"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
{
  echo "union(project(emp, name, age), project(product(emp, small), name, age))"
  echo
  echo "emp(name char(20), age int, dept char(10))"
  seq 1 400000 | awk '{ printf "Nev%d, %d, Sales\n", $1, $1 % 70 }'
  echo
  echo "small(x int)"
  seq 1 3
} > "$scratch/in.txt"
failed=0
for limit in 60000 120000 190000; do
  for threads in 1 2; do
    set +e
    (ulimit -v "$limit"; RELALG_THREADS=$threads "$relalgrun" "$scratch/in.txt" "$scratch/out.txt" \
      2> "$scratch/err.txt")
    status=$?
    set -e
    if [ "$status" != 3 ] || [ "$(cat "$scratch/err.txt")" != "Ismeretlen hiba" ]; then
      echo "FAILED: ulimit -v $limit, $threads threads: status $status, stderr:"
      cat "$scratch/err.txt"
      failed=1
    fi
  done
done
exit $failed
