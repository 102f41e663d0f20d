#!/bin/sh
# Compiles the Windows resource script and reads the compiled resource back:
# it must hold the icon group and the version record.
set -eu
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cd "$source_dir"
x86_64-w64-mingw32-windres --preprocessor=cpp -i qvtpx0xtweaker.rc -O res -o "$work/app.res"
x86_64-w64-mingw32-windres -i "$work/app.res" -O rc > "$work/decompiled.rc"

fail=0
expect() {
    if ! grep -qF -- "$1" "$work/decompiled.rc"; then
        echo "missing from the compiled resource: $1"
        fail=1
    fi
}
expect '"IDI_ICON1" 14 /* RT_GROUP_ICON */'
expect '"\045\060\000\000", 1, 8, 0xd28L, 1'   # one 37 x 48 image, 8 bpp, 3368 bytes
expect 'BLOCK "040904b0"'                         # U.S. English, Unicode
expect 'VALUE "FileVersion", "1.0.0.0"'
[ "$fail" -eq 0 ] && echo "1 passed, 0 failed"
exit "$fail"
