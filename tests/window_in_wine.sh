#!/bin/sh
# The Windows window as a user meets it: from the zip, unpacked into a
# folder of its own and run with nothing else installed, under Wine, on a
# real X server (Wine draws Windows' windows there), against a simulated
# module at 127.0.0.1: Read current config shows the module's values, Write new
# config replaces its file and says so in a box, and Alt+Q (Quit: Windows
# has no standard Quit keys) ends the program with exit code 0. Runs in the
# namespace of scripts/windows-test.sh.
set -eu
zip=$1
project=$2
work=$(mktemp -d)
pids=
# Every Windows program ends with the wineserver: none holds CTest's output.
trap '"$project/scripts/wine-run.sh" --end-server
    for pid in $pids; do kill "$pid" 2>/dev/null || true; done; rm -rf "$work"' EXIT
fail() {
    echo "$1"
    cat "$work/app.log"
    exit 1
}

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
unset QT_QPA_PLATFORM

mkdir "$work/module"
printf 'arm=1\nblighlvl=33\nblightout=45\ntimemenu=1\n' >"$work/module/vtpx_domo"
"$project/tools/ftpserver.py" "$work/module" >"$work/server.out" 2>&1 &
pids="$pids $!"
for _ in $(seq 100); do grep -q ready "$work/server.out" 2>/dev/null && break; sleep 0.1; done

(cd "$work" && cmake -E tar xf "$zip")
executable=$(ls "$work"/*/qvtpx0xtweaker.exe)
# A wineserver started by programs without a display (the tests before,
# the prefix's own services) would give the window a desktop without one:
# the window starts a wineserver of its own, on this display.
"$project/scripts/wine-run.sh" --end-server
"$project/scripts/wine-run.sh" --as-installed "$executable" >"$work/app.out" 2>"$work/app.log" &
app=$!
window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Quorvella2 VTPX02/04 tweaker \(v1\.0\)$' |
    head -n 1) || true
[ -n "$window" ] || fail "no window"
xdotool windowfocus --sync "$window"
xdotool type --delay 50 127.0.0.1
xdotool key --clearmodifiers alt+r
for _ in $(seq 100); do grep -q 'ftpDownloadFinish' "$work/app.log" && break; sleep 0.1; done
grep -q 'ftpDownloadFinish true' "$work/app.log" || fail "no read finished"
grep -q 'Error occurs' "$work/app.log" && fail "the read failed"
[ -z "${QVTPX_SCREENSHOT:-}" ] || { sleep 1; xwd -id "$window" -silent >"$QVTPX_SCREENSHOT"; } # for the README

xdotool key --clearmodifiers alt+w
for _ in $(seq 100); do [ "$(grep -c 'ftpDownloadFinish' "$work/app.log")" -ge 2 ] && break; sleep 0.1; done
box=$(timeout 20 xdotool search --sync --onlyvisible --name '^qvtpx0xtweaker$' | head -n 1) || true
[ -n "$box" ] || fail "no box after the write"
for _ in $(seq 50); do # Ok, once the box takes keys
    xdotool windowfocus --sync "$box" key Return 2>/dev/null || true
    sleep 0.2
    xdotool search --onlyvisible --name '^qvtpx0xtweaker$' >/dev/null || break
done
comment='#0=full access;1=read-only;other=forced to 1'
printf '%s\n' '[global]' '#0=disable;1=night;2=day;3=watchdog only' 'arm=1' '#0%-100%' 'blighlvl=33' \
    '#in seconds. 0=always ON' 'blightout=45' "$comment" 'backlightmenu=0' "$comment" 'simulmenu=0' \
    "$comment" 'timemenu=1' "$comment" 'networkmenu=0' >"$work/expected"
cmp -s "$work/expected" "$work/module/vtpx_domo" || fail "the module holds: $(cat "$work/module/vtpx_domo")"

for _ in $(seq 50); do # Alt+Q, once the window has the keys again
    xdotool windowfocus --sync "$window" key --clearmodifiers alt+q 2>/dev/null || true
    sleep 0.2
    kill -0 "$app" 2>/dev/null || break
done
kill -0 "$app" 2>/dev/null && fail "Alt+Q did not end the program"
status=0
wait "$app" || status=$?
[ "$status" -eq 0 ] || fail "exit code $status after Alt+Q"
echo "3 passed, 0 failed"
