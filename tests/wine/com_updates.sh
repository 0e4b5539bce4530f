#!/usr/bin/env bash
# Whole updates by the Windows build, under Wine, over a real COM port whose far end is the Linux
# simulated unit:
#   tests/wine/com_updates.sh <Linux build folder> <Windows build folder>
# Wine maps COM5 to a symbolic link (HKLM\Software\Wine\Ports, which also enters the port under
# HARDWARE\DEVICEMAP\SERIALCOMM, where the Windows port list reads it); varnel-unitsim keeps that
# link pointing at its pseudo-terminal. For every row the Windows varnel-demo runs a scripted
# technician through the real window (offscreen) with --port COM5, and the row checks the final
# status text, the boxes and, for a completed update, that what the unit took into its memory
# equals the update file byte for byte. Prints one line per row; exits non-zero on any failure.
set -uo pipefail
# The Wine prefix of tools/windows/wine-run.sh, also for wineserver here.
export WINEPREFIX=${WINEPREFIX:-$HOME/.cache/varnel/wine}
src=$(cd "$(dirname "$0")/../.." && pwd)
linux_build=$(cd "$1" && pwd)
windows_build=$(cd "$2" && pwd)
run="$src/tools/windows/wine-run.sh"
unitsim="$linux_build/unitsim/varnel-unitsim"
demo="$windows_build/app/varnel-demo.exe"
cli="$windows_build/cli/varnel-cli.exe"
samples="$src/samples"
link=/tmp/varnel-wine-com5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"   # Wine runs a program from the current folder before its own: keep it empty

for f in "$unitsim" "$demo" "$cli" "$windows_build/app/station/varnel-station.exe"; do
  [ -e "$f" ] || { echo "com_updates: missing $f" >&2; exit 2; }
done

# Two ports, COM5 and COM12 (a name past COM9, which opens only in the device namespace), each
# behind a link that varnel-unitsim keeps pointing at its pseudo-terminal. A port must exist when
# Wine's mount manager starts, so a holder keeps each link while the keys are written and Wine
# restarts.
link12=/tmp/varnel-wine-com12
map_ports() { # NAME=link ...: Wine restarted with these ports mapped
  for map in "$@"; do
    "$run" reg add 'HKLM\Software\Wine\Ports' /v "${map%%=*}" /d "${map#*=}" /f >/dev/null
  done
  wineserver -k 2>/dev/null || true
  # The mount manager keeps a COM link it finds, so one left from another mapping goes first.
  for map in "$@"; do
    local name
    name=$(printf '%s' "${map%%=*}" | tr 'A-Z' 'a-z')
    rm -f "$WINEPREFIX/dosdevices/$name"
  done
  "$run" cmd /c ver >/dev/null 2>&1   # starts Wine again, whose mount manager makes the links
  for map in "$@"; do
    local name
    name=$(printf '%s' "${map%%=*}" | tr 'A-Z' 'a-z')
    for _ in $(seq 50); do [ -L "$WINEPREFIX/dosdevices/$name" ] && break; sleep 0.2; done
    if [ "$(readlink "$WINEPREFIX/dosdevices/$name")" != "${map#*=}" ]; then
      echo "com_updates: Wine did not map $name to ${map#*=} ($(readlink "$WINEPREFIX/dosdevices/$name"))" >&2
      return 1
    fi
  done
}
"$unitsim" --family any --link "$link" >/dev/null 2>&1 &
holder=$!
"$unitsim" --family any --link "$link12" >/dev/null 2>&1 &
holder12=$!
sleep 0.5
map_ports "COM5=$link" "COM12=$link12" || { kill "$holder" "$holder12" 2>/dev/null; exit 2; }
kill "$holder" "$holder12" 2>/dev/null; wait "$holder" "$holder12" 2>/dev/null

