#!/usr/bin/env bash
# The ryvo tool end to end on the sample: the five commands, their files,
# their messages on standard error and their exit codes.
set -u
RYVO="$1"
source "$(dirname "$0")/test-lib.sh"
ryvo_test_begin cli
mkdir -p "$T/work" "$T/csv"

"$RYVO" >/dev/null 2>&1; check "no command" 2 $?
"$RYVO" frobnicate >/dev/null 2>&1; check "unknown command" 2 $?
"$RYVO" --help >/dev/null; check "--help" 0 $?
expect "--version" test "$("$RYVO" --version)" = "ryvo 0.80"
for c in info load export convert check sample; do
  "$RYVO" $c --help | grep -q "usage: ryvo $c"; check "$c --help" 0 $?
  "$RYVO" $c >/dev/null 2>&1; check "$c without arguments" 2 $?
done

"$RYVO" sample "$T/work"; check "sample" 0 $?
cp "$T/work/Ryvo.dmp" "$T/original.dmp"
"$RYVO" info "$T/work/Ryvo.dmp" >"$T/info.txt"; check "info" 0 $?
expect "info lists six stocks" test "$(grep -c 'rows 260' "$T/info.txt")" = 6
expect "info shows the header" grep -qx 'header record: 80 bytes, format version 210 (00 D2), 6 stocks, further words 0 1000 0, carried bytes 52 79 76 6F 44 42 00 00' "$T/info.txt"
# The first stock alone, its record one byte short of 260 whole rows
# (RecordLength 4411): the last row does not lie whole inside it.
header=$(sed -n 's/^header record: \([0-9]*\) bytes,.*/\1/p' "$T/info.txt")
head -c $((4 + header + 4 + 4411)) "$T/work/Ryvo.dmp" >"$T/short.dmp"
printf '\x3B\x11\x00\x00' | dd of="$T/short.dmp" bs=1 seek=$((4 + header)) conv=notrunc 2>/dev/null
"$RYVO" info "$T/short.dmp" >"$T/info3.txt"; check "info of a short record" 0 $?
expect "info counts only whole rows" grep -q 'rows 259.*length 4411' "$T/info3.txt"

"$RYVO" load -v "$T/work" 2>"$T/list.txt" >"$T/out.txt"; check "load" 0 $?
expect "load -v lists ソニー on standard error" grep -qx 'ソニー' "$T/list.txt"
expect "load prints nothing on standard output" test ! -s "$T/out.txt"
expect "BeginRyvo.dmp" cmp -s "$T/work/BeginRyvo.dmp" "$T/original.dmp"
expect "settings file named in UTF-8" test -f "$T/work/ソニー.txt"
expect "its first line the name in CP932" test "$(head -1 "$T/work/ソニー.txt" | iconv -f CP932 -t UTF-8)" = $'ソニー\r'
expect "every file name is UTF-8" sh -c "ls '$T/work' | iconv -f UTF-8 -t UTF-8 >/dev/null"
expect "settings file has CR LF" grep -q $'^7203\r$' "$T/work/7203.txt"

"$RYVO" export "$T/work" "$T/csv" >"$T/out.txt" 2>"$T/err.txt"; check "export" 0 $?
expect "export is quiet on success" test ! -s "$T/out.txt" -a ! -s "$T/err.txt"
expect "six CSV files" test "$(ls "$T/csv" | wc -l)" = 6
expect "CSV files named as the stock list" test "$(ls "$T/csv" | LC_ALL=C sort)" = "$(sed 's/$/.csv/' "$T/list.txt" | LC_ALL=C sort)"
expect "CSV header line" test "$(head -1 "$T/csv/7203.csv" | iconv -f CP932 -t UTF-8)" = $'日付,始値,高値,安値,終値\r'

