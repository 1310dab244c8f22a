#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the native, i686 and
# x86_64 trees, runs the native tests, then the Windows tests under Wine
# and Xvfb for both targets, and short fuzzing runs of the readers beside
# the Windows tests (the fuzzer keeps a core busy; the Windows tests mostly
# wait for Wine and the X server).
#
# On a host that cannot run 32-bit programs (scripts/wine-env.sh finds out;
# CORVASI_FORCE_WIN64=1 takes that path anywhere) the i686 tree is built and
# packed, and its Windows tests are reported as skipped; the x86_64 tests run
# under Wine's 64-bit loader. The end-to-end and installation tests run once,
# in the tree whose programs the host runs.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

# Where the time goes, shown at the end: wall time, and the processor time
# of the finished child processes (not Wine's server and services).
tick=$(getconf CLK_TCK)
cpu_ticks() {
  local f
  read -r -a f </proc/$$/stat
  echo $((f[15] + f[16]))
}
times=()
phase_start=$SECONDS
phase_cpu=$(cpu_ticks)
phase_end() { # name
  local cpu
  cpu=$(cpu_ticks)
  times+=("$1 $((SECONDS - phase_start)) s (CPU $(((cpu - phase_cpu) / tick)) s)")
  phase_start=$SECONDS phase_cpu=$cpu
}

bash scripts/install-deps.sh || exit 1
for tree in native i686 x86_64; do
  bash scripts/build.sh $tree || exit 1
  phase_end "build $tree"
done

. scripts/wine-env.sh
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
fuzz_pid=
cleanup() {
  [ -z "$fuzz_pid" ] || kill "$fuzz_pid" 2>/dev/null
  wineserver -k >/dev/null 2>&1
  kill $xvfb_pid 2>/dev/null
}
trap cleanup EXIT
for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$display ] && break; sleep 0.1; done

# Keep one wineserver alive for all test executables (it also keeps a new
# prefix's first start from being undone), and start Wine's background
# processes now, with no test's output pipe to hold open.
mkdir -p "$WINEPREFIX"
wineserver -p
if [ ! -f "$WINEPREFIX/.update-timestamp" ]; then
  echo "Creating the Wine prefix in build/wineprefix"
  "$CORVASI_WINE" wineboot -i >/dev/null 2>&1
fi
"$CORVASI_WINE" cmd /c exit >/dev/null 2>&1 </dev/null
phase_end "Wine prefix and start"

passed=0
failed=0
skipped=0
failed_suites=()
run_ctest() { # name, build dir, ctest options...
  local name=$1 dir=$2 out
  shift 2
  echo "=== $name tests"
  out=$(ctest --test-dir "$dir" --output-on-failure "$@" 2>&1)
  local rc=$?
  echo "$out"
  local line p t s
  line=$(echo "$out" | grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' | tail -1)
  if [ -n "$line" ]; then
    t=$(echo "$line" | sed -E 's/.* out of ([0-9]+).*/\1/')
    p=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed.*/\1/')
    s=$(echo "$out" | grep -c -E '\(Skipped\)$')
    passed=$((passed + t - p - s))
    failed=$((failed + p))
    skipped=$((skipped + s))
  fi
  if [ $rc -ne 0 ] || [ -z "$line" ]; then
    failed_suites+=("$name")
    [ -n "$line" ] || failed=$((failed + 1))
  fi
  phase_end "$name tests"
}
# The end-to-end and installation tests, only in the tree the host runs.
i686_only=() x86_64_only=()
if [ "$CORVASI_TARGET" = i686 ]; then
  x86_64_only=(-LE '^(e2e|install)$')
else
  i686_only=(-LE '^(e2e|install)$')
fi

run_ctest native build/native

# Short fuzzing runs of every reader, so that a regression shows; niced, so
# that the Windows tests keep their pace.
echo "=== fuzzing (30 s a target), beside the Windows tests"
fuzz_log=$root/build/fuzz.log
nice -n 10 bash scripts/fuzz.sh 30 >"$fuzz_log" 2>&1 &
fuzz_pid=$!
fuzz_start=$SECONDS

if [ -z "$CORVASI_NO32" ]; then
  run_ctest i686 build/i686 "${i686_only[@]}"
else
  # The release archive needs no Wine.
  run_ctest i686 build/i686 -L '^package$'
  n=$(ctest --test-dir build/i686 -N -LE '^package$' | sed -n -E 's/^Total Tests: ([0-9]+)/\1/p')
  echo "i686: ${n:-?} Windows tests skipped: $CORVASI_NO32"
  skipped=$((skipped + ${n:-0}))
fi
run_ctest x86_64 build/x86_64 "${x86_64_only[@]}"

echo "=== fuzzing"
wait "$fuzz_pid"
fuzz_rc=$?
fuzz_pid=
cat "$fuzz_log"
cpu=$(cpu_ticks)
times+=("fuzzing $((SECONDS - fuzz_start)) s beside them (CPU $(((cpu - phase_cpu) / tick)) s)")
phase_cpu=$cpu
if [ $fuzz_rc -eq 0 ]; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
  failed_suites+=(fuzzing)
fi
phase_end "waiting for the fuzzer"

echo
echo "Time: $SECONDS s in all"
printf '  %s\n' "${times[@]}"
if [ ${#failed_suites[@]} -gt 0 ]; then
  echo "Failing trees: ${failed_suites[*]}"
fi
summary="$passed passed, $failed failed"
[ $skipped -eq 0 ] || summary+=", $skipped skipped"
echo "$summary"
[ ${#failed_suites[@]} -eq 0 ]
