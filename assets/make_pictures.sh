#!/usr/bin/env bash
# Draws the window's pictures into this folder: builds tools/draw_pictures.cpp (Qt 6 Gui),
# runs it without a display and converts the second brand's banner to GIF (ImageMagick).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

g++ -std=c++17 -O1 -fPIC -o "$work/draw_pictures" "$here/tools/draw_pictures.cpp" \
    $(pkg-config --cflags --libs Qt6Gui)
QT_QPA_PLATFORM=offscreen "$work/draw_pictures" "$here"
convert "$here/Image_TVHeader.png" "$here/Image_TVHeader.gif"
rm -f "$here/Image_TVHeader.png"
