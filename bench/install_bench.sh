#!/usr/bin/env bash
# Installation benchmark: builds the installer around a large generated payload (64 MiB: two data
# files of 40 and 16 MiB and an 8 MiB "viewer") in its own build directory, installs it under Wine
# and, in the same run, copies the same files plainly and reads them once for their CRC-32.
# Prints the installation time, the plain time, their ratio, the number of steps and the longest
# time the dialog went without answering (the longest step).
#   bench/install_bench.sh [BUILD]   (default: build; uses BUILD/host's tools, builds into
#                                     BUILD/bench-install and generates BUILD/bench-payload)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
payload=$build/bench-payload
bench_build=$build/bench-install

mkdir -p "$payload"
if [ ! -f "$payload/.ready" ]; then
  # Text-like data that compresses about as well as a publication does, made quickly and the same
  # way every time: numbered lines of words drawn from a fixed list.
  words="quorvel kavri norvane statorix chapter page index reader margin note figure table volume"
  make_text() { awk -v n="$2" -v w="$words" 'BEGIN { split(w, a, " "); s = 7;
      while (bytes < n) { line = sprintf("%08d", i++); for (k = 0; k < 9; k++) { s = (s * 1103515245 + 12345) % 2147483648; line = line " " a[int(s / 65536) % 13 + 1] };
        print line; bytes += length(line) + 1 } }' > "$1"; truncate -s "$2" "$1"; }
  make_text "$payload/Kavri1.DAT" $((40 * 1048576))
  make_text "$payload/Kavri0.DAT" $((16 * 1048576))
  # The viewer: a real small Windows program followed by 8 MiB of data, as large viewers carry.
  printf '#include <windows.h>\nint WINAPI WinMain(HINSTANCE a, HINSTANCE b, LPSTR c, int d)\n{ (void)a; (void)b; (void)c; (void)d; return 0; }\n' > "$payload/viewer.c"
  i686-w64-mingw32-gcc-posix -Os -s -mwindows "$payload/viewer.c" -o "$payload/Kavri.exe"
  make_text "$payload/viewer-data" $((8 * 1048576))
  cat "$payload/viewer-data" >> "$payload/Kavri.exe"
  rm -f "$payload/viewer-data" "$payload/viewer.c"
  touch "$payload/.ready"
fi

echo "install-bench: building the installer around $(du -sh "$payload" | cut -f1) of payload" >&2
# The native tools of the main build serve; only the installer and the test driver are rebuilt.
jobs=$(nproc 2>/dev/null || echo 2)
if [ ! -x "$build/host/tools/make_payload" ]; then
  cmake -S "$root" -B "$build/host" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build/host" -j "$jobs" >/dev/null
fi
cmake -S "$root" -B "$bench_build/win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DQUORVEL_HOST_BIN="$build/host/tools" -DQUORVEL_PAYLOAD_DIR="$payload" >/dev/null
cmake --build "$bench_build/win" -j "$jobs" --target e2e_tests >/dev/null
"$root/tests/wine/make-template.sh" "${QUORVEL_WINE_TEMPLATE:-$HOME/.cache/quorvel/wine-template}"
QUORVEL_BENCH_PAYLOAD=$payload "$root/tests/wine/wine-run.sh" "$bench_build/win/tests/e2e/e2e_tests.exe" \
  --gtest_filter=Bench.LargeInstallationAgainstAPlainCopy 2>&1 | tr -d '\r' |
  grep -E '^install-bench:|FAILED|Failure|error' || true
