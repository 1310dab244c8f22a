#!/usr/bin/env bash
# Configures and builds the native, i686 and x86_64 trees under build/.
#   scripts/build.sh [native|i686|x86_64 ...]   (all three by default)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(native i686 x86_64)
jobs=$(nproc)

for t in "${targets[@]}"; do
  dir=$root/build/$t
  args=(-S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo)
  case $t in
    native) ;;
    i686|x86_64) args+=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$t.cmake") ;;
    *) echo "build.sh: unknown target $t" >&2; exit 2 ;;
  esac
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake "${args[@]}" >/dev/null
  fi
  log=$dir/build.log
  if ! cmake --build "$dir" -j "$jobs" >"$log" 2>&1; then
    grep -v -E '^\[ *[0-9]+%\] ' "$log" >&2 || true
    echo "build.sh: the $t build failed" >&2
    exit 1
  fi
  # Show warnings; hide the progress lines.
  grep -i -E 'warning|error' "$log" || true
done
