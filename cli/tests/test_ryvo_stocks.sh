#!/usr/bin/env bash
# The stock list of RyvoDB changed from the command line: add, remove, move
# and set on a .pdb and on a dump, the settings dialog's refusals with
# nothing written; the working folder's added stocks, the NAMEs that would
# drop stocks, load keeping edited settings files; check and chart of a
# database; record IDs kept, read back by Palm::PDB.
set -u
RYVO="$1"
source "$(dirname "$0")/test-lib.sh"
ryvo_test_begin stocks
cd "$T" || exit 1
mkdir -p dl work csv
cat >dl/6758.T.csv <<'CSV'
Date,Open,High,Low,Close,Adj Close,Volume
2026-01-05,100,110,90,105,104,1000
2026-01-06,101,111,91,106,104,2000
CSV

names() { "$RYVO" list "$1" | cut -f2 | tr '\n' ' '; }
settings_line() {  # settings_line DUMP NAME LINE: line LINE of NAME's settings as load writes it
  rm -rf view && mkdir view && cp "$1" view/Ryvo.dmp && "$RYVO" load view >/dev/null 2>&1
  sed -n "$3p" "view/$2.txt" | tr -d '\r' | iconv -f CP932 -t UTF-8
}

"$RYVO" sample --pdb db.pdb && "$RYVO" sample work && cp work/Ryvo.dmp db.dmp
check "sample" 0 $?

# add: at the end, empty settings, the prices of SOURCE; DB.bak the file before.
for db in db.pdb db.dmp; do
  cp "$db" before
  "$RYVO" add "$db" 6758 dl/6758.T.csv; check "add $db" 0 $?
  expect "add $db: the new stock last" test "$(names "$db")" = "7203 ソニー 表示灯 日本電信電話株式会社 任天堂 9984 6758 "
  expect "add $db: its rows" grep -qx $'7\t6758\t2 rows\t2026/1/5 - 2026/1/6\t-' <("$RYVO" list "$db")
  expect "add $db: .bak is the file before" cmp -s "$db.bak" before
  "$RYVO" add "$db" 1605; check "add $db without prices" 0 $?
  expect "add $db: no rows" grep -qx $'8\t1605\t0 rows\t-\t-' <("$RYVO" list "$db")
done
expect "add: the new stock's settings as the dialog writes them" \
  test "$(settings_line db.dmp 6758 1)|$(settings_line db.dmp 6758 4)|$(settings_line db.dmp 6758 13)" = "6758|0|0,0"

# Names the settings dialog refuses, and usage errors: nothing written.
cp db.pdb before; cp db.pdb.bak bak.before
while IFS='|' read -r rc what name pattern; do
  "$RYVO" add db.pdb "$name" >/dev/null 2>err.txt; check "add refuses $what" "$rc" $?
  expect "add $what: the reason" grep -q -- "$pattern" err.txt
  expect "add $what: db unchanged" cmp -s db.pdb before
  expect "add $what: .bak unchanged" cmp -s db.pdb.bak bak.before
done <<'TABLE'
1|a name of 21 bytes|123456789012345678901|銘柄名は半角２０文字以下
1|eleven full-width characters|あいうえおかきくけこさ|銘柄名は半角２０文字以下
1|a slash|a/b|使用できない文字
1|a device name|CON.x|使用できない文字
1|an existing name|7203|7203: already a stock
2|an empty name||is not a stock name
TABLE
"$RYVO" add db.pdb >/dev/null 2>&1; check "add without a name" 2 $?
"$RYVO" add db.pdb X dl/6758.T.csv extra >/dev/null 2>&1; check "add with too many operands" 2 $?
"$RYVO" add db.pdb X dl/none.csv >/dev/null 2>&1; check "add from a missing file" 1 $?
expect "add from a missing file: db unchanged" cmp -s db.pdb before

# remove: one, several; a missing one changes nothing.
while IFS='|' read -r rc what args left; do
  cp db.dmp dmp.before
  # shellcheck disable=SC2086
  "$RYVO" remove db.dmp $args 2>/dev/null; check "remove $what" "$rc" $?
  expect "remove $what: the stocks left" test "$(names db.dmp)" = "$left"
  [ "$rc" = 0 ] || expect "remove $what: db unchanged" cmp -s db.dmp dmp.before
