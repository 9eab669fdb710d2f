#!/usr/bin/env bash
# The ryvo tool end to end on the sample: the five commands, their files,
# their messages on standard error and their exit codes.
set -u
RYVO="$1"
T=$(mktemp -d /tmp/ryvo-cli-XXXXXX)
trap 'rm -rf "$T"' EXIT
fails=0
check() {   # check DESCRIPTION EXPECTED-RC ACTUAL-RC
  if [ "$2" != "$3" ]; then echo "FAIL: $1 (exit $3, wanted $2)"; fails=$((fails + 1)); fi
}
expect() {  # expect DESCRIPTION COMMAND...: the command must succeed
  if ! "${@:2}"; then echo "FAIL: $1"; fails=$((fails + 1)); fi
}
mkdir -p "$T/work" "$T/csv"

"$RYVO" >/dev/null 2>&1; check "no command" 2 $?
"$RYVO" frobnicate >/dev/null 2>&1; check "unknown command" 2 $?
"$RYVO" --help >/dev/null; check "--help" 0 $?
for c in info load export convert sample; do
  "$RYVO" $c --help | grep -q "usage: ryvo $c"; check "$c --help" 0 $?
  "$RYVO" $c >/dev/null 2>&1; check "$c without arguments" 2 $?
done

"$RYVO" sample "$T/work"; check "sample" 0 $?
cp "$T/work/Ryvo.dmp" "$T/original.dmp"
"$RYVO" info "$T/work/Ryvo.dmp" >"$T/info.txt"; check "info" 0 $?
expect "info lists six stocks" test "$(grep -c 'rows 260' "$T/info.txt")" = 6
expect "info shows the header" grep -q 'version 210 (00 D2), recordCount 6' "$T/info.txt"
# The first stock alone, its record one byte short of 260 whole rows
# (RecordLength 4411): the last row does not lie whole inside it.
header=$(sed -n 's/^header: length \([0-9]*\),.*/\1/p' "$T/info.txt")
head -c $((4 + header + 4 + 4411)) "$T/work/Ryvo.dmp" >"$T/short.dmp"
printf '\x3B\x11\x00\x00' | dd of="$T/short.dmp" bs=1 seek=$((4 + header)) conv=notrunc 2>/dev/null
"$RYVO" info "$T/short.dmp" >"$T/info3.txt"; check "info of a short record" 0 $?
expect "info counts only whole rows" grep -q 'rows 259.*length 4411' "$T/info3.txt"

"$RYVO" load "$T/work" >"$T/list.txt"; check "load" 0 $?
expect "load prints ソニー" grep -qx 'ソニー' "$T/list.txt"
expect "BeginRyvo.dmp" cmp -s "$T/work/BeginRyvo.dmp" "$T/original.dmp"
expect "settings file named in CP932" test -f "$T/work/$(printf 'ソニー' | iconv -f UTF-8 -t CP932).txt"
expect "settings file has CR LF" grep -q $'^7203\r$' "$T/work/7203.txt"

"$RYVO" export "$T/work" "$T/csv" 2>"$T/err.txt"; check "export" 0 $?
expect "export says 変換完了" grep -qx '\[RyvoWin\] 変換完了' "$T/err.txt"
expect "six CSV files" test "$(ls "$T/csv" | wc -l)" = 6
expect "CSV header line" test "$(head -1 "$T/csv/7203.csv" | iconv -f CP932 -t UTF-8)" = $'日付,始値,高値,安値,終値\r'

"$RYVO" convert "$T/work" "$T/csv" >/dev/null; check "convert" 0 $?
expect "unedited round trip gives the same dump" cmp -s "$T/work/Ryvo.dmp" "$T/original.dmp"
expect "SaveRyvo.dmp" cmp -s "$T/work/SaveRyvo.dmp" "$T/original.dmp"

"$RYVO" convert "$T/work" "$T/csv" ソニー 7203 >/dev/null; check "convert with names" 0 $?
"$RYVO" info "$T/work/Ryvo.dmp" >"$T/info2.txt"
expect "two stocks in the given order" test "$(cut -f2 "$T/info2.txt" | tail -n +2 | tr '\n' ' ')" = "ソニー 7203 "

cp "$T/work/Ryvo.dmp" "$T/before.dmp"
"$RYVO" convert "$T/work" "$T/csv" 7203 nosuch >/dev/null 2>"$T/err.txt"; check "convert with a missing stock" 1 $?
expect "dump unchanged after a failed conversion" cmp -s "$T/work/Ryvo.dmp" "$T/before.dmp"
expect "RyvoSetup file open error reported" grep -qx '\[System Error\] RyvoSetup file open error' "$T/err.txt"

"$RYVO" export "$T/nowhere" "$T/csv" 2>"$T/err.txt"; check "export without a dump" 1 $?
expect "RyvoDB file open error reported" grep -qx '\[System Error\] RyvoDB file open error' "$T/err.txt"
"$RYVO" export "$T/work" "$T/missing" 2>"$T/err.txt"; check "export into a missing folder" 1 $?
expect "names the stocks" grep -q 'ソニー' "$T/err.txt"
"$RYVO" info "$T/nowhere/Ryvo.dmp" 2>/dev/null; check "info without a dump" 1 $?
printf '\x50\x00\x00\x00\x00\xD1' >"$T/old.dmp"
mkdir -p "$T/old" && printf '\x06\x00\x00\x00\x00\xD1\x00\x00\x00\x00' >"$T/old/Ryvo.dmp"
"$RYVO" load "$T/old" 2>"$T/err.txt" >/dev/null; check "load of an old version" 1 $?
expect "version message" grep -q 'Ryvo Error' "$T/err.txt"

if [ $fails -ne 0 ]; then echo "$fails failure(s)"; exit 1; fi
echo "ryvo: all checks passed"
