#!/bin/sh
# Starts the real executable in a real X server, waits for its window and
# closes it with each of the ways a user has: the exit code must be 0.
set -eu
executable=$1
title='Quorvella2 VTPX02/04 tweaker (v1.0)'
work=$(mktemp -d)
xvfb_pid=
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display itself and reports it once it accepts clients.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
DISPLAY=:$(cat "$work/display")
export DISPLAY
unset QT_QPA_PLATFORM

passed=0
close_with() {
    keys=$1
    timeout 30 "$executable" extra --arguments are ignored &
    app=$!
    window=$(timeout 20 xdotool search --sync --onlyvisible --name "^$(echo "$title" | sed 's/[()]/\\&/g')\$" | head -n 1)
    # No window manager runs: give the window the keyboard focus directly.
    xdotool windowfocus --sync "$window"
    xdotool key --clearmodifiers "$keys"
    status=0
    wait "$app" || status=$?
    if [ "$status" -ne 0 ]; then
        echo "closing with $keys: exit code $status"
        exit 1
    fi
    passed=$((passed + 1))
}
close_with ctrl+q
close_with alt+q
echo "$passed passed, 0 failed"