done <<'TABLE'
0|one|1605|7203 ソニー 表示灯 日本電信電話株式会社 任天堂 9984 6758 
1|a missing one among present ones|9984 nosuch 7203|7203 ソニー 表示灯 日本電信電話株式会社 任天堂 9984 6758 
0|several|9984 7203|ソニー 表示灯 日本電信電話株式会社 任天堂 6758 
TABLE

# move: to the front, to the end, back into the middle; positions outside.
while IFS='|' read -r rc what args order; do
  # shellcheck disable=SC2086
  "$RYVO" move db.dmp $args 2>/dev/null; check "move $what" "$rc" $?
  expect "move $what: the order" test "$(names db.dmp)" = "$order"
done <<'TABLE'
0|to the front|6758 1|6758 ソニー 表示灯 日本電信電話株式会社 任天堂 
0|to the end|ソニー 5|6758 表示灯 日本電信電話株式会社 任天堂 ソニー 
0|into the middle|ソニー 2|6758 ソニー 表示灯 日本電信電話株式会社 任天堂 
0|onto itself|表示灯 3|6758 ソニー 表示灯 日本電信電話株式会社 任天堂 
2|to position 0|6758 0|6758 ソニー 表示灯 日本電信電話株式会社 任天堂 
2|past the end|6758 6|6758 ソニー 表示灯 日本電信電話株式会社 任天堂 
2|to no number|6758 x|6758 ソニー 表示灯 日本電信電話株式会社 任天堂 
1|a missing stock|nosuch 1|6758 ソニー 表示灯 日本電信電話株式会社 任天堂 
TABLE

# set: each kind of field, read back from the settings file load writes.
while IFS='|' read -r what assignment line value; do
  "$RYVO" set db.dmp 6758 "$assignment"; check "set $what" 0 $?
  expect "set $what: settings line $line" test "$(settings_line db.dmp 6758 "$line")" = "$value"
done <<'TABLE'
a flag|fixedscale=1|4|1
another flag|onlyclose=1|2|1
a flag cleared|onlyclose=0|2|0
the document|document=https://example.com/q?code=6758|5|https://example.com/q?code=6758
a full-width keyword|keyword=ソニーＧ|6|ソニーＧ
the purchase count|purchase=1500|7|1500
a Web fetch row|close-row=12|11|12,0
its tag, negative|close-tag=-3|11|12,-3
the volume pair|volume-tag=32767|12|0,32767
the price scale|price-max=4000|13|4000,0
its minimum|price-min=-2147483648|13|4000,-2147483648
an empty number is 0|price-max=|13|0,-2147483648
the volume scale|volume-max=2147483647|14|2147483647,0
TABLE
"$RYVO" set db.pdb 6758 fixedscale=1 price-max=4000 price-min=2000; check "set on a .pdb" 0 $?
expect "set on a .pdb: the flag listed" grep -q $'\t6758\t.*FixedScale$' <("$RYVO" list db.pdb)
"$RYVO" set db.dmp 6758 name=ソニーG; check "set a new name" 0 $?
expect "set a new name: the list" test "$(names db.dmp)" = "ソニーG ソニー 表示灯 日本電信電話株式会社 任天堂 "
"$RYVO" set db.dmp ソニーG name=6758; check "set the name back" 0 $?

# Values refused: nothing written, .bak untouched.
cp db.dmp before; cp db.dmp.bak bak.before
long121=$(printf 'd%.0s' $(seq 121))
while IFS='|' read -r rc what assignment pattern; do
  "$RYVO" set db.dmp 6758 fixedscale=0 "$assignment" >/dev/null 2>err.txt; check "set refuses $what" "$rc" $?
  expect "set $what: the reason" grep -q -- "$pattern" err.txt
  expect "set $what: db unchanged" cmp -s db.dmp before
  expect "set $what: .bak unchanged" cmp -s db.dmp.bak bak.before
done <<TABLE
1|a scale beyond 32 bits|price-max=2147483648|from -2147483648 to 2147483647
1|a Web fetch number beyond 16 bits|open-row=32768|from -32768 to 32767
1|a number with text|purchase=12x|whole number
1|a flag other than 0 or 1|webscrap=2|0 or 1
1|a keyword of 21 bytes|keyword=123456789012345678901|キーワードは半角２０文字以下
1|a document of 121 bytes|document=$long121|Webドキュメントは半角１２０文字以下
1|a name of another stock|name=ソニー|already a stock
1|a name with a colon|name=a:b|使用できない文字
1|an empty name|name=|a stock has a name
2|an unknown field|colour=red|not FIELD=VALUE
2|no equals sign|fixedscale|not FIELD=VALUE
TABLE
"$RYVO" set db.dmp nosuch fixedscale=1 2>/dev/null; check "set of a missing stock" 1 $?
"$RYVO" set --help | grep -q 'price-max price-min volume-max volume-min'; check "set --help lists the fields" 0 $?

