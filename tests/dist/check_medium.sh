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

# Each program carries the manifest (run as invoker, the Windows versions
# from Vista to 10/11, not DPI-aware, the classic controls) and a Japanese
# version resource with the version of shared/version.h; every resource is
# tagged Japanese.
windres=${objdump%objdump}windres
version_h=$(dirname "$make_dist")/../shared/version.h
version_text=$(sed -n 's/^#define RYVO_VERSION_TEXT "\(.*\)"$/\1/p' "$version_h")
version_numbers=$(sed -n 's/^#define RYVO_VERSION_NUMBERS //p' "$version_h")
[ -n "$version_text" ] && [ -n "$version_numbers" ] || fail "no version in $version_h"
for program in RyvoWin.exe Installation.exe ryvo.exe; do
  resources=$("$windres" -i "$medium/$program" -O rc 2>/dev/null)
  [ -n "$resources" ] || { fail "$program: no resources"; continue; }
  manifest=$(sed -n '/^1 24 /,/^END/p' <<<"$resources")
  [ -n "$manifest" ] || fail "$program carries no manifest"
  grep -q 'requestedExecutionLevel level=""asInvoker""' <<<"$manifest" ||
    fail "$program: the manifest does not ask for asInvoker"
  for os in e2011457-1546-43c5-a5fe-008deee3d3f0 35138b9a-5d96-4fbd-8e2d-a2440225f93a \
            4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 1f676c76-80e1-4239-95bb-83d0f6d0da78 \
            8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a; do
    grep -q "supportedOS Id=\"\"{$os}\"\"" <<<"$manifest" || fail "$program: supportedOS $os missing"
  done
  grep -q '<dpiAware[^>]*>false</dpiAware>' <<<"$manifest" || fail "$program: not marked DPI-unaware"
  grep -qi 'Common-Controls' <<<"$manifest" && fail "$program: the manifest asks for Common Controls 6"
  info=$(sed -n '/^1 VERSIONINFO/,/^END/p' <<<"$resources")
  grep -q "FILEVERSION $version_numbers\$" <<<"$info" || fail "$program: FILEVERSION is not $version_numbers"
  grep -q "PRODUCTVERSION $version_numbers\$" <<<"$info" || fail "$program: PRODUCTVERSION is not $version_numbers"
  grep -q 'BLOCK "041103A4"' <<<"$info" || fail "$program: no Japanese (041103A4) string block"
  grep -q "VALUE \"FileVersion\", \"$version_text\"" <<<"$info" || fail "$program: FileVersion is not $version_text"
  grep -q "VALUE \"ProductVersion\", \"$version_text\"" <<<"$info" || fail "$program: ProductVersion is not $version_text"
  grep -q 'VALUE "FileDescription", L"' <<<"$info" || fail "$program: no Japanese file description"
  grep -q 'VALUE "Translation", 0x411, 932' <<<"$info" || fail "$program: translation is not 0411 / 932"
  languages=$(sed -n 's/^LANGUAGE //p' <<<"$resources" | sort -u | tr '\n' ' ')
  [ "$languages" = "17, 1 " ] || fail "$program: resource languages $languages (Japanese is 17, 1)"
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
