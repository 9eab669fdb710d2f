#!/usr/bin/env bash
# wine-session.sh WINBUILD COMMAND...
# Runs COMMAND with a Wine prefix inside WINBUILD (made on first use), an X
# display (Xvfb when there is none), and afterwards ends every process of
# the prefix and the Xvfb it started. RYVO_PREFIX names the prefix's folder
# in WINBUILD (default wineprefix), so that sessions can run side by side;
# RYVO_UNMANAGED=1 makes the windows of a new prefix unmanaged (the tests).
set -u
win_build=$(cd "$1" && pwd); shift
export RYVO_WIN_BUILD="$win_build"
export WINEPREFIX="$win_build/${RYVO_PREFIX:-wineprefix}"
source "$(dirname "$0")/wine-env.sh"

xvfb_pid=
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 140); do
    [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
    Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    # Two sessions that start together may both find :n free. Only the
    # Xvfb whose pid is in the lock file owns the display; the other one
    # exits, and this session tries the next number. A socket alone proves
    # nothing: it may be the other session's.
    owned=0
    for _ in $(seq 100); do
      kill -0 "$xvfb_pid" 2>/dev/null || break
      if [ -e /tmp/.X11-unix/X$n ] &&
         [ "$(tr -d ' \n' </tmp/.X$n-lock 2>/dev/null)" = "$xvfb_pid" ]; then
        owned=1; break
      fi
      sleep 0.1
    done
    if [ "$owned" = 1 ]; then export DISPLAY=:$n; break; fi
    kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=
  done
  if [ -z "${DISPLAY:-}" ]; then
    echo "wine-session: no X display could be started (Xvfb :90 to :140)" >&2
    exit 1
  fi
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "wine-session: preparing the Wine prefix $WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wineserver -w
  # Dialog fonts: the Japanese system font of the templates maps to IPA Gothic.
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
    /v 'ＭＳ ゴシック' /t REG_SZ /d 'IPAGothic' /f >/dev/null 2>&1
  # For the tests (RYVO_UNMANAGED=1): no window manager runs on Xvfb, and a
  # window that waits for one to take it down waits two seconds each time
  # it closes. On a user's display the windows stay managed.
  if [ "${RYVO_UNMANAGED:-0}" = 1 ]; then
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  fi
  wineserver -w
fi

"$@"
