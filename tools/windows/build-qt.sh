#!/usr/bin/env bash
# Builds Qt 6 for 64-bit Windows with MinGW-w64 from Debian's qt6-base source package, once, into
# a cache folder outside the repository that later runs reuse:
#   tools/windows/build-qt.sh            # prints the cache folder; makes it when it is missing
# VARNEL_QT_WIN (default ~/.cache/varnel/qt6-mingw64-<version>) names the folder.
#
# A ready-built prefix saves the 40-minute build: qt6-mingw64-<version>.tar.xz with its
# .sha256 beside it, looked for in VARNEL_QT_WIN_ARCHIVE (the archive itself, or its folder),
# then <repository>/../shared/qt-windows, then /work/shared/qt-windows. It is unpacked only when
# its SHA-256 matches and its version is the host tools' (qt6-base-dev-tools); otherwise, or
# when unpacking fails, Qt is built from source.
#
# Only what Varnel uses is built: Core, Gui, Widgets, Test, the windows and offscreen platform
# plugins, PNG, JPEG and GIF; no network, SQL, D-Bus or print support. The sources carry their own
# zlib, PCRE2, libpng, libjpeg, HarfBuzz and FreeType, which are used. moc, uic and rcc are the
# host's of the same version (qt6-base-dev-tools). Shared libraries: see the README's Windows
# section for why.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"

need=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix qt6-base-dev-tools qt6-base-dev
      cmake ninja-build dpkg-dev)
missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y "${missing[@]}"
fi

# The host tools and the sources must be the same Qt version.
version=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools | sed 's/+.*//; s/-.*//')
prefix=${VARNEL_QT_WIN:-$HOME/.cache/varnel/qt6-mingw64-$version}
if [ -f "$prefix/.varnel-complete" ]; then
  echo "$prefix"
  exit 0
fi

# The archive holds one folder, qt6-mingw64-<version>/, with .varnel-complete inside.
find_archive() {
  local name="qt6-mingw64-$version.tar.xz" c
  for c in "${VARNEL_QT_WIN_ARCHIVE:-}" "$here/../shared/qt-windows" /work/shared/qt-windows; do
    [ -n "$c" ] || continue
    [ -d "$c" ] && c="$c/$name"
    [ "$(basename "$c")" = "$name" ] && [ -f "$c" ] && [ -f "$c.sha256" ] || continue
    echo "$c"
    return 0
  done
  return 1
}
if archive=$(find_archive); then
  want=$(awk '{print $1; exit}' "$archive.sha256")
  echo "build-qt: checking $archive" >&2
  have=$(sha256sum "$archive" | awk '{print $1}')
  if [ "$want" != "$have" ]; then
    echo "build-qt: $archive does not match its SHA-256 ($have, expected $want); building from source" >&2
  else
    echo "build-qt: unpacking $archive into $prefix" >&2
    parent=$(dirname "$prefix")
    mkdir -p "$parent"
    unpack=$(mktemp -d "$parent/.qt6-unpack.XXXXXX")
    if tar -xJf "$archive" -C "$unpack" && [ -f "$unpack/qt6-mingw64-$version/.varnel-complete" ]; then
      rm -rf "$prefix"
      mv "$unpack/qt6-mingw64-$version" "$prefix"
      rm -rf "$unpack"
      echo "$prefix"
      exit 0
    fi
    rm -rf "$unpack"
    echo "build-qt: $archive holds no complete qt6-mingw64-$version/; building from source" >&2
  fi
else
  echo "build-qt: no ready-built qt6-mingw64-$version.tar.xz found; building from source (about 40 minutes)" >&2
fi

work=${VARNEL_QT_WIN_WORK:-$HOME/.cache/varnel/qt6-mingw64-work}
mkdir -p "$work"
cd "$work"

# apt-get source needs a deb-src entry for the archive the binary packages come from.
if ! ls qt6-base-*/configure >/dev/null 2>&1; then
  if ! apt-get source --print-uris qt6-base >/dev/null 2>&1; then
    src_list=/etc/apt/sources.list.d/varnel-deb-src.sources
    echo "Adding deb-src entries: $src_list" >&2
    for f in /etc/apt/sources.list.d/debian.sources /etc/apt/sources.list; do
      [ -f "$f" ] || continue
      if grep -q '^Types:' "$f"; then
        sed 's/^Types: deb$/Types: deb-src/' "$f"
      else
        grep '^deb ' "$f" | sed 's/^deb /deb-src /'
      fi
    done | $SUDO tee "${src_list%.sources}$( [ -f /etc/apt/sources.list.d/debian.sources ] && echo .sources || echo .list)" >/dev/null
    $SUDO apt-get update
  fi
  apt-get source "qt6-base=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools)"
fi
src=$(ls -d "$work"/qt6-base-*/ | head -1)

rm -rf "$work/build"
cmake -G Ninja -S "$src" -B "$work/build" \
  --toolchain "$here/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DBUILD_SHARED_LIBS=ON \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
  -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF \
  -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_vulkan=OFF \
  -DFEATURE_tabletevent=OFF \
  -DINPUT_opengl=desktop \
  -DFEATURE_png=ON -DFEATURE_jpeg=ON -DFEATURE_gif=ON \
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF \
  -DFEATURE_system_jpeg=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_freetype=OFF
cmake --build "$work/build" -j"$(nproc)"
cmake --install "$work/build"
touch "$prefix/.varnel-complete"
rm -rf "$work"
echo "$prefix"
