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
. "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
real_wineprefix=${WINEPREFIX:-}

home=$work/home
prefix=$home/.local
mkdir -p "$home"
HOME=$home bash "$root/scripts/install-linux.sh" --from "$tree" >/dev/null || fail "install-linux.sh failed"

for file in bin/corvasi bin/corvasi-render share/corvasi/corvasi.exe share/corvasi/corvasi-render.exe share/corvasi/wine-env.sh \
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

# Stand-ins for Wine that tell what they were given: Debian's `wine` on PATH,
# and the loaders of a host that runs 32-bit programs (ok32) and of one whose
# kernel refuses them (no32).
fake=$work/fake
mkdir -p "$fake/bin" "$fake/ok32" "$fake/no32"
for wine in bin/wine ok32/wine64 no32/wine64; do
  cat >"$fake/$wine" <<'EOF'
#!/bin/sh
printf 'RUN=%s WINELOADER=%s\n' "$0" "${WINELOADER:-}"
printf 'WINEPREFIX=%s\n' "$WINEPREFIX"
for a in "$@"; do printf 'ARG=%s\n' "$a"; done
EOF
done
printf '#!/bin/sh\n' >"$fake/ok32/wine"
# Wine's server too: the real one would make its lock file in the prefix
# that the launcher makes with the stand-in.
printf '#!/bin/sh\n' >"$fake/bin/wineserver"
printf '\177ELF\001\001\001\000' >"$fake/no32/wine"
chmod +x "$fake"/*/*
launch() { # host, [VARIABLE=VALUE ...] launcher, arguments...
  local host=$1
  shift
  env -u XDG_DATA_HOME -u CORVASI_WINEPREFIX -u CORVASI_HOME -u CORVASI_FORCE_WIN64 -u WINELOADER \
    HOME="$home" PATH="$fake/bin:$PATH" CORVASI_WINE_DIR="$fake/$host" "$@" 2>&1
}

mkdir -p "$work/my meshes"
cd "$work/my meshes" || exit 1
launched=$(launch ok32 "$prefix/bin/corvasi" torus.obj ignored.obj)
expected="RUN=$fake/bin/wine WINELOADER=
WINEPREFIX=$prefix/share/corvasi/wineprefix
ARG=$prefix/share/corvasi/corvasi.exe
ARG=Z:${work//\//\\}\\my meshes\\torus.obj"
same "the viewer's launcher gave Wine" "$launched" "$expected"

launched=$(launch ok32 "$prefix/bin/corvasi-render" --anaglyph --turn -30 --size 64x48 -o out.bmp /data/a.obj)
expected="RUN=$fake/bin/wine WINELOADER=
WINEPREFIX=$prefix/share/corvasi/wineprefix
ARG=$prefix/share/corvasi/corvasi-render.exe
ARG=--anaglyph
ARG=--turn
ARG=-30
ARG=--size
ARG=64x48
ARG=-o
ARG=Z:${work//\//\\}\\my meshes\\out.bmp
ARG=Z:\\data\\a.obj"
same "the renderer's launcher gave Wine" "$launched" "$expected"

# The program and the Wine the source tree's launcher takes: the 32-bit one
# with Debian's `wine` where 32-bit programs run, else (or when forced) the
# 64-bit one with Wine's 64-bit loader as WINELOADER.
src=$(readlink -f "$work")/src
mkdir -p "$src/packaging" "$src/scripts" "$src/build/i686" "$src/build/x86_64"
cp "$root/packaging/corvasi" "$src/packaging/"
cp "$root/scripts/wine-env.sh" "$src/scripts/"
pe() { # file, machine: a PE header and no more
  { printf 'MZ'; head -c 58 /dev/zero; printf '\100\000\000\000PE\000\000'; printf "$2"; } >"$1"
}
pe "$src/build/i686/corvasi.exe" '\114\001'
pe "$src/build/x86_64/corvasi.exe" '\144\206'
while read -r host force tree loader wineloader; do
  [ "$force" != - ] || force=
  [ "$wineloader" != - ] || wineloader=
  launched=$(launch "$host" ${force:+CORVASI_FORCE_WIN64=$force} "$src/packaging/corvasi" | grep -v ^WINEPREFIX=)
  expected="RUN=$fake/$loader WINELOADER=${wineloader:+$fake/$wineloader}
ARG=$src/build/$tree/corvasi.exe"
  same "with the $host loaders${force:+, CORVASI_FORCE_WIN64=$force,} the launcher gave Wine" "$launched" "$expected"
done <<'EOF'
ok32 -  i686   bin/wine    -
ok32 1  x86_64 ok32/wine64 ok32/wine64
ok32 0  i686   bin/wine    -
no32 -  x86_64 no32/wine64 no32/wine64
EOF
# A 32-bit program alone where none runs: a message, and Wine is not started.
rm -r "$src/build/x86_64"
launched=$(launch no32 "$src/packaging/corvasi")
case $launched in
  *"is a 32-bit program and this host cannot run 32-bit programs (Wine's 32-bit loader: "*"Exec format error)"*) ;;
  *) fail "a 32-bit program alone on a host that refuses it gave: $launched" ;;
esac
# On this host, forced: Wine's 64-bit loader, and it runs.
if [ -x /usr/lib/wine/wine64 ]; then
  (
    export CORVASI_FORCE_WIN64=1
    unset CORVASI_WINE_DIR
    . "$root/scripts/wine-env.sh"
    [ "$CORVASI_TARGET $CORVASI_WINE $WINELOADER" = "x86_64 /usr/lib/wine/wine64 /usr/lib/wine/wine64" ] &&
      "$CORVASI_WINE" --version >/dev/null
  ) || fail "forced to 64 bits, this host's Wine 64-bit loader is not picked or does not run"
fi

# The real thing, in the test's own Wine prefix (a new one takes long).
. "$root/scripts/wine-env.sh"
if [ -n "${DISPLAY:-}" ] && [ -n "$real_wineprefix" ] && command -v "$CORVASI_WINE" >/dev/null &&
  corvasi_wine_runs "$tree/corvasi-render.exe"; then
  HOME=$home CORVASI_WINEPREFIX=$real_wineprefix \
    "$prefix/bin/corvasi-render" --size 64x48 -o picture.bmp "$prefix/share/corvasi/samples/torus.obj" ||
    fail "the installed renderer failed"
  [ "$(stat -c %s picture.bmp 2>/dev/null)" = $((54 + 48 * 64 * 3)) ] || fail "the installed renderer wrote no 64x48 picture"
else
  echo "(no display, no Wine prefix or a program this host cannot run: the installed renderer is not run)"
fi

HOME=$home bash "$root/scripts/install-linux.sh" --uninstall >/dev/null || fail "uninstalling failed"
left=$(cd "$prefix" && find . -type f | sort)
[ -z "$left" ] || fail "left after uninstalling: $left"

finish "installed, launched and removed again"
