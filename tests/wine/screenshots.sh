#!/usr/bin/env bash
# The wizard under Wine on the windows platform (not offscreen), at 96 and at 144 DPI (150 %):
# a scripted technician runs an update through COM5 to the simulated unit, which rejects line 3,
# and the window is saved as a PNG at the end (the progress page with its status text and box).
# The 144-DPI picture should be the 96-DPI one scaled by 1.5, give or take a pixel per control
# (said when it is not, which under Wine it is not); a person looks at both for clipped texts.
#   tests/wine/screenshots.sh <Linux build folder> <Windows build folder> <output folder>
# Needs COM5 mapped by tests/wine/com_updates.sh and an X display.
set -uo pipefail
export WINEPREFIX=${WINEPREFIX:-$HOME/.cache/varnel/wine}
src=$(cd "$(dirname "$0")/../.." && pwd)
linux_build=$(cd "$1" && pwd)
windows_build=$(cd "$2" && pwd)
mkdir -p "$3"
out=$(cd "$3" && pwd)
run="$src/tools/windows/wine-run.sh"
unitsim="$linux_build/unitsim/varnel-unitsim"
demo="$windows_build/app/varnel-demo.exe"
link=/tmp/varnel-wine-com5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr '/' '\\')"; }

set_dpi() {
  "$run" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null
  "$run" reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null
  wineserver -k 2>/dev/null || true
}

fail=0
for dpi in 96 144; do
  set_dpi "$dpi"
  "$unitsim" --family update-mode --link "$link" --once --fault 'line@3=F*4' >"$work/unit-$dpi.log" 2>&1 &
  unit=$!
  sleep 0.5
  shot="$out/varnel-${dpi}dpi.png"
  rm -f "$shot"
  QT_QPA_PLATFORM=windows timeout 300 "$run" "$demo" --headless --port COM5 \
    --unit "TVR-4200 Motor Protection Relay" --file "$(winpath "$src/samples/T4200170.s19")" \
    --screenshot "$(winpath "$shot")" >"$work/demo-$dpi.log" 2>&1
  kill -INT "$unit" 2>/dev/null; wait "$unit" 2>/dev/null
  if [ -s "$shot" ]; then
    echo "PASS  screenshot at $dpi DPI: $shot ($(python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print("%dx%d" % struct.unpack(">II", d[16:24]))' "$shot"))"
  else
    echo "FAIL  screenshot at $dpi DPI: none made"; tail -15 "$work/demo-$dpi.log"; fail=1
  fi
done
set_dpi 96
size() { python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print(*struct.unpack(">II", d[16:24]))' "$1"; }
if [ "$fail" -eq 0 ]; then
  read -r w96 h96 < <(size "$out/varnel-96dpi.png")
  read -r w144 h144 < <(size "$out/varnel-144dpi.png")
  if python3 -c "import sys; w,h,W,H=map(int,sys.argv[1:]); sys.exit(0 if abs(W-1.5*w)<=0.03*W and abs(H-1.5*h)<=0.03*H else 1)" "$w96" "$h96" "$w144" "$h144"; then
    echo "PASS  the window at 144 DPI is the one at 96 DPI scaled by 1.5 (${w96}x${h96} -> ${w144}x${h144})"
  else
    # Under Wine (8.0 here) the window has been seen to come out unscaled at LogPixels 144, so
    # the scaling is said, not failed, until it can be shown here; a person compares the two.
    echo "NOTE  the window at 144 DPI is not scaled by 1.5 under Wine (${w96}x${h96} -> ${w144}x${h144}); look at both pictures"
  fi
fi
exit $fail
