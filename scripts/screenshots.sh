#!/usr/bin/env bash
# Makes the README's screenshots from the real program: the sample torus,
# turned a little, as the lit picture and as the red/cyan anaglyph.
# Runs on a private Xvfb display; writes docs/viewer-plain.png and
# docs/viewer-anaglyph.png.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
[ -x build/i686/corvasi.exe ] || bash scripts/build.sh i686

export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
display=120
while [ -e /tmp/.X11-unix/X$display ]; do display=$((display + 1)); done
Xvfb :$display -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=:$display
viewer=
cleanup() {
  [ -n "$viewer" ] && kill "$viewer" 2>/dev/null
  wineserver -k >/dev/null 2>&1 || true
  kill $xvfb 2>/dev/null
}
trap cleanup EXIT
for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$display ] && break; sleep 0.1; done

mesh="Z:${root//\//\\}\\samples\\torus.obj"
wine build/i686/corvasi.exe "$mesh" >/dev/null 2>&1 &
viewer=$!
window=
for _ in $(seq 100); do
  window=$(xdotool search --name "Corvasi - ver.0.10" 2>/dev/null | head -1) && [ -n "$window" ] && break
  sleep 0.2
done
[ -n "$window" ] || { echo "screenshots.sh: the viewer did not come up" >&2; exit 1; }
sleep 1
xdotool windowfocus --sync "$window"

# Turn it: a left drag of 40 pixels right and 60 down.
xdotool mousemove --window "$window" 200 200 mousedown 1
for step in 1 2 3 4 5 6; do
  xdotool mousemove --window "$window" $((200 + step * 7)) $((200 + step * 10))
  sleep 0.05
done
xdotool mouseup 1
sleep 0.5
import -window "$window" docs/viewer-plain.png

# Anaglyph Mode from the popup menu.
# NOTE: with no window manager, keys reach the menu only while the viewer's
# X window has the input focus.
xdotool mousemove --window "$window" 100 100 click 3
sleep 1
xdotool windowfocus --sync "$window"
xdotool key n
sleep 1.5

import -window "$window" docs/viewer-anaglyph.png
echo "wrote docs/viewer-plain.png and docs/viewer-anaglyph.png"
