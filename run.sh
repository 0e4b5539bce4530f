#!/usr/bin/env bash
# Sets up what Varnel needs on a Debian/Ubuntu machine and builds it, then:
#   ./run.sh        starts Varnel beside a simulated unit (varnel-demo), so that a whole update
#                   can be tried without hardware; with no display it runs the same demo headless,
#                   a scripted technician updating a simulated TVR-4200 relay;
#   ./run.sh test   runs the whole test suite (the fast suite, then the real-time sweeps).
# The program for real hardware is build/app/varnel.
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  cmake make g++ pkg-config
  qt6-base-dev qt6-serialport-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-wine xvfb xdotool
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
cmake --build "$BUILD_DIR" -j"$(nproc)"

case "${1:-}" in
  test)
    export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
    cd "$BUILD_DIR"
    # The fast suite, then the real-time sweeps over pseudo-terminals (every failure of every
    # update, a pulled cable at every phase): those mostly sleep through real time-outs, so many
    # run at once. A developer's quick run: ctest -LE sweep.
    ctest --output-on-failure -j"$(nproc)" -LE sweep
    ctest --output-on-failure -j14 -L sweep
    ;;
  "")
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
      echo "No display: running the demonstration headless."
      exec "$BUILD_DIR/app/varnel-demo" --headless --screenshot "$PWD/$BUILD_DIR/varnel-demo.png"
    fi
    exec "$BUILD_DIR/app/varnel-demo"
    ;;
  *)
    echo "usage: ./run.sh [test]" >&2
    exit 2
    ;;
esac
