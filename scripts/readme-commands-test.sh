#!/bin/sh
# The README's two commands as a newcomer meets them. install-deps.sh leaves
# a vsftpd service enabled or disabled as it found it, and no FTP server
# listening. run.sh, in an X server of this test's own, starts the
# simulated module, a read through the window succeeds, and after Ctrl+Q
# run.sh exits 0 with no temporary folder or process left: as root, in a
# network namespace of the test's own, and as an ordinary user (an account
# the test makes and removes), in whose new checkout "cmake --install"
# then installs both programs. Needs root.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh

if [ "${1:-}" != --inside ]; then
    # A vsftpd the machine's owner enabled, or disabled, stays so.
    vsftpd_enabled() {
        ls /etc/systemd/system/*.wants/vsftpd.service /etc/rc[2-5].d/S*vsftpd >/dev/null 2>&1
    }
    vsftpd_set() {
        if command -v systemctl >/dev/null; then
            systemctl "$1" --quiet vsftpd.service 2>/dev/null
        else
            update-rc.d vsftpd "$1" >/dev/null 2>&1
        fi
    }
    was=disable
    vsftpd_enabled && was=enable
    trap 'vsftpd_set $was' EXIT
    for state in enable disable; do
        vsftpd_set $state
        scripts/install-deps.sh run
        scripts/install-deps.sh
        now=disable
        vsftpd_enabled && now=enable
        [ "$now" = $state ] || { echo "install-deps.sh changed vsftpd's service from ${state}d to ${now}d"; exit 1; }
    done
    vsftpd_set $was
    trap - EXIT
    listening=$(ss -Hltn 'sport = :21')
    [ -z "$listening" ] || { echo "an FTP server listens: $listening"; exit 1; }
    exec unshare -n sh -c 'ip link set lo up && exec "$0" --inside' "$0"
fi

work=$(mktemp -d)
chmod 755 "$work"
xvfb=
user=qvtpx-newcomer
cleanup() {
    [ -z "$xvfb" ] || { kill "$xvfb" 2>/dev/null || true; }
    pkill -KILL -u "$user" 2>/dev/null || true
    userdel -r "$user" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
unset QT_QPA_PLATFORM

fail() {
    echo "$1"
    cat "$work/run.log"
    exit 1
}

# Runs run.sh as it is (a command prefix may change the user), reads
# through the window and quits it.
try_run() {
    who=$1
    shift
    tmp=$(mktemp -d -p "$work")
    mkdir "$tmp/tmp" "$tmp/runtime"
    chmod 700 "$tmp/runtime"
    chown -R "${who%%:*}" "$tmp" 2>/dev/null || true
    "$@" env XDG_RUNTIME_DIR="$tmp/runtime" TMPDIR="$tmp/tmp" DISPLAY="$DISPLAY" scripts/run.sh \
        >"$work/run.log" 2>&1 &
    run=$!
    window=$(timeout 300 xdotool search --sync --onlyvisible --name '^Quorvella2 VTPX02/04 tweaker' |
        head -n 1) || true
    [ -n "$window" ] || fail "$who: no window"
    xdotool windowfocus --sync "$window"
    xdotool type --delay 20 127.0.0.1
    xdotool key --clearmodifiers alt+r
    for _ in $(seq 100); do grep -q ftpDownloadFinish "$work/run.log" && break; sleep 0.1; done
    xdotool key --clearmodifiers ctrl+q
    status=0
    wait "$run" || status=$?

    grep -q 'A simulated module serves' "$work/run.log" || fail "$who: run.sh started no simulated module"
    grep -q 'ftpDownloadFinish true' "$work/run.log" || fail "$who: no read finished"
    ! grep -q 'Error occurs' "$work/run.log" || fail "$who: the read failed"
    grep -q 'blighlvl=80' "$work/run.log" || fail "$who: the read applied nothing"
    [ "$status" -eq 0 ] || fail "$who: run.sh exited $status"
    [ -z "$(ls -A "$tmp/tmp")" ] || fail "$who: run.sh left $(ls -A "$tmp/tmp")"
    ! pgrep -f "$tmp/tmp" >/dev/null || fail "$who: run.sh left its module running"
    echo "run.sh as $who: passed"
}

try_run root

# An ordinary user with a copy of the project in their home, no sudo, and
# everything that running needs already installed.
useradd --create-home --shell /bin/sh "$user"
home=$(getent passwd "$user" | cut -d: -f6)
git ls-files -z | tar --null -T - -cf - | runuser -u "$user" -- tar -C "$home" -xf - --one-top-level=project
cd "$home/project"
try_run "$user" runuser -u "$user" --
grep -q 'network namespace of their own' "$work/run.log" || fail "$user: run.sh did not say where the module runs"
# The README's install from source, right after run.sh in a new checkout
# (into the user's home here, not /usr/local).
runuser -u "$user" -- cmake --install build --prefix "$home/installed" --strip >"$work/run.log" 2>&1 ||
    fail "$user: cmake --install after run.sh failed"
for program in qvtpx0xtweaker qvtpx0xtweaker-cli; do
    [ -x "$home/installed/bin/$program" ] || fail "$user: cmake --install after run.sh installed no $program"
done
echo "README commands: passed"
