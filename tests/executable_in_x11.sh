#!/bin/sh
# Starts the real executable in a real X server, waits for its window and
# closes it with each of the ways a user has, once in the middle of a read
# that hangs: the exit code must be 0 every time. Then quits in the middle
# of a write to a slow module: the tool exits 0 once the write is through,
# and the module holds the new file. Runs in a network namespace of its own
# (see CMakeLists.txt).
set -eu
executable=$1
ftpserver=$2
work=$(mktemp -d)
pids=
trap 'for pid in $pids; do kill "$pid" 2>/dev/null || true; done; rm -rf "$work"' EXIT

# Xvfb picks a free display itself and reports it once it accepts clients.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
unset QT_QPA_PLATFORM

# A module that accepts connections and never answers, at 127.0.0.1.
"$ftpserver" "$work" --silent >"$work/server.out" &
pids="$pids $!"
for _ in $(seq 100); do grep -q ready "$work/server.out" 2>/dev/null && break; sleep 0.1; done

# A module that answers every command 0.4 s late, at 127.0.0.2.
mkdir "$work/slow"
echo "arm=1" >"$work/slow/vtpx_domo"
"$ftpserver" "$work/slow" --address 127.0.0.2 --reply-delay 0.4 --log "$work/slow.log" >"$work/slow.out" &
pids="$pids $!"
for _ in $(seq 100); do grep -q ready "$work/slow.out" 2>/dev/null && break; sleep 0.1; done

# Starts the tool and presses these keys in its window ("wait-for-STOR":
# until the slow module has received STOR); its exit code must be 0.
run() {
    keys=$1
    timeout 30 "$executable" extra --arguments are ignored 2>"$work/app.log" &
    app=$!
    window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Quorvella2 VTPX02/04 tweaker \(v1\.0\)$' |
        head -n 1) || true
    [ -n "$window" ] || { echo "no window before $keys"; cat "$work/app.log"; exit 1; }
    xdotool windowfocus --sync "$window" # no window manager runs to give it the focus
    for key in $keys; do
        case $key in
        wait-for-STOR) for _ in $(seq 200); do grep -q STOR "$work/slow.log" 2>/dev/null && break; sleep 0.05; done ;;
        *.*) xdotool type --delay 20 "$key" ;;
        *) xdotool key --clearmodifiers "$key" ;;
        esac
    done
    status=0
    wait "$app" || status=$?
    [ "$status" -eq 0 ] || { echo "closing with $keys: exit code $status"; cat "$work/app.log"; exit 1; }
}
for keys in ctrl+q alt+q "127.0.0.1 alt+r ctrl+q"; do
    run "$keys"
done

run "127.0.0.2 alt+w wait-for-STOR ctrl+q"
comment='#0=full access;1=read-only;other=forced to 1'
printf '%s\n' '[global]' '#0=disable;1=night;2=day;3=watchdog only' 'arm=3' '#0%-100%' 'blighlvl=80' \
    '#in seconds. 0=always ON' 'blightout=120' "$comment" 'backlightmenu=0' "$comment" 'simulmenu=0' \
    "$comment" 'timemenu=0' "$comment" 'networkmenu=0' >"$work/expected"
cmp -s "$work/expected" "$work/slow/vtpx_domo" ||
    { echo "quitting mid-write left the module: $(wc -c <"$work/slow/vtpx_domo") bytes"; cat "$work/app.log"; exit 1; }
echo "4 passed, 0 failed"
