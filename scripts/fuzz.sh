#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UBSan in
# build/fuzz and runs each for a while from its seeds, keeping what it learns
# in build/fuzz-corpus/<target>.
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET ...]
# 30 seconds and every target (fuzz_obj fuzz_line fuzz_tga fuzz_bmp fuzz_dib
# fuzz_wide fuzz_texture) by default; the targets run one after another. Fails when a
# target reports a crash, a leak, a sanitizer error, a broken invariant or a
# timeout; the input that did it is kept in build/fuzz-artifacts/<target>/.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

seconds=${1:-30}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_obj fuzz_line fuzz_tga fuzz_bmp fuzz_dib fuzz_wide fuzz_texture)
case $seconds in
  '' | *[!0-9]* | 0) echo "fuzz.sh: SECONDS_PER_TARGET must be a positive number" >&2; exit 2 ;;
esac

bash scripts/install-deps.sh || exit 1

# Build; a lock lets two runs for different targets start side by side.
build=$root/build/fuzz
mkdir -p "$build"
(
  flock 9
  if [ ! -f "$build/CMakeCache.txt" ]; then
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCORVASI_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null || exit 1
  fi
  if ! cmake --build "$build" -j "$(nproc)" >"$build/build.log" 2>&1; then
    grep -v -E '^\[ *[0-9]+%\] ' "$build/build.log" >&2
    echo "fuzz.sh: the fuzz build failed" >&2
    exit 1
  fi
  grep -i -E 'warning|error' "$build/build.log"
  exit 0
) 9>"$build/.lock" || exit 1

# The targets write the files that the readers open by name here (tmpfs).
shm=/dev/shm
[ -d "$shm" ] && [ -w "$shm" ] || shm=${TMPDIR:-/tmp}
scratch=$(mktemp -d "$shm/corvasi-fuzz.XXXXXX") || exit 1
trap 'rm -rf "$scratch"' EXIT
export CORVASI_FUZZ_TMP=$scratch
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

shared=$root/../shared/testdata
max_seed=65536

# Seeds are made afresh from the test files on every run.
#   fuzz_obj:  flags byte (triangulate, +text mode or +tolerant rules alone; or
#              text mode compared with 5 threads and large parts, by the
#              tolerant rules alone too), OBJ, "\0mtl\0", MTL beside it
#   fuzz_line: flags byte (raw, text mode), OBJ or MTL file
#   fuzz_tga:  TGA file as it is
#   fuzz_bmp:  BMP file as it is
#   fuzz_dib:  BMP file without its 14-byte file header (a packed DIB)
#   fuzz_texture: PNG, JPEG, BMP and TGA files as they are
#   fuzz_wide: capacity byte, then the OBJ or MTL file as UTF-16 with a
#              byte-order mark and CR LF line ends
make_seeds() { # target, seed folder
  local target=$1 dir=$2 n=0 file mtl
  rm -rf "$dir"
  mkdir -p "$dir"
  case $target in
    fuzz_obj)
      while IFS= read -r -d '' file; do
        n=$((n + 1))
        mtl=${file%.*}.mtl
        for flags in 001 003 011 266; do
          {
            printf "\\$flags"
            cat "$file"
            if [ -f "$mtl" ]; then
              printf '\000mtl\000'
              cat "$mtl"
            fi
          } >"$dir/$n-$flags-$(basename "$file")"
        done
      done < <(find "$shared/obj" "$root/tests/data" -type f -iname '*.obj' -size -${max_seed}c -print0 2>/dev/null | sort -z)
      ;;
    fuzz_line)
      while IFS= read -r -d '' file; do
        n=$((n + 1))
        for flags in 000 001; do
          { printf "\\$flags"; cat "$file"; } >"$dir/$n-$flags-$(basename "$file")"
        done
      done < <(find "$shared/obj" "$root/tests/data" -type f \( -iname '*.obj' -o -iname '*.mtl' \) \
                 -size -${max_seed}c -print0 2>/dev/null | sort -z)
      ;;
    fuzz_tga)
      while IFS= read -r -d '' file; do
        n=$((n + 1))
        cp "$file" "$dir/$n-$(basename "$file")"
      done < <(find "$shared/tga" "$root/tests/data" -type f -iname '*.tga' -size -${max_seed}c -print0 2>/dev/null | sort -z)
      ;;
    fuzz_bmp | fuzz_dib)
      while IFS= read -r -d '' file; do
        n=$((n + 1))
        if [ "$target" = fuzz_bmp ]; then
          cp "$file" "$dir/$n-$(basename "$file")"
        else
          tail -c +15 "$file" >"$dir/$n-$(basename "$file")"
        fi
      done < <(find "$shared/bmp" "$root/tests/data" -type f -iname '*.bmp' -size -${max_seed}c -print0 2>/dev/null | sort -z)
      ;;
    fuzz_texture)
      while IFS= read -r -d '' file; do
        n=$((n + 1))
        cp "$file" "$dir/$n-$(basename "$file")"
      done < <(find "$shared" "$root/tests/data" "$root/samples" -type f \( -iname '*.png' -o -iname '*.jpg' \
                 -o -iname '*.jpeg' \) -size -16384c -print0 2>/dev/null | sort -z | head -z -n 150)
      while IFS= read -r -d '' file; do
        n=$((n + 1))
        cp "$file" "$dir/$n-$(basename "$file")"
      done < <(find "$shared/bmp/bmpsuite-2.8/g" "$shared/tga/pillow" "$root/samples" -type f \
                 \( -iname '*.bmp' -o -iname '*.tga' \) -size -8192c -print0 2>/dev/null | sort -z | head -z -n 40)
      ;;
    fuzz_wide)
      # Small text files only: the target checks every line of a file.
      while IFS= read -r -d '' file; do
        n=$((n + 1))
        for capacity in 003 041 077; do
          { printf "\\$capacity\\377\\376"; sed 's/$/\r/' "$file" | iconv -f ISO-8859-1 -t UTF-16LE; } \
            >"$dir/$n-$capacity-$(basename "$file")"
        done
      done < <(find "$shared/obj" "$root/tests/data" -type f \( -iname '*.obj' -o -iname '*.mtl' \) \
                 -size -4096c -print0 2>/dev/null | sort -z | head -z -n 60)
      ;;
  esac
}

