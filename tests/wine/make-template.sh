#!/usr/bin/env bash
# Creates the template Wine prefix once (concurrent callers wait for the first one).
set -u
template=$1
[ -f "$template/.ready" ] && exit 0
mkdir -p "$(dirname "$template")"
exec 9>"$template.lock"
flock 9
[ -f "$template/.ready" ] && exit 0
rm -rf "$template"
export WINEPREFIX=$template WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
wineboot -i >/dev/null 2>&1
wineserver -w
touch "$template/.ready"
