#!/usr/bin/env bash
# Sets up what Varnel needs on a Debian/Ubuntu machine and builds it, then:
#   ./run.sh        starts Varnel beside a simulated unit (varnel-demo), so that a whole update
#                   can be tried without hardware; with no display it runs the same demo headless,
#                   a scripted technician updating a simulated TVR-4200 relay;
#   ./run.sh station starts the station window (varnel-station) beside four simulated units with
#                   the sample job (samples/station.json); with no display it runs headless: every
#                   bay started, each bay's outcome printed, a screenshot saved;
#   ./run.sh test   runs the whole test suite (the fast suite, then the real-time sweeps).
# Each builds only the programs it starts; the test run builds everything.
# The program for real hardware is build/app/varnel.
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  cmake make g++ pkg-config
  qt6-base-dev qt6-serialport-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-wine xvfb xdotool strace
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y "${missing[@]}"
fi

BUILD_DIR=${VARNEL_BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo
build() { cmake --build "$BUILD_DIR" -j"$(nproc)" "$@"; }

no_display() { [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; }

# The station beside four simulated units: each a varnel-unitsim on a pseudo-terminal of its own,
# paced at the relay's line rate; the sample job is written again with their paths as the bays'
# ports (and the sample file's path), into $BUILD_DIR/station-demo/, where the report goes too.
station_units=()
run_station() {
  local demo="$PWD/$BUILD_DIR/station-demo" ports=() i out
  mkdir -p "$demo"
  trap 'for p in "${station_units[@]}"; do kill "$p" 2>/dev/null || true; done' EXIT
  for i in 0 1 2 3; do
    out="$demo/unit$i.out"
    : >"$out"
    "$BUILD_DIR/unitsim/varnel-unitsim" --family update-mode --pace 57600 >"$out" 2>&1 &
    station_units+=($!)
    for _ in $(seq 100); do [ -s "$out" ] && break; sleep 0.05; done
    ports+=("$(head -n 1 "$out")")
    if [ -z "${ports[$i]}" ]; then
      echo "The simulated unit $i did not start: $(cat "$out")" >&2
      return 1
    fi
  done
  sed -e "s#\"file\": \"T4200170.s19\"#\"file\": \"$PWD/samples/T4200170.s19\"#" \
      -e "s#\"ttyV0\"#\"${ports[0]}\"#" -e "s#\"ttyV1\"#\"${ports[1]}\"#" \
      -e "s#\"ttyV2\"#\"${ports[2]}\"#" -e "s#\"ttyV3\"#\"${ports[3]}\"#" \
      samples/station.json >"$demo/station.json"
  echo "Simulated units on ${ports[*]}; job $demo/station.json; report $demo/station.jsonl"
  local status=0
  if no_display; then
    echo "No display: running the station headless."
    "$BUILD_DIR/app/station/varnel-station" --headless --job "$demo/station.json" \
      --screenshot "$PWD/$BUILD_DIR/varnel-station.png" || status=$?
  else
    "$BUILD_DIR/app/station/varnel-station" --job "$demo/station.json" || status=$?
  fi
  return $status
}

case "${1:-}" in
  test)
    build
    export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
    cd "$BUILD_DIR"
    # The fast suite, then the real-time sweeps over pseudo-terminals (every failure of every
    # update, a pulled cable at every phase): those mostly sleep through real time-outs, so many
    # run at once. A developer's quick run: ctest -LE sweep.
    ctest --output-on-failure -j"$(nproc)" -LE sweep
    ctest --output-on-failure -j14 -L sweep
    ;;
  station)
    build --target varnel-station varnel-unitsim
    run_station
    ;;
  "")
    build --target varnel-demo varnel_help
    if no_display; then
      echo "No display: running the demonstration headless."
      exec "$BUILD_DIR/app/varnel-demo" --headless --screenshot "$PWD/$BUILD_DIR/varnel-demo.png"
    fi
    exec "$BUILD_DIR/app/varnel-demo"
    ;;
  *)
    echo "usage: ./run.sh [station|test]" >&2
    exit 2
    ;;
esac
