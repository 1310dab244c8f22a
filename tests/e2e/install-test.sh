#!/usr/bin/env bash
# The Linux installation in a scratch home: the files land where the desktop
# looks for them, the menu entry offers Corvasi for OBJ files, the launchers
# hand Wine the programs with Windows paths and a prefix of their own, the
# installed renderer really draws (when there is a display), and uninstalling
# takes it all away.
#
#   install-test.sh ROOT BUILD_TREE
set -uo pipefail
root=$1 tree=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
real_wineprefix=${WINEPREFIX:-}

home=$work/home
prefix=$home/.local
mkdir -p "$home"
HOME=$home bash "$root/scripts/install-linux.sh" --from "$tree" >/dev/null || fail "install-linux.sh failed"

for file in bin/corvasi bin/corvasi-render share/corvasi/corvasi.exe share/corvasi/corvasi-render.exe \
  share/corvasi/samples/torus.obj share/corvasi/samples/torus.tga share/applications/corvasi.desktop; do
  [ -e "$prefix/$file" ] || fail "$file is not installed"
done
[ -x "$prefix/bin/corvasi" ] || fail "the launcher cannot be run"
cmp -s "$tree/corvasi.exe" "$prefix/share/corvasi/corvasi.exe" || fail "the installed viewer is not the built one"

entry=$prefix/share/applications/corvasi.desktop
grep -qx 'MimeType=model/obj;' "$entry" || fail "the menu entry does not offer itself for model/obj"
grep -qx "Exec=$prefix/bin/corvasi %f" "$entry" || fail "the menu entry does not run the installed launcher: $(grep ^Exec= "$entry")"
grep -qx "TryExec=$prefix/bin/corvasi" "$entry" || fail "TryExec does not name the installed launcher"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$entry" || fail "desktop-file-validate refuses the menu entry"
fi

# A stand-in for Wine that tells what it was given.
mkdir -p "$work/fake"
cat >"$work/fake/wine" <<'EOF'
#!/bin/sh
printf 'WINEPREFIX=%s\n' "$WINEPREFIX"
for a in "$@"; do printf 'ARG=%s\n' "$a"; done
EOF
chmod +x "$work/fake/wine"
mkdir -p "$work/my meshes"
cd "$work/my meshes" || exit 1
launched=$(env -u XDG_DATA_HOME -u CORVASI_WINEPREFIX -u CORVASI_HOME HOME="$home" PATH="$work/fake:$PATH" \
  "$prefix/bin/corvasi" torus.obj ignored.obj)
expected="WINEPREFIX=$prefix/share/corvasi/wineprefix
ARG=$prefix/share/corvasi/corvasi.exe
ARG=Z:${work//\//\\}\\my meshes\\torus.obj"
[ "$launched" = "$expected" ] || fail "the viewer's launcher gave Wine:
$launched
instead of:
$expected"

launched=$(env -u XDG_DATA_HOME -u CORVASI_WINEPREFIX -u CORVASI_HOME HOME="$home" PATH="$work/fake:$PATH" \
  "$prefix/bin/corvasi-render" --anaglyph --turn -30 --size 64x48 -o out.bmp /data/a.obj)
expected="WINEPREFIX=$prefix/share/corvasi/wineprefix
ARG=$prefix/share/corvasi/corvasi-render.exe
ARG=--anaglyph
ARG=--turn
ARG=-30
ARG=--size
ARG=64x48
ARG=-o
ARG=Z:${work//\//\\}\\my meshes\\out.bmp
ARG=Z:\\data\\a.obj"
[ "$launched" = "$expected" ] || fail "the renderer's launcher gave Wine:
$launched
instead of:
$expected"

# The real thing, in the test's own Wine prefix (a new one takes long).
if [ -n "${DISPLAY:-}" ] && [ -n "$real_wineprefix" ] && command -v wine >/dev/null; then
  HOME=$home CORVASI_WINEPREFIX=$real_wineprefix \
    "$prefix/bin/corvasi-render" --size 64x48 -o picture.bmp "$prefix/share/corvasi/samples/torus.obj" ||
    fail "the installed renderer failed"
  [ "$(stat -c %s picture.bmp 2>/dev/null)" = $((54 + 48 * 64 * 3)) ] || fail "the installed renderer wrote no 64x48 picture"
else
  echo "(no display or Wine prefix: the installed renderer is not run)"
fi

HOME=$home bash "$root/scripts/install-linux.sh" --uninstall >/dev/null || fail "uninstalling failed"
left=$(cd "$prefix" && find . -type f | sort)
[ -z "$left" ] || fail "left after uninstalling: $left"

if [ $failures -gt 0 ]; then
  echo "0 passed, $failures failed"
  exit 1
fi
echo "installed, launched and removed again"
