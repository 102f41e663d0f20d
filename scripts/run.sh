#!/bin/sh
# Installs what running the tool needs, builds it and starts it next to a
# simulated module: the project's FTP server on 127.0.0.1 serving a
# vtpx_domo that holds the defaults. Type 127.0.0.1 as the module's address
# to try it. Exits with the tool's exit code; the build (both programs,
# ready for "cmake --install build") stays in build/,
# the module's folder goes.
#
# The module listens on port 21, which only root may bind. For anyone else
# the module and the tool run together in a user and network namespace of
# their own, where port 21 is free to take; the X display is still reached
# through its socket.
set -eu
self=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")
cd "$(dirname "$self")/.."
if [ -z "${QVTPX_RUN_NAMESPACE:-}" ]; then
    scripts/install-deps.sh run
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build -j"$(nproc)" --target installables # both programs: "cmake --install build" works
    if [ "$(id -u)" -ne 0 ] &&
        unshare --user --map-root-user --net true 2>/dev/null; then
        echo "The tool and a simulated module run in a network namespace of their own (port 21 needs root):" \
            "real modules cannot be reached from it."
        export QVTPX_RUN_NAMESPACE=1
        exec unshare --user --map-root-user --net sh -c 'ip link set lo up && exec "$0" "$@"' "$self" "$@"
    fi
fi

module=$(mktemp -d)
server=
stop_module() {
    if [ -n "$server" ]; then
        kill "$server" 2>/dev/null || true
        wait "$server" 2>/dev/null || true
    fi
    rm -rf "$module"
}
trap stop_module EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The program listening on port 21, as "vsftpd (pid 123)", when ss can tell.
port_holder() {
    ss -Hltnp 'sport = :21' 2>/dev/null | sed -n 's/.*users:(("\([^"]*\)",pid=\([0-9]*\).*/\1 \2/p' | head -n 1
}

# How to stop the program with this PID: its systemd service, if it runs as one.
how_to_stop() {
    unit=$(sed -n 's|^0::.*/\([^/]*\.service\)$|\1|p' "/proc/$1/cgroup" 2>/dev/null | head -n 1)
    if [ -n "$unit" ]; then echo "systemctl stop $unit"; else echo "kill $1"; fi
}

port_taken() {
    set -- $(port_holder)
    if [ $# -eq 2 ]; then
        echo "No simulated module: port 21 is taken by $1 (pid $2); stop it ($(how_to_stop "$2"))" \
            "and run again. Starting the tool alone."
    else
        echo "No simulated module: another program listens on port 21; stop it and run again." \
            "Starting the tool alone."
    fi
}

comment='#0=full access;1=read-only;other=forced to 1'
printf '%s\n' '[global]' '#0=disable;1=night;2=day;3=watchdog only' 'arm=3' '#0%-100%' 'blighlvl=80' \
    '#in seconds. 0=always ON' 'blightout=120' "$comment" 'backlightmenu=0' "$comment" 'simulmenu=0' \
    "$comment" 'timemenu=0' "$comment" 'networkmenu=0' > "$module/vtpx_domo"

tools/ftpserver.py "$module" --address 127.0.0.1 > "$module/server.log" 2>&1 &
server=$!
for _ in $(seq 50); do
    grep -q '^ready$' "$module/server.log" 2>/dev/null && break
    kill -0 "$server" 2>/dev/null || break
    sleep 0.1
done
if grep -q '^ready$' "$module/server.log"; then
    echo "A simulated module serves $module/vtpx_domo at 127.0.0.1: type 127.0.0.1 as the address."
elif grep -q 'Address already in use' "$module/server.log"; then
    port_taken
    server=
else
    why=$(tail -n 1 "$module/server.log")
    [ "$(id -u)" -eq 0 ] || why="$why; port 21 needs root, and this system gives no user namespace"
    echo "No simulated module: its FTP server could not listen on 127.0.0.1:21 ($why)." \
        "Starting the tool alone."
    server=
fi

status=0
build/qvtpx0xtweaker/qvtpx0xtweaker "$@" || status=$?
exit "$status"
