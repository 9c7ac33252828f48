#!/usr/bin/env bash
# SZDD benchmark: the tools' szdd_compress against Debian's mscompress on the sample viewer (when
# the Windows build has made it) and a few MB of real 32-bit Windows executables (Wine's own),
# each compressor run on the same files in the same run. Sizes are compared per input; times
# over all inputs as CPU seconds (user + system), which a busy machine disturbs less, and as
# wall-clock seconds. Every output is expanded by msexpand and compared with its input.
#   bench/szdd_bench.sh BUILD
set -euo pipefail
build=$1
ours=$build/host/tools/szdd_compress
[ -x "$ours" ] || { echo "no $ours: build the host part first" >&2; exit 1; }
command -v mscompress >/dev/null || { echo "mscompress is not installed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

inputs=()
[ -f "$build/win/sample-payload/Kavri.exe" ] && inputs+=("$build/win/sample-payload/Kavri.exe")
[ -f "$build/win/quorvel-setup.exe" ] && inputs+=("$build/win/quorvel-setup.exe")
wine_dir=/usr/lib/i386-linux-gnu/wine/i386-windows
for name in cmd.exe winecfg.exe kernel32.dll; do
  [ -f "$wine_dir/$name" ] && inputs+=("$wine_dir/$name")
done
[ ${#inputs[@]} -gt 0 ] || { echo "no inputs found" >&2; exit 1; }

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.3f", a / b; else print "-" }'; }

total_in=0 total_ours=0 total_theirs=0 time_ours=0 time_theirs=0 wall_ours=0 wall_theirs=0
add() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a + b }'; }
for input in "${inputs[@]}"; do
  name=$(basename "$input")
  cp "$input" "$work/$name"
  read -r t1 w1 < <( { /usr/bin/time -f '%U %S %e' "$ours" "$work/$name" "$work/$name.szdd" > /dev/null; } 2>&1 |
                     awk '{ printf "%.3f %.3f\n", $1 + $2, $3 }')
  read -r t2 w2 < <( { cd "$work" && /usr/bin/time -f '%U %S %e' mscompress "$name" > /dev/null; } 2>&1 |
                     awk '{ printf "%.3f %.3f\n", $1 + $2, $3 }')
  size_in=$(stat -c %s "$input")
  size_ours=$(stat -c %s "$work/$name.szdd")
  size_theirs=$(stat -c %s "$work/${name}_")
  msexpand < "$work/$name.szdd" | cmp -s - "$input" || { echo "szdd_compress output of $name does not expand to it" >&2; exit 1; }
  printf 'ROW\tszdd\t%s (%d B)\tcompressed bytes\t%d\t%d\t%s\n' "$name" "$size_in" "$size_ours" "$size_theirs" \
    "$(ratio "$size_ours" "$size_theirs")"
  total_in=$((total_in + size_in)) total_ours=$((total_ours + size_ours)) total_theirs=$((total_theirs + size_theirs))
  time_ours=$(add "$time_ours" "$t1") time_theirs=$(add "$time_theirs" "$t2")
  wall_ours=$(add "$wall_ours" "$w1") wall_theirs=$(add "$wall_theirs" "$w2")
  rm -f "$work/$name" "$work/$name.szdd" "$work/${name}_"
done
printf 'ROW\tszdd\tall inputs (%d B)\tcompressed bytes\t%d\t%d\t%s\n' "$total_in" "$total_ours" "$total_theirs" \
  "$(ratio "$total_ours" "$total_theirs")"
printf 'ROW\tszdd\tall inputs (%d B)\tCPU seconds\t%s\t%s\t%s\n' "$total_in" "$time_ours" "$time_theirs" \
  "$(ratio "$time_ours" "$time_theirs")"
printf 'ROW\tszdd\tall inputs (%d B)\twall seconds\t%s\t%s\t%s\n' "$total_in" "$wall_ours" "$wall_theirs" \
  "$(ratio "$wall_ours" "$wall_theirs")"
