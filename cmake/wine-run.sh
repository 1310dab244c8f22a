#!/usr/bin/env bash
# Runs a Windows executable under Wine with the build tree's own prefix.
# WINEPREFIX may be set by the caller (the test script shares one prefix between trees).
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$here/scripts/wine-env.sh"
export WINEPREFIX=${WINEPREFIX:-$here/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer pop-ups.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if ! corvasi_wine_runs "$1"; then
  echo "wine-run.sh: cannot run the 32-bit $(basename "$1"): $CORVASI_NO32" >&2
  exit 1
fi
exec "$CORVASI_WINE" "$@"
