#!/bin/sh
# Installs what running the tool needs, builds it and starts it next to a
# simulated module: the project's FTP server on 127.0.0.1 serving a
# vtpx_domo that holds the defaults. Type 127.0.0.1 as the module's address
# to try it. Exits with the tool's exit code and leaves nothing behind.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh run
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target qvtpx0xtweaker

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
    ss -Hltnp 'sport = :21' 2>/dev/null | sed -n 's/.*users:(("\([^"]*\)",pid=\([0-9]*\).*/\1 (pid \2)/p' | head -n 1
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
    holder=$(port_holder)
    echo "No simulated module: port 21 is taken${holder:+ by $holder}; stop that server" \
        "(e.g. systemctl stop vsftpd) and run again. Starting the tool alone."
    server=
else
    echo "No simulated module: its FTP server could not listen on 127.0.0.1:21" \
        "($(tail -n 1 "$module/server.log"); port 21 needs root). Starting the tool alone."
    server=
fi

status=0
build/qvtpx0xtweaker/qvtpx0xtweaker "$@" || status=$?
exit "$status"
