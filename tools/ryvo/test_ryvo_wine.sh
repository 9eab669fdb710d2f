#!/usr/bin/env bash
# ryvo.exe under Wine against the native ryvo: the same commands on the
# sample give the same files, byte for byte, under the same names.
#   test_ryvo_wine.sh RYVO_EXE NATIVE_RYVO WINE_RUN
set -u
EXE="$1"; NATIVE="$2"; WINE_RUN="$3"
T=$(mktemp -d /tmp/ryvo-wine-XXXXXX)
trap 'rm -rf "$T"' EXIT
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }
win() { bash "$WINE_RUN" "$EXE" "$@"; }

mkdir -p "$T/w/work" "$T/w/csv" "$T/n/work" "$T/n/csv"
win sample "Z:$T/w/work" || fail "sample under Wine"
win load "Z:$T/w/work" >"$T/w/list.txt" || fail "load under Wine"
win export "Z:$T/w/work" "Z:$T/w/csv" 2>"$T/w/err.txt" || fail "export under Wine"
iconv -f CP932 -t UTF-8 <"$T/w/err.txt" | tr -d '\r' | grep -qx '\[RyvoWin\] 変換完了' || fail "変換完了 on stderr"
win convert "Z:$T/w/work" "Z:$T/w/csv" >/dev/null || fail "convert under Wine"
win info "Z:$T/w/work\\Ryvo.dmp" >"$T/w/info.txt" || fail "info under Wine"
win convert "Z:$T/w/work" "Z:$T/w/csv" 7203 nosuch >/dev/null 2>&1
[ $? -eq 1 ] || fail "a failed conversion exits 1 under Wine"

if [ -x "$NATIVE" ]; then
  "$NATIVE" sample "$T/n/work" && "$NATIVE" load "$T/n/work" >/dev/null &&
    "$NATIVE" export "$T/n/work" "$T/n/csv" 2>/dev/null &&
    "$NATIVE" convert "$T/n/work" "$T/n/csv" >/dev/null || fail "native run"
  # The native tool names files with the code page 932 bytes; Wine keeps
  # the same Windows names on Linux as UTF-8.
  for d in work csv; do
    (cd "$T/n/$d" && ls | iconv -f CP932 -t UTF-8 | LC_ALL=C sort) >"$T/n-$d.txt"
    (cd "$T/w/$d" && ls | LC_ALL=C sort) >"$T/w-$d.txt"
    cmp -s "$T/n-$d.txt" "$T/w-$d.txt" || fail "file names differ in $d"
    while IFS= read -r f; do
      native=$(printf '%s' "$f" | iconv -f UTF-8 -t CP932)
      cmp -s "$T/n/$d/$native" "$T/w/$d/$f" || fail "$d/$f differs"
    done <"$T/w-$d.txt"
  done
  [ "$(wc -l <"$T/n-work.txt")" -ge 9 ] || fail "too few files in work"
else
  echo "native ryvo not found at $NATIVE: comparison skipped"
fi
[ $fails -eq 0 ] && echo "ryvo.exe: all checks passed"
exit $((fails != 0))
