#!/usr/bin/env bash
# check_medium.sh MAKE_DIST BUILD OUT OBJDUMP
# Writes the installation medium into OUT and checks it: exactly the three
# programs and the readme (never the stand-in CONDMGR.dll), the programs
# byte for byte those the end-to-end tests install, 32-bit GUI programs
# that need no mingw runtime DLL and do not import the Conduit Manager at
# load time, the readme in code page 932 with CR LF line ends, and the zip
# holding the same files.
set -u
export LC_ALL=C
make_dist=$1 build=$2 out=$3 objdump=$4
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

rm -rf "$out"
bash "$make_dist" "$build" "$out" >/dev/null || { echo "FAILED: make-dist.sh"; exit 1; }
medium=$out/RyvoWin

listing=$(cd "$medium" && ls | sort | tr '\n' ' ')
[ "$listing" = "Installation.exe RyvoWin.exe readme.txt ryvo.exe " ] ||
  fail "the medium holds: $listing"

declare -A built=([Installation.exe]=installer [RyvoWin.exe]=app [ryvo.exe]=cli)
for program in Installation.exe RyvoWin.exe ryvo.exe; do
  cmp -s "$medium/$program" "$build/win/${built[$program]}/$program" ||
    fail "$program differs from the build's"
  cmp -s "$medium/$program" "$build/win/tests/driver/$program" ||
    fail "$program differs from the one the end-to-end tests install"
  headers=$("$objdump" -p "$medium/$program")
  grep -q 'Magic.*(PE32)$' <<<"$headers" || fail "$program is not PE32"
  grep -q 'file format pei-i386' <<<"$headers" || fail "$program is not for i386"
  dlls=$(sed -n 's/^\s*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')
  case "$dlls" in
    *libstdc++*|*libgcc*|*libwinpthread*) fail "$program needs a mingw runtime DLL: $dlls" ;;
  esac
done

# The two GUI programs: GUI subsystem. No program imports CONDMGR.dll at
# load time (RyvoWin and the installer find and bind it when first needed,
# so that a machine without it gets their own message, not the loader's).
for program in RyvoWin.exe Installation.exe; do
  grep -q 'Subsystem.*(Windows GUI)' <<<"$("$objdump" -p "$medium/$program")" ||
    fail "$program is not a GUI program"
done
for program in Installation.exe RyvoWin.exe ryvo.exe; do
  "$objdump" -p "$medium/$program" | grep -qi 'DLL Name: CONDMGR.dll' &&
    fail "$program imports CONDMGR.dll at load time"
done

# The readme: code page 932 text, every line ended by CR LF.
readme=$medium/readme.txt
iconv -f CP932 -t UTF-8 "$readme" >/dev/null 2>&1 || fail "readme.txt is not code page 932"
grep -q 'インストール' <(iconv -f CP932 -t UTF-8 "$readme" 2>/dev/null) ||
  fail "readme.txt does not read as Japanese"
lines=$(wc -l <"$readme")
crlf=$(grep -c $'\r$' "$readme")
[ "$lines" -gt 0 ] && [ "$lines" = "$crlf" ] || fail "readme.txt: $crlf of $lines lines end in CR LF"
[ "$(tail -c 2 "$readme" | od -An -tx1 | tr -d ' ')" = 0d0a ] || fail "readme.txt does not end with CR LF"

# The zip holds the same folder.
unpacked=$out/unpacked
rm -rf "$unpacked"; mkdir -p "$unpacked"
(cd "$unpacked" && unzip -q "$out/RyvoWin.zip") || fail "RyvoWin.zip cannot be unpacked"
diff -r "$medium" "$unpacked/RyvoWin" >/dev/null || fail "RyvoWin.zip differs from the folder"

[ "$failures" -eq 0 ] && echo "medium: all checks passed"
exit $((failures > 0))
