#!/usr/bin/env bash
# Makes docs/dialog.png: the installer's dialog as it first appears, with its caption, cropped to
# the window. A Wine virtual desktop draws the caption (there is no window manager under Xvfb);
# a fresh prefix, a fixed screen, the pointer parked outside the desktop and a PNG without time
# stamps make the picture the same on every run.
#   scripts/screenshot.sh [BUILD]   (default build/; built first when the installer is missing)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# Inside the virtual X server (the script runs itself there): start, wait until two pictures in
# a row agree, and crop: the black screen around the desktop first, then the desktop's colour.
if [ "${1:-}" = --capture ]; then
  xdotool mousemove 1000 740
  wine "$SHOT_EXE" &
  previous=""
  for i in $(seq 1 60); do
    sleep 0.5
    import -window root "$SHOT_WORK/root.png"
    # An all-black screen (nothing drawn yet) cannot be trimmed: that picture just fails to agree.
    convert "$SHOT_WORK/root.png" -trim +repage -trim +repage "$SHOT_WORK/dialog.png" 2>/dev/null || continue
    # The pixels' hash, not the file's: ImageMagick writes time chunks into every PNG.
    current=$(identify -format %# "$SHOT_WORK/dialog.png")
    if [ "$i" -ge 6 ] && [ "$current" = "$previous" ] &&
       [ "$(identify -format %w "$SHOT_WORK/dialog.png")" -lt 800 ]; then
      exit 0
    fi
    previous=$current
  done
  echo "screenshot: the dialog did not settle" >&2
  exit 1
fi

build=${1:-$root/build}
export SHOT_EXE=$build/win/quorvel-setup.exe
out=$root/docs/dialog.png
[ -f "$SHOT_EXE" ] || "$root/scripts/build.sh" "$build"

export WINEARCH=win32
template=${QUORVEL_WINE_TEMPLATE:-$HOME/.cache/quorvel/wine-template-win32}
"$root/tests/wine/make-template.sh" "$template"
SHOT_WORK=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-shot.XXXXXX")
export SHOT_WORK
export WINEPREFIX=$SHOT_WORK/prefix WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
cp -a "$template/." "$WINEPREFIX/"
cleanup() { wineserver -k >/dev/null 2>&1 || true; rm -rf "$SHOT_WORK"; }
trap cleanup EXIT

wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 800x600 /f >/dev/null 2>&1
# A caret that does not blink, so that every picture of the focused field is the same.
wine reg add 'HKCU\Control Panel\Desktop' /v CursorBlinkRate /d 1000000 /f >/dev/null 2>&1
wineserver -w

xvfb-run -a -s "-screen 0 1024x768x24 -br" "$0" --capture
mkdir -p "$root/docs"
convert "$SHOT_WORK/dialog.png" -strip -define png:exclude-chunks=date,time "$out"
echo "$out"
