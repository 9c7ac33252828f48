#!/usr/bin/env bash
# Creates the template Wine prefix once (concurrent callers wait for the first one), of the kind
# WINEARCH names (win32 when unset).
set -u
template=$1
[ -f "$template/.ready" ] && exit 0
mkdir -p "$(dirname "$template")"
exec 9>"$template.lock"
flock 9
[ -f "$template/.ready" ] && exit 0
rm -rf "$template"
export WINEARCH=${WINEARCH:-win32} WINEPREFIX=$template WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
wineboot -i >/dev/null 2>&1
wineserver -w
# A prefix of the other kind, or none at all (a missing wine64), must not pass for this one.
arch=$(sed -n 's/^#arch=//p' "$template/system.reg" 2>/dev/null)
if [ "$arch" != "$WINEARCH" ]; then
  echo "make-template: $template is a '${arch:-broken}' prefix, not $WINEARCH" >&2
  exit 1
fi
touch "$template/.ready"
