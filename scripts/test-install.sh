#!/usr/bin/env bash
# make install into a scratch DESTDIR, as a packager or a user with
# PREFIX=$HOME/.local runs it, and what it installed: exactly the binary,
# the man page, the bash completion and the guides under DESTDIR/PREFIX; a
# binary built for users (no sanitizer runtime) that works; a man page that
# man renders without a warning and that documents every command the binary
# lists; a completion that completes commands, options and stock names; and
# make uninstall, which leaves nothing behind.
#   scripts/test-install.sh [BUILD]     (BUILD: the make B folder, "build")
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
b=${1:-build}
T=$(mktemp -d /tmp/ryvo-install-XXXXXX)
trap 'rm -rf "$T"' EXIT
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

if ! make -C "$here" --no-print-directory -s install B="$b" DESTDIR="$T/dest" PREFIX=/opt/ryvo \
     >"$T/make.log" 2>&1; then
  cat "$T/make.log"
  fail "make install"
fi
bin=$T/dest/opt/ryvo/bin/ryvo
page=$T/dest/opt/ryvo/share/man/man1/ryvo.1

(cd "$T/dest" && find . -type f | LC_ALL=C sort) >"$T/files.txt"
printf '%s\n' ./opt/ryvo/bin/ryvo ./opt/ryvo/share/bash-completion/completions/ryvo \
  ./opt/ryvo/share/doc/ryvo/check.md ./opt/ryvo/share/doc/ryvo/hotsync.md \
  ./opt/ryvo/share/doc/ryvo/import.md ./opt/ryvo/share/man/man1/ryvo.1 >"$T/want.txt"
cmp -s "$T/files.txt" "$T/want.txt" || fail "installed files: $(tr '\n' ' ' <"$T/files.txt")"

# The binary: executable, no sanitizer linked in (neither a shared runtime
# nor its symbols), and it runs.
[ -x "$bin" ] || fail "bin/ryvo is not executable"
if readelf -d "$bin" 2>/dev/null | grep -E 'NEEDED.*lib(a|ub|t|l)san' >/dev/null; then
  fail "bin/ryvo needs a sanitizer runtime"
fi
if grep -a -q -E '__(a|ub)san_' "$bin"; then fail "bin/ryvo holds sanitizer code"; fi
[ "$("$bin" --version 2>&1)" = "ryvo 0.80" ] || fail "ryvo --version: $("$bin" --version 2>&1)"
mkdir -p "$T/work" "$T/csv"
"$bin" sample "$T/work" && "$bin" load "$T/work" >/dev/null &&
  "$bin" export "$T/work" "$T/csv" 2>/dev/null && "$bin" convert "$T/work" "$T/csv" >/dev/null ||
  fail "the installed ryvo on the sample"
cmp -s "$T/work/Ryvo.dmp" "$T/work/BeginRyvo.dmp" || fail "the sample's round trip changed the dump"

# The man page: rendered by man without a warning, in the C locale too.
[ -f "$page" ] || fail "share/man/man1/ryvo.1 missing"
LC_ALL=C MANWIDTH=80 man --warnings -l "$page" >"$T/page.txt" 2>"$T/warnings.txt" ||
  fail "man -l $page"
[ -s "$T/warnings.txt" ] && fail "man warns: $(head -3 "$T/warnings.txt")"
col -b <"$T/page.txt" >"$T/plain.txt"
for section in NAME SYNOPSIS DESCRIPTION COMMANDS FILES ENCODINGS 'EXIT STATUS'; do
  grep -q "^$section" "$T/plain.txt" || fail "no $section section"
done
# Every command of ryvo --help, in the synopsis and among the commands.
commands=$("$bin" --help | sed -n 's/^  ryvo \([a-z][a-z]*\).*/\1/p' | sort -u)
[ -n "$commands" ] || fail "ryvo --help lists no command"
for c in $commands; do
  grep -q "^       ryvo $c" "$T/plain.txt" || fail "the synopsis lacks $c"
  grep -q "^       $c " "$T/plain.txt" || grep -q "^       $c\$" "$T/plain.txt" ||
    fail "the commands lack $c"
done
grep -q -- '--version' "$T/plain.txt" || fail "the man page lacks --version"

# The completion: registered for ryvo, and completing a command, an option
# and a stock name of the working folder given.
completion=$T/dest/opt/ryvo/share/bash-completion/completions/ryvo
bash -c "source '$completion'; complete -p ryvo" 2>&1 | grep -q -- '-F _ryvo ryvo' ||
  fail "the completion does not register for ryvo"
complete_words() {   # complete_words WORD... : what completing the last word offers
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _ryvo
           printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" "$@" | LC_ALL=C sort | tr '\n' ' '
}
[ "$(complete_words ryvo exp)" = "export " ] || fail "completing a command: $(complete_words ryvo exp)"
[ "$(complete_words ryvo check --j)" = "--json " ] || fail "completing an option: $(complete_words ryvo check --j)"
[ "$(complete_words ryvo convert "$T/work" "$T/csv" 7)" = "7203 " ] ||
  fail "completing a stock name: $(complete_words ryvo convert "$T/work" "$T/csv" 7)"
[ "$(complete_words ryvo chart -o x.svg "$T/work" "$T/csv" ソ)" = "ソニー " ] ||
  fail "completing a Japanese stock name after -o: $(complete_words ryvo chart -o x.svg "$T/work" "$T/csv" ソ)"

# make uninstall takes all of it away again.
make -C "$here" --no-print-directory -s uninstall B="$b" DESTDIR="$T/dest" PREFIX=/opt/ryvo \
  >"$T/make.log" 2>&1 || { cat "$T/make.log"; fail "make uninstall"; }
left=$(cd "$T/dest" && find . -mindepth 1 ! -path ./opt ! -path ./opt/ryvo)
[ -z "$left" ] || fail "make uninstall left: $(echo $left)"

if [ $fails -ne 0 ]; then echo "install: $fails failure(s)"; exit 1; fi
echo "install: all checks passed ($(echo $commands | wc -w) commands documented)"
