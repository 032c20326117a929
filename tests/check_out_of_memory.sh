#!/usr/bin/env bash
# Out of memory ends a run as "Ismeretlen hiba" with status 3, on one thread and on several,
# whether the memory runs out while the tables are read or during the evaluation: never as a
# crash. The memory is capped with ulimit -v at sizes that run out at different stages. A run
# whose operands fit in memory one after the other ends on two threads as on one, and
# relalgtrace --json that runs out of memory still prints JSON. relalgcheck reports a submission
# that runs out of memory under its ceiling as failed and grades the next one.
#   check_out_of_memory.sh <relalgrun> <relalgtrace> <relalgcheck>
set -euo pipefail
relalgrun="$1"
relalgtrace="$2"
relalgcheck="$3"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
{
  echo "union(project(emp, name, age), project(product(emp, small), name, age))"
  echo
  echo "emp(name char(20), age int, dept char(10))"
  seq 1 400000 | awk '{ printf "Nev%d, %d, Sales\n", $1, $1 % 70 }'
  echo
  echo "small(x int)"
  seq 1 10
} > "$scratch/in.txt"
failed=0
# Runs relalgrun on an input under ulimit -v, on a number of threads, and requires an exit
# status and standard error.
#   expect_capped <input> <limit> <threads> <status> <stderr>
expect_capped() {
  set +e
  (ulimit -v "$2"; RELALG_THREADS=$3 "$relalgrun" "$1" "$scratch/out.txt" 2> "$scratch/err.txt")
  local status=$?
  set -e
  if [ "$status" != "$4" ] || [ "$(cat "$scratch/err.txt")" != "$5" ]; then
    echo "FAILED: $1 under ulimit -v $2 on $3 threads: status $status, stderr:"
    cat "$scratch/err.txt"
    failed=1
  fi
}

for limit in 60000 120000 190000; do
  for threads in 1 2; do
    expect_capped "$scratch/in.txt" "$limit" "$threads" 3 "Ismeretlen hiba"
  done
done

# The operands of the union are evaluated at the same time on two threads, where together they
# do not fit under the cap; one after the other they do, and the union fails with its message.
{
  echo "union(project(emp, a, b), project(emp2, a, c))"
  echo
  echo "emp(a int, b char(10))"
  seq 1 1000000 | awk '{ printf "%d, n%d\n", $1 % 1000, $1 }'
  echo
  echo "emp2(a int, c char(10))"
  seq 1 1000000 | awk '{ printf "%d, m%d\n", $1 % 997, $1 }'
} > "$scratch/union.txt"
expected="$(printf 'Hiba tortent: \nNem azonos semaju tablak osszehasonlitasa: result es result')"
for threads in 1 2; do
  expect_capped "$scratch/union.txt" 190000 "$threads" 1 "$expected"
done

# A memory ceiling ends inputs that never end, or that hold gigabytes, as out of memory; a ceiling
# that is no size is reported.
truncate -s 10G "$scratch/sparse.bin"
for input in /dev/zero /dev/urandom "$scratch/sparse.bin"; do
  set +e
  RELALG_MAX_MEMORY=256M "$relalgrun" "$input" "$scratch/out.txt" 2> "$scratch/err.txt"
  status=$?
  "$relalgtrace" --max-memory=256M "$input" > /dev/null 2>&1
  trace_status=$?
  set -e
  if [ "$status" != 3 ] || [ "$trace_status" != 3 ] || \
      [ "$(cat "$scratch/err.txt")" != "Ismeretlen hiba" ]; then
    echo "FAILED: $input under a ceiling of 256M: status $status and $trace_status, stderr:"
    cat "$scratch/err.txt"
    failed=1
  fi
done
rm -f "$scratch/sparse.bin"
set +e
RELALG_MAX_MEMORY=12Q "$relalgrun" "$scratch/in.txt" "$scratch/out.txt" 2> "$scratch/err.txt"
status=$?
set -e
if [ "$status" != 1 ] || [ "$(cat "$scratch/err.txt")" != \
    "$(printf 'Hiba tortent: \nErvenytelen memoriakorlat: RELALG_MAX_MEMORY=12Q')" ]; then
  echo "FAILED: RELALG_MAX_MEMORY=12Q: status $status, stderr:"
  cat "$scratch/err.txt"
  failed=1
fi

# A value of 50 MB: the trace does not fit, and its JSON says so.
python3 -c "import sys; sys.stdout.write('t\n\nt(a char(5))\n' + 'x' * 50000000 + '\n')" \
  > "$scratch/big.txt"
set +e
(ulimit -v 300000; "$relalgtrace" --json "$scratch/big.txt" > "$scratch/trace.json" \
  2> "$scratch/err.txt")
status=$?
set -e
if [ "$status" != 3 ] || \
    [ "$(cat "$scratch/trace.json")" != '{"status":3,"stderr":"Ismeretlen hiba\n","diagnostics":[],"root":null}' ]; then
  echo "FAILED: relalgtrace --json under ulimit -v 300000: status $status, output:"
  head -c 300 "$scratch/trace.json" "$scratch/err.txt"
  failed=1
fi
# A submission whose product needs gigabytes fails under the grader's ceiling; the grader goes on.
{ echo 'select(t, GT(x, 5))'; echo; echo 't(x int)'; seq 1 400; } > "$scratch/exercise.txt"
echo 'select(product(product(t, rename(t, u(y))), rename(t, v(z))), GT(x, 5))' > "$scratch/huge.txt"
echo 'select(t, LT(5, x))' > "$scratch/right.txt"
set +e
"$relalgcheck" --max-memory=300M --tries=100 "$scratch/exercise.txt" "$scratch/huge.txt" \
  "$scratch/right.txt" > "$scratch/report.txt" 2>&1
status=$?
set -e
if [ "$status" != 1 ] || ! grep -q '^right: 1, wrong: 0, failed: 1' "$scratch/report.txt" || \
    ! grep -q 'huge.txt: failed: Ismeretlen hiba (out of memory)' "$scratch/report.txt"; then
  echo "FAILED: relalgcheck --max-memory=300M: status $status, report:"
  head -c 2000 "$scratch/report.txt"
  failed=1
fi
exit $failed
