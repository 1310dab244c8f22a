#!/usr/bin/env bash
# The release archive and the setup program of one target, each made twice
# from the same programs and files: the bytes must be the same although the copies of the programs
# differ in date and permissions and the two runs differ in time zone and
# umask; it must hold exactly the expected entries, all of one date, with the
# README and the samples as they are and programs for the right machine.
#
#   package-test.sh ROOT TARGET BUILD_TREE CMAKE
set -euo pipefail
root=$1 target=$2 tree=$3 cmake=$4

case $target in
  i686) name=corvasi-0.10-win32; machine=4c01 ;;   # IMAGE_FILE_MACHINE_I386, little-endian
  x86_64) name=corvasi-0.10-win64; machine=6486 ;; # IMAGE_FILE_MACHINE_AMD64
  *) echo "package-test: unknown target $target" >&2; exit 2 ;;
esac
. "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

# Two copies of the programs that differ in everything but their bytes.
mkdir -p "$work/a" "$work/b"
for program in corvasi corvasi-render; do
  cp "$tree/$program.exe" "$work/a/"
  cp "$tree/$program.exe" "$work/b/"
done
touch -d '2001-02-03 04:05:06' "$work/a"/*.exe
chmod 700 "$work/b"/*.exe

epoch=1700000000
SOURCE_DATE_EPOCH=$epoch TZ=UTC bash "$root/scripts/package.sh" --from "$work/a" --out "$work/one" "$target" >/dev/null
(umask 077; SOURCE_DATE_EPOCH=$epoch TZ=Pacific/Auckland \
  bash "$root/scripts/package.sh" --from "$work/b" --out "$work/two" "$target" >/dev/null)

one=$work/one/$name.zip
two=$work/two/$name.zip
[ -f "$one" ] && [ -f "$two" ] || { echo "FAIL: no archive $name.zip" >&2; exit 1; }
cmp -s "$one" "$two" || fail "two builds of $name.zip differ"
# The setup program too: the same bytes, a program for the target's machine.
setup=$work/one/$name-setup.exe
cmp -s "$setup" "$work/two/$name-setup.exe" || fail "two builds of $name-setup.exe differ"

# The files copied from the source tree, and the entries in byte order.
copied="README.md samples/README.md samples/stone.mtl samples/tile.obj samples/tile.png samples/torus.mtl
  samples/torus.obj samples/torus.tga"
expected=$(printf "$name/%s\n" $copied corvasi.exe corvasi-render.exe | LC_ALL=C sort)
listed=$("$cmake" -E tar tf "$one")
[ "$listed" = "$expected" ] || fail "entries of $name.zip: $(echo $listed)"

mkdir "$work/x"
(cd "$work/x" && TZ=UTC "$cmake" -E tar xf "$one")
for file in $copied; do
  cmp -s "$root/$file" "$work/x/$name/$file" || fail "$file differs from the source"
done
while read -r entry; do
  [ "$(TZ=UTC stat -c %Y "$work/x/$entry")" = "$epoch" ] || fail "$entry is not dated $epoch"
done <<<"$listed"

# Owners and access times differ between machines: no entry may carry the
# extra fields that hold them. The central directory is at the offset the end
# record (the last 22 bytes, there is no comment) gives.
u16() { od -An -tu2 -j"$2" -N2 "$1" | tr -d ' '; }
u32() { od -An -tu4 -j"$2" -N4 "$1" | tr -d ' '; }
size=$(stat -c %s "$one")
end=$((size - 22))
[ "$(u32 "$one" $end)" = 101010256 ] || fail "$name.zip does not end with a plain end record" # PK\5\6
entries=$(u16 "$one" $((end + 10)))
at=$(u32 "$one" $((end + 16)))
for ((i = 0; i < entries; i++)); do
  [ "$(u32 "$one" "$at")" = 33639248 ] || { fail "broken central directory"; break; } # PK\1\2
  extra=$(u16 "$one" $((at + 30)))
  [ "$extra" = 0 ] || fail "entry $i has $extra bytes of extra fields"
  at=$((at + 46 + $(u16 "$one" $((at + 28))) + extra + $(u16 "$one" $((at + 32)))))
done

# "PE\0\0" at the offset the DOS header gives, then the machine.
for program in corvasi corvasi-render; do
  exe=$work/x/$name/$program.exe
  pe=$(od -An -tu4 -j60 -N4 "$exe" | tr -d ' ')
  header=$(od -An -tx1 -j"$pe" -N6 "$exe" | tr -d ' \n')
  [ "$header" = "50450000$machine" ] || fail "$program.exe is not a PE file for $target ($header)"
  stamp=$(od -An -tu4 -j$((pe + 8)) -N4 "$exe" | tr -d ' ')
  [ "$stamp" = "$epoch" ] || fail "$program.exe is stamped $stamp, not $epoch"
  [ "$(stat -c %s "$exe")" -lt "$(stat -c %s "$tree/$program.exe")" ] || fail "$program.exe is not stripped"
done
pe=$(od -An -tu4 -j60 -N4 "$setup" | tr -d ' ')
header=$(od -An -tx1 -j"$pe" -N6 "$setup" | tr -d ' \n')
[ "$header" = "50450000$machine" ] || fail "$name-setup.exe is not a PE file for $target ($header)"

finish "$name.zip and $name-setup.exe: the same bytes twice, $(echo "$listed" | wc -l) entries as expected"
