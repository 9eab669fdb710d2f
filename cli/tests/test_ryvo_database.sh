#!/usr/bin/env bash
# RyvoDB as the handheld holds it, end to end: ryvo update and ryvo list on
# a .pdb and on a dump, downloads in three dialects matched to stocks by
# their file names, the merge and the 260 latest dates, DB.bak, --dry-run,
# a foreign Palm database refused, hotsync's direction, and the weekly
# round on a database written by Palm::PDB and read back by it.
set -u
RYVO="$1"
source "$(dirname "$0")/test-lib.sh"
ryvo_test_begin database
mkdir -p "$T/dl" "$T/work" "$T/csv"

# The downloads: a quotes site's file, a broker's quoted UTF-8 file in
# Japanese, a semicolon file with decimal commas.
cat >"$T/dl/7203.T.csv" <<'CSV'
Date,Open,High,Low,Close,Adj Close,Volume
2026-01-02,3000,3010,2990,3005,3005,100
2026-01-05,100,110,90,105,104,1000
2026-01-06,101.555,111,91,106,104,2000
CSV
cat >"$T/dl/ソニー.csv" <<'CSV'
"日付","始値","高値","安値","終値","出来高"
"2026/01/05","13,000","13,100","12,900","13,050","1,234,500"
CSV
cat >"$T/dl/9984_daily.csv" <<'CSV'
Date;Open;High;Low;Close;Volume
2026-01-05;7.000,50;7.100,00;6.900,00;7.050,25;12345
CSV
printf 'Date,Close\n2026-01-05,1\n' >"$T/dl/unknown.csv"

"$RYVO" update --help | grep -q "usage: ryvo update"; check "update --help" 0 $?
"$RYVO" list --help | grep -q "usage: ryvo list"; check "list --help" 0 $?
"$RYVO" update "$T/x.pdb" >/dev/null 2>&1; check "update without a source" 2 $?
"$RYVO" update "$T/x.pdb" "$T/dl" --merge >/dev/null 2>&1; check "update: unknown option" 2 $?
"$RYVO" list >/dev/null 2>&1; check "list without DB" 2 $?

# Both forms of the database.
"$RYVO" sample --pdb "$T/db.pdb"; check "sample --pdb" 0 $?
"$RYVO" sample "$T/work"; check "sample dump" 0 $?
for db in "$T/db.pdb" "$T/work/Ryvo.dmp"; do
  "$RYVO" list "$db" >"$T/list.txt"; check "list $db" 0 $?
  expect "list: six stocks of $db" test "$(wc -l <"$T/list.txt")" = 6
  expect "list: the first stock of $db" grep -qx $'1\t7203\t260 rows\t2025/1/6 - 2026/1/2\tWebScrap' "$T/list.txt"
done

# --dry-run: the lines, nothing written.
cp "$T/db.pdb" "$T/before.pdb"
"$RYVO" update --dry-run "$T/db.pdb" "$T/dl" >"$T/out.txt"; check "dry run: a file matches nothing" 1 $?
expect "dry run: the stock line" grep -q '^7203: 2 rows added, 1 replaced, newest 2026/1/6' "$T/out.txt"
expect "dry run: database unchanged" cmp -s "$T/db.pdb" "$T/before.pdb"
expect "dry run: no .bak" test ! -e "$T/db.pdb.bak"

# The merge into both forms: the names matched, the 260 latest dates kept.
for db in "$T/db.pdb" "$T/work/Ryvo.dmp"; do
  cp "$db" "$T/before"
  "$RYVO" update "$db" "$T/dl" >"$T/out.txt"; check "update $db: one file matches nothing" 1 $?
  while IFS='|' read -r what line; do
    expect "update $db: $what" grep -q "$line" "$T/out.txt"
  done <<'LINES'
code with a suffix, a date replaced, the window|^7203: 2 rows added, 1 replaced, newest 2026/1/6, 260 rows, 2 older dates left out
the stock name itself, Japanese quoted|^ソニー: 1 rows added, 0 replaced, newest 2026/1/5, 260 rows, 1 older dates
code before an underscore, semicolons|^9984: 1 rows added, 0 replaced, newest 2026/1/5
no stock|unknown.csv: matches no stock$
LINES
  expect "update $db: four lines" test "$(wc -l <"$T/out.txt")" = 4
  expect "update $db: the old file kept as .bak" cmp -s "$db.bak" "$T/before"
  expect "update $db: no temporary file" test ! -e "$db.tmp"
  "$RYVO" list "$db" >"$T/list.txt"
  expect "list after update $db" grep -qx $'1\t7203\t260 rows\t2025/1/8 - 2026/1/6\tWebScrap' "$T/list.txt"
  expect "untouched stock of $db" grep -qx $'3\t表示灯\t260 rows\t2025/1/6 - 2026/1/2\t-' "$T/list.txt"
