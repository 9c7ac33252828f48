#!/usr/bin/env bash
# Installs, when missing, every Debian package that building and testing need.
# Idempotent: does nothing when all are present. Must run as root (or with sudo available).
set -euo pipefail

packages=(
  wine wine32:i386 wine64 xvfb xauth x11-utils xdotool imagemagick
  g++-mingw-w64-i686-posix mingw-w64-tools binutils-mingw-w64-i686
  cmake make g++ googletest libgtest-dev
  mscompress libmspack-dev
  mtools dosfstools
  osslsigncode openssl
  nsis  # makensis: the benchmark's peer installer (bench/install_bench.sh)
)

missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  need_arch=1
else
  need_arch=0
fi
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "$need_arch" = 0 ] && [ "${#missing[@]}" = 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
if [ "$need_arch" = 1 ]; then
  $SUDO dpkg --add-architecture i386
fi
echo "setup: installing ${missing[*]}" >&2
# A mirror in the middle of a sync makes one index fail to download (apt-get update exits 100 and
# keeps the lists it had): try again, then go on with what it has; the install below still fails
# when a package cannot be had.
if ! $SUDO apt-get update -qq; then
  sleep 20
  $SUDO apt-get update -qq || echo "setup: apt-get update incomplete; installing from the lists at hand" >&2
fi
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
