#!/usr/bin/env bash
# Runs a program of the Windows build under Wine:
#   tools/windows/wine-run.sh build-win/tests/wizard_tests.exe [arguments]
# The Qt for Windows (tools/windows/build-qt.sh) and the MinGW-w64 runtime are put on the DLL
# search path and Qt's plugins on QT_PLUGIN_PATH, so nothing has to be copied beside the program.
# The Wine prefix (WINEPREFIX, default ~/.cache/varnel/wine) is made on first use. The cross
# build uses this script as CMake's CROSSCOMPILING_EMULATOR, so ctest runs the tests through it.
set -euo pipefail

qt=${VARNEL_QT_WIN:-}
if [ -z "$qt" ]; then
  qt=$(ls -d "$HOME"/.cache/varnel/qt6-mingw64-* 2>/dev/null | grep -v -- -work | head -1 || true)
fi
if [ -z "$qt" ] || [ ! -d "$qt/bin" ]; then
  echo "wine-run: no Qt for Windows found; build it with tools/windows/build-qt.sh" >&2
  exit 2
fi
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)

# A Unix path as Wine's drive Z: sees it.
winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr '/' '\\')"; }

gcc_runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
export WINEPREFIX=${WINEPREFIX:-$HOME/.cache/varnel/wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}   # no Mono or Gecko set-up dialogs
export WINEPATH="$(winpath "$qt/bin");$(winpath "$gcc_runtime");$(winpath /usr/x86_64-w64-mingw32/lib)"
export QT_PLUGIN_PATH="$(winpath "$qt/plugins")"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  WINEDEBUG=-all wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
fi
exec "$wine" "$@"
