#!/bin/sh
# Builds the Debian package, checks it with lintian (no error, no
# warning), installs it with apt on this machine, starts the
# installed program in a real X server, waits for its window, quits it, and
# removes the package again. Needs root.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build build-package -j"$(nproc)"
(cd build-package && cpack >/dev/null)
package=$(ls "$PWD"/build-package/qvtpx0xtweaker_*.deb)
echo "package: $package"
dpkg-deb --field "$package" Depends
# (lintian's warning that it runs as root is left out: it only reads the package)
lint=0
lintian --fail-on error,warning "$package" >build-package/lintian.log 2>&1 || lint=$?
grep -v 'running with root privileges' build-package/lintian.log || true
[ "$lint" -eq 0 ] || { echo "lintian found errors or warnings"; exit 1; }

removed=no
remove() {
    [ "$removed" = yes ] || DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq qvtpx0xtweaker >/dev/null
}
trap remove EXIT
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$package" >/dev/null
for file in /usr/bin/qvtpx0xtweaker /usr/share/applications/qvtpx0xtweaker.desktop \
    /usr/share/icons/hicolor/48x48/apps/qvtpx0xtweaker.png /usr/share/doc/qvtpx0xtweaker/copyright \
    /usr/share/doc/qvtpx0xtweaker/changelog.gz /usr/share/man/man1/qvtpx0xtweaker.1.gz \
    /usr/bin/qvtpx0xtweaker-cli /usr/share/man/man1/qvtpx0xtweaker-cli.1.gz \
    /usr/share/ansible/collections/ansible_collections/quorvella/vtpx/plugins/modules/vtpx_settings.py; do
    [ -f "$file" ] || { echo "not installed: $file"; exit 1; }
done

desktop-file-validate /usr/share/applications/qvtpx0xtweaker.desktop
[ "$(/usr/bin/qvtpx0xtweaker-cli --version)" = "qvtpx0xtweaker-cli 1.0" ] || { echo "the console tool does not run"; exit 1; }
# Debian's ansible-core finds the collection where the package put it.
home=$(mktemp -d)
HOME=$home ansible-doc quorvella.vtpx.vtpx_settings >/dev/null || { echo "ansible-doc does not find the collection"; exit 1; }
rm -rf "$home"

# The executable test starts the installed program, quits it and checks
# its exit code; it needs no FTP server for the first two runs.
unshare -n sh -c 'ip link set lo up && exec "$0" "$@"' tests/executable_in_x11.sh /usr/bin/qvtpx0xtweaker \
    "$PWD/tools/ftpserver.py"

remove
removed=yes
[ ! -e /usr/bin/qvtpx0xtweaker ] || { echo "still installed after removal"; exit 1; }
echo "package test: passed"
