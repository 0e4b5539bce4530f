#!/usr/bin/env bash
# Sets up what Varnel needs on a Debian/Ubuntu machine, builds it, and then either starts it
# (./run.sh) or runs the whole test suite (./run.sh test).
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  cmake make g++ pkg-config
  qt6-base-dev qt6-serialport-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-wine
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
    ctest --output-on-failure -j"$(nproc)"
    ;;
  "")
    exec "$BUILD_DIR/app/varnel"
    ;;
  *)
    echo "usage: ./run.sh [test]" >&2
    exit 2
    ;;
esac
