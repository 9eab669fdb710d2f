# Sourced: the environment in which the Windows programs run under Wine.
# WINEPREFIX defaults to a throwaway prefix inside the Windows build tree.
export WINEDEBUG=-all
# The locale sets the prefix's system code page: Japanese (932) unless
# RYVO_LC_ALL says otherwise (C.UTF-8 gives 1252).
export LC_ALL=${RYVO_LC_ALL:-ja_JP.UTF-8}
export WINEDLLOVERRIDES="mscoree,mshtml="
# The architecture of the Windows build that runs here (scripts/wine-arch.sh).
export RYVO_WINEARCH=${RYVO_WINEARCH:-$(bash "$(dirname "${BASH_SOURCE[0]}")/wine-arch.sh")}
export WINEARCH=$RYVO_WINEARCH
# The 64-bit build runs under the 64-bit loader: /usr/bin/wine would start
# the 32-bit one, which cannot run where the kernel runs no 32-bit code.
if [ "$WINEARCH" = win64 ]; then
  export WINELOADER=/usr/lib/wine/wine64
  case ":$PATH:" in
    *":$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine64:"*) ;;
    *) export PATH="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine64:$PATH" ;;
  esac
fi
if [ -z "${WINEPREFIX:-}" ]; then
  export WINEPREFIX="${RYVO_WIN_BUILD:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/win}/wineprefix"
fi
