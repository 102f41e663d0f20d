#!/bin/sh
# Installs, from Debian's archive, what this machine lacks for one purpose:
#   install-deps.sh run    building and running the tools (Qt 5) with the simulated module
#   install-deps.sh qt6    building them with Qt 6 instead
#   install-deps.sh windows    building them for Windows (Qt cross-built
#                          from Debian's source) and testing them under Wine
#   install-deps.sh        the tests and the gates of CI, with both (the default)
# Runs as root, or through sudo where there is one.
#
# It changes no service that was there before. The tests start their own
# vsftpd in a network namespace, so when this script installs vsftpd, that
# copy is neither started nor enabled; a vsftpd that was already installed
# is left exactly as it was.
set -eu

packages="cmake g++ make qtbase5-dev libfontconfig-dev python3-pyftpdlib iproute2"
case "${1:-test}" in
run) ;;
qt6) packages="cmake g++ make qt6-base-dev libfontconfig-dev" ;;
windows)
    packages="cmake g++ make perl python3 dpkg-dev xz-utils g++-mingw-w64-x86-64-posix wine64 nsis
        python3-pyftpdlib vsftpd iproute2 util-linux xvfb xdotool fonts-dejavu-core icoutils file x11-apps"
    ;;
*)
    packages="$packages qt6-base-dev vsftpd util-linux
        xvfb xdotool binutils-mingw-w64-x86-64
        clang-14 libclang-rt-14-dev clang-tidy-14 clang-format-14 cppcheck clazy
        dpkg-dev file desktop-file-utils lintian curl ansible-core"
    ;;
esac

as_root=
[ "$(id -u)" -ne 0 ] && as_root=sudo

missing=
for package in $packages; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing="$missing $package"
done
[ -n "$missing" ] || exit 0
echo "Installing:$missing"

# While this policy is in place, no package may start vsftpd; every other
# service is handled as it would be without it. An existing policy is the
# machine's own: it stays, and decides.
policy=
if [ ! -e /usr/sbin/policy-rc.d ]; then
    policy=/usr/sbin/policy-rc.d
    printf '#!/bin/sh\ncase "$1" in vsftpd) exit 101 ;; esac\nexit 0\n' | $as_root tee "$policy" >/dev/null
    $as_root chmod 755 "$policy"
    trap '$as_root rm -f "$policy"' EXIT
fi
$as_root apt-get update -qq
DEBIAN_FRONTEND=noninteractive $as_root apt-get install -y -qq --no-install-recommends $missing

# vsftpd's own installation enables its service for the next boot; this
# copy is only for the tests (a Windows build's too).
case " $missing " in
*" vsftpd "*)
    if command -v systemctl >/dev/null; then
        $as_root systemctl disable --quiet vsftpd.service 2>/dev/null || true
    fi
    $as_root update-rc.d vsftpd disable >/dev/null 2>&1 || true
    ;;
esac