# The check: the exported files convert exactly; a damaged price file of
# ソニー and a missing stock are told with their lines, and nothing is written.
"$RYVO" check "$T/work" "$T/csv" >"$T/check.txt"; check "check of the exported files" 0 $?
expect "check: six stocks, nothing lost" grep -qx 'ryvo check: 6 stocks, 0 findings; the handheld would get exactly what the files say' "$T/check.txt"
printf '2030/2/31,1,2,3,4\r\n' >>"$T/csv/ソニー.csv"
(cd "$T" && ls -lR --time-style=full-iso work csv) >"$T/before.ls"
"$RYVO" check --only "$T/work" "$T/csv" ソニー nosuch 7203 >"$T/check.txt"; check "check of a damaged file" 1 $?
expect "check names file and line" grep -qF "$T/csv/ソニー.csv:262: line-incomplete: \"2030/2/31,1,2,3,4\" has no volume" "$T/check.txt"
expect "check says where the conversion stops" grep -qx 'ryvo check: the conversion stops at nosuch; not reached: 7203' "$T/check.txt"
"$RYVO" check --json --only "$T/work" "$T/csv" ソニー nosuch >"$T/check.json"; check "check --json" 1 $?
expect "check --json is JSON" python3 -c "import json,sys; d=json.load(open(sys.argv[1])); assert d['stocks'][0]['findings'][0]['kind']=='line-incomplete' and d['stocks'][1]['stops_conversion']" "$T/check.json"
expect "check writes nothing" sh -c "cd '$T' && ls -lR --time-style=full-iso work csv | cmp -s - before.ls"
"$RYVO" check "$T/nowhere" "$T/csv" >/dev/null 2>"$T/err.txt"; check "check of a missing folder" 1 $?
expect "check names the missing folder" grep -qx "ryvo: $T/nowhere: No such file or directory" "$T/err.txt"
head -n -1 "$T/csv/ソニー.csv" >"$T/sony.csv" && mv "$T/sony.csv" "$T/csv/ソニー.csv"
# A day appended to a full price file of 260 rows drops its oldest day, as
# intended; thousands separators without quotes are told.
mkdir -p "$T/csv2" && cp "$T/csv/7203.csv" "$T/csv2/"
printf '2031/1/6,2500,2510,2490,2505,1000000\r\n' >>"$T/csv2/7203.csv"
"$RYVO" check --only "$T/work" "$T/csv2" 7203 >"$T/check.txt"; check "check after a day appended to 260 rows" 0 $?
expect "check: the oldest day is dropped" grep -qF "$T/csv2/7203.csv:2: rows-dropped: the oldest day (line 2, " "$T/check.txt"
printf '2031/1/%d,2,500,2,510,2,490,2,505,1,000,000\r\n' 7 8 9 >>"$T/csv2/7203.csv"
"$RYVO" check --only "$T/work" "$T/csv2" 7203 >"$T/check.txt"; check "check of thousands separators" 1 $?
expect "check: line-extra-fields, one for three lines" grep -qF "$T/csv2/7203.csv:263: line-extra-fields: \"2031/1/7,2,500,2,510,2,490,2,505,1,000,000\" 6 more pieces after the volume" "$T/check.txt"
expect "check: the group's lines" grep -qF "looks like thousands separators: quote the values or write them without commas (lines 263-265, 3 lines)" "$T/check.txt"
"$RYVO" check --json --only "$T/work" "$T/csv2" 7203 >"$T/check.json"; check "check --json of thousands separators" 1 $?
expect "check --json: the group's count and last line" python3 -c "import json,sys; f=json.load(open(sys.argv[1]))['stocks'][0]['findings']; assert [(x['kind'],x['line'],x['last_line'],x['count'],x['loses']) for x in f]==[('rows-dropped',2,2,1,False),('line-extra-fields',263,265,3,True)], f" "$T/check.json"

"$RYVO" convert "$T/work" "$T/csv" >/dev/null; check "convert" 0 $?
expect "unedited round trip gives the same dump" cmp -s "$T/work/Ryvo.dmp" "$T/original.dmp"
expect "SaveRyvo.dmp" cmp -s "$T/work/SaveRyvo.dmp" "$T/original.dmp"

"$RYVO" convert --only "$T/work" "$T/csv" ソニー 7203 >/dev/null; check "convert with names" 0 $?
"$RYVO" info "$T/work/Ryvo.dmp" >"$T/info2.txt"
expect "two stocks in the given order" test "$(cut -f2 "$T/info2.txt" | tail -n +2 | tr '\n' ' ')" = "ソニー 7203 "

cp "$T/work/Ryvo.dmp" "$T/before.dmp"
"$RYVO" convert --only "$T/work" "$T/csv" 7203 nosuch >/dev/null 2>"$T/err.txt"; check "convert with a missing stock" 1 $?
expect "dump unchanged after a failed conversion" cmp -s "$T/work/Ryvo.dmp" "$T/before.dmp"
expect "RyvoSetup file open error reported" grep -qx '\[System Error\] RyvoSetup file open error' "$T/err.txt"

mkdir -p "$T/empty"
"$RYVO" export "$T/empty" "$T/csv" 2>"$T/err.txt"; check "export without a dump" 1 $?
expect "RyvoDB file open error reported" grep -qx '\[System Error\] RyvoDB file open error' "$T/err.txt"
"$RYVO" export "$T/work" "$T/missing" 2>"$T/err.txt"; check "export into a missing folder" 1 $?
expect "names the missing folder once" test "$(cat "$T/err.txt")" = "ryvo: $T/missing: No such file or directory"
"$RYVO" info "$T/nowhere/Ryvo.dmp" 2>/dev/null; check "info without a dump" 1 $?
printf '\x50\x00\x00\x00\x00\xD1' >"$T/old.dmp"
mkdir -p "$T/old" && printf '\x06\x00\x00\x00\x00\xD1\x00\x00\x00\x00' >"$T/old/Ryvo.dmp"
"$RYVO" load "$T/old" 2>"$T/err.txt" >/dev/null; check "load of an old version" 1 $?
expect "version message" grep -q 'Ryvo Error' "$T/err.txt"

# Folders with Japanese names given in UTF-8 (あ is E3 81 82: no byte of it
# pairs with the "\" before the file name), the files named in UTF-8 and
# the paths shown as they are.
W="$T/作業あ" C="$T/株価い"
mkdir -p "$W" "$C"
cp "$T/original.dmp" "$W/Ryvo.dmp"
"$RYVO" load "$W" >/dev/null && "$RYVO" export "$W" "$C" 2>/dev/null &&
  "$RYVO" convert "$W" "$C" >/dev/null; check "load, export, convert in Japanese folders" 0 $?
expect "the files in Japanese folders" test -f "$W/表示灯.txt" -a -f "$C/表示灯.csv"
expect "the same dump" cmp -s "$W/Ryvo.dmp" "$T/original.dmp"
printf 'Date,Open,High,Low,Close,Volume\n2024-01-04,10,11,9,10.5,1000\n' >"$T/download.csv"
"$RYVO" import -v "$W" "$C" 任天堂 "$T/download.csv" 2>"$T/out.txt"; check "import of 任天堂" 0 $?
expect "the path shown in UTF-8" grep -qF "existing: 260 rows in $C/任天堂.csv" "$T/out.txt"

ryvo_test_end "ryvo"
