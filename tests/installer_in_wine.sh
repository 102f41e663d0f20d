#!/bin/sh
# The Windows installer under Wine, silent as an administrator would run
# it: both programs and what they load under Program Files, the console
# tool runs from there, a Start-menu entry for the window, an entry in the
# list of installed programs; then its uninstaller takes every one of them
# away again.
set -eu
setup=$1
project=$2
wine() { "$project/scripts/wine-run.sh" --as-installed "$@"; }
prefix=${WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/qvtpx0xtweaker/wine}
work=$(mktemp -d)
xvfb=
# Every Windows program ends with the wineserver: none holds CTest's output.
trap '"$project/scripts/wine-run.sh" --end-server; [ -z "$xvfb" ] || kill "$xvfb"; rm -rf "$work"' EXIT
# The installer's windows, hidden as they are, need a display: a wineserver
# of its own, started on one.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
"$project/scripts/wine-run.sh" --end-server
# Until every process of the prefix has ended (an uninstaller goes on in
# a copy of itself), at most a minute.
settled() {
    WINEPREFIX=$prefix timeout 60 /usr/lib/wine/wineserver -w ||
        { echo "the installer's programs did not end within 60 s"; exit 1; }
}
folder="$prefix/drive_c/Program Files/qvtpx0xtweaker"
shortcut="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quorvella2 VTPX02-04 tweaker.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\qvtpx0xtweaker'
fail=0
check() {
    if ! eval "$2"; then
        echo "$1"
        fail=1
    fi
}

timeout 60 "$project/scripts/wine-run.sh" --as-installed "$setup" /S || echo "the installer did not end within 60 s"
settled
check "no window program installed" '[ -f "$folder/qvtpx0xtweaker.exe" ]'
check "no platform plugin installed" '[ -f "$folder/platforms/qwindows.dll" ]'
check "the installed console tool does not run" \
    '[ "$(wine "$folder/qvtpx0xtweaker-cli.exe" --version 2>/dev/null)" = "qvtpx0xtweaker-cli 1.0" ]'
check "no Start-menu entry" '[ -f "$shortcut" ]'
check "not in the list of installed programs" 'wine reg query "$key" /v DisplayName >/dev/null 2>&1'

timeout 60 "$project/scripts/wine-run.sh" --as-installed "$folder/uninstall.exe" /S ||
    echo "the uninstaller did not end within 60 s"
settled
check "the uninstaller left the folder" '[ ! -e "$folder" ]'
check "the uninstaller left the Start-menu entry" '[ ! -e "$shortcut" ]'
check "the uninstaller left the entry in the list" '! wine reg query "$key" >/dev/null 2>&1'
[ "$fail" -eq 0 ] && echo "8 passed, 0 failed"
exit "$fail"