done

# report DB: every stock as the database holds it, on one page.
"$RYVO" report "$T/db.pdb" -o "$T/db.html"; check "report DB" 0 $?
expect "report DB: the merged newest date" grep -q '2026/1/6' "$T/db.html"
expect "report DB: a stock of the page" grep -q '日本電信電話株式会社' "$T/db.html"

# The values as the handheld holds them: the dump exported.
"$RYVO" load "$T/work" >/dev/null; check "load" 0 $?
"$RYVO" export "$T/work" "$T/csv" 2>/dev/null; check "export" 0 $?
while IFS='|' read -r file line; do
  expect "stored row in $file" grep -q "^$line"$'\r$' "$T/csv/$file"
done <<'ROWS'
7203.csv|2026/1/2,     3000.00,     3010.00,     2990.00,     3005.00,      100.00
7203.csv|2026/1/6,      101.56,      111.00,       91.00,      106.00,     2000.00
9984.csv|2026/1/5,     7000.50,     7100.00,     6900.00,     7050.30,    12345.00
ROWS
expect "settings untouched" test "$(sed -n 1p "$T/work/7203.txt")" = $'7203\r'

# The working folder and CSV folder pair: into NAME.csv as import does.
cp "$T/csv/7203.csv" "$T/7203.before"
printf 'Date,Close\n2026-01-07,200\n' >"$T/7203_new.csv"
"$RYVO" update --dry-run "$T/work" "$T/csv" "$T/7203_new.csv" >"$T/out.txt"; check "folders: dry run" 0 $?
expect "folders: dry run line" grep -q '^7203: 1 rows added, 0 replaced, newest 2026/1/7' "$T/out.txt"
expect "folders: dry run writes nothing" cmp -s "$T/csv/7203.csv" "$T/7203.before"
"$RYVO" update "$T/work" "$T/csv" "$T/7203_new.csv" >/dev/null; check "folders: update" 0 $?
expect "folders: the row in the CSV file" grep -q '^2026/1/7,      200.00' "$T/csv/7203.csv"

# A file that matches a stock but does not read: the others still merge.
printf 'no prices here\n' >"$T/任天堂.csv"
cp "$T/db.pdb" "$T/before.pdb"
"$RYVO" update "$T/db.pdb" "$T/任天堂.csv" "$T/7203_new.csv" >"$T/out.txt" 2>/dev/null
check "an unreadable download" 1 $?
expect "its line" grep -q '任天堂.csv: not merged$' "$T/out.txt"
expect "the other file merged" grep -q '^7203: 1 rows added' "$T/out.txt"

# A foreign Palm database: refused by every command, untouched.
perl -MPalm::PDB -MPalm::Raw -e '
  my $p = Palm::Raw->new; $p->{name} = "MemoDB"; $p->{type} = "DATA"; $p->{creator} = "memo";
  for my $t ("first memo", "second memo") { my $r = $p->append_Record; $r->{data} = $t; }
  $p->Write($ARGV[0]);' "$T/memo.pdb" 2>/dev/null
expect "MemoDB made" test -s "$T/memo.pdb"
cp "$T/memo.pdb" "$T/memo.before"
cp "$T/work/Ryvo.dmp" "$T/dump.before"
while IFS='|' read -r what args; do
  # shellcheck disable=SC2086
  eval "\"\$RYVO\" $args" >/dev/null 2>"$T/err.txt"; check "foreign database: $what" 1 $?
  expect "foreign database: $what says what it is" grep -q 'name "MemoDB", creator "memo", type "DATA"' "$T/err.txt"
done <<'CMDS'
list|list "$T/memo.pdb"
update|update "$T/memo.pdb" "$T/dl/7203.T.csv"
report|report "$T/memo.pdb"
hotsync to the PC|hotsync --force "$T/work" "$T/memo.pdb"
hotsync to the handheld|hotsync --to-palm "$T/work" "$T/memo.pdb"
CMDS
expect "foreign database untouched" cmp -s "$T/memo.pdb" "$T/memo.before"
expect "dump untouched by the foreign database" cmp -s "$T/work/Ryvo.dmp" "$T/dump.before"
expect "no .bak of the foreign database" test ! -e "$T/memo.pdb.bak"

