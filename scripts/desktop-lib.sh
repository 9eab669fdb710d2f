# Sourced by demo.sh and screenshots.sh inside scripts/wine-session.sh: lays
# out a Wine prefix the way an installed system looks and drives the
# programs for pictures.
#
#   ryvo_paths B                  set NATIVE, WIN, RYVOWIN_EXE, CONDMGR_DLL,
#                                 RYVO_TOOL, WINSHOT_EXE from build folder B
#   ryvo_prepare_installed        the installed system (see below)
#   ryvo_start EXE TITLE          open EXE on Wine's virtual desktop and wait
#                                 for the window TITLE
#   ryvo_snap FILE TITLE...       PNG of the screen cut to the given windows
#   ryvo_stop                     end every program of the prefix
#   winshot ARGS...               scripts/winshot (wait, rect, press, post, select)
#
# The installed system, in the prefix's drive C:
#   C:\Palm                        the Palm Desktop folder: the stand-in
#                                  CONDMGR.dll, which reports this folder
#   C:\Program Files\RyvoWin       install folder with RyvoWin.exe
#   C:\Program Files\RyvoWin\tmp   working folder with the sample Ryvo.dmp
#   C:\RyvoCSV                     the CSV folder, already chosen
#   HKCU\Software\RyvoWin          as the installer writes it, RyvoWinDir set
#   the conduit registered for Ryvo with the stand-in.
#   HKCU\Software\U.S. Robotics\Pilot Desktop\Core  Path = C:\Palm, where
#                                  the programs find CONDMGR.dll as they
#                                  find Palm Desktop's on a user's machine.

RYVO_DESKTOP_SIZE=${RYVO_DESKTOP_SIZE:-800x600}
RYVO_INSTALL_DIR='C:\Program Files\RyvoWin'
RYVO_WORK_DIR='C:\Program Files\RyvoWin\tmp'
RYVO_CSV_DIR='C:\RyvoCSV'
RYVO_PALM_DIR='C:\Palm'

ryvo_paths() {
  local b; b=$(cd "$1" && pwd)
  NATIVE=$b/native
  WIN=$b/win
  [ "${RYVO_WINEARCH:-win32}" = win64 ] && WIN=$b/win64   # see wine-arch.sh
  RYVOWIN_EXE=$WIN/app/RyvoWin.exe
  CONDMGR_DLL=$WIN/tests/fixtures/condmgr/CONDMGR.dll
  WINSHOT_EXE=$WIN/scripts/winshot/winshot.exe
  RYVO_TOOL=${RYVO_TOOL:-$NATIVE/cli/ryvo}   # ryvo sample writes the dump
  local f
  for f in "$RYVOWIN_EXE" "$CONDMGR_DLL" "$WINSHOT_EXE" "$RYVO_TOOL"; do
    if [ ! -f "$f" ]; then echo "missing $f: build first (make B=$1 all)" >&2; return 1; fi
  done
}

