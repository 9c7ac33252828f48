#!/usr/bin/env bash
# Uninstaller-copy benchmark: the size of the copy every installation writes first (the program cut
# before its payload), read from the build's layout report, against the whole installer and against
# the 37,440-byte uninstaller of the original publication's installer, kept as a fixed reference.
#   bench/layout_bench.sh BUILD
set -euo pipefail
build=$1
report=$build/win/layout.txt
[ -f "$report" ] || { echo "no $report: build the Windows part first" >&2; exit 1; }
original=37440

installer=$(sed -n 's/^ *installer size *\([0-9]*\) bytes.*/\1/p' "$report")
copy=$(sed -n 's/^ *uninstaller copy size *\([0-9]*\) bytes.*/\1/p' "$report")
[ -n "$installer" ] && [ -n "$copy" ] || { echo "cannot read the sizes in $report" >&2; exit 1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.3f", a / b; else print "-" }'; }
printf 'ROW\tlayout\tuninstaller copy (bytes)\tvs whole installer\t%d\t%d\t%s\n' "$copy" "$installer" \
  "$(ratio "$copy" "$installer")"
printf 'ROW\tlayout\tuninstaller copy (bytes)\tvs original 37,440\t%d\t%d\t%s\n' "$copy" "$original" \
  "$(ratio "$copy" "$original")"