# hotsync's direction.
"$RYVO" hotsync --to-pc --to-palm "$T/work" "$T/db.pdb" >/dev/null 2>&1; check "both directions" 2 $?
printf 'ToPlam\n' >"$T/work/SyncDir"
"$RYVO" hotsync "$T/work" "$T/db.pdb" >/dev/null 2>"$T/err.txt"; check "a bad SyncDir" 1 $?
expect "a bad SyncDir is named" grep -q '"ToPlam", neither ToPC nor ToPalm' "$T/err.txt"
expect "a bad SyncDir writes nothing" cmp -s "$T/work/Ryvo.dmp" "$T/dump.before"
rm "$T/work/SyncDir"
touch -d '2020-01-01' "$T/db.pdb"
"$RYVO" hotsync "$T/work" "$T/db.pdb" >/dev/null 2>"$T/err.txt"; check "a newer Ryvo.dmp kept" 1 $?
expect "a newer Ryvo.dmp unchanged" cmp -s "$T/work/Ryvo.dmp" "$T/dump.before"
"$RYVO" hotsync --force "$T/work" "$T/db.pdb" >/dev/null; check "--force" 0 $?
expect "--force: the database's stocks" test "$("$RYVO" list "$T/work/Ryvo.dmp")" = "$("$RYVO" list "$T/db.pdb")"
cp "$T/db.pdb" "$T/before.pdb"
"$RYVO" hotsync --to-palm "$T/work" "$T/db.pdb" >/dev/null; check "--to-palm" 0 $?
expect "--to-palm keeps the replaced .pdb" cmp -s "$T/db.pdb.bak" "$T/before.pdb"
expect "--to-palm leaves SyncDir alone" test ! -e "$T/work/SyncDir"

# The weekly round on a database written by Palm::PDB: stock 6 renamed
# AAPL, every record with an ID and attributes of its own; read back by
# Palm::PDB after the update.
"$RYVO" sample --pdb "$T/sample.pdb"; check "sample for Palm::PDB" 0 $?
perl -MPalm::PDB -MPalm::Raw -e '
  my $p = Palm::PDB->new; $p->Load($ARGV[0]);
  my $i = 0;
  for my $r (@{$p->{records}}) {
    $r->{id} = 0x10203 + 7 * $i;
    $r->{category} = $i % 4;
    $r->{attributes} = {dirty => $i % 2, private => ($i == 3 ? 1 : 0)};
    ++$i;
  }
  substr($p->{records}[6]{data}, 4, 20) = pack("a20", "AAPL");
  $p->Write($ARGV[1]);' "$T/sample.pdb" "$T/weekly.pdb" 2>/dev/null
expect "Palm::PDB wrote the database" test -s "$T/weekly.pdb"
readback() {  # every record: id, category, dirty, private, rows, last date
  perl -MPalm::PDB -MPalm::Raw -e '
    my $p = Palm::PDB->new; $p->Load($ARGV[0]);
    print "$p->{name} $p->{creator} $p->{type}\n";
    for my $r (@{$p->{records}}) {
      my $a = $r->{attributes}; my $d = $r->{data}; my ($n, $last) = (0, "-");
      if (length($d) > 512) {
        while (512 + 15 * ($n + 1) <= length($d) && $n < 260) {
          my $w = unpack("n", substr($d, 512 + 15 * $n, 2)); last if $w == 0;
          $last = sprintf("%d/%d/%d", ($w >> 9) + 1904, ($w >> 5) & 15, $w & 31); ++$n;
        }
      }
      printf "%d %d %d %d %d %s\n", $r->{id}, $r->{category}, $a->{dirty} ? 1 : 0,
        $a->{private} ? 1 : 0, $n, $last;
    }' "$1" 2>/dev/null
}
readback "$T/weekly.pdb" >"$T/ids.before"
expect "weekly: distinct IDs to keep" test "$(cut -d' ' -f1 "$T/ids.before" | sort -u | wc -l)" = 8
printf 'Date,Open,High,Low,Close,Adj Close,Volume\n2026-01-05,180,182,179,181,181,5000\n' >"$T/dl/aapl.us.txt"
"$RYVO" list "$T/weekly.pdb" | grep -q $'^6\tAAPL\t'; check "weekly: list shows AAPL" 0 $?
"$RYVO" update "$T/weekly.pdb" "$T/dl" >"$T/out.txt"; check "weekly: update" 1 $?
expect "weekly: letter case of the code" grep -q '^AAPL: 1 rows added, 0 replaced, newest 2026/1/5' "$T/out.txt"
readback "$T/weekly.pdb" >"$T/ids.after"
expect "weekly: Palm::PDB reads it back" test "$(sed -n 1p "$T/ids.after")" = "RyvoDB Ryvo DATA"
expect "weekly: seven records" test "$(wc -l <"$T/ids.after")" = 8
expect "weekly: IDs and attributes kept" \
  cmp -s <(cut -d' ' -f1-4 "$T/ids.before") <(cut -d' ' -f1-4 "$T/ids.after")
while IFS='|' read -r record want; do
  expect "weekly: record $record rows and last date" test "$(sed -n "$((record + 2))p" "$T/ids.after" | cut -d' ' -f5-)" = "$want"
done <<'RECORDS'
1|260 2026/1/6
2|260 2026/1/5
3|260 2026/1/2
6|260 2026/1/5
RECORDS

ryvo_test_end "ryvo database"
