#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a number of seconds each and
# reports, per target, the executions and the findings.
#   scripts/fuzz-run.sh <fuzz build folder> <seconds per target>
# Each target fuzz_<name> starts from the seeds in tests/fuzz/corpus/<name>
# and keeps what it learns in <build>/corpus/<name>; a finding (crash,
# failed property, leak, timeout, out of memory) is saved under
# <build>/findings/<name>/ and makes the script exit with 1.
set -uo pipefail

build=${1:?fuzz build folder}
seconds=${2:?seconds per target}
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$build" && pwd)
targets=$(find "$build/tests/fuzz" -maxdepth 1 -type f -name 'fuzz_*' -perm -u+x | sort)
if [ -z "$targets" ]; then
  echo "fuzz: no targets in $build/tests/fuzz" >&2
  exit 1
fi

# No allocation stacks and a small quarantine: the targets allocate much in
# their checks and little in the code under test, and the default
# quarantine halves the rate of executions.
export ASAN_OPTIONS=${ASAN_OPTIONS:-malloc_context_size=0:quarantine_size_mb=8}

status=0
summary=""
for exe in $targets; do
  name=$(basename "$exe")
  name=${name#fuzz_}
  work="$build/corpus/$name"
  findings="$build/findings/$name"
  log="$build/logs/$name.log"
  mkdir -p "$work" "$findings" "$(dirname "$log")"
  seeds=()
  [ -d "$here/tests/fuzz/corpus/$name" ] && seeds=("$here/tests/fuzz/corpus/$name")
  marker="$build/logs/$name.start"
  touch "$marker"
  echo "fuzz: $name for ${seconds}s"
  "$exe" -max_total_time="$seconds" -timeout=10 -max_len=16384 -print_final_stats=1 \
         -artifact_prefix="$findings/" "$work" "${seeds[@]}" >"$log" 2>&1
  rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  new=$(find "$findings" -type f -newer "$marker" | sort)
  found=$(printf '%s' "$new" | grep -c . || true)
  if [ "$rc" -ne 0 ] || [ "$found" -gt 0 ]; then
    status=1
    echo "fuzz: $name FOUND A PROBLEM (exit $rc); log: $log"
    grep -E 'ryvo fuzz:|ERROR: |SUMMARY: |runtime error' "$log" | head -5 | sed 's/^/  /'
    for f in $new; do echo "  reproduce: $exe $f"; done
  fi
  summary+=$(printf '%-15s %12s runs  %3d findings' "$name" "${runs:-?}" "$found")$'\n'
done
echo "fuzz: summary"
printf '%s' "$summary" | sed 's/^/  /'
exit $status
