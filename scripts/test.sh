#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the native, i686 and
# x86_64 trees, runs the native tests, then the Windows tests under Wine
# and Xvfb for both targets, then short fuzzing runs of the readers.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh || exit 1
bash scripts/build.sh native i686 x86_64 || exit 1

export WINEPREFIX=$root/build/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# One X server for every Windows test: anything that opens a window or a
# rendering context draws on it with Mesa's llvmpipe.
display=99
while [ -e /tmp/.X11-unix/X$display ] || [ -e /tmp/.X$display-lock ]; do display=$((display + 1)); done
Xvfb :$display -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=:$display
for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$display ] && break; sleep 0.1; done
cleanup() {
  wineserver -k >/dev/null 2>&1
  kill $xvfb_pid 2>/dev/null
}
trap cleanup EXIT

if [ ! -d "$WINEPREFIX" ]; then
  echo "Creating the Wine prefix in build/wineprefix"
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi
# Keep one wineserver alive for all test executables, and start Wine's
# background processes now, with no test's output pipe to hold open.
wineserver -p
wine cmd /c exit >/dev/null 2>&1 </dev/null

passed=0
failed=0
failed_suites=()
run_ctest() { # name, build dir
  local name=$1 dir=$2 out
  echo "=== $name tests"
  out=$(ctest --test-dir "$dir" --output-on-failure 2>&1)
  local rc=$?
  echo "$out"
  local line p t
  line=$(echo "$out" | grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' | tail -1)
  if [ -n "$line" ]; then
    t=$(echo "$line" | sed -E 's/.* out of ([0-9]+).*/\1/')
    p=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed.*/\1/')
    passed=$((passed + t - p))
    failed=$((failed + p))
  fi
  if [ $rc -ne 0 ] || [ -z "$line" ]; then
    failed_suites+=("$name")
    [ -n "$line" ] || failed=$((failed + 1))
  fi
}

run_ctest native build/native
run_ctest i686 build/i686
run_ctest x86_64 build/x86_64

# Short fuzzing runs of every reader, so that a regression shows.
echo "=== fuzzing (30 s a target)"
if bash scripts/fuzz.sh 30; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
  failed_suites+=(fuzzing)
fi

echo
if [ ${#failed_suites[@]} -gt 0 ]; then
  echo "Failing trees: ${failed_suites[*]}"
fi
echo "$passed passed, $failed failed"
[ ${#failed_suites[@]} -eq 0 ]
