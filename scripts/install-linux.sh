#!/usr/bin/env bash
# Installs Corvasi for the current user on Linux, to run under Wine:
#   ~/.local/bin/corvasi, ~/.local/bin/corvasi-render   the launchers
#   ~/.local/share/corvasi/                             the programs and samples
#   ~/.local/share/applications/corvasi.desktop        "Open with Corvasi" for .obj files
#   ~/.local/share/icons/hicolor/48x48/apps/corvasi.png the icon
#
#   scripts/install-linux.sh [--prefix DIR] [--from DIR] [--uninstall]
#
# The programs come from the build tree DIR; by default the 32-bit build/i686
# where this host runs 32-bit programs, else the 64-bit build/x86_64
# (scripts/wine-env.sh), built first when they are missing there (installing
# the build tools, as root). The Wine prefix the launcher makes on its first
# run, ~/.local/share/corvasi/wineprefix, is left in place by --uninstall.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

prefix=$HOME/.local
from=
uninstall=
while [ $# -gt 0 ]; do
  case $1 in
    --prefix) prefix=${2:?--prefix needs a folder}; shift ;;
    --from) from=${2:?--from needs a build folder}; shift ;;
    --uninstall) uninstall=1 ;;
    *) echo "install-linux.sh: unknown argument $1" >&2; exit 2 ;;
  esac
  shift
done

bin=$prefix/bin
share=$prefix/share/corvasi
applications=$prefix/share/applications
icon=$prefix/share/icons/hicolor/48x48/apps/corvasi.png

refresh_menus() {
  if command -v update-desktop-database >/dev/null; then
    update-desktop-database -q "$applications" || true
  fi
}

if [ -n "$uninstall" ]; then
  rm -f "$bin/corvasi" "$bin/corvasi-render" "$applications/corvasi.desktop" "$icon"
  rm -f "$share/corvasi.exe" "$share/corvasi-render.exe" "$share/wine-env.sh"
  rm -rf "$share/samples"
  rm -f "$share/README.md"
  refresh_menus
  echo "Corvasi removed from $prefix (its Wine prefix stays in $share/wineprefix)"
  exit 0
fi

. "$root/scripts/wine-env.sh"
tree=${from:-$root/build/$CORVASI_TARGET}
if [ ! -f "$tree/corvasi.exe" ] || [ ! -f "$tree/corvasi-render.exe" ]; then
  if [ -n "$from" ]; then
    echo "install-linux.sh: no corvasi.exe and corvasi-render.exe in $from" >&2
    exit 1
  fi
  bash "$root/scripts/install-deps.sh"
  bash "$root/scripts/build.sh" "$CORVASI_TARGET"
fi

# Every file goes in place in one step: it is written beside its place under
# a name of its own and then renamed, so that a full disk or an interrupted
# install leaves the installed copy as it was, never a broken one.
parts=()
trap 'rm -f "${parts[@]}"' EXIT
place() { # destination writer [argument ...]: the writer is given the new file's name last
  local destination=$1 part
  shift
  part=$(mktemp "$(dirname "$destination")/.$(basename "$destination").part-XXXXXX")
  parts+=("$part")
  "$@" "$part" && mv -f "$part" "$destination"
}
put() { # mode source destination
  place "$3" install -m "$1" "$2"
}
write_text() { # mode text file
  printf '%s\n' "$2" >"$3" && chmod "$1" "$3"
}
icon_picture() { # file
  convert "$root/app/corvasi.ico[$frame]" "png:$1" 2>/dev/null && chmod 644 "$1"
}

mkdir -p "$bin" "$share/samples" "$applications"
for file in "$tree/corvasi.exe" "$tree/corvasi-render.exe" "$root/README.md" "$root/scripts/wine-env.sh"; do
  put 644 "$file" "$share/$(basename "$file")"
done
for file in "$root"/samples/*; do
  put 644 "$file" "$share/samples/$(basename "$file")"
done
put 755 "$root/packaging/corvasi" "$bin/corvasi"
ln -sfn corvasi "$bin/corvasi-render"

# The menu entry runs the launcher by its full path: ~/.local/bin is not on
# every desktop session's PATH.
entry=$(sed -e "s|^Exec=corvasi |Exec=$bin/corvasi |" -e "s|^TryExec=corvasi$|TryExec=$bin/corvasi|" \
  "$root/packaging/corvasi.desktop")
place "$applications/corvasi.desktop" write_text 644 "$entry"

# The icon's 48 by 48 picture, when ImageMagick is there to take it out.
if command -v convert >/dev/null && command -v identify >/dev/null; then
  frame=$(identify -format '%p %w\n' "$root/app/corvasi.ico" 2>/dev/null | awk '$2 == 48 { print $1; exit }')
  if [ -n "$frame" ]; then
    mkdir -p "$(dirname "$icon")"
    place "$icon" icon_picture || true
  fi
fi
refresh_menus

echo "Corvasi installed in $prefix: run 'corvasi [MESH.obj]', or open an .obj file with it"
case ":$PATH:" in
  *":$bin:"*) ;;
  *) echo "note: $bin is not on your PATH" ;;
esac
