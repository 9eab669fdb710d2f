# Sourced: the environment in which the Windows programs run under Wine.
# WINEPREFIX defaults to a throwaway prefix inside the Windows build tree.
export WINEDEBUG=-all
export LC_ALL=ja_JP.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win32
if [ -z "${WINEPREFIX:-}" ]; then
  export WINEPREFIX="${RYVO_WIN_BUILD:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/win}/wineprefix"
fi