# The update file as the unit should hold it after a completed update (see varnel-unitsim
# --record): the lines with CR LF; the monitor's data bytes by address; the module's S1 records.
expected_record() { # family file
  python3 - "$1" "$2" <<'EOF'
import sys
family, path = sys.argv[1], sys.argv[2]
lines = [l.rstrip("\r\n") for l in open(path, "rb").read().decode("latin-1").splitlines()]
out = []
if family == "update-mode":
    sys.stdout.buffer.write("".join(l + "\r\n" for l in lines).encode("latin-1"))
elif family == "monitor":
    memory = {}
    for l in lines:
        if l.startswith("S1"):
            raw = bytes.fromhex(l[2:])
            address = (raw[1] << 8) | raw[2]
            for i, b in enumerate(raw[3:-1]):
                memory[address + i] = b
    sys.stdout.write("".join("%04X %02X\n" % (a, memory[a]) for a in sorted(memory)))
else:
    sys.stdout.buffer.write("".join(l + ":" for l in lines if l.startswith("S1")).encode("latin-1"))
EOF
}

# Starts the row's unit behind the COM5 link (or UNIT_LINK's), once, recording what it takes;
# faults are --fault rules, or options of varnel-unitsim when they start with "--". The unit
# runs in the background: $! is its process id.
start_unit() { # name family [fault rules...]
  local name=$1 family=$2
  shift 2
  local faults=()
  for r in "$@"; do
    case $r in --*) faults+=($r) ;; *) faults+=(--fault "$r") ;; esac
  done
  "$unitsim" --family "$family" --link "${UNIT_LINK:-$link}" --once --record "$work/$name.record" "${faults[@]}" \
    >"$work/$name.unit" 2>&1 &
  sleep 0.5
  return 0
}

failures=0
row() { # name family unit sample expected_status expected_box [fault rules...]
  local name=$1 family=$2 unit=$3 sample=$4 status=$5 box=$6
  shift 6
  local start=$SECONDS
  local file_unix="$samples/$sample"
  local file_win="Z:${file_unix//\//\\}"
  local code attempt
  # Wine's loader was seen to stall now and then while the window loads an image plugin (the
  # program hangs in Wine's LoadLibrary, not in Varnel): a row whose program has not ended in
  # three minutes, far beyond any row's worst case, is run once more on a fresh unit, and says so.
  for attempt in 1 2; do
    start_unit "$name" "$family" "$@"
    local unit_pid=$!
    timeout 180 "$run" "$demo" --headless --port COM5 --unit "$unit" --file "$file_win" \
      --screenshot "Z:${work//\//\\}\\$name.png" >"$work/$name.demo" 2>&1
    code=$?
    kill -INT "$unit_pid" 2>/dev/null; wait "$unit_pid" 2>/dev/null
    [ "$code" -eq 124 ] && [ "$attempt" -eq 1 ] || break
    echo "RETRY $name: varnel-demo.exe did not end in 180 s (last line: $(tail -1 "$work/$name.demo" | tr -d '\r'))"
    wineserver -k 2>/dev/null || true
  done
  local final why=""
  final=$(grep ' status: ' "$work/$name.demo" | tail -1 | sed "s/^.* status: //" | tr -d '\r')
  [ "$final" = "$status" ] || why="final status \"$final\", wanted \"$status\""
  if [ -n "$box" ] && ! grep -qF "$box" "$work/$name.demo"; then
    why="${why:+$why; }no box with \"$box\""
  fi
  if [ "$status" = "Update complete." ]; then
    [ "$code" -eq 0 ] || why="${why:+$why; }varnel-demo exited $code"
    if ! cmp -s "$work/$name.record" <(expected_record "$family" "$file_unix"); then
      why="${why:+$why; }the unit's record differs from $sample"
    fi
  fi
  if [ -z "$why" ]; then
    echo "PASS  $name  ($((SECONDS - start)) s): $final"
  else
    echo "FAIL  $name  ($((SECONDS - start)) s): $why"
    echo "----- varnel-demo.exe:"; tail -25 "$work/$name.demo"
    echo "----- varnel-unitsim:"; tail -15 "$work/$name.unit"
    failures=$((failures + 1))
  fi
  [ -n "${VARNEL_WINE_SHOTS:-}" ] && cp "$work/$name.png" "$VARNEL_WINE_SHOTS/" 2>/dev/null
  return 0
}

