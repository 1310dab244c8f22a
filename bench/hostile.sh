#!/usr/bin/env bash
# Loads hostile OBJ and MTL shapes (bench/hostile_obj.cpp) at a tenth of
# their size and at full size, natively and, with --wine, with the i686
# build under Wine, and prints one line per load: file size, load time, peak
# memory and result. Prints figures; it never fails on a slow result.
#   bash bench/hostile.sh [--wine] [SHAPE ...]
# Needs the native (and i686) trees built (scripts/build.sh). The files,
# about 1 GB in all, go to $CORVASI_HOSTILE_DATA (default build/hostile-data)
# and are removed after each shape. A load that takes longer than
# $CORVASI_HOSTILE_TIMEOUT seconds (600) is stopped and reported.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

wine=0
if [ "${1:-}" = --wine ]; then
  wine=1
  shift
fi
shapes=("$@")
[ ${#shapes[@]} -gt 0 ] || shapes=(corners comment numbers usemtl usemtl-faces materials newmtl)
data=${CORVASI_HOSTILE_DATA:-$root/build/hostile-data}
limit=${CORVASI_HOSTILE_TIMEOUT:-600}
tool=build/native/bench/hostile_obj
[ -x "$tool" ] || { echo "hostile.sh: build the native tree first" >&2; exit 1; }
if [ $wine = 1 ]; then
  [ -f build/i686/bench/hostile_obj.exe ] || { echo "hostile.sh: build the i686 tree first" >&2; exit 1; }
  export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
fi
mkdir -p "$data"

full_count() {
  case $1 in
    corners) echo 1000000 ;;
    comment | numbers) echo 100000000 ;;
    usemtl | usemtl-faces) echo 5000000 ;;
    *) echo 10000000 ;;
  esac
}

run() { # label, command...
  local label=$1 out status
  shift
  out=$(timeout "$limit" "$@" </dev/null 2>/dev/null | tr -d '\r'; exit "${PIPESTATUS[0]}")
  status=$?
  case $status in
    0 | 1) ;;
    124) out="did not finish in $limit s" ;;
    *) out="died with exit code $status: $(printf '%s\n' "$out" | head -1)" ;;
  esac
  printf '%-28s %s\n' "$label" "$out"
}

for shape in "${shapes[@]}"; do
  full=$(full_count "$shape")
  for count in $((full / 10)) "$full"; do
    file=$data/$shape-$count.obj
    "$tool" write "$shape" "$file" "$count" || continue
    run "$shape $count native" "$tool" load "$file"
    if [ $wine = 1 ]; then
      run "$shape $count i686" wine build/i686/bench/hostile_obj.exe load "Z:${file//\//\\}"
    fi
    rm -f "$file" "${file%.obj}.mtl"
  done
done
