#!/usr/bin/env bash
# ryvo import end to end: a quotes-site download into a new stock beside
# the sample's stocks, its summary and exit codes, the new stock's
# settings file, and the conversion of the result.
set -u
RYVO="$1"
source "$(dirname "$0")/test-lib.sh"
ryvo_test_begin import
mkdir -p "$T/work" "$T/csv"
cat >"$T/AAPL.csv" <<'CSV'
Date,Open,High,Low,Close,Adj Close,Volume
2024-01-02,187.149994,188.440002,183.889999,185.639999,185.403412,82488700
2024-01-03,184.220001,185.880005,183.429993,184.250000,184.015198,58414500
2024-01-04,null,null,null,null,null,null
2024-01-05,181.990005,182.759995,180.169998,181.179993,180.949051,62303300
CSV

"$RYVO" import --help | grep -q "usage: ryvo import"; check "import --help" 0 $?
"$RYVO" import "$T/work" "$T/csv" AAPL >/dev/null 2>&1; check "three arguments" 2 $?
"$RYVO" import "$T/work" "$T/csv" AAPL "$T/AAPL.csv" --merge >/dev/null 2>&1; check "unknown option" 2 $?
"$RYVO" import "$T/work" "$T/csv" 'a/b' "$T/AAPL.csv" >/dev/null 2>&1; check "name with a slash" 2 $?
"$RYVO" import "$T/work" "$T/csv" 123456789012345678901 "$T/AAPL.csv" >/dev/null 2>&1
check "name of 21 bytes" 2 $?
"$RYVO" import "$T/work" "$T/csv" AAPL "$T/missing.csv" >/dev/null 2>&1; check "missing file" 1 $?
expect "nothing written for a missing file" test ! -e "$T/csv/AAPL.csv"

"$RYVO" sample "$T/work"; check "sample" 0 $?
"$RYVO" load "$T/work" >/dev/null; check "load" 0 $?
"$RYVO" export "$T/work" "$T/csv" 2>/dev/null; check "export" 0 $?
"$RYVO" import -v "$T/work" "$T/csv" AAPL "$T/AAPL.csv" 2>"$T/out.txt"; check "import" 0 $?
expect "summary: rows used" grep -qx 'used: 3 rows' "$T/out.txt"
expect "summary: the null row" grep -q '1 value missing.*: line 4$' "$T/out.txt"
expect "summary: stored range" grep -qx 'stored: 3 rows, 2024/1/2 - 2024/1/5' "$T/out.txt"
expect "summary: new stock" grep -q '^new stock: .*AAPL.txt written' "$T/out.txt"
expect "price file line" grep -q $'^2024/1/2,      187.15,      188.44,      183.89,      185.64, 82489000.00\r$' "$T/csv/AAPL.csv"
expect "settings file of 14 lines" test "$(wc -l <"$T/work/AAPL.txt")" = 14
expect "settings file names the stock" grep -qx $'AAPL\r' "$T/work/AAPL.txt"

# The same download again: every date replaced, the settings file kept.
echo "edited" >>"$T/work/AAPL.txt"
"$RYVO" import -v "$T/work" "$T/csv" AAPL "$T/AAPL.csv" 2>"$T/out.txt"; check "import again" 0 $?
expect "dates replaced" grep -qx 'merged: 3 dates replaced, 0 added, 0 older dates left out beyond 260' "$T/out.txt"
expect "settings file kept" grep -qx 'edited' "$T/work/AAPL.txt"

"$RYVO" convert "$T/work" "$T/csv" 7203 AAPL --only >/dev/null; check "convert" 0 $?
"$RYVO" info "$T/work/Ryvo.dmp" >"$T/info.txt"; check "info" 0 $?
expect "the converted stock" grep -q $'^2\tAAPL\tflags -\trows 3\t2024/1/2 - 2024/1/5' "$T/info.txt"

printf 'Date,Open,High,Low,Close\n2024-01-08,null,1,1,1\n' >"$T/nothing.csv"
cp "$T/csv/AAPL.csv" "$T/before.csv"
"$RYVO" import "$T/work" "$T/csv" AAPL "$T/nothing.csv" >/dev/null 2>"$T/err.txt"
check "nothing to import" 1 $?
expect "its message" grep -q 'Import file has no usable price row' "$T/err.txt"
expect "price file unchanged" cmp -s "$T/before.csv" "$T/csv/AAPL.csv"

"$RYVO" import "$T/work" "$T/csv" AAPL "$T/AAPL.csv" --replace >/dev/null; check "--replace" 0 $?
expect "no temporary file" test -z "$(ls "$T/csv" | grep '~')"

# A new stock whose settings file cannot be written (a folder holds its
# name) is not added at all: its new price file goes as well.
mkdir -p "$T/work/NEWCO.txt"
"$RYVO" import "$T/work" "$T/csv" NEWCO "$T/AAPL.csv" >/dev/null 2>"$T/err.txt"
check "new stock whose settings cannot be written" 1 $?
expect "no price file of the stock not added" test ! -e "$T/csv/NEWCO.csv"
expect "the settings file is named" grep -q 'NEWCO.txt' "$T/err.txt"

ryvo_test_end "ryvo import"
