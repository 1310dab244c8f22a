#!/usr/bin/env bash
# Builds the release archives: build/dist/corvasi-VERSION-win32.zip from the
# i686 tree and corvasi-VERSION-win64.zip from the x86_64 tree. Each holds one
# folder of the same name with the viewer, the renderer (both stripped), the
# README and the samples. Beside each, its setup program
# corvasi-VERSION-win32-setup.exe (or -win64-setup.exe), made with NSIS from
# packaging/corvasi.nsi, installs the same files.
#
#   scripts/package.sh [--no-build] [--from DIR] [--out DIR] [i686|x86_64 ...]
#
#   --no-build   take the programs as they are instead of building first
#   --from DIR   the build tree that holds the programs (one target only;
#                implies --no-build); build/TARGET by default
#   --out DIR    where the archives and setup programs go; build/dist by
#                default
#
# The same programs and files give the same bytes: entries in a fixed order,
# no directory entries, no owners or extra timestamps, fixed permissions, and
# every date set to SOURCE_DATE_EPOCH (by default the time of the last
# commit), which also becomes the programs' link time stamp.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

build=1
from=
out=$root/build/dist
targets=()
while [ $# -gt 0 ]; do
  case $1 in
    --no-build) build= ;;
    --from) from=${2:?--from needs a folder}; build=; shift ;;
    --out) out=${2:?--out needs a folder}; shift ;;
    i686|x86_64) targets+=("$1") ;;
    *) echo "package.sh: unknown argument $1" >&2; exit 2 ;;
  esac
  shift
done
[ ${#targets[@]} -gt 0 ] || targets=(i686 x86_64)
if [ -n "$from" ] && [ ${#targets[@]} -ne 1 ]; then
  echo "package.sh: --from takes one target" >&2
  exit 2
fi

version=$(sed -n 's/^#define CORVASI_VERSION_TEXT "\(.*\)"$/\1/p' "$root/app/version.h")
[ -n "$version" ] || { echo "package.sh: no version in app/version.h" >&2; exit 1; }

if [ -n "$build" ]; then
  bash "$root/scripts/install-deps.sh"
  bash "$root/scripts/build.sh" "${targets[@]}"
fi
# zip for the archives, makensis (Debian's nsis) for the setup programs.
for tool in zip:zip makensis:nsis; do
  command -v "${tool%%:*}" >/dev/null && continue
  package=${tool#*:}
  if [ "$(id -u)" -eq 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$package" >/dev/null ||
      { apt-get update -qq >/dev/null && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$package" >/dev/null; }
  else
    echo "package.sh: ${tool%%:*} is missing; install it (apt-get install $package)" >&2
    exit 1
  fi
done

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null || true)
fi
# A zip file cannot hold dates before 1980.
[ -n "$SOURCE_DATE_EPOCH" ] && [ "$SOURCE_DATE_EPOCH" -ge 315532800 ] || SOURCE_DATE_EPOCH=315532800
export SOURCE_DATE_EPOCH
export TZ=UTC LC_ALL=C

mkdir -p "$out"
out=$(cd "$out" && pwd)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

for target in "${targets[@]}"; do
  case $target in
    i686) name=corvasi-$version-win32; tools=i686-w64-mingw32 ;;
    x86_64) name=corvasi-$version-win64; tools=x86_64-w64-mingw32 ;;
  esac
  tree=${from:-$root/build/$target}
  folder=$stage/$name
  mkdir -p "$folder/samples"
  for program in corvasi corvasi-render; do
    [ -f "$tree/$program.exe" ] || { echo "package.sh: $tree/$program.exe is missing; build it first" >&2; exit 1; }
    # Without debug information (which names the build folder); strip takes
    # its time stamp from SOURCE_DATE_EPOCH.
    "$tools-strip" --strip-all -o "$folder/$program.exe" "$tree/$program.exe"
  done
  cp "$root/README.md" "$folder/"
  find "$root/samples" -maxdepth 1 -type f ! -name '.*' -exec cp {} "$folder/samples/" \;

  find "$folder" -type d -exec chmod 755 {} +
  find "$folder" -type f -exec chmod 644 {} +
  chmod 755 "$folder"/*.exe
  find "$folder" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

  archive=$out/$name.zip
  # The old archive stays until the new one is whole.
  rm -f "$archive.part"
  (cd "$stage" && find "$name" -type f | sort | zip -X -D -9 -q "$archive.part" -@)
  mv "$archive.part" "$archive"
  echo "wrote ${archive#$root/}"

  # The setup program installs the same files.
  setup=$out/$name-setup.exe
  rm -f "$setup" "$setup.part"
  if ! makensis -V2 -DARCH="${name##*-}" -DSTAGE="$folder" -DOUTFILE="$setup.part" \
    "$root/packaging/corvasi.nsi" >"$stage/makensis.log" 2>&1; then
    cat "$stage/makensis.log" >&2
    echo "package.sh: makensis failed" >&2
    exit 1
  fi
  mv "$setup.part" "$setup"
  rm -rf "$folder"
  echo "wrote ${setup#$root/}"
done
