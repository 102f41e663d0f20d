#!/bin/sh
# Installs what is missing, builds the tool and starts it next to a simulated
# module: the project's FTP server on 127.0.0.1 serving a vtpx_domo that
# holds the defaults. Type 127.0.0.1 as the module's address to try it.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target qvtpx0xtweaker

module=$(mktemp -d)
server=
stop_module() {
    [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
    rm -rf "$module"
}
trap stop_module EXIT INT TERM

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
else
    echo "No simulated module: its FTP server could not listen on 127.0.0.1:21:"
    grep -v '^ready$' "$module/server.log" | tail -n 3
    echo "(port 21 needs root, and must be free). Starting the tool alone."
    server=
fi
build/qvtpx0xtweaker/qvtpx0xtweaker "$@"
