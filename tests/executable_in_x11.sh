#!/bin/sh
# Starts the real executable in a real X server, waits for its window and
# closes it with each of the ways a user has, once in the middle of a read
# and a write that hang: the exit code must be 0 every time. Runs in a
# network namespace of its own (see CMakeLists.txt).
set -eu
executable=$1
ftpserver=$2
title='Quorvella2 VTPX02/04 tweaker (v1.0)'
work=$(mktemp -d)
xvfb_pid=
server_pid=
cleanup() {
    status=$?
    for pid in $server_pid $xvfb_pid; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
    exit "$status"
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
    before=${2:-}
    timeout 30 "$executable" extra --arguments are ignored &
    app=$!
    window=$(timeout 20 xdotool search --sync --onlyvisible --name "^$(echo "$title" | sed 's/[()]/\\&/g')\$" | head -n 1)
    # No window manager runs: give the window the keyboard focus directly.
    xdotool windowfocus --sync "$window"
    [ -n "$before" ] && $before
    xdotool key --clearmodifiers "$keys"
    status=0
    wait "$app" || status=$?
    if [ "$status" -ne 0 ]; then
        echo "closing with $keys: exit code $status"
        exit 1
    fi
    passed=$((passed + 1))
}
start_hanging_transfers() {
    xdotool type --delay 20 127.0.0.1
    xdotool key --clearmodifiers alt+r alt+w
}

close_with ctrl+q
close_with alt+q

# A module that accepts connections and never answers.
"$ftpserver" "$work" --silent > "$work/server.out" &
server_pid=$!
for _ in $(seq 100); do grep -q ready "$work/server.out" 2>/dev/null && break; sleep 0.1; done
close_with ctrl+q start_hanging_transfers
echo "$passed passed, 0 failed"
