#!/usr/bin/env bash
# Load benchmark: our OBJ reader against tinyobjloader, natively and under
# Wine for i686 and x86_64; then the frame benchmark on i686 under Wine and
# Xvfb. Prints figures; it is not a test and never fails on a slow result.
#   bash scripts/bench.sh [RUNS]        (5 runs per loader by default)
#
# Builds the trees first if they are missing (scripts/build.sh), otherwise
# only the two bench tools. Writes the test meshes once into build/bench-data
# (about 85 MB and 450 MB; set CORVASI_BENCH_DATA to put them elsewhere):
#   grid-1m.obj  1,000,000 triangles, quads with texture coordinates, normals
#                and 8 materials; timed on every tree
#   grid-5m.obj  5,000,000 triangles, the same; only checks that the 32-bit
#                build loads it inside its 2 GB address space
#   bash scripts/bench.sh [RUNS] --threads
#                                       only the reading on 1, 2 and every core:
#                                       each configuration a process of its own,
#                                       taking turns, on both grids, natively and
#                                       under Wine. CORVASI_BENCH_BEFORE=DIR adds
#                                       the one-thread reading of the build trees
#                                       under DIR/build (an earlier checkout).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
runs=5
threads_only=
for a in "$@"; do
  case $a in
    --threads) threads_only=1 ;;
    *) runs=$a ;;
  esac
done
data=${CORVASI_BENCH_DATA:-$root/build/bench-data}
trees=(native i686 x86_64)

for t in "${trees[@]}"; do
  if [ -f "build/$t/CMakeCache.txt" ]; then
    cmake --build "build/$t" --target make_grid bench_load -j "$(nproc)" >/dev/null
  else
    bash scripts/build.sh "$t"
  fi
done

mkdir -p "$data"
make_mesh() { # name, triangles
  [ -f "$data/$1.obj" ] || build/native/bench/make_grid "$data/$1.obj" "$2" --quads --materials 8
}
make_mesh grid-1m 1000000
make_mesh grid-5m 5000000

. scripts/wine-env.sh
[ -z "$CORVASI_NO32" ] || echo "Windows programs: x86_64 only ($CORVASI_NO32)"
export WINEPREFIX=$root/build/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -d "$WINEPREFIX" ]; then
  echo "Creating the Wine prefix in build/wineprefix"
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi

# Runs bench_load of one tree of the checkout at top; Wine wants the file as
# a Windows path.
bench_in() { # top, tree, file, arguments...
  local top=$1 tree=$2 file=$3
  shift 3
  if [ "$tree" = native ]; then
    "$top/build/native/bench/bench_load" "$file" "$@"
  else
    [ -z "$CORVASI_NO32" ] || [ "$tree" != i686 ] || { echo "(i686 not run: $CORVASI_NO32)"; return 0; }
    $CORVASI_WINE "$top/build/$tree/bench/bench_load.exe" "Z:${file//\//\\}" "$@" </dev/null 2>/dev/null | tr -d '\r'
  fi
}
bench() { # tree, file, arguments...
  bench_in "$root" "$@"
}

