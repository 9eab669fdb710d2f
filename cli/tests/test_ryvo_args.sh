#!/usr/bin/env bash
# How ryvo takes its arguments and what it prints, as POSIX tools do: one
# row per command line with the exit status and what standard output and
# standard error must hold ("" = must be empty, otherwise a grep -E
# pattern that one line must match).
set -u
RYVO="$1"
source "$(dirname "$0")/test-lib.sh"
ryvo_test_begin args
mkdir -p "$T/work" "$T/csv" "$T/empty"
"$RYVO" sample "$T/work" && "$RYVO" load "$T/work" && "$RYVO" export "$T/work" "$T/csv" ||
  { echo "FAIL: setting up the sample"; exit 1; }
cd "$T" || exit 1

holds() {   # holds WHAT PATTERN FILE
  if [ -z "$2" ]; then
    [ -s "$3" ] && { echo "FAIL: $1 not empty: $(head -c 200 "$3")"; fails=$((fails + 1)); }
  elif ! grep -qE -- "$2" "$3"; then
    echo "FAIL: $1 lacks /$2/: $(head -c 200 "$3")"; fails=$((fails + 1))
  fi
  return 0
}

# status | stdout | stderr | arguments (split on spaces)
while IFS='|' read -r want out err args; do
  [ -z "$want" ] && continue
  # shellcheck disable=SC2086
  "$RYVO" $args >"$T/out.txt" 2>"$T/err.txt"
  got=$?
  check "ryvo $args" "$want" "$got"
  holds "ryvo $args: stdout" "$out" "$T/out.txt"
  holds "ryvo $args: stderr" "$err" "$T/err.txt"
done <<'TABLE'
2||^ryvo: unknown option '--jsn'$|check --jsn work csv
2||^usage: ryvo check|check --jsn work csv
2||^ryvo: unknown option '-q2'$|convert -q2 work csv
0|||convert -q work csv
0|||convert work csv -q
0||^ソニー$|convert work csv -v
0||^ソニー$|load --verbose work
0|||load work
0|||export work csv
0||^\[RyvoWin\] 変換完了$|export -v work csv
1||^ryvo: cvs: No such file or directory$|convert work cvs
1||^ryvo: cvs: No such file or directory$|export work cvs
1||^ryvo: /no/such/dir: No such file or directory$|load /no/such/dir
1||^ryvo: work/Ryvo.dmp: Not a directory$|load work/Ryvo.dmp
0|^usage: ryvo export||help export
0|^usage: ryvo chart||chart --help
0|1本値||chart -h
0|^usage: ryvo import||import --help
2||^ryvo: option '-o' needs a value$|report work csv -o
0|^<!DOCTYPE html>||report work csv -o -
0|^<svg||chart work csv 7203 --output -
0|^<svg||chart work csv --output=- 7203
2||^ryvo: option '--json' takes no value$|check work csv --json=yes
0|^ryvo check: 6 stocks||check work csv -- 7203 ソニー 表示灯 日本電信電話株式会社 任天堂 9984
2||^usage: ryvo sample|sample --pdb
TABLE

# A stock named like an option is reached after "--".
"$RYVO" check work csv --only -- --jsn >"$T/out.txt" 2>&1; check "check -- --jsn" 1 $?
expect "the name after -- is a stock" grep -qF 'work/--jsn.txt' "$T/out.txt"
# "-o -" is standard output: no file named "-".
expect "no file named -" test ! -e "$T/-"

ryvo_test_end "ryvo arguments"