# Record IDs and attributes of a Palm database kept through add, remove and move.
"$RYVO" sample --pdb fresh.pdb
perl -MPalm::PDB -MPalm::Raw -e '
  my $p = Palm::PDB->new; $p->Load($ARGV[0]); my $i = 0;
  for my $r (@{$p->{records}}) { $r->{id} = 0x1000 + $i; $r->{category} = $i % 3; ++$i; }
  $p->Write($ARGV[1]);' fresh.pdb ids.pdb 2>/dev/null
ids() {
  perl -MPalm::PDB -MPalm::Raw -e '
    my $p = Palm::PDB->new; $p->Load($ARGV[0]);
    print join(" ", map { sprintf("%x/%d/%s", $_->{id}, $_->{category}, unpack("Z20", substr($_->{data}, 4, 20))) } @{$p->{records}}[1 .. $#{$p->{records}}]), "\n";' "$1" 2>/dev/null | iconv -f CP932 -t UTF-8
}
before_ids=$(ids ids.pdb)
expect "Palm::PDB gave the records IDs" test "${before_ids%% *}" = "1001/1/7203"
"$RYVO" remove ids.pdb 9984 && "$RYVO" move ids.pdb 任天堂 1 && "$RYVO" add ids.pdb NEW
check "add, remove, move on Palm::PDB's file" 0 $?
after_ids=$(ids ids.pdb)
expect "IDs kept and the order changed" test "${after_ids% *}" = "1005/2/任天堂 1001/1/7203 1002/2/ソニー 1003/0/表示灯 1004/1/日本電信電話株式会社"
new_id=${after_ids##* }
expect "the new record last" test "${new_id#*/*/}" = NEW
case " $before_ids " in *" ${new_id%%/*}/"*) new_id=taken ;; esac
expect "the new record has an ID of its own" test "${new_id%%/*}" != 0 -a "$new_id" != taken

# The working folder: NAMEs that drop stocks refused, --only, added stocks.
"$RYVO" load work >/dev/null 2>&1 && "$RYVO" export work csv; check "load and export" 0 $?
cp work/Ryvo.dmp dump.before
while IFS='|' read -r what args; do
  # shellcheck disable=SC2086
  "$RYVO" $args >/dev/null 2>err.txt; check "$what refuses dropping stocks" 2 $?
  expect "$what: the stocks left out" test "$(grep -c '^  ' err.txt)" = 4
  expect "$what: names 任天堂" grep -qx '  任天堂' err.txt
done <<'TABLE'
convert|convert work csv 7203 9984
check|check work csv 9984 7203
report|report work csv 7203 9984 -o r.html
TABLE
expect "a refused convert changes nothing" cmp -s work/Ryvo.dmp dump.before
expect "a refused report writes nothing" test ! -e r.html
"$RYVO" convert work csv 7203 9984 --only; check "convert --only" 0 $?
expect "convert --only: the two stocks" test "$(names work/Ryvo.dmp)" = "7203 9984 "
cp dump.before work/Ryvo.dmp

"$RYVO" add work csv 6758 dl/6758.T.csv; check "add to the working folder" 0 $?
expect "add: the settings file" test -s work/6758.txt
expect "add: the price file" grep -q '^2026/1/6,' csv/6758.csv
"$RYVO" add work csv 1605; check "add without prices" 0 $?
expect "add without prices: the header alone" test "$(wc -l <csv/1605.csv)" = 1
printf 'Date,Close\n2026-01-05,500\n' >dl/8035.csv
"$RYVO" import work csv 8035 dl/8035.csv; check "import of a new stock" 0 $?
expect "Added.txt lists the three" test "$(tr -d '\r' <work/Added.txt | tr '\n' ' ')" = "6758 1605 8035 "
"$RYVO" add work csv 6758 >/dev/null 2>&1; check "add of an added stock" 1 $?
"$RYVO" add work csv 7203 >/dev/null 2>&1; check "add of a stock of the dump" 1 $?
"$RYVO" check work csv >check.txt; check "check takes the added stocks" 0 $?
expect "check: the added stock" grep -q '^8035: 1 rows' check.txt
"$RYVO" convert work csv 7203 ソニー 表示灯 日本電信電話株式会社 任天堂 9984 6758 1605 >/dev/null 2>err.txt
check "convert without an added stock" 2 $?
expect "the added stock left out is named" grep -qx '  8035' err.txt
"$RYVO" convert work csv; check "plain convert after add" 0 $?
expect "convert: the added stocks after the dump's" \
  test "$(names work/Ryvo.dmp)" = "7203 ソニー 表示灯 日本電信電話株式会社 任天堂 9984 6758 1605 8035 "
expect "convert: Added.txt emptied" test ! -s work/Added.txt
"$RYVO" convert work csv; check "a second plain convert" 0 $?
expect "the stocks once" test "$(names work/Ryvo.dmp)" = "7203 ソニー 表示灯 日本電信電話株式会社 任天堂 9984 6758 1605 8035 "

# load: what it replaces; a settings file edited since the last load kept.
"$RYVO" load work >/dev/null 2>err.txt; check "load after convert" 0 $?
expect "load says it replaces BeginRyvo.dmp" grep -q 'replaces work/BeginRyvo.dmp' err.txt
touch -d '1 minute ago' work/BeginRyvo.dmp
printf '7203\r\n1\r\n' >work/7203.txt
cp work/7203.txt edited.txt
"$RYVO" load work >/dev/null 2>err.txt; check "load refuses an edited settings file" 1 $?
expect "load names the edited file" grep -qx '  work/7203.txt' err.txt
expect "the edited file kept" cmp -s work/7203.txt edited.txt
"$RYVO" load --force work >/dev/null 2>err.txt; check "load --force" 0 $?
expect "load --force replaced it" test "$(tr -d '\r' <work/7203.txt | sed -n 2p)" = 0
expect "load --force says so" grep -q 'replaces work/7203.txt' err.txt
"$RYVO" load work >/dev/null 2>err.txt; check "load of unchanged files" 0 $?
expect "nothing replaced but BeginRyvo.dmp" test "$(grep -c 'replaces' err.txt)" -le 1

# check DB and chart DB: what the handheld holds.
"$RYVO" check db.pdb; check "check of a sound .pdb" 0 $?
perl -MPalm::PDB -MPalm::Raw -e '
  my $p = Palm::PDB->new; $p->Load($ARGV[0]);
  substr($p->{records}[2]{data}, 4, 20) = pack("a20", "a/b");
  substr($p->{records}[3]{data}, 4, 20) = pack("a20", "NUL");
  substr($p->{records}[5]{data}, 512, 2) = pack("n", (0 << 9) | (1 << 5) | 5);
  substr($p->{records}[6]{data}, 512 + 15 * 259, 2) = pack("n", (122 << 9) | (2 << 5) | 30);
  $p->Write($ARGV[1]);' db.pdb bad.pdb 2>/dev/null
"$RYVO" check bad.pdb >check.txt; check "check of a .pdb with findings" 1 $?
while IFS='|' read -r what line; do
  expect "check DB: $what" grep -qF "$line" check.txt
done <<'TABLE'
a slash|stock 2 a/b: name-unusable
a device name|stock 3 NUL: name-unusable
a wrapped year|stock 5 任天堂: date-wraps: row 1: 1904/1/5
no calendar date|stock 6 9984: date-invalid: row 260: 2026/2/30
TABLE
expect "check DB: one line per finding" test "$(wc -l <check.txt)" = 4
cp dump.before dmg.dmp
printf '\x28\x23\x00\x00' | dd of=dmg.dmp bs=1 seek=$((4 + $(od -An -tu4 -N4 dump.before))) conv=notrunc 2>/dev/null
"$RYVO" check dmg.dmp >/dev/null 2>err.txt; check "check of a damaged dump" 1 $?
expect "check DB: the damaged record named" grep -q 'record 1' err.txt
"$RYVO" check work >/dev/null 2>&1; check "check of a folder alone" 2 $?
"$RYVO" chart db.pdb 6758 -o c.svg; check "chart of a .pdb" 0 $?
expect "chart of a .pdb: SVG" grep -q '<svg' c.svg
"$RYVO" chart db.pdb nosuch >/dev/null 2>&1; check "chart of a missing stock of a .pdb" 1 $?

ryvo_test_end stocks
