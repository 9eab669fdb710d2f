#!/usr/bin/env bash
# The user's files under stress: two runs at once, links, modes, FIFOs,
# damaged dumps, killed runs. Whatever happens, a file is whole (the old
# one or one whole new one), nothing outside the folders changes, and a
# run that exits 0 did what it says.
#   test_ryvo_files.sh RYVO
set -u
RYVO="$1"
source "$(dirname "$0")/test-lib.sh"
ryvo_test_begin files
cd "$T" || exit 1

# dumps.py SOURCE OUT COUNT [NAME...]: a dump of COUNT stocks made of the
# records of SOURCE in turn, named NAME... or 1001, 1002, ...
cat >dumps.py <<'EOF'
import os, struct, sys
src, out, count, names = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4:]
data = open(src, 'rb').read()
records, at = [], 0
while at < len(data):
    n = struct.unpack('<I', data[at:at + 4])[0]
    records.append(bytearray(data[at + 4:at + 4 + n]))
    at += 4 + n
head, stocks = records[0], records[1:]
head[2:4] = struct.pack('>H', count & 0xFFFF)
body = [bytes(head)]
for i in range(count):
    r = bytearray(stocks[i % len(stocks)])
    name = os.fsencode(names[i]) if i < len(names) else str(1001 + i).encode()
    r[4:24] = name[:20].ljust(20, b'\0')
    body.append(bytes(r))
open(out, 'wb').write(b''.join(struct.pack('<I', len(r)) + r for r in body))
EOF
# The names of the folder's files, sorted, and every file's bytes.
snapshot() {   # the folder's entries and bytes, its lock file aside
  (cd "$1" && find . ! -name .ryvo-lock -printf '%p %y %s %m\n' | LC_ALL=C sort &&
    find . -type f ! -name .ryvo-lock -exec md5sum {} + | LC_ALL=C sort)
}
no_temporaries() {   # no_temporaries WHAT DIR: only the stock files, the dumps and the lock
  local extra
  extra=$(cd "$2" && ls -A | grep -vE '\.(txt|csv|dmp|bak)$|^\.ryvo-lock$|^SyncDir$')
  [ -z "$extra" ] || { echo "FAIL: $1: left in $2: $extra"; fails=$((fails + 1)); }
}

mkdir -p work csv outside
"$RYVO" sample work && "$RYVO" load work && "$RYVO" export work csv || { echo "FAIL: setup"; exit 1; }
cp work/Ryvo.dmp original.dmp

