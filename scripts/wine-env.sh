# Sourced by every script that runs a Windows program under Wine: finds out
# whether this host runs 32-bit programs and picks the Wine to run with.
#
# Many Linux hosts refuse 32-bit programs. Debian's `wine` then still picks
# Wine's 32-bit loader, which fails with "Exec format error"; 64-bit Windows
# programs run there through Wine's 64-bit loader with WINELOADER set to it.
#
# Sets, and exports:
#   CORVASI_WINE     the command that runs a Windows program
#   CORVASI_TARGET   the build tree to run: i686 where 32-bit programs run,
#                    x86_64 otherwise
#   CORVASI_NO32     why 32-bit programs do not run, on one line; empty where
#                    they do
#   WINELOADER       the 64-bit loader, on the 64-bit path
# CORVASI_FORCE_WIN64=1 takes the 64-bit path where 32-bit programs would run.
# CORVASI_WINE_DIR is where Wine's loaders are (Debian's /usr/lib/wine).
#
# corvasi_wine_runs EXE succeeds when the picked Wine can run that program.

corvasi_wine_pick() {
  local dir=${CORVASI_WINE_DIR:-/usr/lib/wine} why
  CORVASI_NO32=
  if [ -n "${CORVASI_FORCE_WIN64:-}" ] && [ "$CORVASI_FORCE_WIN64" != 0 ]; then
    CORVASI_NO32="CORVASI_FORCE_WIN64 is set"
  elif [ -e "$dir/wine" ]; then
    # The 32-bit loader runs, or the kernel refuses it (Exec format error).
    if why=$("$dir/wine" --version 2>&1 >/dev/null); then
      :
    else
      CORVASI_NO32="this host cannot run 32-bit programs (Wine's 32-bit loader: ${why##*: })"
    fi
  elif [ -e "$dir/wine64" ]; then
    CORVASI_NO32="Wine's 32-bit loader is not installed (Debian: wine32)"
  fi
  # Elsewhere (not Debian's layout) `wine` is trusted to run both.

  if [ -z "$CORVASI_NO32" ]; then
    CORVASI_WINE=wine
    CORVASI_TARGET=i686
    # A 64-bit loader left over from a forced parent would start 32-bit
    # children with the wrong loader.
    [ "${WINELOADER:-}" != "$dir/wine64" ] || unset WINELOADER
  else
    CORVASI_TARGET=x86_64
    if [ -x "$dir/wine64" ]; then
      CORVASI_WINE=$dir/wine64
      export WINELOADER=$dir/wine64
    else
      CORVASI_WINE=wine64
    fi
  fi
  export CORVASI_WINE CORVASI_TARGET CORVASI_NO32
}

corvasi_wine_runs() { # exe
  # Only a 32-bit x86 program (machine 014c in its PE header) needs the
  # 32-bit loader; anything else goes to Wine, which says what is wrong.
  local pe
  [ -n "$CORVASI_NO32" ] || return 0
  pe=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  [ -n "$pe" ] || return 0
  [ "$(od -An -tx2 -j$((pe + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')" != 014c ]
}

corvasi_wine_pick
