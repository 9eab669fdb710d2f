#!/usr/bin/env bash
# make-dist.sh BUILD
# Writes the installation medium: dist/RyvoWin/ with Installation.exe,
# RyvoWin.exe, ryvo.exe and readme.txt (Japanese, code page 932, CR LF),
# and dist/RyvoWin.zip holding that folder. The stand-in CONDMGR.dll is a
# test fixture and never goes on the medium: on a user's machine the
# Conduit Manager comes with Palm Desktop.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:?usage: make-dist.sh BUILD}
win="$build/win"
[ -d "$win" ] || win="$root/$build/win"

find_program() {
  local found
  found=$(find "$win" -path "$win/wineprefix" -prune -o -type f -name "$1" -print | grep -v '/tests/' | head -n 1)
  if [ -z "$found" ]; then
    echo "make-dist: $1 not found under $win (run make win first)" >&2
    exit 1
  fi
  echo "$found"
}

medium="$root/dist/RyvoWin"
rm -rf "$medium" "$root/dist/RyvoWin.zip"
mkdir -p "$medium"
for program in Installation.exe RyvoWin.exe ryvo.exe; do
  cp "$(find_program "$program")" "$medium/$program"
done
iconv -f UTF-8 -t CP932 "$root/installer/readme-ja.txt" | sed 's/$/\r/' > "$medium/readme.txt"
(cd "$root/dist" && zip -q -r -X RyvoWin.zip RyvoWin)
echo "make-dist: $medium and $root/dist/RyvoWin.zip"
ls -l "$medium"