# Two CSV folders that convert to two different dumps, each made alone.
cp -r csv csvA && cp -r csv csvB
sed -i '2s/^\([^,]*\),[^,]*,/\1,     1234.00,/' csvB/7203.csv
for x in A B; do
  mkdir -p "alone$x" && cp work/*.txt "alone$x/" && cp original.dmp "alone$x/Ryvo.dmp"
  "$RYVO" convert "alone$x" "csv$x" || { echo "FAIL: convert alone $x"; exit 1; }
done
cmp -s aloneA/Ryvo.dmp aloneB/Ryvo.dmp && { echo "FAIL: the two dumps are alike"; exit 1; }

# 1. Two conversions of one working folder started together: the dump is
# always one whole new dump, made by a run that exited 0.
for round in $(seq 20); do
  cp original.dmp work/Ryvo.dmp
  "$RYVO" convert work csvA 2>errA.txt & a=$!
  "$RYVO" convert work csvB 2>errB.txt & b=$!
  wait $a; ra=$?; wait $b; rb=$?
  if cmp -s work/Ryvo.dmp aloneA/Ryvo.dmp; then made=$ra
  elif cmp -s work/Ryvo.dmp aloneB/Ryvo.dmp; then made=$rb
  else made=torn; fi
  check "round $round: the dump is whole and its run exited 0 ($ra, $rb)" 0 "$made"
done
no_temporaries "two conversions" work
cp original.dmp work/Ryvo.dmp

# 2. Two exports into one CSV folder from two dumps: every file is whole,
# as one of the two exports wrote it.
mkdir -p exA exB both
"$RYVO" export aloneA exA && "$RYVO" export aloneB exB || echo "FAIL: exports alone"
for round in 1 2 3 4 5; do
  "$RYVO" export aloneA both 2>/dev/null & a=$!
  "$RYVO" export aloneB both 2>/dev/null & b=$!
  wait $a $b
  for f in exA/*.csv; do
    n=${f#exA/}
    cmp -s "both/$n" "exA/$n" || cmp -s "both/$n" "exB/$n" || { echo "FAIL: round $round: $n torn"; fails=$((fails + 1)); }
  done
done
no_temporaries "two exports" both

# 3. Links. A dangling link at a CSV name, and links planted at every name
# a temporary file could have had: nothing outside the folders is created
# or changed, and no link takes a dump's place.
mkdir -p csvL && cp csv/*.csv csvL/ && rm csvL/7203.csv
ln -s "$T/outside/victim" csvL/7203.csv
"$RYVO" export work csvL 2>err.txt; check "export onto a dangling link" 1 $?
expect "no file created through the link" test ! -e outside/victim
expect "the link is named" grep -q '7203.csv' err.txt
echo keep >outside/kept
for name in 7203.cs~ Ryvo.dmp.tmp SaveRyvo.dmp.copying; do ln -s "$T/outside/kept" "csv/$name"; ln -s "$T/outside/kept" "work/$name"; done
sed -i '2s/^\([^,]*\),[^,]*,/\1,     1111.00,/' csv/7203.csv
"$RYVO" export work csv 2>/dev/null; "$RYVO" convert work csv 2>/dev/null
expect "the file behind planted links is unchanged" test "$(cat outside/kept)" = keep
expect "Ryvo.dmp is no link" test -f work/Ryvo.dmp -a ! -L work/Ryvo.dmp
rm -f csv/*~ csv/*.tmp csv/*.copying work/*~ work/*.tmp work/*.copying
cp original.dmp work/Ryvo.dmp && "$RYVO" export work csv

# 4. Modes: a read-only price file holding the user's edits is not
# replaced; a 0600 file keeps its mode when it is replaced.
sed -i '2s/^\([^,]*\),[^,]*,/\1,     2222.00,/' csv/ソニー.csv
cp csv/ソニー.csv edited.csv
chmod 444 csv/ソニー.csv
"$RYVO" export work csv 2>err.txt; check "export over a read-only file" 1 $?
expect "the read-only file keeps the edits" cmp -s csv/ソニー.csv edited.csv
expect "the read-only file is named" grep -q 'ソニー.csv' err.txt
chmod 644 csv/ソニー.csv
chmod 600 csv/7203.csv work/7203.txt work/Ryvo.dmp
sed -i '2s/^\([^,]*\),[^,]*,/\1,     3333.00,/' csv/7203.csv
echo extra >>work/7203.txt
"$RYVO" export work csv && "$RYVO" load --force work && "$RYVO" convert work csv || echo "FAIL: the 0600 round"
expect "a replaced 0600 CSV file stays 0600" test "$(stat -c %a csv/7203.csv)" = 600
expect "a replaced 0600 settings file stays 0600" test "$(stat -c %a work/7203.txt)" = 600
expect "a replaced 0600 dump stays 0600" test "$(stat -c %a work/Ryvo.dmp)" = 600
cp original.dmp work/Ryvo.dmp && "$RYVO" load work && "$RYVO" export work csv

# 5. A FIFO where a price file is expected, and as -o: every command
# answers at once (within 2 seconds) and names it.
mkdir -p csvF && cp csv/*.csv csvF/ && rm csvF/7203.csv && mkfifo csvF/7203.csv
# status | what names it (stdout and stderr) | arguments
while IFS='|' read -r want named args; do
  [ -z "$want" ] && continue
  # shellcheck disable=SC2086
  timeout 2 "$RYVO" $args >err.txt 2>&1
  check "ryvo $args with a FIFO" "$want" $?
  [ -z "$named" ] || grep -q -- "$named" err.txt || { echo "FAIL: ryvo $args: no /$named/: $(head -c 300 err.txt)"; fails=$((fails + 1)); }
done <<'TABLE'
1|csvF/7203.csv: is a FIFO|export work csvF
1|csvF/7203.csv: is a FIFO|convert work csvF
1|csvF/7203.csv: csv-missing|check work csvF
1|csvF/7203.csv: is a FIFO|chart work csvF 7203
0||report work csvF -o report.html
1|csvF/7203.csv: is a FIFO|import work csvF 7203 csv/ソニー.csv
TABLE
mkfifo outside/fifo
timeout 2 "$RYVO" report work csv -o outside/fifo 2>err.txt; check "report -o onto a FIFO" 1 $?
expect "report names the FIFO" grep -q 'outside/fifo' err.txt
no_temporaries "FIFOs" work

# 6. A damaged dump (the third record's length 9000): every command that
# reads it says so with the record's index, exits 1 and writes nothing.
mkdir -p bad && cp work/*.txt bad/ && cp original.dmp bad/Ryvo.dmp
python3 - bad/Ryvo.dmp <<'EOF'
import os, struct, sys
d = bytearray(open(sys.argv[1], 'rb').read())
at = 0
for _ in range(3):   # the header, the first and the second stock
    at += 4 + struct.unpack('<I', d[at:at + 4])[0]
d[at:at + 4] = struct.pack('<I', 9000)
open(sys.argv[1], 'wb').write(d)
EOF
mkdir -p csvD
snapshot bad >before.txt; snapshot csvD >>before.txt
while IFS='|' read -r args; do
  [ -z "$args" ] && continue
  # shellcheck disable=SC2086
  timeout 10 "$RYVO" $args >/dev/null 2>err.txt
  check "ryvo $args of a damaged dump" 1 $?
  grep -q 'record 3' err.txt || { echo "FAIL: ryvo $args: record 3 not named: $(head -2 err.txt)"; fails=$((fails + 1)); }
done <<'TABLE'
info bad/Ryvo.dmp
export bad csvD
convert bad csv
check bad csv
chart bad/Ryvo.dmp 日本電信電話株式会社
report bad csv
TABLE
snapshot bad >after.txt; snapshot csvD >>after.txt
expect "nothing written beside the damaged dump" cmp -s before.txt after.txt

# 7. More stocks than the tool holds: said, never capped.
mkdir -p many && python3 dumps.py original.dmp many/Ryvo.dmp 8200
"$RYVO" convert many csv >/dev/null 2>err.txt; check "convert of 8,200 stocks" 1 $?
expect "the limit is said" grep -q '8192\|8,192' err.txt

# 8. Two stocks whose names make one file (87 55 and FA 4B are both Ⅱ):
# both refused, as a name that cannot be a file is.
mkdir -p twin twincsv
python3 dumps.py original.dmp twin/Ryvo.dmp 3 $'A\x87\x55' $'A\xfa\x4b' B
"$RYVO" load twin 2>err.txt; check "load of twins" 1 $?
expect "load writes neither twin" test ! -e "twin/AⅡ.txt"
"$RYVO" export twin twincsv 2>err.txt; check "export of twins" 1 $?
expect "export writes neither twin" test ! -e "twincsv/AⅡ.csv"
expect "export still writes the others" test -f twincsv/B.csv

# A name holding an escape sequence reaches the terminal escaped.
mkdir -p esc && python3 dumps.py original.dmp esc/Ryvo.dmp 1 $'\x1b[2Jx'
"$RYVO" info esc/Ryvo.dmp >info.txt; check "info of a name with ESC" 0 $?
expect "the escape byte is shown as \\x1B" grep -qF '\x1B[2Jx' info.txt
expect "no raw escape byte" bash -c '! grep -q "$(printf "\033")" info.txt' 

# 9. A killed export leaves nothing a conversion trusts: the next run that
# reads the folder says the export did not finish.
mkdir -p big bigcsv && python3 dumps.py original.dmp big/Ryvo.dmp 2000 && "$RYVO" load big
killed=0
for try in $(seq 30); do
  rm -f bigcsv/*.csv bigcsv/.ryvo-export
  "$RYVO" export big bigcsv 2>/dev/null & e=$!
  sleep 0.$((try % 9 + 1))
  kill -9 $e 2>/dev/null; wait $e
  # Killed with some of the files written: the case to tell.
  [ $? -eq 137 ] && ls bigcsv/*.csv >/dev/null 2>&1 && { killed=1; break; }
done
if [ $killed -eq 1 ]; then
  "$RYVO" convert big bigcsv 2>err.txt; check "convert after a killed export" 1 $?
  expect "it says the export did not finish" grep -q 'ＣＳＶ展開をやり直してください' err.txt
  expect "check says it too" sh -c "'$RYVO' check big bigcsv 2>&1 | grep -q 'ＣＳＶ展開'"
  "$RYVO" export big bigcsv && "$RYVO" check big bigcsv >/dev/null
  check "after the export is repeated" 0 $?
else
  echo "note: no export was caught in the middle in 20 tries"
fi

# 10. SIGTERM in the middle of a conversion leaves no temporary file.
for try in 1 2 3; do
  "$RYVO" convert big bigcsv 2>/dev/null & c=$!
  sleep 0.05; kill -TERM $c 2>/dev/null; wait $c
done
no_temporaries "SIGTERM" big

# 11. sample never replaces a dump unless told, and keeps the earlier one.
mkdir -p s && cp aloneA/Ryvo.dmp s/Ryvo.dmp
"$RYVO" sample s 2>err.txt; check "sample over a dump" 1 $?
expect "the dump is kept" cmp -s s/Ryvo.dmp aloneA/Ryvo.dmp
"$RYVO" sample --force s; check "sample --force" 0 $?
expect "the earlier dump is Ryvo.dmp.bak" cmp -s s/Ryvo.dmp.bak aloneA/Ryvo.dmp
expect "the sample is in place" cmp -s s/Ryvo.dmp original.dmp

# 12. A backslash in a Linux folder argument is a character of its name.
mkdir -p 'my\csv'
"$RYVO" export work 'my\csv'; check "export into my\\csv" 0 $?
expect "the files are in my\\csv" test -f 'my\csv/7203.csv'
expect "nothing in my/csv" test ! -e my/csv

ryvo_test_end "ryvo files"
