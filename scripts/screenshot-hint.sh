#!/usr/bin/env bash
# Makes docs/dialog-hint.png: the installer's dialog with the pointer resting on Browse, so that the
# hint panel shows its sentence and the yellow frame surrounds the button and the panel. Made like
# docs/dialog.png (virtual desktop, fresh prefix, fixed screen, PNG without time stamps); a small
# Win32 helper built here puts the pointer on the button, since only Wine knows where it is.
#   scripts/screenshot-hint.sh [BUILD]   (default build/; built first when the installer is missing)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# Inside the virtual X server: start, wait until the dialog has settled, point at Browse, and take
# the picture while the hover frame stands (it is erased after 4 s).
if [ "${1:-}" = --capture ]; then
  xdotool mousemove 1000 740
  wine "$SHOT_EXE" &
  previous=""
  settled=0
  for i in $(seq 1 60); do
    sleep 0.5
    import -window root "$SHOT_WORK/root.png"
    convert "$SHOT_WORK/root.png" -trim +repage -trim +repage "$SHOT_WORK/dialog.png" 2>/dev/null || continue
    # The pixels' signature: the file itself carries the time it was written.
    current=$(identify -format %# "$SHOT_WORK/dialog.png")
    if [ "$i" -ge 6 ] && [ "$current" = "$previous" ] &&
       [ "$(identify -format %w "$SHOT_WORK/dialog.png")" -lt 800 ]; then
      settled=1
      break
    fi
    previous=$current
  done
  [ "$settled" = 1 ] || { echo "screenshot-hint: the dialog did not settle" >&2; exit 1; }
  # The helper reports two points of the frame once the hint is up, then stays until stopped; the
  # picture counts only when the frame stands around Browse as around the panel (a slow machine
  # may have let the 4 s pass, and then the frame marks the focused field instead).
  pixel() { convert "$SHOT_WORK/root.png" -format "%[pixel:p{$1,$2}]" info:; }
  for attempt in 1 2 3; do
    rm -f "$SHOT_WORK/points"
    wine "$SHOT_WORK/point-at-browse.exe" >"$SHOT_WORK/points" &
    helper=$!
    for i in $(seq 1 100); do
      [ -s "$SHOT_WORK/points" ] && break
      sleep 0.05
    done
    # The button takes its hover look a moment after the hint: two equal pictures in a row.
    previous=""
    for shot in 1 2 3 4 5; do
      import -window root "$SHOT_WORK/root.png"
      current=$(identify -format %# "$SHOT_WORK/root.png")
      [ "$current" = "$previous" ] && break
      previous=$current
      sleep 0.2
    done
    kill "$helper" 2>/dev/null || true
    wait "$helper" 2>/dev/null || true
    read -r bx by px py fx fy <"$SHOT_WORK/points" || continue
    browse=$(pixel "$bx" "$by") panel=$(pixel "$px" "$py") face=$(pixel "$fx" "$fy")
    if [ "$current" = "$previous" ] && [ "$browse" = "$panel" ] && [ "$browse" != "$face" ]; then
      convert "$SHOT_WORK/root.png" -trim +repage -trim +repage "$SHOT_WORK/dialog.png"
      exit 0
    fi
    sleep 4.5  # the hint moves to the focused field; then Browse can be hovered anew
  done
  echo "screenshot-hint: no hover frame around Browse" >&2
  exit 1
fi

build=${1:-$root/build}
export SHOT_EXE=$build/win/quorvel-setup.exe
out=$root/docs/dialog-hint.png
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

# Moves the pointer onto Browse with real input and waits until the panel shows its sentence.
cat >"$SHOT_WORK/point-at-browse.c" <<'EOF'
#include <windows.h>
#include <stdio.h>
#include <string.h>
static void MovePointer(int x, int y) {
  INPUT input = {0};
  input.type = INPUT_MOUSE;
  input.mi.dx = x * 65536 / GetSystemMetrics(SM_CXSCREEN) + 1;
  input.mi.dy = y * 65536 / GetSystemMetrics(SM_CYSCREEN) + 1;
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &input, sizeof input);
}
int main(void) {
  const char *sentence = "Explore and choose a destination from the existing folders";
  HWND dialog = FindWindowA(NULL, "Setup - Quorvel");
  if (!dialog) return 1;
  RECT browse, panel, whole;
  GetWindowRect(GetDlgItem(dialog, 1007), &browse);
  GetWindowRect(GetDlgItem(dialog, 1021), &panel);
  GetWindowRect(dialog, &whole);
  MovePointer(whole.left + 2, whole.bottom + 8);
  Sleep(50);
  MovePointer((browse.left + browse.right) / 2, (browse.top + browse.bottom) / 2);
  for (int waited = 0; waited < 3000; waited += 10) {
    char text[128] = "";
    GetDlgItemTextA(dialog, 1021, text, sizeof text);
    if (strcmp(text, sentence) == 0) {
      /* middle lines of the left sides of both frames, and the face six pixels left of Browse */
      printf("%ld %ld %ld %ld %ld %ld\n", browse.left - 2, (browse.top + browse.bottom) / 2, panel.left - 2,
             (panel.top + panel.bottom) / 2, browse.left - 6, (browse.top + browse.bottom) / 2);
      fflush(stdout);
      Sleep(10000);
      return 0;
    }
    Sleep(10);
  }
  return 1;
}
EOF
i686-w64-mingw32-gcc -O2 -mconsole -o "$SHOT_WORK/point-at-browse.exe" "$SHOT_WORK/point-at-browse.c"

wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 800x600 /f >/dev/null 2>&1
# The focused group field's caret would blink into some pictures and not others: make it stand still.
wine reg add 'HKCU\Control Panel\Desktop' /v CursorBlinkRate /d 1000000 /f >/dev/null 2>&1
wineserver -w

xvfb-run -a -s "-screen 0 1024x768x24 -br" "$0" --capture
mkdir -p "$root/docs"
convert "$SHOT_WORK/dialog.png" -strip -define png:exclude-chunks=date,time "$out"
echo "$out"
