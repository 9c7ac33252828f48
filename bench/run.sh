#!/usr/bin/env bash
# Runs every benchmark (bench/*_bench.sh) against one build and prints one table of the ratios
# they measured, each against its reference in the same run, side by side.
#   bench/run.sh [BUILD]      (BUILD defaults to ./build; its host/ and win/ parts are used)
# A benchmark receives BUILD as its argument and prints result rows as tab-separated lines:
#   ROW <benchmark> <input> <measure> <ours> <reference> <ratio ours/reference>
# Any other line a benchmark prints is shown under the table as a note; its error output goes to
# the terminal as it runs. The table opens with the date and the machine it was measured on.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)

rows=$(mktemp)
notes=$(mktemp)
trap 'rm -f "$rows" "$notes"' EXIT
started=$(date +%s)
for bench in "$here"/*_bench.sh; do
  name=$(basename "$bench" .sh)
  echo "running $name" >&2
  bench_start=$(date +%s)
  status=0
  output=$(bash "$bench" "$build") || status=$?
  grep '^ROW' <<< "$output" >> "$rows" || true
  grep -v '^ROW' <<< "$output" | sed '/^$/d' >> "$notes" || true
  [ "$status" -eq 0 ] || echo "$name: failed (exit $status)" >> "$notes"
  echo "$name: $(( $(date +%s) - bench_start )) s" >> "$notes"
done

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)
echo "$(date -u '+%Y-%m-%d %H:%M UTC') on $(uname -sr), $(nproc) x ${cpu:-unknown CPU}, load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "$(wine --version 2>/dev/null || echo 'no wine'), $(i686-w64-mingw32-g++-posix --version 2>/dev/null | head -1)"
echo
printf '%-10s %-34s %-20s %12s %12s %8s\n' benchmark input measure ours reference ratio
printf '%.0s-' {1..101}; echo
while IFS=$'\t' read -r _ bench input measure ours reference ratio; do
  printf '%-10s %-34s %-20s %12s %12s %8s\n' "$bench" "$input" "$measure" "$ours" "$reference" "$ratio"
done < "$rows"
echo
echo "whole run: $(( $(date +%s) - started )) s"
cat "$notes"
