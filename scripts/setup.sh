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
if $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; then exit 0; fi

# A library that both architectures need must have one version for both. When the i386 lists lag
# behind the amd64 ones (an index that failed to download above), ask for each such library at the
# version the i386 lists offer, for both architectures, which may step an amd64 library back.
pins=()
for round in 1 2 3 4 5 6 7 8; do
  plan=$(apt-get install -s --no-install-recommends --allow-downgrades "${missing[@]}" "${pins[@]}" 2>&1 || true)
  grep -q "not going to be installed" <<<"$plan" || break
  for name in $(grep -o "Depends: [a-z0-9.+-]*:i386" <<<"$plan" | sed 's/Depends: //; s/:i386$//' | sort -u); do
    version=$(apt-cache policy "$name:i386" | awk '/Candidate:/ {print $2}')
    [ -n "$version" ] && [ "$version" != "(none)" ] || continue
    [[ " ${pins[*]} " == *" $name=$version "* ]] || pins+=("$name=$version" "$name:i386=$version")
  done
done
echo "setup: installing with matched library versions: ${pins[*]}" >&2
$SUDO apt-get install -y -qq --no-install-recommends --allow-downgrades "${missing[@]}" "${pins[@]}" >/dev/null
