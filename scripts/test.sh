#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the native, i686 and
# x86_64 trees, runs the native tests, then the Windows tests under Wine and
# Xvfb for both targets, and short fuzzing runs of the readers.
#
# The Windows tests mostly wait for Wine and the X server, so the tree whose
# programs the host runs is built and tested first, and the other builds and
# the fuzzing run beside its tests, niced so that the tests keep their pace.
#
# On a host that cannot run 32-bit programs (scripts/wine-env.sh finds out;
# CORVASI_FORCE_WIN64=1 takes that path anywhere) the i686 tree is built and
# packed, and its Windows tests are reported as skipped; the x86_64 tests run
# under Wine's 64-bit loader. The end-to-end, installation and setup tests
# run once, in the tree whose programs the host runs.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

# Where the time goes, shown at the end: wall time, and the processor time
# of the finished child processes (not Wine's server and services).
tick=$(getconf CLK_TCK)
cpu_ticks() { # [pid]
  local f
  read -r -a f </proc/"${1:-$$}"/stat
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
. scripts/wine-env.sh
first=$CORVASI_TARGET
if [ "$first" = i686 ]; then second=x86_64; else second=i686; fi
# Beside the first tree's build and tests, in two chains: the native and the
# second tree's builds, and the fuzzing. The first build leaves most of a
# core idle (linking) and the Windows tests mostly wait, so starting these
# at once keeps both cores busy. Each job writes "exit-code seconds
# cpu-seconds" to side/NAME.done when it ends.
side=$root/build/test-side
rm -rf "$side"
mkdir -p "$side"
# In a process group of its own, to be stopped as a whole, and not a child
# of this shell, whose processor time would then count its time too.
set -m
(
  side_chain() { # job...
    local me=$BASHPID job start cpu
    for job in "$@"; do
      start=$SECONDS cpu=$(cpu_ticks $me)
      if [ $job = fuzz ]; then
        nice -n 10 bash scripts/fuzz.sh 30 >"$side/$job.log" 2>&1
      else
        nice -n 10 bash scripts/build.sh $job >"$side/$job.log" 2>&1
      fi
      echo "$? $((SECONDS - start)) $((($(cpu_ticks $me) - cpu) / tick))" >"$side/$job.done"
    done
  }
  (side_chain native "$second") &
  (side_chain fuzz) &
) &
side_group=$!
wait $side_group
set +m

bash scripts/build.sh "$first" || { kill -- -$side_group 2>/dev/null; exit 1; }
phase_end "build $first"
# Waits for side/NAME.done and reads it into side_rc, side_time, side_cpu.
wait_side() { # name
  while [ ! -f "$side/$1.done" ] && kill -0 -- -$side_group 2>/dev/null; do sleep 1; done
  read -r side_rc side_time side_cpu <"$side/$1.done" 2>/dev/null || side_rc=1 side_time=? side_cpu=?
}

export WINEPREFIX=$root/build/wineprefix
. scripts/display.sh
corvasi_quiet_wine

# One X server for every Windows test: anything that opens a window or a
# rendering context draws on it with Mesa's llvmpipe.
corvasi_start_display 99 1280x1024x24
cleanup() {
  kill -- -$side_group 2>/dev/null
  wineserver -k >/dev/null 2>&1
  kill $xvfb_pid 2>/dev/null
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Keep one wineserver alive for all test executables (a new prefix is made
# in it too), and start Wine's background processes now, with no test's
# output pipe to hold open.
corvasi_keep_wineserver
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
run_windows_tests() { # tree
  if [ "$1" = i686 ] && [ -n "$CORVASI_NO32" ]; then
    # The release archive needs no Wine.
    run_ctest i686 build/i686 -L '^package$'
    local n
    n=$(ctest --test-dir build/i686 -N -LE '^package$' | sed -n -E 's/^Total Tests: ([0-9]+)/\1/p')
    echo "i686: ${n:-?} Windows tests skipped: $CORVASI_NO32"
    skipped=$((skipped + ${n:-0}))
  elif [ "$1" = "$first" ]; then
    run_ctest "$1" "build/$1"
  else
    run_ctest "$1" "build/$1" -LE '^(e2e|install|setup)$'
  fi
}

run_windows_tests "$first"

for tree in native "$second"; do
  echo "=== $tree build (beside the tests above)"
  wait_side $tree
  cat "$side/$tree.log"
  times+=("build $tree $side_time s beside them (CPU $side_cpu s)")
  phase_end "waiting for the $tree build"
  if [ "$side_rc" != 0 ]; then
    echo "build.sh: the $tree build failed; its tests are not run"
    failed=$((failed + 1))
    failed_suites+=("$tree build")
  elif [ $tree = native ]; then
    run_ctest native build/native
  else
    run_windows_tests "$tree"
  fi
done

echo "=== fuzzing (30 s a target, beside the tests above)"
wait_side fuzz
cat "$side/fuzz.log"
times+=("fuzzing $side_time s beside them (CPU $side_cpu s)")
phase_end "waiting for the fuzzing"
if [ "$side_rc" = 0 ]; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
  failed_suites+=(fuzzing)
fi

echo
echo "Time: $SECONDS s in all"
printf '  %s\n' "${times[@]}"
if [ ${#failed_suites[@]} -gt 0 ]; then
  echo "Failing: ${failed_suites[*]}"
fi
summary="$passed passed, $failed failed"
[ $skipped -eq 0 ] || summary+=", $skipped skipped"
echo "$summary"
[ ${#failed_suites[@]} -eq 0 ]
