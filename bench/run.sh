#!/usr/bin/env bash
# Runs every benchmark (bench/*_bench.sh) against one build and prints one table of the ratios
# they measured, each against its reference in the same run, side by side.
#   bench/run.sh [BUILD]      (BUILD defaults to ./build; its host/ and win/ parts are used)
# A benchmark receives BUILD as its argument and prints result rows as tab-separated lines:
#   ROW <benchmark> <input> <measure> <ours> <reference> <ratio ours/reference>
# Any other line a benchmark prints is shown under the table as a note.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)

rows=$(mktemp)
notes=$(mktemp)
trap 'rm -f "$rows" "$notes"' EXIT
for bench in "$here"/*_bench.sh; do
  name=$(basename "$bench" .sh)
  echo "running $name" >&2
  output=$(bash "$bench" "$build") || echo "$name: failed" >> "$notes"
  grep '^ROW' <<< "$output" >> "$rows" || true
  grep -v '^ROW' <<< "$output" | sed '/^$/d' >> "$notes" || true
done

printf '%-10s %-34s %-18s %14s %14s %8s\n' benchmark input measure ours reference ratio
printf '%.0s-' {1..103}; echo
while IFS=$'\t' read -r _ bench input measure ours reference ratio; do
  printf '%-10s %-34s %-18s %14s %14s %8s\n' "$bench" "$input" "$measure" "$ours" "$reference" "$ratio"
done < "$rows"
if [ -s "$notes" ]; then
  echo
  cat "$notes"
fi
