#!/usr/bin/env bash
# Runs the viewer under Wine: `scripts/run.sh [MESH.obj]`, by default on the
# sample torus: the 32-bit program where this host runs 32-bit programs, else
# the 64-bit one (scripts/wine-env.sh). Builds what is missing first. Needs a
# display ($DISPLAY), or run it under xvfb-run.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh
. scripts/wine-env.sh
exe=build/$CORVASI_TARGET/corvasi.exe
[ -x "$exe" ] || bash scripts/build.sh "$CORVASI_TARGET"

mesh=${1:-$root/samples/torus.obj}
case $mesh in
  /*) ;;
  *) mesh=$PWD/$mesh ;;
esac

export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# Wine reads a Unix path through its Z: drive.
exec "$CORVASI_WINE" "$exe" "Z:${mesh//\//\\}"
