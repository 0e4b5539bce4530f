#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the layout the programs rely on: the
# commands in bin, the help start page in "help" beside the real executable (where the help
# launcher looks for it), the samples, the desktop entry and its icon.
set -euo pipefail
build_dir=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build_dir" --prefix "$prefix" > /dev/null

fail() { echo "FAIL: $*" >&2; exit 1; }
for cmd in varnel varnel-demo varnel-unitsim; do
  [ -x "$prefix/bin/$cmd" ] || fail "bin/$cmd missing or not executable"
done
real=$(readlink -f "$prefix/bin/varnel")
[ -f "$(dirname "$real")/help/index.html" ] || fail "help/index.html is not beside $real"
ls "$prefix/share/varnel/samples/"*.s19 > /dev/null 2>&1 || fail "no samples installed"
[ -f "$prefix/share/applications/varnel.desktop" ] || fail "desktop entry missing"
grep -q '^Exec=varnel$' "$prefix/share/applications/varnel.desktop" || fail "desktop entry does not start varnel"
[ -f "$prefix/share/icons/hicolor/256x256/apps/varnel.png" ] || fail "icon missing"
"$prefix/bin/varnel-unitsim" --help > /dev/null || fail "installed varnel-unitsim does not run"
echo "install layout ok under $prefix"
