#!/usr/bin/env bash
# Installation benchmark: builds the installer around two generated payloads, each in its own
# build directory, installs each under Wine and, in the same run and prefix, copies the same files
# plainly and reads them once for their CRC-32:
#  - a large one (64 MiB: two data files of 40 and 16 MiB and an 8 MiB "viewer"), which a general-
#    purpose installer (NSIS 3, `makensis`, files stored uncompressed) also installs silently in
#    the same prefix, as the peer;
#  - one shaped like the publication (a viewer of 1,119,296 bytes stored as SZDD, data files of
#    76,398 and 12,941 bytes).
# Prints, as ROW lines for bench/run.sh: installation time against the NSIS installer and against
# the plain copy, and the longest time the dialog went without answering against one frame (16 ms).
#   bench/install_bench.sh [BUILD]   (default: build; uses BUILD/host's tools, builds into
#                                     BUILD/bench-install and BUILD/bench-publication, generates
#                                     BUILD/bench-payload and BUILD/bench-publication-payload)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
frame_ms=16

# Text-like data that compresses about as well as a publication does, made quickly and the same
# way every time: numbered lines of words drawn from a fixed list.
words="quorvel kavri norvane statorix chapter page index reader margin note figure table volume"
make_text() { awk -v n="$2" -v w="$words" 'BEGIN { split(w, a, " "); s = 7;
    while (bytes < n) { line = sprintf("%08d", i++); for (k = 0; k < 9; k++) { s = (s * 1103515245 + 12345) % 2147483648; line = line " " a[int(s / 65536) % 13 + 1] };
      print line; bytes += length(line) + 1 } }' > "$1"; truncate -s "$2" "$1"; }
# The viewer: a real small Windows program followed by data, as large viewers carry, cut to size.
make_viewer() {
  printf '#include <windows.h>\nint WINAPI WinMain(HINSTANCE a, HINSTANCE b, LPSTR c, int d)\n{ (void)a; (void)b; (void)c; (void)d; return 0; }\n' > "$1.c"
  i686-w64-mingw32-gcc-posix -Os -s -mwindows "$1.c" -o "$1"
  make_text "$1.data" "$2"
  cat "$1.data" >> "$1"
  truncate -s "$2" "$1"
  rm -f "$1.data" "$1.c"
}

large=$build/bench-payload
if [ ! -f "$large/.ready" ]; then
  mkdir -p "$large"
  make_text "$large/Kavri1.DAT" $((40 * 1048576))
  make_text "$large/Kavri0.DAT" $((16 * 1048576))
  make_viewer "$large/Kavri.exe" $((8 * 1048576 + 10240))
  touch "$large/.ready"
fi
publication=$build/bench-publication-payload
if [ ! -f "$publication/.ready" ]; then
  mkdir -p "$publication"
  make_text "$publication/Kavri1.DAT" 76398
  make_text "$publication/Kavri0.DAT" 12941
  make_viewer "$publication/Kavri.exe" 1119296
  touch "$publication/.ready"
fi

# The peer: NSIS with the same three files stored, installed silently (/S) into C:\PeerInstall.
peer=""
if command -v makensis >/dev/null; then
  cat > "$build/bench-peer.nsi" <<NSI
Name "Quorvel"
OutFile "$build/bench-peer-setup.exe"
SetCompress off
RequestExecutionLevel admin
InstallDir "C:\\PeerInstall"
Page directory
Page instfiles
Section
  SetOutPath \$INSTDIR
  File "$large/Kavri1.DAT"
  File "$large/Kavri0.DAT"
  File "$large/Kavri.exe"
SectionEnd
NSI
  if [ ! -f "$build/bench-peer-setup.exe" ] || [ "$build/bench-peer.nsi" -nt "$build/bench-peer-setup.exe" ]; then
    makensis -V1 "$build/bench-peer.nsi" >&2
  fi
  peer=$build/bench-peer-setup.exe
else
  echo "install-bench: makensis not found (Debian package nsis): no peer row" >&2
fi

jobs=$(nproc 2>/dev/null || echo 2)
if [ ! -x "$build/host/tools/make_payload" ]; then
  cmake -S "$root" -B "$build/host" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build/host" -j "$jobs" >/dev/null
fi
WINEARCH=win32 "$root/tests/wine/make-template.sh" "${QUORVEL_WINE_TEMPLATE:-$HOME/.cache/quorvel/wine-template-win32}"
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.3f", a / b; else print "-" }'; }

# Builds the installer around payload $1 in $2, installs it (and the peer $4, if any), prints rows
# labelled $3.
measure() {
  local payload=$1 bench_build=$2 label=$3 peer_exe=${4:-}
  echo "install-bench: building the installer around $(du -sh "$payload" | cut -f1) of payload" >&2
  # The native tools of the main build serve; only the installer and the test driver are rebuilt.
  cmake -S "$root" -B "$bench_build/win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DQUORVEL_HOST_BIN="$build/host/tools" -DQUORVEL_PAYLOAD_DIR="$payload" >/dev/null
  cmake --build "$bench_build/win" -j "$jobs" --target e2e_tests >/dev/null
  local output
  output=$(QUORVEL_BENCH_PAYLOAD=$payload QUORVEL_BENCH_NSIS=$peer_exe "$root/tests/wine/wine-run.sh" \
    "$bench_build/win/tests/e2e/e2e_tests.exe" --gtest_filter=Bench.LargeInstallationAgainstAPlainCopy 2>&1 | tr -d '\r') || true
  grep -E '^install-bench:|FAILED|Failure|error' <<< "$output" >&2 || true

  # The figures, as the test prints them:
  #   install-bench: payload 64.0 MiB installed (viewer 8.0 MiB stored)
  #   install-bench: installation 9.87 s, plain copy + CRC-32 1.23 s, ratio 8.02
  #   install-bench: 8203 steps, longest wait for the dialog to answer 120 ms
  #   install-bench: NSIS installer 1.02 s
  local install plain steps longest nsis
  read -r install plain < <(sed -n 's/^install-bench: installation \([0-9.]*\) s, plain copy + CRC-32 \([0-9.]*\) s.*/\1 \2/p' <<< "$output")
  read -r steps longest < <(sed -n 's/^install-bench: \([0-9]*\) steps, longest wait for the dialog to answer \([0-9]*\) ms/\1 \2/p' <<< "$output")
  nsis=$(sed -n 's/^install-bench: NSIS installer \([0-9.]*\) s/\1/p' <<< "$output")
  if [ -z "${install:-}" ] || [ -z "${longest:-}" ]; then
    echo "install-bench: the installation benchmark printed no figures for $label" >&2
    return 1
  fi
  if [ -n "$nsis" ]; then
    printf 'ROW\tinstall\t%s\tseconds vs NSIS 3\t%s\t%s\t%s\n' "$label" "$install" "$nsis" "$(ratio "$install" "$nsis")"
  fi
  printf 'ROW\tinstall\t%s\tseconds vs copy+CRC\t%s\t%s\t%s\n' "$label" "$install" "$plain" "$(ratio "$install" "$plain")"
  printf 'ROW\tinstall\t%s (%s steps)\tlongest freeze ms\t%s\t%s\t%s\n' "$label" "$steps" "$longest" "$frame_ms" \
    "$(ratio "$longest" "$frame_ms")"
}

status=0
measure "$large" "$build/bench-install" "64.0 MiB payload" "$peer" || status=1
measure "$publication" "$build/bench-publication" "publication-shaped" || status=1
exit $status
