#!/usr/bin/env bash
# ryvo.exe under Wine (RyvoWin's exchange) and the native ryvo on one pair
# of folders, as a user who keeps RyvoWin under Wine and scripts with ryvo
# works: what one exports the other converts, both ways, and the two write
# the same files, byte for byte, under the same (UTF-8) names.
#   test_ryvo_wine.sh RYVO_EXE NATIVE_RYVO WINE_RUN
set -u
EXE="$1"; NATIVE="$2"; WINE_RUN="$3"
T=$(mktemp -d /tmp/ryvo-wine-XXXXXX)
trap 'rm -rf "$T"' EXIT
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }
win() { bash "$WINE_RUN" "$EXE" "$@"; }
# Same names and bytes in two folders.
same_files() {   # same_files WHAT DIR1 DIR2
  (cd "$2" && ls | LC_ALL=C sort) >"$T/a.txt"
  (cd "$3" && ls | LC_ALL=C sort) >"$T/b.txt"
  cmp -s "$T/a.txt" "$T/b.txt" || fail "$1: names differ: $(diff "$T/a.txt" "$T/b.txt" | tr '\n' ' ')"
  while IFS= read -r f; do
    [ -f "$3/$f" ] && { cmp -s "$2/$f" "$3/$f" || fail "$1: $f differs"; }
  done <"$T/a.txt"
}

# ryvo.exe alone, as before: its messages in code page 932, its exit codes.
mkdir -p "$T/w/work" "$T/w/csv"
win sample "Z:$T/w/work" || fail "sample under Wine"
cp "$T/w/work/Ryvo.dmp" "$T/sample.dmp"
win load "Z:$T/w/work" >"$T/w/list.txt" || fail "load under Wine"
win export -v "Z:$T/w/work" "Z:$T/w/csv" 2>"$T/w/err.txt" || fail "export under Wine"
iconv -f CP932 -t UTF-8 <"$T/w/err.txt" | tr -d '\r' | grep -qx '\[RyvoWin\] 変換完了' || fail "変換完了 on stderr"
win info "Z:$T/w/work\\Ryvo.dmp" >"$T/w/info.txt" || fail "info under Wine"
# Wine keeps Windows names on Linux in UTF-8.
[ -f "$T/w/work/ソニー.txt" ] && [ -f "$T/w/csv/表示灯.csv" ] || fail "Wine's names are not UTF-8"

if [ ! -x "$NATIVE" ]; then
  echo "native ryvo not found at $NATIVE: the round trip is skipped"
  [ $fails -eq 0 ] && echo "ryvo.exe: all checks passed"
  exit $((fails != 0))
fi

# The native tool's load and export write what Wine's did.
mkdir -p "$T/n/work" "$T/n/csv"
cp "$T/sample.dmp" "$T/n/work/Ryvo.dmp"
"$NATIVE" load "$T/n/work" >/dev/null && "$NATIVE" export "$T/n/work" "$T/n/csv" 2>/dev/null ||
  fail "native load and export"
same_files "load" "$T/w/work" "$T/n/work"
same_files "export" "$T/w/csv" "$T/n/csv"
[ "$(ls "$T/w/csv" | wc -l)" -eq 6 ] || fail "six CSV files"

# Wine exported, the user edits a price of ソニー, the native tool converts;
# and the other way round. The edit reaches the dump, and either converter
# makes the same dump of the same files.
edit() { sed -i '2s/^\([^,]*\),[^,]*,/\1,     4321.50,/' "$1/csv/ソニー.csv"; }
cp -r "$T/w" "$T/wn"; edit "$T/wn"       # exported under Wine, converted natively
cp -r "$T/n" "$T/nw"; edit "$T/nw"       # exported natively, converted under Wine
cp -r "$T/wn" "$T/ww"                    # the same files, converted under Wine
"$NATIVE" convert "$T/wn/work" "$T/wn/csv" >/dev/null || fail "native convert of Wine's export"
win convert "Z:$T/nw/work" "Z:$T/nw/csv" >/dev/null || fail "Wine convert of the native export"
win convert "Z:$T/ww/work" "Z:$T/ww/csv" >/dev/null || fail "Wine convert of Wine's export"
cmp -s "$T/wn/work/Ryvo.dmp" "$T/ww/work/Ryvo.dmp" || fail "native and Wine conversions differ"
cmp -s "$T/nw/work/Ryvo.dmp" "$T/ww/work/Ryvo.dmp" || fail "the conversions of the two exports differ"
cmp -s "$T/wn/work/Ryvo.dmp" "$T/sample.dmp" && fail "the edit did not reach the dump"
cmp -s "$T/wn/work/SaveRyvo.dmp" "$T/sample.dmp" || fail "SaveRyvo.dmp is not the dump before"
"$NATIVE" info "$T/wn/work/Ryvo.dmp" | grep -q "ソニー" || fail "ソニー in the native conversion"

# Stocks named on the command line, both ways, reach the same files.
"$NATIVE" convert "$T/wn/work" "$T/wn/csv" 表示灯 ソニー --only >/dev/null || fail "native convert 表示灯 ソニー"
win convert "Z:$T/ww/work" "Z:$T/ww/csv" 表示灯 ソニー --only >/dev/null || fail "Wine convert 表示灯 ソニー"
cmp -s "$T/wn/work/Ryvo.dmp" "$T/ww/work/Ryvo.dmp" || fail "the conversions of named stocks differ"
[ "$("$NATIVE" info "$T/ww/work/Ryvo.dmp" | cut -f2 | tail -n +2 | tr '\n' ' ')" = "表示灯 ソニー " ] ||
  fail "two stocks in the given order"

# A failure is the same failure in both.
win convert "Z:$T/ww/work" "Z:$T/ww/csv" 7203 nosuch --only >/dev/null 2>&1
[ $? -eq 1 ] || fail "a failed conversion exits 1 under Wine"
"$NATIVE" convert "$T/wn/work" "$T/wn/csv" 7203 nosuch --only >/dev/null 2>&1
[ $? -eq 1 ] || fail "a failed conversion exits 1 natively"

[ $fails -eq 0 ] && echo "ryvo.exe and ryvo: all checks passed"
exit $((fails != 0))
