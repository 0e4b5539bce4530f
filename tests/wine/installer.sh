#!/usr/bin/env bash
# The Windows installer, checked under Wine: a silent install puts every file of the staged
# folder (varnel.exe, the DLLs, the plugins, help\index.html) into the installation folder with a
# Start-menu entry and an uninstaller; the silent uninstall removes all of it again.
#   tests/wine/installer.sh <varnel-x.yz-setup.exe> <staged folder>
set -uo pipefail
# The Wine prefix of tools/windows/wine-run.sh, also for wineserver here.
export WINEPREFIX=${WINEPREFIX:-$HOME/.cache/varnel/wine}
src=$(cd "$(dirname "$0")/../.." && pwd)
setup=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
stage=$(cd "$2" && pwd)
run="$src/tools/windows/wine-run.sh"
prefix=$WINEPREFIX
target_win='C:\VarnelInstallerTest'
target="$prefix/drive_c/VarnelInstallerTest"
menu="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Varnel"
fail=0
check() { if eval "$2"; then echo "PASS  installer: $1"; else echo "FAIL  installer: $1"; fail=1; fi; }

rm -rf "$target"
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT; cd "$work"
"$run" "$setup" /S "/D=$target_win"
wineserver -w 2>/dev/null || true

missing=$(cd "$stage" && find . -type f | while read -r f; do [ -f "$target/$f" ] || echo "$f"; done)
check "every staged file is installed ($(cd "$stage" && find . -type f | wc -l) files)" '[ -z "$missing" ]'
[ -z "$missing" ] || echo "$missing" | head
check "varnel.exe with help\\index.html beside it" '[ -f "$target/varnel.exe" ] && [ -f "$target/help/index.html" ]'
check "the windows platform plugin beside it" '[ -f "$target/platforms/qwindows.dll" ]'
check "varnel-cli.exe beside it" '[ -f "$target/varnel-cli.exe" ]'
check "an uninstaller" '[ -f "$target/uninstall.exe" ]'
check "a Start-menu entry" '[ -f "$menu/Varnel.lnk" ]'

# _? runs the uninstaller in place, so that the wait covers its work.
"$run" "$target_win\\uninstall.exe" /S "_?=$target_win"
wineserver -w 2>/dev/null || true
rm -f "$target/uninstall.exe"   # run in place, it cannot delete itself
left=$(find "$target" -mindepth 1 2>/dev/null | head)
check "the uninstaller removes every installed file" '[ -z "$left" ]'
check "the uninstaller removes the Start-menu entry" '[ ! -e "$menu" ]'
rm -rf "$target"
exit $fail