# Linux path of a C: path of the prefix.
ryvo_unix_path() {
  local p=${1#C:\\}
  printf '%s/drive_c/%s\n' "$WINEPREFIX" "${p//\\//}"
}

ryvo_prepare_installed() {
  local palm install work csv
  palm=$(ryvo_unix_path "$RYVO_PALM_DIR")
  install=$(ryvo_unix_path "$RYVO_INSTALL_DIR")
  work=$(ryvo_unix_path "$RYVO_WORK_DIR")
  csv=$(ryvo_unix_path "$RYVO_CSV_DIR")
  rm -rf "$install" "$csv"
  mkdir -p "$palm" "$work" "$csv"
  cp "$CONDMGR_DLL" "$palm/CONDMGR.dll"
  cp "$RYVOWIN_EXE" "$install/RyvoWin.exe"
  "$RYVO_TOOL" sample "$work" >/dev/null || return 1

  local reg="$WINEPREFIX/drive_c/ryvo-installed.reg" esc
  esc() { printf '%s' "$1" | sed 's/\\/\\\\/g'; }
  cat > "$reg" <<REG
REGEDIT4

[-HKEY_CURRENT_USER\\Software\\RyvoWin]
[-HKEY_CURRENT_USER\\Software\\RyvoStandIn]

[HKEY_CURRENT_USER\\Software\\RyvoWin]
"RyvoWin"="Ver. 0.80"
"RyvoPC"="Ver. 0.80"
"RyvoWinInst"="$(esc "$RYVO_INSTALL_DIR")"
"RyvoWinDir"="$(esc "$RYVO_CSV_DIR")"
"SyncDir"="ToPC"
"RyvoWinTmp"="$(esc "$RYVO_WORK_DIR")"

[HKEY_CURRENT_USER\\Software\\U.S. Robotics\\Pilot Desktop\\Core]
"Path"="$(esc "$RYVO_PALM_DIR")"

[HKEY_CURRENT_USER\\Software\\RyvoStandIn\\CondMgr]
"DesktopFolder"="$(esc "$RYVO_PALM_DIR")"

[HKEY_CURRENT_USER\\Software\\RyvoStandIn\\CondMgr\\Creators\\Ryvo]
"Type"=dword:00000001
"Name"="$(esc "$RYVO_INSTALL_DIR")\\\\RyvoPC.dll"
"Directory"="backup"
"File"="RyvoDB.PDB"
"Priority"=dword:00000002
REG
  wine regedit /S 'C:\ryvo-installed.reg' >/dev/null 2>&1
  wineserver -w
  rm -f "$reg"
  ryvo_dialog_font
}

# ＭＳ ゴシック drawn by a copy of IPA Gothic with the line height of the
# real font, so that dialogs have their Windows size (gothic-metrics.pl).
ryvo_dialog_font() {
  local fonts="$WINEPREFIX/drive_c/windows/Fonts" ipa=/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf
  if [ ! -f "$fonts/ryvgothic.ttf" ]; then
    mkdir -p "$fonts"
    perl "$(dirname "${BASH_SOURCE[0]}")/gothic-metrics.pl" "$ipa" "$fonts/ryvgothic.ttf" || return 1
  fi
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
    /v 'ＭＳ ゴシック' /t REG_SZ /d 'RyvGothic' /f >/dev/null 2>&1
  wineserver -w
}

export WINSHOT_DESKTOP=ryvo   # the virtual desktop of ryvo_start
winshot() { wine "$WINSHOT_EXE" "$@" 2>/dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }

ryvo_start() {
  local exe=$1 title=$2
  (cd "$(dirname "$exe")" && wine explorer /desktop=$WINSHOT_DESKTOP,$RYVO_DESKTOP_SIZE "$exe" >/dev/null 2>&1 &)
  winshot wait "$title" 60 || { echo "window \"$title\" did not open" >&2; return 1; }
  sleep 1   # let it finish painting
}

ryvo_stop() {
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
}

# The screen cut to the smallest rectangle around the named windows, with
# a margin, so that frames and shadows show.
ryvo_snap() {
  local file=$1; shift
  local l=100000 t=100000 r=0 b=0 title rect x0 y0 x1 y1 m=12
  for title in "$@"; do
    rect=$(winshot rect "$title") || { echo "no window \"$title\" to picture" >&2; return 1; }
    read -r x0 y0 x1 y1 <<<"$rect"
    (( x0 < l )) && l=$x0; (( y0 < t )) && t=$y0
    (( x1 > r )) && r=$x1; (( y1 > b )) && b=$y1
  done
  (( l -= m, t -= m, r += m, b += m ))
  (( l < 0 )) && l=0; (( t < 0 )) && t=0
  mkdir -p "$(dirname "$file")"
  # import composes popup windows (menus, message boxes), which xwd leaves black
  import -display "$DISPLAY" -window root -crop "$((r - l))x$((b - t))+$l+$t" +repage "png:$file"
}
