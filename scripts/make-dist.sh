#!/usr/bin/env bash
# make-dist.sh BUILD [OUT]
# Writes the installation medium: OUT/RyvoWin/ (OUT defaults to dist/ in
# the source tree) with Installation.exe,
# RyvoWin.exe, ryvo.exe and readme.txt (Japanese, code page 932, CR LF),
# and OUT/RyvoWin.zip holding that folder. The stand-in CONDMGR.dll is a
# test fixture and never goes on the medium: on a user's machine the
# Conduit Manager comes with Palm Desktop.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:?usage: make-dist.sh BUILD [OUT]}
out=${2:-$root/dist}
mkdir -p "$out"
out=$(cd "$out" && pwd)
win="$build/win"
[ -d "$win" ] || win="$root/$build/win"

# The programs as the Windows build makes them.
declare -A built=([Installation.exe]=installer [RyvoWin.exe]=app [ryvo.exe]=cli)
find_program() {
  local found="$win/${built[$1]}/$1"
  if [ ! -f "$found" ]; then
    echo "make-dist: $found is missing (run make win first)" >&2
    exit 1
  fi
  echo "$found"
}

medium="$out/RyvoWin"
rm -rf "$medium" "$out/RyvoWin.zip"
mkdir -p "$medium"
for program in Installation.exe RyvoWin.exe ryvo.exe; do
  cp "$(find_program "$program")" "$medium/$program"
done
iconv -f UTF-8 -t CP932 "$root/installer/readme-ja.txt" | sed 's/$/\r/' > "$medium/readme.txt"
(cd "$out" && zip -q -r -X RyvoWin.zip RyvoWin)
echo "make-dist: $medium and $out/RyvoWin.zip"
ls -l "$medium"
