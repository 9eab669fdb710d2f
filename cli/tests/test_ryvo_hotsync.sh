#!/usr/bin/env bash
# "ryvo hotsync" and "ryvo sample --pdb" end to end: the sample as a Palm
# database, the way to the PC, an edited CSV value on the way back, the
# direction file, and a damaged database refused without touching anything.
set -u
RYVO="$1"
source "$(dirname "$0")/test-lib.sh"
ryvo_test_begin hotsync
differ() {  # differ FILE FILE: the files are not the same
  ! cmp -s "$1" "$2"
}
bytes() {   # bytes FILE OFFSET COUNT: the bytes as text
  dd if="$1" bs=1 skip="$2" count="$3" 2>/dev/null
}
mkdir -p "$T/work" "$T/csv" "$T/emu"

"$RYVO" hotsync --help | grep -q "usage: ryvo hotsync"; check "hotsync --help" 0 $?
"$RYVO" hotsync >/dev/null 2>&1; check "hotsync without arguments" 2 $?
"$RYVO" sample --pdb >/dev/null 2>&1; check "sample --pdb without a file" 2 $?

"$RYVO" sample --pdb "$T/emu/RyvoDB.pdb"; check "sample --pdb" 0 $?
expect "database name RyvoDB" test "$(bytes "$T/emu/RyvoDB.pdb" 0 6)" = RyvoDB
expect "creator Ryvo" test "$(bytes "$T/emu/RyvoDB.pdb" 64 4)" = Ryvo
expect "no temporary file beside it" test "$(ls "$T/emu")" = RyvoDB.pdb
cp "$T/emu/RyvoDB.pdb" "$T/original.pdb"

# Towards the PC: no SyncDir file counts as ToPC.
"$RYVO" hotsync "$T/work" "$T/emu/RyvoDB.pdb" >/dev/null; check "hotsync ToPC" 0 $?
expect "Ryvo.dmp written" test -f "$T/work/Ryvo.dmp"
expect "six stocks in the dump" test "$("$RYVO" info "$T/work/Ryvo.dmp" | grep -c 'rows 260')" = 6
expect "no SyncDir file made" test ! -e "$T/work/SyncDir"

# The user's round: load, export, one close value edited, convert.
"$RYVO" load "$T/work" >/dev/null; check "load" 0 $?
"$RYVO" export "$T/work" "$T/csv" 2>/dev/null; check "export" 0 $?
awk 'BEGIN { FS = OFS = "," } NR == 2 { $5 = "     4321.50" } { print }' "$T/csv/7203.csv" >"$T/edit.csv"
mv "$T/edit.csv" "$T/csv/7203.csv"
"$RYVO" convert "$T/work" "$T/csv" >/dev/null; check "convert" 0 $?

# Towards the handheld, with the direction file as a user writes it.
printf 'ToPalm\r\n' >"$T/work/SyncDir"
"$RYVO" hotsync "$T/work" "$T/emu/RyvoDB.pdb" >/dev/null; check "hotsync ToPalm" 0 $?
expect "direction back to ToPC" test "$(cat "$T/work/SyncDir")" = ToPC
expect "the database changed" differ "$T/emu/RyvoDB.pdb" "$T/original.pdb"
expect "same size" test "$(stat -c %s "$T/emu/RyvoDB.pdb")" = "$(stat -c %s "$T/original.pdb")"
expect "header kept but the modification date" \
  cmp -s <(bytes "$T/emu/RyvoDB.pdb" 0 40) <(bytes "$T/original.pdb" 0 40)

# Back to the PC: the edited value is in the handheld's database.
rm -rf "$T/work2" "$T/csv2"; mkdir -p "$T/work2" "$T/csv2"
"$RYVO" hotsync "$T/work2" "$T/emu/RyvoDB.pdb" >/dev/null; check "hotsync ToPC again" 0 $?
"$RYVO" export "$T/work2" "$T/csv2" 2>/dev/null; check "export again" 0 $?
expect "edited close value arrived" test "$(sed -n 2p "$T/csv2/7203.csv" | cut -d, -f5)" = "     4321.50"
expect "other stocks as they were" cmp -s "$T/csv/9984.csv" "$T/csv2/9984.csv"

# A damaged database: refused, Ryvo.dmp untouched, nothing left behind.
cp "$T/work2/Ryvo.dmp" "$T/before.dmp"
head -c 200 "$T/original.pdb" >"$T/emu/cut.pdb"
"$RYVO" hotsync "$T/work2" "$T/emu/cut.pdb" >/dev/null 2>"$T/err.txt"; check "damaged database" 1 $?
expect "says what is wrong" grep -q 'Palm DB file format error' "$T/err.txt"
expect "Ryvo.dmp unchanged" cmp -s "$T/work2/Ryvo.dmp" "$T/before.dmp"
expect "no temporary file" test ! -e "$T/work2/Ryvo.dmp.tmp"

ryvo_test_end "ryvo hotsync"
