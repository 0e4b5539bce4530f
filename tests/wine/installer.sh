#!/usr/bin/env bash
# The Windows installer, checked under Wine, as a technician's PC meets it:
#  - what is shipped: every DLL that a shipped .exe or .dll imports is shipped too, or is one of
#    the system's own;
#  - an older version installed for this user (the default: no administrator rights), then this
#    version over it: the older one's files are gone, every staged file is there, varnel-cli's
#    folder is on the user's PATH, the Start menu has Varnel, Varnel Station and the Varnel command prompt;
#  - the installed programs start with nothing of the build on their paths (no WINEPATH, no
#    QT_PLUGIN_PATH): varnel-cli.exe lists the unit types, varnel.exe opens its window;
#  - while varnel.exe or varnel-station.exe runs, the installer refuses and changes nothing;
#  - the uninstaller leaves nothing: no file, no Start-menu entry, no registry key, no PATH entry;
#  - an install for every user (/ALLUSERS) goes to the machine's places and is removed as well.
#   tests/wine/installer.sh <varnel-x.yz-setup.exe> <staged folder>
set -uo pipefail
# The Wine prefix of tools/windows/wine-run.sh, also for wineserver here.
export WINEPREFIX=${WINEPREFIX:-$HOME/.cache/varnel/wine}
src=$(cd "$(dirname "$0")/../.." && pwd)
setup=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
stage=$(cd "$2" && pwd)
run="$src/tools/windows/wine-run.sh"
prefix=$WINEPREFIX
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
fail=0
check() { if eval "$2"; then echo "PASS  installer: $1"; else echo "FAIL  installer: $1"; fail=1; fi; }
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT; cd "$work"

# A program of the installed folder as a PC without the build runs it: no build paths at all.
clean_run() { env -u WINEPATH -u QT_PLUGIN_PATH -u QT_QPA_PLATFORM WINEDEBUG=-all "$wine" "$@"; }
reg_value() { # key value: the data, empty when there is none
  "$run" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v v="$2" '$1 == v { $1 = ""; $2 = ""; sub(/^  */, ""); print }'
}
reg_key_exists() { "$run" reg query "$1" >/dev/null 2>&1; }

# ---- what is shipped ----
system32="$prefix/drive_c/windows/system32"
"$run" cmd /c ver >/dev/null 2>&1
shipped=$(cd "$stage" && find . -iname '*.dll' -printf '%f\n' | tr 'A-Z' 'a-z' | sort -u)
unresolved=""
while IFS= read -r -d '' binary; do
  for dll in $(x86_64-w64-mingw32-objdump -p "$binary" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | tr -d '\r'); do
    grep -qxF "$dll" <<<"$shipped" && continue
    [ -e "$system32/$dll" ] && continue
    case $dll in api-ms-win-*|ext-ms-win-*) continue ;; esac
    unresolved+="${binary#"$stage"/} imports $dll"$'\n'
  done
done < <(find "$stage" \( -iname '*.exe' -o -iname '*.dll' \) -print0)
check "every DLL a shipped program or library imports is shipped or the system's" '[ -z "$unresolved" ]'
[ -z "$unresolved" ] || printf '%s' "$unresolved" | head

# ---- an older version, for this user ----
old_stage="$work/old-stage"
cp -r "$stage" "$old_stage"
echo "left by the older version" >"$old_stage/old-version-only.txt"
old_files="$work/old-files.nsh"
( cd "$old_stage"
  find . -type f | sort | sed 's|^\./||; s|/|\\|g; s|^|  Delete "$INSTDIR\\|; s|$|"|'
  find . -mindepth 1 -type d | sort -r | sed 's|^\./||; s|/|\\|g; s|^|  RMDir "$INSTDIR\\|; s|$|"|'
) >"$old_files"
old_setup="$work/varnel-old-setup.exe"
makensis -V1 -DFAST -DVERSION=1.69 -DSTAGE="$old_stage" -DOUTFILE="$old_setup" -DFILES="$old_files" \
  "$src/tools/windows/varnel.nsi" >/dev/null || { echo "FAIL  installer: the older version's setup could not be made"; exit 1; }

