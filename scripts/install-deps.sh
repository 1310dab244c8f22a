#!/usr/bin/env bash
# Installs everything the build and the tests need on Debian 12, as root.
# Quick and silent when everything is there already.
set -euo pipefail

packages=(
  cmake make g++ git
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 mingw-w64-tools
  googletest
  libtinyobjloader-dev
  wine wine32 wine64 libwine libwine:i386
  xvfb xauth xdotool x11-utils
  libgl1-mesa-dri libgl1-mesa-dri:i386 libglx-mesa0 libglx-mesa0:i386
  libgl1 libgl1:i386 libglx0 libglx0:i386
  libglu1-mesa libglu1-mesa:i386 mesa-utils
  imagemagick zip nsis
  clang libclang-rt-14-dev llvm
  libstb-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages (${missing[*]}); run as root to install them" >&2
  exit 1
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq >/dev/null
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
