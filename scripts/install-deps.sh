#!/bin/sh
# Installs, from Debian's archive, whatever the build and the tests need and
# this machine lacks. Runs as root (or through sudo when there is one).
set -eu

packages="cmake g++ make qtbase5-dev
    python3-pyftpdlib vsftpd iproute2 util-linux
    xvfb xdotool binutils-mingw-w64-x86-64
    clang-14 libclang-rt-14-dev clang-tidy-14 clang-format-14 cppcheck clazy
    dpkg-dev file"

missing=
for package in $packages; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing="$missing $package"
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
as_root=
[ "$(id -u)" -ne 0 ] && as_root=sudo
$as_root apt-get update -qq
DEBIAN_FRONTEND=noninteractive $as_root apt-get install -y -qq --no-install-recommends $missing
