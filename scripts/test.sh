#!/usr/bin/env bash
# The whole test run: installs missing packages, builds everything into build/, then runs the host
# tests and the Wine tests (labels wine and e2e), printing each failure's output. Exits non-zero
# when anything fails. Needs root (or sudo) for packages and for the disk-full case's small disk.
#   QUORVEL_TEST_JOBS  parallel ctest jobs (default: cores + 1; Wine cases mostly wait)
#   QUORVEL_BUILD_DIR  build directory (default: build)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${QUORVEL_BUILD_DIR:-$root/build}
jobs=${QUORVEL_TEST_JOBS:-$(( $(nproc 2>/dev/null || echo 2) + 1 ))}
start=$(date +%s)

scripts/setup.sh || { echo "test: package set-up failed" >&2; exit 1; }
scripts/build.sh "$build" || { echo "test: build failed" >&2; exit 1; }

# Every Wine case copies a template prefix of its kind; make both before the parallel runs need them.
for arch in win32 win64; do
  WINEARCH=$arch tests/wine/make-template.sh "$HOME/.cache/quorvel/wine-template-$arch" ||
    { echo "test: could not create the $arch Wine template prefix" >&2; exit 1; }
done

status=0
echo "== host tests"
ctest --test-dir "$build/host" -j "$jobs" --output-on-failure || status=1
echo "== Wine and end-to-end tests"
ctest --test-dir "$build/win" -j "$jobs" --output-on-failure -L 'wine|e2e|build' || status=1

echo "test: $(( $(date +%s) - start )) s, $([ $status = 0 ] && echo 'all passed' || echo 'FAILURES above')"
exit $status
