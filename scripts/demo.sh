#!/usr/bin/env bash
# demo.sh B: opens RyvoWin on the embedded sample as a user would see it
# right after installing and choosing a CSV folder (see desktop-lib.sh for
# the installed system). With a display, RyvoWin opens there and the demo
# ends when it is closed; without one, it runs under Xvfb and the demo
# saves a picture of the main window and prints its path. Before that it
# writes the sample's report page (ryvo report) and prints its path.
# The demo's Wine prefix is <B>/win/demo/wineprefix, apart from the tests'.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
b=${1:-build}

if [ "${1:-}" = --inside ]; then
  b=$2
  source "$here/desktop-lib.sh"
  ryvo_paths "$b"
  ryvo_prepare_installed
  exe=$(ryvo_unix_path "$RYVO_INSTALL_DIR")/RyvoWin.exe
  if [ "${RYVO_DEMO_HEADLESS:-0}" = 1 ]; then
    ryvo_start "$exe" "Ryvo Data Excange"
    out=$(cd "$b" && pwd)/demo/ryvowin-main.png
    ryvo_snap "$out" "Ryvo Data Excange"
    ryvo_stop
    echo "demo: no display; the main window is pictured in $out"
  else
    echo "demo: RyvoWin is open on $DISPLAY; close it to end the demo"
    (cd "$(dirname "$exe")" && wine "$exe") || true
  fi
  exit 0
fi

mkdir -p "$b/win/demo" "$b/demo"
# The sample's report page, for a browser.
bash "$here/sample-report.sh" "$b/native/cli/ryvo" "$b/demo/report" >/dev/null
echo "demo: the sample's report page is $(cd "$b/demo/report" && pwd)/ryvo-report.html"
if [ -z "${DISPLAY:-}" ]; then export RYVO_DEMO_HEADLESS=1; fi
exec bash "$here/wine-session.sh" "$b/win/demo" bash "$here/demo.sh" --inside "$b"
