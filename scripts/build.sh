#!/usr/bin/env bash
# Builds everything: the native tools and host tests (BUILD/host), then the installer, the sample
# viewer and the Wine tests with the mingw toolchain (BUILD/win).
#   scripts/build.sh [BUILD] [extra cmake options for the Windows build, e.g. -DQUORVEL_PAYLOAD_DIR=...]
#   Signing: -DQUORVEL_SIGN_PKCS12=FILE -DQUORVEL_SIGN_PASSWORD_FILE=FILE (or -DQUORVEL_SIGN_CERT=FILE
#   -DQUORVEL_SIGN_KEY=FILE), optionally -DQUORVEL_SIGN_TIMESTAMP_URL=URL; see README.
# Relative paths (BUILD, the payload directory, the signing files) are taken from the directory
# the script is run in.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build}")
shift || true
jobs=$(nproc 2>/dev/null || echo 2)

options=()
for option in "$@"; do
  case $option in
    -DQUORVEL_PAYLOAD_DIR=?* | -DQUORVEL_PAYLOAD_DIR:*=?*)
      options+=("-DQUORVEL_PAYLOAD_DIR:PATH=$(realpath -m "${option#*=}")") ;;
    -DQUORVEL_SIGN_PKCS12*=?* | -DQUORVEL_SIGN_CERT*=?* | -DQUORVEL_SIGN_KEY*=?* | \
    -DQUORVEL_SIGN_PASSWORD_FILE*=?* | -DQUORVEL_SIGN_VERIFY_CA*=?*)
      name=${option%%=*}; name=${name%%:*}
      options+=("${name}:FILEPATH=$(realpath -m "${option#*=}")") ;;
    *) options+=("$option") ;;
  esac
done

cmake -S "$root" -B "$build/host" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build/host" -j "$jobs"
cmake -S "$root" -B "$build/win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DQUORVEL_HOST_BIN="$build/host/tools" ${options[@]+"${options[@]}"} >/dev/null
cmake --build "$build/win" -j "$jobs"
echo "Installer: $build/win/quorvel-setup.exe (layout: $build/win/layout.txt)"
