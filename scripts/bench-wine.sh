#!/usr/bin/env bash
# bench-wine.sh WINBUILD [STOCKS]
# The Wine benchmark (make bench-wine): ryvo.exe's load, export and
# conversion and RyvoWin's start to a filled list and its export, on a dump
# of STOCKS stocks (default 2000) with 260 rows each, beside Wine's own
# floors measured in the same run by ryvo_wine_bench.exe (a Windows program
# doing the same file work on bytes made beforehand: "safe" as the
# operation writes, "plain" straight into the files). Times of ryvo.exe
# and RyvoWin are whole processes; a floor is the start of a process plus
# its file work. Files go to /dev/shm (or BENCH_DIR) unless it is missing.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
win_build=$(cd "$1" && pwd)
stocks=${2:-2000}
if [ "${RYVO_BENCH_SESSION:-}" != 1 ]; then
  RYVO_BENCH_SESSION=1 RYVO_PREFIX=wineprefix-bench RYVO_UNMANAGED=1 \
    exec bash "$here/wine-session.sh" "$win_build" bash "$0" "$@"
fi

helper=$win_build/bench/ryvo_wine_bench.exe
ryvo=$win_build/cli/ryvo.exe
ryvowin=$win_build/app/RyvoWin.exe
condmgr=$win_build/tests/fixtures/condmgr/CONDMGR.dll
for f in "$helper" "$ryvo" "$ryvowin" "$condmgr"; do
  [ -f "$f" ] || { echo "bench-wine: $f is missing" >&2; exit 1; }
done
base=${BENCH_DIR:-/dev/shm}
[ -w "$base" ] || base=/tmp
T=$(mktemp -d "$base/ryvo-bench-wine-XXXXXX")
trap 'rm -rf "$T"' EXIT
dos() { printf 'Z:%s' "${1//\//\\}"; }   # the Windows name of a Linux path

# RyvoWin finds the stand-in Conduit Manager as users' programs find Palm
# Desktop's: through the folder Palm Desktop records.
wine reg add 'HKCU\Software\U.S. Robotics\Pilot Desktop\Core' /v Path /t REG_SZ \
  /d "$(dos "$(dirname "$condmgr")")" /f >/dev/null 2>&1

# Milliseconds of a whole process.
elapsed() {
  local start=$EPOCHREALTIME
  wine "$@" >"$T/out.txt" 2>"$T/err.txt" || { cat "$T/err.txt" >&2; return 1; }
  local end=$EPOCHREALTIME
  echo $(( (${end/./} - ${start/./}) / 1000 ))
}
# Milliseconds a helper reports for its file work, plus a process start.
floor() {
  wine "$helper" "$@" >"$T/out.txt" 2>"$T/err.txt" || { cat "$T/err.txt" >&2; return 1; }
  echo $(( $(awk '{print $2}' "$T/out.txt") + start_ms ))
}
# A step whose output is not wanted: shown, with what ran, when it fails.
quietly() {
  "$@" >"$T/step.txt" 2>&1 && return 0
  echo "bench-wine: failed: $*" >&2
  cat "$T/step.txt" >&2
  exit 1
}
lines=()
row() {   # what, time, safe floor, plain floor, target
  lines+=("$(printf '%-24s %7s ms %7s ms %7s ms  %s' "$@")")
}
verdict() {   # time, target ms
  if [ "$1" -le "$2" ]; then echo "target <= $2 ms: met"; else echo "target <= $2 ms: MISSED"; fi
}

mkdir -p "$T/ref/work" "$T/ref/csv"
quietly wine "$helper" dump "$(dos "$T/ref/work/Ryvo.dmp")" "$stocks"
quietly wine "$ryvo" load "$(dos "$T/ref/work")"
quietly wine "$ryvo" export "$(dos "$T/ref/work")" "$(dos "$T/ref/csv")"
start_ms=$(elapsed "$helper" nothing)
for _ in 1 2; do s=$(elapsed "$helper" nothing); [ "$s" -lt "$start_ms" ] && start_ms=$s; done
echo "dump: $stocks stocks x 260 rows; files in $T; a process start costs $start_ms ms"

# Loading and export on folders without the files, with the same files and
# with other files; the operation's folder and the floors' are kept alike.
for state in new same changed; do
  case $state in
    new)
      for d in op fs fp; do
        rm -rf "${T:?}/$d"; mkdir -p "$T/$d/work" "$T/$d/csv"
        cp "$T/ref/work/Ryvo.dmp" "$T/$d/work/"
      done ;;
    changed)
      for d in op fs fp; do quietly wine "$helper" spoil "$(dos "$T/$d/work")" .txt; done ;;
  esac
  op=$(elapsed "$ryvo" load "$(dos "$T/op/work")")
  safe=$(floor floor-load safe "$(dos "$T/fs/work")" "$(dos "$T/ref/work")")
  plain=$(floor floor-load plain "$(dos "$T/fp/work")" "$(dos "$T/ref/work")")
  row "ryvo.exe load, $state" "$op" "$safe" "$plain" -
done
for state in new same changed; do
  if [ $state = changed ]; then
    for d in op fs fp; do quietly wine "$helper" spoil "$(dos "$T/$d/csv")" .csv; done
  fi
  op=$(elapsed "$ryvo" export "$(dos "$T/op/work")" "$(dos "$T/op/csv")")
  safe=$(floor floor-export safe "$(dos "$T/fs/work")" "$(dos "$T/fs/csv")" "$(dos "$T/ref/csv")")
  plain=$(floor floor-export plain "$(dos "$T/fp/work")" "$(dos "$T/fp/csv")" "$(dos "$T/ref/csv")")
  row "ryvo.exe export, $state" "$op" "$safe" "$plain" "$(verdict "$op" 3000)"
done
op=$(elapsed "$ryvo" convert "$(dos "$T/op/work")" "$(dos "$T/op/csv")")
safe=$(floor floor-convert safe "$(dos "$T/fs/work")" "$(dos "$T/fs/csv")")
plain=$(floor floor-convert plain "$(dos "$T/fp/work")" "$(dos "$T/fp/csv")")
row "ryvo.exe convert" "$op" "$safe" "$plain" "$(verdict "$op" 1500)"

# RyvoWin from its start to a filled list (loading), then its export, on a
# fresh working folder and an empty CSV folder, and again with the files
# there and unchanged. The floors are those of ryvo.exe's loading and
# export in the same states, above.
mkdir -p "$T/rw/work" "$T/rw/csv"
cp "$T/ref/work/Ryvo.dmp" "$T/rw/work/"
for state in new same; do
  wine "$helper" ryvowin "$(dos "$ryvowin")" "$(dos "$T/rw/work")" "$(dos "$T/rw/csv")" \
    "$stocks" export >"$T/out.txt"
  list=$(awk '$1 == "ryvowin-list" {print $2}' "$T/out.txt")
  exported=$(awk '$1 == "ryvowin-export" {print $2}' "$T/out.txt")
  if [ $state = new ]; then target=3000; else target=2000; fi
  row "RyvoWin to list, $state" "$list" - - "$(verdict "$list" $target)"
  row "RyvoWin export, $state" "$exported" - - "$(verdict "$exported" 3000)"
done

printf '%-24s %10s %10s %10s\n' "" "time" "safe floor" "plain floor"
printf '%s\n' "${lines[@]}"
