#!/usr/bin/env bash
# wine-tests.sh WINBUILD [SESSIONS]
# Runs the ctest tests of the Windows build under Wine in SESSIONS parallel
# sessions (default 2), each with a Wine prefix, wineserver and Xvfb of its
# own: session k runs tests k, k+SESSIONS, ... Within a session the tests
# run one after another, as they share its registry and desktop. A last
# session runs the wine_cp1252 scenarios in a prefix whose system code page
# is 1252. Prints
# each session's log and exits non-zero when any test failed.
set -u
here=$(cd "$(dirname "$0")" && pwd)
win_build=$(cd "$1" && pwd)
sessions=${2:-2}
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

pids=()
for k in $(seq 1 "$sessions"); do
  RYVO_PREFIX=wineprefix-$k RYVO_UNMANAGED=1 bash "$here/wine-session.sh" "$win_build" \
    ctest --test-dir "$win_build" --output-on-failure -E '^wine_cp1252\.' -I "$k,,$sessions" \
    >"$logs/$k.log" 2>&1 &
  pids+=($!)
done
status=0
for k in $(seq 1 "$sessions"); do
  wait "${pids[$((k - 1))]}" || status=1
done
# The scenarios of the system code page 1252, in a prefix of that locale,
# after the others (the machine has few cores).
k=$((sessions + 1))
RYVO_PREFIX=wineprefix-cp1252 RYVO_LC_ALL=C.UTF-8 RYVO_UNMANAGED=1 \
  bash "$here/wine-session.sh" "$win_build" \
  ctest --test-dir "$win_build" --output-on-failure -R '^wine_cp1252\.' >"$logs/$k.log" 2>&1 ||
  status=1
for k in $(seq 1 "$((sessions + 1))"); do
  echo "==== Wine session $k of $((sessions + 1))"
  cat "$logs/$k.log"
done
if [ "$status" -ne 0 ]; then
  echo "wine-tests: FAILED:"
  grep -h -E '^\s+[0-9]+ - ' "$logs"/*.log
fi
exit $status
