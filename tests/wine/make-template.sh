#!/usr/bin/env bash
# Creates the template Wine prefix once (concurrent callers wait for the first one), of the kind
# WINEARCH names (win32 when unset).
set -u
template=$1
# Written into .ready; a template made by an older set-up is made again.
version=2
[ "$(cat "$template/.ready" 2>/dev/null)" = "$version" ] && exit 0
mkdir -p "$(dirname "$template")"
exec 9>"$template.lock"
flock 9
[ "$(cat "$template/.ready" 2>/dev/null)" = "$version" ] && exit 0
rm -rf "$template"
export WINEARCH=${WINEARCH:-win32} WINEPREFIX=$template WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
wineboot -i >/dev/null 2>&1
# Xvfb runs no window manager. For a window it leaves to one, Wine waits up to 2 s for the
# manager to take it off the screen each time it is hidden (a message box answered, the dialog
# ended), which cost the tests about as much time as everything else. Windows kept to Wine
# itself are hidden at once; without a manager nothing else differs.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wineserver -w
# A prefix of the other kind, or none at all (a missing wine64), must not pass for this one.
arch=$(sed -n 's/^#arch=//p' "$template/system.reg" 2>/dev/null)
if [ "$arch" != "$WINEARCH" ]; then
  echo "make-template: $template is a '${arch:-broken}' prefix, not $WINEARCH" >&2
  exit 1
fi
echo "$version" >"$template/.ready"
