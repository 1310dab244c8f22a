#!/usr/bin/env bash
# Makes the README's screenshots with corvasi-render, which draws with the
# viewer's own window and code: the sample torus turned by 42 and tilted by
# 60 degrees (the view that a left drag of 42 pixels right and 60 down gives
# in the viewer), as the lit picture and as the red/cyan anaglyph.
# Runs on a private Xvfb display; writes docs/viewer-plain.png and
# docs/viewer-anaglyph.png, the same bytes each time.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
# The 32-bit renderer where this host runs 32-bit programs, else the 64-bit
# one.
. scripts/display.sh
corvasi_render_session 120

winpath() { local p=$1; echo "Z:${p//\//\\}"; }
mesh=$(winpath "$root/samples/torus.obj")
shoot() { # name, options...
  local name=$1
  shift
  # Wine's helper processes outlive the program and complain on the log
  # when the display goes away.
  "$CORVASI_WINE" "$render" --turn 42 --tilt 60 "$@" -o "$(winpath "$work/$name.bmp")" "$mesh" \
    2>"$work/wine.log" || { cat "$work/wine.log" >&2; exit 1; }
  # The program leaves the BMP's file size field 0; ImageMagick says so and
  # reads the picture well. No dates in the PNG, so the bytes repeat.
  convert "$work/$name.bmp" -strip -define png:exclude-chunks=date,time "docs/$name.png" 2>/dev/null || true
  [ -s "docs/$name.png" ] || { echo "screenshots.sh: no docs/$name.png" >&2; exit 1; }
}
shoot viewer-plain
shoot viewer-anaglyph --anaglyph
echo "wrote docs/viewer-plain.png and docs/viewer-anaglyph.png"
