#!/usr/bin/env bash
# Runs a Windows program under Wine in a Wine prefix of its own, on an X display of its own, and
# removes both afterwards, so that tests never see each other's files, registry or windows.
# The prefix is copied from a template made once (wineboot takes 10-15 s). The system DLLs
# (500+ MB, twice that in a 64-bit prefix, that no test writes) are hard-linked rather than
# copied, which brings a prefix's set-up from about 2 s down to a fifth of a second; everything
# else is a real copy.
# The prefix's kind is always named: without WINEARCH, a new prefix is 64-bit or 32-bit depending
# on which Wine packages the machine has.
#   QUORVEL_WINEARCH       win32 (default) or win64: a 32-bit Windows, or a 64-bit one on which
#                          the 32-bit programs run under WoW64 as on most users' machines
#   QUORVEL_WINE_TEMPLATE  template prefix (default: ~/.cache/quorvel/wine-template-$QUORVEL_WINEARCH)
#   QUORVEL_KEEP_PREFIX=1  keep the prefix for inspection (its path is printed)
set -u
here=$(cd "$(dirname "$0")" && pwd)
export WINEARCH=${QUORVEL_WINEARCH:-win32}
case $WINEARCH in win32|win64) ;; *) echo "wine-run: unknown QUORVEL_WINEARCH $WINEARCH" >&2; exit 1 ;; esac
template=${QUORVEL_WINE_TEMPLATE:-$HOME/.cache/quorvel/wine-template-$WINEARCH}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"

"$here/make-template.sh" "$template" || exit 1

# Beside the template, so that hard links are possible (same file system).
prefix=$(mktemp -d "$(dirname "$template")/prefix.XXXXXX")
system=drive_c/windows
shared=()
for dir in system32 syswow64 winsxs; do  # syswow64: the 32-bit DLLs of a 64-bit prefix
  [ -d "$template/$system/$dir" ] && shared+=("$template/$system/$dir")
done
tar -C "$template" --exclude="./$system/system32" --exclude="./$system/syswow64" --exclude="./$system/winsxs" \
  -cf - . | tar -C "$prefix" -xf -
cp -al "${shared[@]}" "$prefix/$system/" 2>/dev/null || cp -a "${shared[@]}" "$prefix/$system/"
export WINEPREFIX=$prefix

cleanup() {
  WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1
  if [ "${QUORVEL_KEEP_PREFIX:-0}" = 1 ]; then echo "wine-run: prefix kept at $prefix" >&2
  else rm -rf "$prefix"; fi
}
trap cleanup EXIT

if [ "${QUORVEL_SHARED_DISPLAY:-0}" = 1 ] && [ -n "${DISPLAY:-}" ]; then
  wine "$@"
else
  xvfb-run -a -s "-screen 0 1024x768x24" wine "$@"
fi
