#!/usr/bin/env bash
# screenshots.sh B: PNG pictures of the programs' windows under screenshots/,
# taken under Xvfb on Wine's virtual desktop (so that window frames show),
# on the installed system of desktop-lib.sh with the sample dump.
#
# Each picture is one function shot_<name>, listed in SHOTS. More pictures
# come from scripts/screenshots.d/*.sh, each defining its functions and
# adding their names to SHOTS. A function starts what it needs with
# ryvo_start, pictures it with ryvo_snap "$SHOT_DIR/<name>.png" TITLE...,
# and leaves the prefix with ryvo_stop. Only the named pictures are taken
# when names are given: screenshots.sh B main about
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)

if [ "${1:-}" != --inside ]; then
  b=${1:-build}; shift || true
  mkdir -p "$b/win/screenshots"
  unset DISPLAY   # always Xvfb: the pictures do not depend on the user's screen
  exec bash "$here/wine-session.sh" "$b/win/screenshots" bash "$here/screenshots.sh" --inside "$b" "$@"
fi
b=$2; shift 2

source "$here/desktop-lib.sh"
ryvo_paths "$b"
SHOT_DIR=$root/screenshots
MAIN="Ryvo Data Excange"

ryvowin() { ryvo_start "$(ryvo_unix_path "$RYVO_INSTALL_DIR")/RyvoWin.exe" "$MAIN"; }

# The main window listing the sample stocks, the first one selected.
shot_main() {
  ryvowin || return 1
  winshot select "$MAIN" 150 0
  ryvo_snap "$SHOT_DIR/ryvowin-main.png" "$MAIN"
  ryvo_stop
}

# The export button held down (its pressed picture), nothing started.
shot_button_held() {
  ryvowin || return 1
  winshot press "$MAIN" 100
  sleep 0.5
  ryvo_snap "$SHOT_DIR/ryvowin-button-held.png" "$MAIN"
  ryvo_stop
}

# The menu ファイル open.
shot_menu_open() {
  ryvowin || return 1
  xdotool key --clearmodifiers F10 Down
  sleep 1
  ryvo_snap "$SHOT_DIR/ryvowin-menu-open.png" "$MAIN"
  ryvo_stop
}

# The about box over the main window.
shot_about() {
  ryvowin || return 1
  winshot post "$MAIN" 403
  winshot wait "RyvoWin About" 20
  sleep 1
  ryvo_snap "$SHOT_DIR/ryvowin-about.png" "$MAIN" "RyvoWin About"
  ryvo_stop
}

SHOTS=(main button_held menu_open about)
for extra in "$here"/screenshots.d/*.sh; do
  [ -f "$extra" ] && source "$extra"
done

ryvo_prepare_installed
wanted=("$@")
[ ${#wanted[@]} -eq 0 ] && wanted=("${SHOTS[@]}")
failed=0
for name in "${wanted[@]}"; do
  if "shot_$name"; then
    echo "screenshots: $name"
  else
    echo "screenshots: $name FAILED" >&2
    failed=1
    ryvo_stop
  fi
done
ls "$SHOT_DIR"/*.png
exit $failed