# Each configuration of the reading in a process of its own, taking turns
# over the rounds; prints every round's median and the median of those.
threads_table() { # tree, file, runs a process, rounds
  local tree=$1 file=$2 n=$3 rounds=$4 name
  local -a configs=("1:--threads 1" "2:--threads 2" "every core:--threads 0" "tinyobjloader:--only tiny")
  [ -z "${CORVASI_BENCH_BEFORE:-}" ] || configs=("before:BEFORE" "${configs[@]}")
  declare -A times peaks
  for ((r = 0; r < rounds; r++)); do
    for c in "${configs[@]}"; do
      name=${c%%:*}
      local -a args=(--only ours ${c#*:})
      local out
      if [ "${c#*:}" = BEFORE ]; then
        out=$(bench_in "$CORVASI_BENCH_BEFORE" "$tree" "$file" "$n" --only ours || true)
      elif [ "$name" = tinyobjloader ]; then
        out=$(bench "$tree" "$file" "$n" --only tiny || true)
      else
        out=$(bench "$tree" "$file" "$n" "${args[@]}" || true)
      fi
      times[$name]+=" $(printf '%s\n' "$out" | awk '/load \(median\)/ { print $(NF - 1) }')"
      peaks[$name]=$(printf '%s\n' "$out" | awk '/peak above start/ { print $(NF - 1) }')
    done
  done
  for c in "${configs[@]}"; do
    name=${c%%:*}
    printf '%-16s medians%s s; median %s s; peak above start %s MB\n' "$name" "${times[$name]}" \
      "$(printf '%s\n' ${times[$name]} | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')" \
      "${peaks[$name]:-?}"
  done
}

if [ -n "$threads_only" ]; then
  echo "Machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
  for t in "${trees[@]}"; do
    [ -z "$CORVASI_NO32" ] || [ "$t" != i686 ] || continue
    echo
    echo "=== $t: grid-1m.obj, $runs runs a process, 5 rounds"
    threads_table "$t" "$data/grid-1m.obj" "$runs" 5
    echo "=== $t: grid-5m.obj, 3 runs a process, 3 rounds"
    threads_table "$t" "$data/grid-5m.obj" 3 3
  done
  echo "load average afterwards $(cut -d' ' -f1-3 /proc/loadavg)"
  exit 0
fi

echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //'), $(free -g | awk '/^Mem:/ {print $2}') GB memory"
for t in "${trees[@]}"; do
  echo
  echo "=== $t: grid-1m.obj, $runs runs each"
  # Timings, sizes and our peak memory (ours runs first).
  bench "$t" "$data/grid-1m.obj" "$runs" || true
  # Each loader in a process of its own: taking turns in one process, a
  # loader may reuse the pages that the other one freed.
  ours=$(bench "$t" "$data/grid-1m.obj" "$runs" --only ours || true)
  tiny=$(bench "$t" "$data/grid-1m.obj" "$runs" --only tiny || true)
  echo "--- each loader in a process of its own"
  printf '%s\n%s\n' "$ours" "$tiny" | grep -E '(load \(median\)|peak above start|peak / returned)' || true
  printf '%s\n%s\n' "$ours" "$tiny" | awk '
    /^ours load \(median\)/ { o = $(NF - 1) }
    /^tinyobjloader load \(median\)/ { t = $(NF - 1) }
    END { if (o > 0 && t > 0) printf "%-34s %.3f\n", "time ratio ours/tinyobjloader", o / t }'
done

echo
echo "=== i686: grid-5m.obj, 1 run each, each loader in its own process"
bench i686 "$data/grid-5m.obj" 1 --only ours || echo "ours: the 32-bit build did not load the 5M-triangle file"
bench i686 "$data/grid-5m.obj" 1 --only tiny | grep -E 'tinyobjloader (load|triangles|peak)|FAILED' || true

# Frames: the viewer's plain and anaglyph frames against the same triangles
# from vertex arrays, in a 512 x 512 viewer window on a private Xvfb display;
# also each frame with a glBegin/glEnd pair per triangle, the way the viewer
# drew at first; then the time to the first picture after opening the mesh.
echo
echo "=== $CORVASI_TARGET: frames of grid-1m.obj, 10 of each kind"
cmake "build/$CORVASI_TARGET" >/dev/null
cmake --build "build/$CORVASI_TARGET" --target bench_frame -j "$(nproc)" >/dev/null
frame_file=$data/grid-1m.obj
xvfb-run -a -s "-screen 0 1280x1024x24" \
  $CORVASI_WINE "build/$CORVASI_TARGET/bench/bench_frame.exe" "Z:${frame_file//\//\\}" 10 --each-triangle </dev/null 2>/dev/null |
  tr -d '\r' || echo "bench_frame failed"
