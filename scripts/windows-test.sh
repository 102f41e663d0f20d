#!/bin/sh
# Runs the Windows build's whole suite (build-windows/, made by
# scripts/windows-build.sh) under Wine: in a network namespace of its own
# with only loopback (and the LAN that tst_devicetransfer adds), against the
# same FTP servers as the Linux suite. A Windows program under Wine starts
# only Windows programs, so the servers and the test LAN's commands are
# started on the Linux side, in the same namespace, by
# tools/serverlauncher.py. One test at a time: they share the namespace's
# port 21. Nothing is left running. Needs root, as the suite does.
# Arguments go to ctest ("-R tst_ftpclient": one test).
set -eu
cd "$(dirname "$0")/.."
if [ "${1:-}" != --inside ]; then
    scripts/install-deps.sh windows
    [ -d build-windows ] || { echo "no build-windows/: run scripts/windows-build.sh first"; exit 1; }
    # A PID namespace too: when the run ends, so does every process it started.
    exec unshare --net --pid --fork --kill-child --mount-proc sh -c 'ip link set lo up && exec "$0" --inside "$@"' \
        "$0" "$@"
fi
shift

work=$(mktemp -d)
project=$(pwd)
trap '"$project/scripts/wine-run.sh" --end-server; rm -rf "$work"' EXIT
tools/serverlauncher.py >"$work/launcher" &
for _ in $(seq 100); do grep -q '^ready ' "$work/launcher" && break; sleep 0.1; done
QVTPX_LAUNCHER=127.0.0.1:$(sed -n 's/^ready //p' "$work/launcher")
export QVTPX_LAUNCHER
# A Wine prefix of this run's own, so that no run depends on what an
# earlier one left. Its making is not a test's time.
WINEPREFIX=$work/wine
export WINEPREFIX
scripts/wine-run.sh wineboot --init 2>/dev/null
scripts/wine-run.sh --end-server
cd build-windows
ctest --output-on-failure --timeout 600 "$@"
