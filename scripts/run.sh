#!/usr/bin/env bash
# Runs the viewer under Wine: `scripts/run.sh [MESH.obj]`, by default on the
# sample torus. Builds what is missing first. Needs a display ($DISPLAY), or
# run it under xvfb-run.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh
[ -x build/i686/corvasi.exe ] || bash scripts/build.sh i686

mesh=${1:-$root/samples/torus.obj}
case $mesh in
  /*) ;;
  *) mesh=$PWD/$mesh ;;
esac

export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# Wine reads a Unix path through its Z: drive.
exec wine build/i686/corvasi.exe "Z:${mesh//\//\\}"
