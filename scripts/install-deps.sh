#!/bin/sh
# Installs, from Debian's archive, what this machine lacks for one purpose:
#   install-deps.sh run    building and running the tool with its simulated module
#   install-deps.sh        also the tests and the gates of CI (the default)
# Runs as root, or through sudo where there is one.
#
# The tests start their own vsftpd in a network namespace; the system's copy
# must never run as a service: it is installed without being started, and
# its service is disabled, now and for every boot.
set -eu

packages="cmake g++ make qtbase5-dev libfontconfig-dev python3-pyftpdlib iproute2"
if [ "${1:-test}" != run ]; then
    packages="$packages vsftpd util-linux
        xvfb xdotool binutils-mingw-w64-x86-64
        clang-14 libclang-rt-14-dev clang-tidy-14 clang-format-14 cppcheck clazy
        dpkg-dev file desktop-file-utils"
fi

as_root=
[ "$(id -u)" -ne 0 ] && as_root=sudo

missing=
for package in $packages; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing="$missing $package"
done
if [ -n "$missing" ]; then
    echo "Installing:$missing"
    # While policy-rc.d answers 101, no package starts a service.
    policy=
    if [ ! -e /usr/sbin/policy-rc.d ]; then
        policy=/usr/sbin/policy-rc.d
        printf '#!/bin/sh\nexit 101\n' | $as_root tee "$policy" >/dev/null
        $as_root chmod 755 "$policy"
        trap '$as_root rm -f "$policy"' EXIT
    fi
    $as_root apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $as_root apt-get install -y -qq --no-install-recommends $missing
fi

if dpkg-query -W -f='${Status}' vsftpd 2>/dev/null | grep -q "install ok installed"; then
    if [ -d /run/systemd/system ]; then
        $as_root systemctl disable --now --quiet vsftpd.service
    elif command -v systemctl >/dev/null; then
        $as_root systemctl disable --quiet vsftpd.service
    fi
    $as_root update-rc.d vsftpd disable >/dev/null 2>&1 || true
fi