user_profile=$("$run" cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r')
target_win="$user_profile\\Programs\\Varnel"
target=$("$run" winepath -u "$target_win" 2>/dev/null | tr -d '\r')
appdata=$("$run" cmd /c 'echo %APPDATA%' 2>/dev/null | tr -d '\r')
menu=$("$run" winepath -u "$appdata\\Microsoft\\Windows\\Start Menu\\Programs\\Varnel" 2>/dev/null | tr -d '\r')
rm -rf "$target" "$menu"
"$run" reg delete 'HKCU\Software\Varnel' /f >/dev/null 2>&1

"$run" "$old_setup" /S
wineserver -w 2>/dev/null || true
check "the older version goes to the user's own programs folder by default" '[ -f "$target/old-version-only.txt" ]'
check "an install for this user leaves the machine's registry alone" '! reg_key_exists "HKLM\Software\Varnel"'

# ---- this version over it ----
"$run" "$setup" /S
wineserver -w 2>/dev/null || true
missing=$(cd "$stage" && find . -type f | while read -r f; do [ -f "$target/$f" ] || echo "$f"; done)
check "every staged file is installed ($(cd "$stage" && find . -type f | wc -l) files)" '[ -z "$missing" ]'
[ -z "$missing" ] || echo "$missing" | head
check "the older version's files are gone" '[ ! -e "$target/old-version-only.txt" ]'
version=$(sed -n 's/^project(Varnel VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
registered=$(reg_value 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Varnel' DisplayVersion)
check "the uninstall entry names this version ($registered)" '[ "$registered" = "$version" ]'
on_path=$(reg_value 'HKCU\Environment' Path | tr ';' '\n' | grep -cixF "$target_win")
check "varnel-cli's folder is on the user's PATH, once" '[ "$on_path" = 1 ]'
check "Start menu: Varnel, its help, Varnel Station (run and make a job), the command prompt, the uninstaller" \
  '[ -f "$menu/Varnel.lnk" ] && [ -f "$menu/Varnel help.lnk" ] && [ -f "$menu/Varnel Station.lnk" ] && [ -f "$menu/Varnel Station - make a job.lnk" ] && [ -f "$menu/Varnel command prompt.lnk" ] && [ -f "$menu/Uninstall Varnel.lnk" ]'

# ---- the installed programs on their own ----
units=$(cd "$work" && clean_run "$target/varnel-cli.exe" units 2>&1 | tr -d '\r')
check "varnel-cli.exe runs with no build path (lists the unit types)" 'grep -q "TVR-4200" <<<"$units"'
[ -n "${DISPLAY:-}" ] && command -v xdotool >/dev/null || echo "installer: no display or xdotool; the window checks need both"
# Starts an installed program with nothing of the build on its paths and waits up to a minute
# for a window whose name matches: its process id in started_pid, the window (or nothing) in
# found_window.
start_installed() { # program window-name
  ( cd "$work" && exec env -u WINEPATH -u QT_PLUGIN_PATH -u QT_QPA_PLATFORM WINEDEBUG=-all "$wine" "$target/$1" ) >/dev/null 2>&1 &
  started_pid=$!
  found_window=""
  for _ in $(seq 120); do
    found_window=$(xdotool search --name "$2" 2>/dev/null | head -1)
    [ -n "$found_window" ] && break
    kill -0 "$started_pid" 2>/dev/null || break
    sleep 0.5
  done
}
start_installed varnel.exe 'Varnel'
window_pid=$started_pid
window=$found_window
check "varnel.exe opens its window with no build path (Qt's plugins found beside it)" '[ -n "$window" ]'

before=$(stat -c %Y "$target/varnel.exe")
"$run" "$setup" /S
refused=$?
wineserver_ok=$(kill -0 "$window_pid" 2>/dev/null && echo yes)
check "the installer refuses while Varnel runs (exit $refused) and leaves it be" \
  '[ "$refused" -ne 0 ] && [ "$(stat -c %Y "$target/varnel.exe")" = "$before" ] && [ "$wineserver_ok" = yes ]'
"$run" "$target_win\\uninstall.exe" /S "_?=$target_win"
check "so does the uninstaller" '[ -f "$target/varnel.exe" ]'
kill "$window_pid" 2>/dev/null; wait "$window_pid" 2>/dev/null
wineserver -w 2>/dev/null || true

# varnel-station.exe started from the Start menu (no job) asks for one, and runs meanwhile.
start_installed varnel-station.exe 'open a job'
station_pid=$started_pid
asked=$found_window
check "varnel-station.exe without a job asks for one" '[ -n "$asked" ]'
"$run" "$setup" /S
refused=$?
check "the installer refuses while Varnel Station runs (exit $refused)" '[ "$refused" -ne 0 ] && [ "$(stat -c %Y "$target/varnel.exe")" = "$before" ]'
kill "$station_pid" 2>/dev/null; wait "$station_pid" 2>/dev/null
wineserver -w 2>/dev/null || true

# ---- removal ----
# _? runs the uninstaller in place, so that the wait covers its work.
"$run" "$target_win\\uninstall.exe" /S "_?=$target_win"
wineserver -w 2>/dev/null || true
rm -f "$target/uninstall.exe"   # run in place, it cannot delete itself
left=$(find "$target" -mindepth 1 2>/dev/null | head)
check "the uninstaller removes every installed file" '[ -z "$left" ]'
check "the uninstaller removes the Start-menu entries" '[ ! -e "$menu" ]'
check "the uninstaller removes its registry keys" \
  '! reg_key_exists "HKCU\Software\Varnel" && ! reg_key_exists "HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Varnel"'
on_path=$(reg_value 'HKCU\Environment' Path | tr ';' '\n' | grep -cixF "$target_win")
check "the uninstaller takes its folder off the PATH" '[ "$on_path" = 0 ]'
rm -rf "$target"

# ---- for every user ----
machine_win='C:\VarnelAllUsers'
machine="$prefix/drive_c/VarnelAllUsers"
rm -rf "$machine"
"$run" "$setup" /S /ALLUSERS /NOPATH "/D=$machine_win"
wineserver -w 2>/dev/null || true
registered=$(reg_value 'HKLM\Software\Varnel' InstallDir)
check "an install for every user (/ALLUSERS) registers with the machine ($registered)" \
  '[ -f "$machine/varnel.exe" ] && [ "$registered" = "$machine_win" ]'
on_path=$(reg_value 'HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment' Path | tr ';' '\n' | grep -cixF "$machine_win")
check "/NOPATH leaves the machine's PATH alone" '[ "$on_path" = 0 ]'
"$run" "$machine_win\\uninstall.exe" /S "_?=$machine_win"
wineserver -w 2>/dev/null || true
rm -f "$machine/uninstall.exe"
check "and its uninstaller removes it" \
  '[ -z "$(find "$machine" -mindepth 1 2>/dev/null | head -1)" ] && ! reg_key_exists "HKLM\Software\Varnel"'
rm -rf "$machine"
exit $fail
