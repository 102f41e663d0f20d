#!/bin/sh
# The README's two commands as a newcomer meets them: after install-deps.sh
# no FTP server is enabled or listening on this machine, and run.sh, in a
# network namespace and an X server of its own, starts the simulated
# module, a read through the window succeeds, and after Ctrl+Q run.sh exits
# 0 with no temporary folder or process left. Needs root.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh

enabled=$(ls /etc/systemd/system/*.wants/vsftpd.service /etc/rc[2-5].d/S*vsftpd 2>/dev/null || true)
[ -z "$enabled" ] || { echo "vsftpd is enabled as a service: $enabled"; exit 1; }
listening=$(ss -Hltn 'sport = :21')
[ -z "$listening" ] || { echo "an FTP server listens: $listening"; exit 1; }

if [ "${1:-}" != --inside ]; then
    exec unshare -n sh -c 'ip link set lo up && exec "$0" --inside' "$0"
fi

work=$(mktemp -d)
xvfb=
cleanup() {
    [ -z "$xvfb" ] || { kill "$xvfb" 2>/dev/null || true; }
    rm -rf "$work"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
unset QT_QPA_PLATFORM

mkdir "$work/tmp" "$work/runtime"
chmod 700 "$work/runtime"
XDG_RUNTIME_DIR="$work/runtime" TMPDIR="$work/tmp" scripts/run.sh >"$work/run.log" 2>&1 &
run=$!
window=$(timeout 120 xdotool search --sync --onlyvisible --name '^Quorvella2 VTPX02/04 tweaker' | head -n 1)
xdotool windowfocus --sync "$window"
xdotool type --delay 20 127.0.0.1
xdotool key --clearmodifiers alt+r
for _ in $(seq 100); do grep -q ftpDownloadFinish "$work/run.log" && break; sleep 0.1; done
xdotool key --clearmodifiers ctrl+q
status=0
wait "$run" || status=$?

fail() { echo "$1"; cat "$work/run.log"; exit 1; }
grep -q 'A simulated module serves' "$work/run.log" || fail "run.sh started no simulated module"
grep -q 'ftpDownloadFinish true' "$work/run.log" || fail "no read finished"
! grep -q 'Error occurs' "$work/run.log" || fail "the read failed"
grep -q 'blighlvl=80' "$work/run.log" || fail "the read applied nothing"
[ "$status" -eq 0 ] || fail "run.sh exited $status"
[ -z "$(ls -A "$work/tmp")" ] || fail "run.sh left $(ls -A "$work/tmp")"
! pgrep -f "$work/tmp" >/dev/null || fail "run.sh left its module running"
echo "README commands: passed"
