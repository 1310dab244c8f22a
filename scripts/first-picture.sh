#!/usr/bin/env bash
# Whether the first picture of each OBJ file below a folder shows its mesh:
# every file is drawn by corvasi-render at the start view, 512 x 512, as the
# file puts it (--as-is, what the viewer showed before it placed meshes) and
# as the viewer now shows it, and the box of the pixels that are not the
# background grey is measured. A picture is usable when that box spans at
# least an eighth of the picture (64 pixels, across or down) and touches no
# edge of it.
#   bash scripts/first-picture.sh [FOLDER] [--list]
# FOLDER is ../shared/testdata/obj by default; --list adds one line a file.
# Prints a Markdown table of the counts. CORVASI_PICTURES=DIR keeps the
# pictures there (NAME.before.bmp, NAME.after.bmp).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
folder=$root/../shared/testdata/obj
list=
for arg in "$@"; do
  case $arg in
    --list) list=1 ;;
    *) folder=$arg ;;
  esac
done
folder=$(cd "$folder" && pwd)
cd "$root"
. scripts/display.sh
corvasi_render_session 140
keep=${CORVASI_PICTURES:-}
[ -z "$keep" ] || mkdir -p "$keep"

winpath() { local p=$1; echo "Z:${p//\//\\}"; }
size=512
least=$((size / 8))

# The picture of a mesh, or nothing when it cannot be drawn; then what it
# shows: nothing, speck, cut, usable, with the box's size.
# A failure other than a mesh that cannot be read (Wine busy starting, on a
# loaded machine) is tried again.
draw() { # mesh, out.bmp, options...
  local mesh=$1 out=$2 try
  shift 2
  for try in 1 2 3; do
    timeout 300 "$CORVASI_WINE" "$render" --size ${size}x$size "$@" -o "$(winpath "$out")" "$(winpath "$mesh")" \
      >/dev/null 2>"$work/render.log" && return
    rm -f "$out"
    ! grep -q "cannot load mesh" "$work/render.log" || return 0
  done
}
judge() { # picture
  [ -s "$1" ] || { echo "no-load -"; return; }
  # A border of the background makes every corner background, so that the
  # box is that of the rest; 1% is 2.5 levels of the 0.3 grey (77).
  local box w h x y
  box=$(convert "$1" -bordercolor 'rgb(77,77,77)' -border 1 -fuzz 1% -format '%@' info: 2>/dev/null)
  IFS='x+' read -r w h x y <<<"$box"
  if [ "$w" -le 0 ] || [ "$h" -le 0 ] || [ "$w" -gt $((size + 2)) ]; then
    echo "nothing -"
    return
  fi
  x=$((x - 1)) y=$((y - 1))
  local what=usable
  if [ "$x" -le 0 ] || [ "$y" -le 0 ] || [ $((x + w)) -ge $size ] || [ $((y + h)) -ge $size ]; then
    what=cut
  elif [ "$w" -lt $least ] && [ "$h" -lt $least ]; then
    what=speck
  fi
  echo "$what ${w}x$h"
}

declare -A count
files=0 same=0
while IFS= read -r -d '' mesh; do
  files=$((files + 1))
  name=${mesh#"$folder"/}
  before=$work/before.bmp after=$work/after.bmp
  rm -f "$before" "$after"
  draw "$mesh" "$before" --as-is
  draw "$mesh" "$after"
  read -r b bsize <<<"$(judge "$before")"
  read -r a asize <<<"$(judge "$after")"
  count[before-$b]=$((${count[before-$b]:-0} + 1))
  count[after-$a]=$((${count[after-$a]:-0} + 1))
  placed=-
  [ ! -s "$after" ] || placed=placed
  if [ -s "$before" ] && cmp -s "$before" "$after"; then
    placed=same
    same=$((same + 1))
  fi
  [ -z "$list" ] || printf '%-7s %-9s -> %-7s %-9s %-6s %s\n' "$b" "$bsize" "$a" "$asize" "$placed" "$name"
  if [ -n "$keep" ]; then
    flat=${name//\//_}
    [ ! -s "$before" ] || cp "$before" "$keep/${flat%.*}.before.bmp"
    [ ! -s "$after" ] || cp "$after" "$keep/${flat%.*}.after.bmp"
  fi
done < <(find "$folder" -type f -iname '*.obj' -print0 | sort -z)

row() { # label, class
  printf '| %s | %d | %d |\n' "$1" "${count[before-$2]:-0}" "${count[after-$2]:-0}"
}
loaded=$((files - ${count[before-no-load]:-0}))
echo
echo "First pictures of the $files OBJ files below ${folder#"$root"/}, ${size}x$size:"
echo
echo "| | as the file puts it (\`--as-is\`) | as the viewer shows it |"
echo "|---|---:|---:|"
printf '| drawn by corvasi-render | %d | %d |\n' "$loaded" "$((files - ${count[after-no-load]:-0}))"
row "usable: at least an eighth of the picture, inside it" usable
row "specks: inside, smaller than an eighth" speck
row "cut by the picture's edges" cut
row "nothing drawn that differs from the background" nothing
echo
echo "Pictures left as they were (the same bytes): $same of the $loaded files drawn."
