#!/usr/bin/env bash
# Builds Quorvel Setup and runs it under Wine in the project's own prefix (build/wine-prefix).
# With DISPLAY set the dialog opens on that display and the script returns when it is closed.
# Without a display it runs under Xvfb, saves a screenshot to build/dialog.png, prints that path
# and ends the program. QUORVEL_BUILD_DIR names another build directory than build/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVEL_BUILD_DIR:-$root/build}
exe=$build/win/quorvel-setup.exe
shot=$build/dialog.png
# The prefix the dialog is shown in is a 32-bit Windows; its kind is named, not left to chance.
export WINEARCH=win32 WINEPREFIX=$build/wine-prefix
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"

# Inside the virtual X server (the script runs itself there): start, wait for the window, shoot.
if [ "${1:-}" = --capture ]; then
  wine "$exe" &
  for _ in $(seq 1 120); do
    xdotool search --name '^Setup - Quorvel$' >/dev/null 2>&1 && break
    sleep 0.25
  done
  if ! xdotool search --name '^Setup - Quorvel$' >/dev/null 2>&1; then
    echo "run: the installer's window did not appear" >&2
    wineserver -k
    exit 1
  fi
  sleep 2  # the first paint and the initial focus frame are over by then
  import -window root "$shot"
  wineserver -k  # the prefix is the project's own: nothing else runs in it
  exit 0
fi

"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$build"
"$root/tests/wine/make-template.sh" "$WINEPREFIX"

if [ -n "${DISPLAY:-}" ]; then
  wine "$exe"
  exit 0
fi
xvfb-run -a -s "-screen 0 1024x768x24" "$0" --capture
echo "$shot"
