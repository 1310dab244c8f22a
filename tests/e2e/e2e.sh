#!/usr/bin/env bash
# The real viewer under Wine, used as a person uses it: only X input goes in
# (clicks, drags, the wheel, keys, typing into the file dialogs) and only the
# screen comes back (ImageMagick's import). Each picture on show is compared
# with corvasi-render's picture of the view that the input should have made,
# pixel for pixel but at multisampled edges.
#
#   e2e.sh CORVASI_EXE [CORVASI_RENDER_EXE]
#
# Needs an X server in $DISPLAY (no window manager needed) and a Wine prefix
# in $WINEPREFIX (build/wineprefix when unset).
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
viewer_exe=${1:?usage: e2e.sh CORVASI_EXE [CORVASI_RENDER_EXE]}
render_exe=${2:-$(dirname "$viewer_exe")/corvasi-render.exe}
: "${DISPLAY:?e2e.sh needs an X display}"
export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
. "$root/scripts/wine-env.sh"
if ! corvasi_wine_runs "$viewer_exe"; then
  echo "FAIL: $viewer_exe is a 32-bit program and $CORVASI_NO32" >&2
  exit 1
fi

work=$(mktemp -d)
viewer=
window=
started=$SECONDS
cleanup() {
  [ -n "$viewer" ] && kill "$viewer" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

step() { echo "-- $* ($((SECONDS - started)) s)"; }
fail() {
  echo "FAIL: $*" >&2
  [ -n "$window" ] && import -window root "$PWD/e2e-failed.png" 2>/dev/null &&
    echo "the screen at the failure: $PWD/e2e-failed.png" >&2
  echo "0 passed, 1 failed"
  exit 1
}
winpath() { local p=$1; echo "Z:${p//\//\\}"; }
# xdotool can wait forever on a window that went away; never let it.
x() { timeout 10 xdotool "$@"; }

# Polls: `within SECONDS command...` succeeds as soon as the command does.
within() {
  local limit=$((SECONDS + $1))
  shift
  while ! "$@"; do
    [ $SECONDS -lt $limit ] || return 1
    sleep 0.2
  done
}

# The one visible window with exactly this name; empty when there is none.
named() { x search --onlyvisible --name "^$1\$" 2>/dev/null | head -1; }
appears() { [ -n "$(named "$1")" ]; }
gone() { [ -z "$(named "$1")" ]; }

shot() { import -window "$window" "$1" 2>/dev/null; }
. "$root/tests/e2e/pictures.sh"
# Blacks out the rectangle X Y W H of a picture (a dialog in front of it).
mask() { convert "$1" -fill black -draw "rectangle $3,$4 $(($3 + $5 - 1)),$(($4 + $6 - 1))" "$2"; }

# The window shows exactly the picture in $1, now or after its next repaint.
shows_now() {
  shot "$work/now.png" || return 1
  [ "$(on_show_differing "$1" "$work/now.png")" = 0 ]
}
expect_picture() { # picture, what it should be, seconds
  within "${3:-10}" shows_now "$1" ||
    fail "$2: the window differs from the expected picture in $(on_show_differing "$1" "$work/now.png") pixels off edges"
}

# corvasi-render's picture of a view of the torus, as PNG.
render() { # name, options...
  local name=$1
  shift
  "$CORVASI_WINE" "$render_exe" --samples 1 "$@" -o "$(winpath "$work/$name.bmp")" "$(winpath "$mesh")" >/dev/null ||
    fail "corvasi-render $* failed"
  to_png "$work/$name.bmp" "$work/$name.png" || fail "cannot read $name.bmp"
}

# Right click at a client point; sets menu_window, menu_x, menu_y, menu_w and
# menu_h.
open_menu() {
  x mousemove --window "$window" "$1" "$2" click 3
  menu_found() {
    # The window under the pointer may go away between the two questions.
    local WINDOW= X= Y= WIDTH=0 HEIGHT=0 SCREEN=
    eval "$(x getmouselocation --shell)"
    [ -n "$WINDOW" ] && [ "$WINDOW" != 0 ] && [ "$WINDOW" != "$window" ] || return 1
    eval "$(x getwindowgeometry --shell "$WINDOW" 2>/dev/null)"
    [ "$WIDTH" -gt 40 ] && [ "$HEIGHT" -gt 100 ] || return 1
    menu_window=$WINDOW menu_x=$X menu_y=$Y menu_w=$WIDTH menu_h=$HEIGHT
  }
  within 5 menu_found || fail "no popup menu under the pointer after a right click at $1,$2"
}
menu_open() { xwininfo -id "$menu_window" 2>/dev/null | grep -q IsViewable; }
menu_closed() { ! menu_open; }

# NOTE: with no window manager, keys reach a Wine window only while its X
# window has the input focus, and keys sent right after a window came up or
# got the focus are now and then lost (more often on a busy machine). So the
# focus is set and given a moment, and every key is sent again until what it
# should do shows.
focus() {
  x windowfocus --sync "$1"
  sleep 0.2
}

# Sends a key to a window until the check (a command and its arguments) says
# it took effect; the check must turn true only once the key has acted.
press() { # window, key, seconds, check...
  local tries
  for tries in 1 2 3; do
    focus "$1"
    x key "$2"
    within "$3" "${@:4}" && return 0
  done
  return 1
}

# Types a path into the file name box of a file dialog and presses Return,
# until the check says it took effect. Alt+N goes to the box ("File name:")
# and selects what a lost Return left there, so typing replaces it.
enter_file_name() { # dialog name, path, check
  local tries dialog
  for tries in 1 2 3; do
    dialog=$(named "$1")
    [ -n "$dialog" ] || break
    focus "$dialog"
    x key alt+n
    x type --delay 10 "$2"
    x key Return
    within 8 "$3" && return 0
  done
  "$3"
}

# Opens the menu at a client point and carries out the item of a mnemonic
# key, until the check says the command took effect; with confirm=1, a key
# that only selects the item (two items share it) is followed by Return. The
# menu takes keys through the viewer's X window. A lost key leaves the menu
# open: it is closed and opened again.
choose() { # x, y, key, check...
  local tries
  for tries in 1 2 3; do
    open_menu "$1" "$2"
    focus "$window"
    x key "$3"
    within 3 "${@:4}" && return 0
    if menu_open && [ "${confirm:-}" = 1 ]; then
      focus "$window"
      x key Return
      within 3 "${@:4}" && return 0
    fi
    menu_open && press "$window" Escape 2 menu_closed
    "${@:4}" && return 0
    echo "   (the menu did not take the key $3; again)"
  done
  fail "the menu item of the key $3 did not work in three tries"
}

mesh=$root/samples/torus.obj
broken=$work/broken.obj
printf 'v 0 0 0\nf 1 2 3\n' >"$broken"

step "expected pictures from corvasi-render"
view=(--turn 30 --tilt 18)
render start
render anaglyph --anaglyph
render turned --anaglyph "${view[@]}"
render closer --anaglyph "${view[@]}" --scale 0.9
render deep --anaglyph "${view[@]}" --scale 0.9 --depth 1000

step "start the viewer with the torus"
"$CORVASI_WINE" "$viewer_exe" "$(winpath "$mesh")" >"$work/viewer.log" 2>&1 &
viewer=$!
within 40 appears "Corvasi - ver.0.10" || fail "the viewer window did not come up"
window=$(named "Corvasi - ver.0.10")
eval "$(x getwindowgeometry --shell "$window")"
[ "$WIDTH" = 512 ] && [ "$HEIGHT" = 512 ] || fail "the picture is ${WIDTH}x$HEIGHT, not 512x512"
expect_picture "$work/start.png" "the start view" 20

step "a right click opens the menu at the pointer; Anaglyph Mode"
open_menu 150 120
eval "$(x getmouselocation --shell)"
[ "$menu_x" = "$X" ] && [ "$menu_y" = "$Y" ] || fail "the menu is at $menu_x,$menu_y, the pointer at $X,$Y"
press "$window" Escape 5 menu_closed || fail "Escape did not close the menu"
expect_picture "$work/start.png" "the start view after the menu was dismissed"
choose 150 120 n shows_now "$work/anaglyph.png"
expect_picture "$work/anaglyph.png" "the red/cyan picture"

step "a left drag turns the mesh"
x mousemove --window "$window" 200 200
x mousedown 1
for i in 1 2 3 4 5 6; do
  x mousemove --window "$window" $((200 + i * 5)) $((200 + i * 3))
  sleep 0.05
done
x mouseup 1
expect_picture "$work/turned.png" "the view turned by 30 and tilted by 18 degrees"

step "the wheel zooms"
# Wine sends the wheel to the focus window. A notch that is lost leaves the
# turned picture; one more is sent then.
for tries in 1 2 3; do
  focus "$window"
  x mousemove --window "$window" 256 256 click 4
  within 5 shows_now "$work/closer.png" && break
  shows_now "$work/turned.png" || break
done
expect_picture "$work/closer.png" "the view one wheel notch closer"

step "Anaglyph Depth: the slider changes the picture before OK"
choose 100 100 d appears "Anaglyph Depth"
dialog=$(named "Anaglyph Depth")
eval "$(x getwindowgeometry --shell "$window")"
left=$X top=$Y
eval "$(x getwindowgeometry --shell "$dialog")"
cover=($((X - left)) $((Y - top)) "$WIDTH" "$HEIGHT")
mask "$work/deep.png" "$work/deep-masked.png" "${cover[@]}"
deep_behind_dialog() {
  shot "$work/now.png" && mask "$work/now.png" "$work/now-masked.png" "${cover[@]}" &&
    [ "$(on_show_differing "$work/deep-masked.png" "$work/now-masked.png")" = 0 ]
}
# End: the slider's far end, 100.0%.
press "$dialog" End 10 deep_behind_dialog || fail "the picture behind the open dialog is not the 100% depth picture"
appears "Anaglyph Depth" || fail "the dialog closed too early"
press "$dialog" Return 8 gone "Anaglyph Depth" || fail "OK did not close the depth dialog"
expect_picture "$work/deep.png" "the 100% depth picture after OK"

step "Save Image writes the picture on show"
saved=$work/saved.bmp
choose 100 100 a appears "Save image as"
sleep 0.5 # the dialog fills its lists after it shows
full_size() { [ "$(stat -c %s "$saved" 2>/dev/null)" = $((54 + 512 * 512 * 3)) ]; }
enter_file_name "Save image as" "$(winpath "$saved")" full_size || fail "no complete 512x512 BMP file was written"
within 15 gone "Save image as" || fail "the save dialog stays"
to_png "$saved" "$work/saved.png" || fail "the saved file is not a picture"
expect_picture "$work/saved.png" "the saved picture"
[ "$(differing "$work/deep.png" "$work/saved.png")" = 0 ] || fail "the saved picture is not the view on show"

step "Open Mesh with a broken file: the message, and the old picture stays"
# "Open Mesh(&O)" and "Close(&O)" share their letter: where the key only
# selects the first of them, Return carries it out.
confirm=1 choose 100 100 o appears "Open Mesh"
sleep 0.5
box_up() { box=$(named "Corvasi") && [ -n "$box" ]; }
enter_file_name "Open Mesh" "$(winpath "$broken")" box_up || fail "no \"Corvasi\" message box about the broken mesh"
WIDTH=0 HEIGHT=0
eval "$(x getwindowgeometry --shell "$box" 2>/dev/null)"
[ "$WIDTH" -gt 0 ] && [ "$WIDTH" -lt 512 ] && [ "$HEIGHT" -lt 200 ] || fail "the \"Corvasi\" window is ${WIDTH}x$HEIGHT, not a message box"
gone "Open Mesh" || fail "the open dialog stays in front of the message"
press "$box" Return 8 gone "Corvasi" || fail "the message box did not go away"
expect_picture "$work/deep.png" "the old picture after the failed open"

step "Close ends the program with exit code 0"
ended() { # gone, or a zombie waiting for its exit code to be taken
  local state
  state=$(ps -o stat= -p "$viewer" 2>/dev/null)
  [ -z "$state" ] || [ "${state:0:1}" = Z ]
}
for tries in 1 2 3; do
  open_menu 300 100
  # The last item of the menu, clicked.
  x mousemove $((menu_x + menu_w / 3)) $((menu_y + menu_h - 10))
  sleep 0.3
  x click 1
  within 10 ended && break
  menu_open && press "$window" Escape 2 menu_closed
done
ended || fail "the program did not end after Close"
wait "$viewer"
code=$?
viewer=
[ $code = 0 ] || fail "the program ended with exit code $code"

echo "1 passed, 0 failed ($((SECONDS - started)) s)"
