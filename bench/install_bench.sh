#!/usr/bin/env bash
# Installation benchmark: builds the installer around a large generated payload (64 MiB: two data
# files of 40 and 16 MiB and an 8 MiB "viewer") in its own build directory, installs it under Wine
# and, in the same run, copies the same files plainly and reads them once for their CRC-32.
# Prints the installation time, the plain time, their ratio, the number of steps and the longest
# time the dialog went without answering (the longest step), then the same as two ROW lines for
# bench/run.sh: installation against plain copy, and longest freeze against the whole installation.
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
WINEARCH=win32 "$root/tests/wine/make-template.sh" "${QUORVEL_WINE_TEMPLATE:-$HOME/.cache/quorvel/wine-template-win32}"
output=$(QUORVEL_BENCH_PAYLOAD=$payload "$root/tests/wine/wine-run.sh" "$bench_build/win/tests/e2e/e2e_tests.exe" \
  --gtest_filter=Bench.LargeInstallationAgainstAPlainCopy 2>&1 | tr -d '\r') || true
grep -E '^install-bench:|FAILED|Failure|error' <<< "$output" || true

# The figures as rows of bench/run.sh's table:
#   install-bench: payload 64.0 MiB installed (viewer 8.0 MiB stored)
#   install-bench: installation 9.87 s, plain copy + CRC-32 1.23 s, ratio 8.02
#   install-bench: 8203 steps, longest wait for the dialog to answer 120 ms
sizes=$(sed -n 's/^install-bench: payload \([0-9.]*\) MiB.*/\1 MiB payload/p' <<< "$output")
read -r install plain < <(sed -n 's/^install-bench: installation \([0-9.]*\) s, plain copy + CRC-32 \([0-9.]*\) s.*/\1 \2/p' <<< "$output")
read -r steps longest < <(sed -n 's/^install-bench: \([0-9]*\) steps, longest wait for the dialog to answer \([0-9]*\) ms/\1 \2/p' <<< "$output")
if [ -z "${install:-}" ] || [ -z "${longest:-}" ]; then
  echo "install-bench: the installation benchmark printed no figures" >&2
  exit 1
fi
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.3f", a / b; else print "-" }'; }
install_ms=$(awk -v s="$install" 'BEGIN { printf "%.0f", s * 1000 }')
printf 'ROW\tinstall\t%s\tseconds vs copy+CRC\t%s\t%s\t%s\n' "$sizes" "$install" "$plain" "$(ratio "$install" "$plain")"
printf 'ROW\tinstall\t%s (%s steps)\tlongest freeze ms\t%s\t%s\t%s\n' "$sizes" "$steps" "$longest" "$install_ms" \
  "$(ratio "$longest" "$install_ms")"