# A value from a libFuzzer log: the last "key: value" of a status line, or a
# final statistic.
status_value() { # log, key
  grep -E "^#[0-9]+" "$1" | tail -1 | sed -n -E "s/.* $2: ([0-9]+[a-zA-Z]*).*/\\1/p"
}
final_stat() { # log, name
  sed -n -E "s/^stat::$2: *([0-9]+).*/\\1/p" "$1" | tail -1
}

failed=()
for target in "${targets[@]}"; do
  binary=$build/fuzz/$target
  if [ ! -x "$binary" ]; then
    echo "fuzz.sh: no target $target" >&2
    failed+=("$target")
    continue
  fi
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1)
  case $target in
    fuzz_obj | fuzz_line) options+=(-dict="$root/fuzz/obj.dict" -max_len=16384) ;;
    fuzz_tga | fuzz_bmp | fuzz_dib) options+=(-max_len=$max_seed) ;;
    fuzz_wide) options+=(-max_len=16384) ;;
    # Small pictures: a PNG may give a thousand bytes of rows for each of its
    # own, and larger inputs only slow the search down. No picture of 4 KiB
    # needs a block of 256 MiB: a larger one is a fault.
    fuzz_texture) options+=(-max_len=4096 -malloc_limit_mb=256) ;;
  esac
  corpus=$root/build/fuzz-corpus/$target
  seeds=$root/build/fuzz-seeds/$target
  artifacts=$root/build/fuzz-artifacts/$target
  log=$root/build/fuzz-logs/$target.log
  mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
  make_seeds "$target" "$seeds"

  "$binary" "${options[@]}" -artifact_prefix="$artifacts/" "$corpus" "$seeds" >"$log" 2>&1
  rc=$?

  runs=$(final_stat "$log" number_of_executed_units)
  speed=$(final_stat "$log" average_exec_per_sec)
  printf '%-10s %4s s  %10s runs  %6s exec/s  cov: %s  ft: %s  corpus: %s inputs\n' "$target" "$seconds" \
    "${runs:-?}" "${speed:-?}" "$(status_value "$log" cov)" "$(status_value "$log" ft)" \
    "$(find "$corpus" -type f | wc -l)"
  if [ $rc -ne 0 ] || grep -q -E 'ERROR: (AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer|libFuzzer)|runtime error:|fuzz invariant broken|^SUMMARY: ' "$log"; then
    echo "  FAILED (exit $rc); log: ${log#"$root"/}"
    grep -E -A 12 'ERROR: |runtime error:|fuzz invariant broken' "$log" | head -40 | sed 's/^/  /'
    grep -o -E 'Test unit written to .*' "$log" | sed -E "s#Test unit written to (.*)#  input: \\1\\n  replay: ${binary#"$root"/} \\1#"
    failed+=("$target")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "Failing fuzz targets: ${failed[*]}"
  exit 1
fi
echo "No crash in ${targets[*]}"
