#!/usr/bin/env bash
# Repeats tests to show that none of them depends on chance. Prints one line per round and a tally;
# exits non-zero when any round failed. Logs go to $QUORVEL_LOOP_LOG (default: build/test-loop).
#
#   scripts/test-loop.sh cases [N] [REGEX]
#       Runs the cases whose result once depended on timing or load (REGEX, default below) N times
#       in a row (default 20), all of them in parallel with the test command's job count, from the
#       build in $QUORVEL_BUILD_DIR (default build/, built first).
#   scripts/test-loop.sh full [K]
#       Runs the whole test command K times (default 5), each time from a fresh clone of this
#       checkout's HEAD (commit first what you want measured), in a fresh build directory.
#   QUORVEL_TEST_JOBS  parallel ctest jobs (default as in scripts/test.sh: cores + 1)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mode=${1:-cases}
jobs=${QUORVEL_TEST_JOBS:-$(( $(nproc 2>/dev/null || echo 2) + 1 ))}
logs=${QUORVEL_LOOP_LOG:-$root/build/test-loop}
mkdir -p "$logs"

# Stopping an installation at a step, waiting for a dialog while other cases create prefixes,
# real input against hint and focus-frame timers, two instances started together, the
# self-delete script that removes the folder and then itself, and the shortcut's thread, which the
# dialog's thread answers while it waits.
timing_cases='InstallStopped|ClosingTheWindowDuringInstallation|FaultMatrixExit|CompletesIntoAFolderWithSpaces|InputHints|InputDrag|HintsInputTest|SingleInstance|TwoInstances|ScheduleSelfDelete|Win32\.|AReinstallStopped|TheLinkThreadIsAnswered|APressOfInstall'

failed=0
case $mode in
  cases)
    rounds=${2:-20}
    pattern=${3:-$timing_cases}
    build=${QUORVEL_BUILD_DIR:-$root/build}
    "$root/scripts/build.sh" "$build" >"$logs/build.log" 2>&1 || { echo "test-loop: build failed" >&2; exit 1; }
    for arch in win32 win64; do
      WINEARCH=$arch "$root/tests/wine/make-template.sh" "$HOME/.cache/quorvel/wine-template-$arch" || exit 1
    done
    count=$(ctest --test-dir "$build/win" -N -R "$pattern" | sed -n 's/^Total Tests: //p')
    for round in $(seq 1 "$rounds"); do
      start=$(date +%s)
      log="$logs/cases-$round.log"
      if ctest --test-dir "$build/win" -j "$jobs" -R "$pattern" --output-on-failure >"$log" 2>&1; then
        echo "round $round/$rounds: $count cases passed ($(( $(date +%s) - start )) s)"
      else
        failed=$((failed + 1))
        echo "round $round/$rounds: FAILED ($(( $(date +%s) - start )) s): $(grep -E '\*\*\*|Failed' "$log" | grep -v '^Total' | tr -s ' ' | paste -sd ';') (log: $log)"
      fi
    done
    echo "test-loop: $rounds rounds of $count cases (-j $jobs), $failed rounds with a failure"
    ;;
  full)
    rounds=${2:-5}
    commit=$(git -C "$root" rev-parse HEAD)
    for round in $(seq 1 "$rounds"); do
      clone=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-loop.XXXXXX")
      git clone -q "$root" "$clone" && git -C "$clone" checkout -q "$commit"
      start=$(date +%s)
      log="$logs/full-$round.log"
      if (cd "$clone" && QUORVEL_TEST_JOBS=$jobs ./scripts/test.sh) >"$log" 2>&1; then
        echo "full run $round/$rounds at $commit: passed in $(( $(date +%s) - start )) s"
      else
        failed=$((failed + 1))
        echo "full run $round/$rounds at $commit: FAILED in $(( $(date +%s) - start )) s: $(grep -E '^\s*[0-9]+ - ' "$log" | tr -s ' ' | paste -sd ';') (log: $log)"
      fi
      rm -rf "$clone"
    done
    echo "test-loop: $rounds full runs from fresh clones (-j $jobs), $failed failed"
    ;;
  *)
    echo "usage: scripts/test-loop.sh cases [N] [REGEX] | full [K]" >&2
    exit 2
    ;;
esac
[ "$failed" = 0 ]