# Every row also checks the Windows port list: the technician picks COM5 from the port page's
# items, which come from the registry, and a row fails when it is not listed.
row UpdateModeCompletes update-mode "TVR-4200 Motor Protection Relay" T4200170.s19 "Update complete." ""
row MonitorCompletes monitor "TVR-3770 Resistance Grounded Relay" T3770170.s19 "Update complete." ""
row ModuleCompletes module "KLN-12B Communications Module Only" GRA0170.s19 "Update complete." ""
row UpdateModeErrorF update-mode "TVR-4200 Motor Protection Relay" T4200170.s19 \
  "Error 'F' Buffer error occurred.  Try again." "Error 'F': Buffer full error." "line@3=F*4"
row MonitorSilent monitor "TVR-3770 Resistance Grounded Relay" T3770170.s19 \
  "Did not receive any response from unit.  Try again." "" "byte@3=silent"
row ModuleErrorE module "KLN-12B Communications Module Only" GRA0170.s19 \
  "Error 'E': Flash ROM error.  Try again." "Error 'E': Flash ROM error. Please try again" "record@2=E"

# varnel-cli.exe on the same port: the exit code of the outcome, the JSON stream's outcome event
# and, for a completed update, the unit's record.
cli_row() { # name family unit sample expected_exit [fault rules...]
  local name=$1 family=$2 unit=$3 sample=$4 want=$5
  shift 5
  local start=$SECONDS
  start_unit "$name" "$family" "$@"
  local unit_pid=$!
  local file_unix="$samples/$sample"
  timeout 600 "$run" "$cli" update --brand-choice --unit "$unit" --port "${UNIT_PORT:-COM5}" --file "Z:${file_unix//\//\\}" \
    --yes --restart no --json >"$work/$name.json" 2>"$work/$name.err"
  local code=$?
  kill -INT "$unit_pid" 2>/dev/null; wait "$unit_pid" 2>/dev/null
  local why="" kind
  kind=$(python3 -c 'import json,sys
for l in open(sys.argv[1], encoding="utf-8"):
    e = json.loads(l)
    if e.get("event") == "outcome": print(e["kind"])' "$work/$name.json" 2>&1)
  [ "$code" -eq "$want" ] || why="exit code $code, wanted $want"
  if [ "$want" -eq 0 ]; then
    [ "$kind" = "completed" ] || why="${why:+$why; }outcome \"$kind\""
    cmp -s "$work/$name.record" <(expected_record "$family" "$file_unix") ||
      why="${why:+$why; }the unit's record differs from $sample"
  fi
  if [ -z "$why" ]; then
    echo "PASS  $name  ($((SECONDS - start)) s): exit $code, $kind"
  else
    echo "FAIL  $name  ($((SECONDS - start)) s): $why"
    echo "----- varnel-cli.exe:"; tail -8 "$work/$name.json"; tail -5 "$work/$name.err"
    echo "----- varnel-unitsim:"; tail -15 "$work/$name.unit"
    failures=$((failures + 1))
  fi
  return 0
}

cli_row CliUpdateModeCompletes update-mode TVR-4200 T4200170.s19 0
cli_row CliMonitorCompletes monitor TVR-3770 T3770170.s19 0
cli_row CliModuleCompletes module KLN-12B GRA0170.s19 0
cli_row CliUpdateModeErrorC update-mode TVR-4200 T4200170.s19 7 "line@3=C*4"
# The adapter pulled while the update reads the unit's answers: the read fails, as on Linux.
cli_row CliCablePulledWhileReading update-mode TVR-4200 T4200170.s19 9 "--cut-after 2000"
UNIT_PORT=COM12 UNIT_LINK=$link12 cli_row CliUpdateModeOverCom12 update-mode TVR-4200 T4200170.s19 0

# varnel-station.exe with two bays, A1 on COM5 and A2 on COM12, headless (the window on the
# offscreen platform): both units take the whole file, the report has a completed record per
# bay, and the window's picture is kept beside the wizard's.
station="$windows_build/app/station/varnel-station.exe"
station_row() {
  local start=$SECONDS why=""
  local dir="$work/station"
  mkdir -p "$dir"
  cp "$samples/T4200170.s19" "$dir/"
  cat >"$dir/bench.json" <<EOF_JOB
{"unit": "TVR-4200", "file": "T4200170.s19", "sha256": "$(sha256sum "$samples/T4200170.s19" | cut -d' ' -f1)",
 "restart": "no", "report": "station.jsonl", "bays": [{"name": "A1", "port": "COM5"}, {"name": "A2", "port": "COM12"}]}
EOF_JOB
  start_unit StationA1 update-mode
  local a1=$!
  UNIT_LINK=$link12 start_unit StationA2 update-mode
  local a2=$!
  timeout 300 "$run" "$station" --headless --job "Z:${dir//\//\\}\\bench.json" \
    --screenshot "Z:${dir//\//\\}\\station.png" >"$work/station.out" 2>&1
  local code=$?
  kill -INT "$a1" "$a2" 2>/dev/null; wait "$a1" "$a2" 2>/dev/null
  [ "$code" -eq 0 ] || why="varnel-station.exe exited $code"
  for bay in A1 A2; do
    cmp -s "$work/Station$bay.record" <(expected_record update-mode "$samples/T4200170.s19") ||
      why="${why:+$why; }bay $bay's unit record differs from T4200170.s19"
  done
  local recorded
  recorded=$(python3 -c 'import json,sys
print(" ".join(sorted("%s=%s" % (r["bay"], r["outcome"]) for r in map(json.loads, open(sys.argv[1], encoding="utf-8")))))' \
    "$dir/station.jsonl" 2>&1)
  [ "$recorded" = "A1=completed A2=completed" ] || why="${why:+$why; }report: $recorded"
  if [ -z "$why" ]; then
    echo "PASS  StationTwoBaysOnCom5AndCom12  ($((SECONDS - start)) s): $recorded"
  else
    echo "FAIL  StationTwoBaysOnCom5AndCom12  ($((SECONDS - start)) s): $why"
    echo "----- varnel-station.exe:"; tail -15 "$work/station.out"
    failures=$((failures + 1))
  fi
  [ -n "${VARNEL_WINE_SHOTS:-}" ] && cp "$dir/station.png" "$VARNEL_WINE_SHOTS/varnel-station-wine.png" 2>/dev/null
  return 0
}
station_row

# The port list of varnel-cli.exe comes from the registry too, sorted as the port page sorts it.
"$unitsim" --family any --link "$link" >/dev/null 2>&1 &
lister=$!
"$unitsim" --family any --link "$link12" >/dev/null 2>&1 &
lister12=$!
sleep 0.5
listed=$("$run" "$cli" ports 2>/dev/null | tr -d '\r' | grep -o '^COM[0-9]*' | grep -xE 'COM5|COM12' | tr '\n' ' ')
if [ "$listed" = "COM12 COM5 " ]; then
  echo "PASS  CliListsCom5AndCom12"
else
  echo "FAIL  CliListsCom5AndCom12: varnel-cli.exe ports lists \"$listed\""
  failures=$((failures + 1))
fi
kill "$lister" "$lister12" 2>/dev/null; wait "$lister" "$lister12" 2>/dev/null

# Standard input from NUL is no terminal (a character device, but no console): without --yes
# the update refuses to start (exit 2) instead of asking NUL its questions.
"$run" cmd /c "$(printf '%s' "$cli" | sed 's|^|Z:|; s|/|\\|g') update --unit TVR-4200 --port COM5 --file Z:${samples//\//\\}\\T4200170.s19 < NUL > NUL 2>NUL" >/dev/null 2>&1
code=$?
if [ "$code" -eq 2 ]; then
  echo "PASS  CliInputFromNulIsNoTerminal"
else
  echo "FAIL  CliInputFromNulIsNoTerminal: exit $code, wanted 2"
  failures=$((failures + 1))
fi

# A path with letters beyond ASCII comes back whole, in UTF-8.
utf8_dir="$work/Prüfstand-Ølbæk"
mkdir -p "$utf8_dir"
cp "$samples/T4200170.s19" "$utf8_dir/"
"$run" "$cli" check "Z:${utf8_dir//\//\\}\\T4200170.s19" --unit TVR-4200 --json >"$work/utf8.json" 2>&1
if grep -q 'Prüfstand-Ølbæk' "$work/utf8.json"; then
  echo "PASS  CliPrintsANonAsciiPathInUtf8"
else
  echo "FAIL  CliPrintsANonAsciiPathInUtf8: $(head -c 300 "$work/utf8.json")"
  failures=$((failures + 1))
fi

# A far end that never reads: the far end of a pseudo-terminal that holds it and never reads,
# with the terminal's output suspended (tcflow TCOOFF), so that every write to it waits forever.
# Every write must end at its deadline (1000 + 100 x n ms) as a failed send, and the update by
# itself instead of hanging on the first byte. Wine's own device manager does not cope with such a
# line for long, so it is COM13 for this row only, mapped last and taken away again.
stalled=/tmp/varnel-wine-com13
python3 - "$stalled" <<'EOF_STALL' &
import os, pty, sys, termios, time
link = sys.argv[1]
master, slave = pty.openpty()
termios.tcflow(slave, termios.TCOOFF)
try:
    os.unlink(link)
except FileNotFoundError:
    pass
os.symlink(os.ttyname(slave), link)
while True:
    time.sleep(60)
EOF_STALL
staller=$!
sleep 0.5
if map_ports "COM13=$stalled"; then
  start=$SECONDS
  timeout 300 "$run" "$cli" update --unit TVR-4200 --port COM13 --file "Z:${samples//\//\\}\\T4200170.s19" \
    --yes --restart no --json >"$work/stalled.json" 2>"$work/stalled.err"
  code=$?
  took=$((SECONDS - start))
  kind=$(python3 -c 'import json,sys
for l in open(sys.argv[1], encoding="utf-8"):
    e = json.loads(l)
    if e.get("event") == "outcome": print(e["kind"], e.get("durationMs"))' "$work/stalled.json" 2>&1)
  if [ "$code" -ne 124 ] && [ "$code" -ne 0 ] && [ -n "$kind" ]; then
    echo "PASS  CliWriteToAFarEndThatNeverReads  ($took s): exit $code, outcome $kind ms"
  else
    echo "FAIL  CliWriteToAFarEndThatNeverReads  ($took s): exit $code, outcome \"$kind\""
    tail -5 "$work/stalled.json" "$work/stalled.err"
    failures=$((failures + 1))
  fi
else
  echo "FAIL  CliWriteToAFarEndThatNeverReads: COM13 could not be mapped"
  failures=$((failures + 1))
fi
"$run" reg delete 'HKLM\Software\Wine\Ports' /v COM13 /f >/dev/null 2>&1
wineserver -k 2>/dev/null || true
rm -f "$WINEPREFIX/dosdevices/com13"
kill "$staller" 2>/dev/null; wait "$staller" 2>/dev/null
rm -f "$stalled"

[ "$failures" -eq 0 ] || { echo "com_updates: $failures row(s) failed"; exit 1; }
echo "com_updates: every row passed"
