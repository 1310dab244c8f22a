#!/usr/bin/env bash
# Runs app_tests of one Windows tree again and again on a busy machine: as
# many CPU-bound processes as there are cores run beside it at the lowest
# priority (nice 19), as when fuzzing or another build shares the machine.
# A test that waits for another thread or for Wine without a deadline, or
# reads what the other side has not written yet, fails here sooner or later.
#
#   scripts/stress-tests.sh [TREE] [ROUNDS] [--filter=PATTERN] [--burners=N]
#                           [--no-build]
#
# TREE is i686 or x86_64 (by default the tree whose programs the host runs,
# as scripts/wine-env.sh finds out; i686 is refused on a host that cannot
# run 32-bit programs). ROUNDS is 10 by default. --filter passes a
# GoogleTest filter (say 'LongUse*Depth*'), --burners another number of
# busy processes (0: a quiet run to compare with). Prints a line per round
# and a summary; exits 1 when any round failed. Each round's output is kept
# in build/stress-TREE/round-N.log. Builds app_tests first unless
# --no-build is given.
#
# The Wine prefix is build/wineprefix, as for scripts/test.sh, or
# WINEPREFIX. Two runs at the same time need a prefix each: the tests find
# their dialogs by title among every window of the prefix's desktop.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
. scripts/wine-env.sh

tree=$CORVASI_TARGET
rounds=10
filter=
burners=$(nproc)
build=1
for arg in "$@"; do
  case $arg in
    i686 | x86_64) tree=$arg ;;
    --filter=*) filter=${arg#--filter=} ;;
    --burners=*) burners=${arg#--burners=} ;;
    --no-build) build= ;;
    *[!0-9]* | '')
      echo "usage: stress-tests.sh [i686|x86_64] [ROUNDS] [--filter=PATTERN] [--burners=N] [--no-build]" >&2
      exit 2
      ;;
    *) rounds=$arg ;;
  esac
done
[ "$rounds" -gt 0 ] || { echo "stress-tests.sh: no rounds to run" >&2; exit 2; }
if [ "$tree" = i686 ] && [ -n "$CORVASI_NO32" ]; then
  echo "stress-tests.sh: the i686 tests cannot run here: $CORVASI_NO32" >&2
  exit 2
fi
if [ -n "$build" ]; then
  # app_tests and the programs it runs; the whole tree when not configured yet.
  if [ -f "build/$tree/CMakeCache.txt" ]; then
    out=$(cmake --build "build/$tree" -j "$(nproc)" --target app_tests 2>&1) || {
      echo "$out" >&2
      echo "stress-tests.sh: the $tree build failed" >&2
      exit 1
    }
  else
    bash scripts/build.sh "$tree" || exit 1
  fi
fi
dir=$root/build/$tree/tests
exe=$dir/app/app_tests.exe
[ -f "$exe" ] || { echo "stress-tests.sh: no $exe; build the $tree tree first" >&2; exit 1; }
logs=$root/build/stress-$tree
rm -rf "$logs"
mkdir -p "$logs"

. scripts/display.sh
corvasi_quiet_wine
corvasi_start_display 99 1280x1024x24
burner_pids=()
cleanup() {
  [ ${#burner_pids[@]} -eq 0 ] || kill "${burner_pids[@]}" 2>/dev/null
  wineserver -k >/dev/null 2>&1
  kill $xvfb_pid 2>/dev/null
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

corvasi_keep_wineserver
# What ctest's wine_settings fixture does before the tests: the test
# programs' windows are left unmanaged (Xvfb has no window manager).
settings=$(cd "$dir" && pwd)/wine-test-settings.reg
[ ! -f "$settings" ] || "$CORVASI_WINE" regedit /S "Z:${settings//\//\\}" >/dev/null 2>&1 </dev/null

for _ in $(seq "$burners"); do
  nice -n 19 bash -c 'while :; do :; done' &
  burner_pids+=($!)
done
echo "$tree: app_tests, $rounds rounds${filter:+ (--gtest_filter=$filter)}, $burners busy processes at nice 19 beside it, load average $(cut -d' ' -f1-3 /proc/loadavg)"

failed=0
times=()
args=(--gtest_color=no)
[ -z "$filter" ] || args+=(--gtest_filter="$filter")
for round in $(seq "$rounds"); do
  log=$logs/round-$round.log
  start=$SECONDS
  # The ctest timeout of app_tests.
  (cd "$dir/app" && timeout 600 bash "$root/cmake/wine-run.sh" "$exe" "${args[@]}") >"$log" 2>&1 </dev/null
  rc=$?
  took=$((SECONDS - start))
  times+=("$took")
  if [ $rc -eq 0 ] && grep -q '^\[  PASSED  \]' "$log"; then
    echo "round $round/$rounds: passed in $took s"
  else
    failed=$((failed + 1))
    why=$(tr -d '\r' <"$log" | sed -n -E 's/^\[  FAILED  \] ([^ ,]+)( \(.*|, .*)?$/\1/p' | sort -u | tr '\n' ' ')
    if [ $rc -eq 124 ]; then
      why="timed out after 600 s $why"
      # What is left of the stuck program is not to meet the next round.
      wineserver -k >/dev/null 2>&1
      wineserver -p
    fi
    echo "round $round/$rounds: FAILED in $took s (exit code $rc): ${why:-see $log}"
  fi
done

total=0 low=${times[0]} high=${times[0]}
for t in "${times[@]}"; do
  total=$((total + t))
  [ "$t" -ge "$low" ] || low=$t
  [ "$t" -le "$high" ] || high=$t
done
echo "$tree: $rounds rounds, $((rounds - failed)) passed, $failed failed;" \
  "$((total / rounds)) s a round (from $low to $high s), $total s in all;" \
  "load average $(cut -d' ' -f1-3 /proc/loadavg)"
[ $failed -eq 0 ]
